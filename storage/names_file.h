#pragma once

// The unit's names, in "names.txt" beside its two files. The file is there
// only while something is named; it is read only as a regular file of its
// own (never through a link, never a pipe that would hang, never more than
// a few KiB), under the folder's lock. It is written only by a save of the
// unit, with its two files (LockedFolder::save), never over a names.txt
// that does not read as names.

#include "config_files.h"
#include "unit_names.h"

#include <chrono>
#include <optional>
#include <string>

namespace mx {

// Far more than eight names and their comments take.
inline constexpr std::size_t LongestNamesText = 64 * 1024;

// Reads the folder's names under its lock, waiting at most `wait` for a
// writer; a folder without names.txt has none. On failure names is left as
// it was.
std::optional<FileError> ReadNames(const std::string& folder, UnitNames& names,
                                   std::chrono::milliseconds wait = LockWait);

} // namespace mx
