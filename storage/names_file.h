#pragma once

// The unit's names, in "names.txt" beside its two files. The file is there
// only while something is named; it is read only as a regular file of its
// own (never through a link, never a pipe that would hang, never more than
// a few KiB), and written whole or not at all, never over a names.txt that
// does not read as names.

#include "config_files.h"
#include "unit_names.h"

#include <optional>
#include <string>

namespace mx {

// Far more than eight names and their comments take.
inline constexpr std::size_t LongestNamesText = 64 * 1024;

// Reads the folder's names; a folder without names.txt has none. On failure
// names is left as it was.
std::optional<FileError> ReadNames(const std::string& folder, UnitNames& names);

// Writes names.txt (a new file beside it, synced, renamed into place), or
// removes it when nothing is named. A names.txt that is not a regular file,
// or does not read as names, is left as it is and the write refused.
std::optional<FileError> WriteNames(const std::string& folder, const UnitNames& names);

// Saves the configuration as SaveConfig does, then, under the same lock and
// only if the save succeeded, its names; namesError says how that went.
std::optional<SaveError> SaveConfig(const std::string& folder, const ChannelConfig& config,
                                    const UnitNames& names, std::optional<FileError>& namesError);

} // namespace mx
