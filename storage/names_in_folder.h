#pragma once

// A unit's names.txt as a file of its open, locked folder: read with the two
// unit files, and replaced with them by one save.

#include "file_error.h"
#include "platform.h"
#include "unit_names.h"

#include <optional>
#include <string>

namespace mx::files {

// Reads the folder's names; a folder without names.txt has none. Never
// through a link or a pipe, never more than LongestNamesText bytes. On
// failure names is left as it was.
std::optional<FileError> readNamesIn(const platform::Folder& folder, UnitNames& names);

// What a save does to names.txt: nothing, replace it by the new file
// `scratch`, or remove it.
struct NamesChange {
    enum class Kind : std::uint8_t { None, Replace, Remove };
    Kind kind = Kind::None;
    std::string scratch;
};

// Plans how names.txt comes to hold names: the new file is written (and
// synced) now, for the save's writer to put in place with the unit's files.
// Returns a failure that stops the save. A names.txt that is no regular
// file of its own, or does not read as names, is kept as it is, and kept
// says why.
std::optional<FileError> planNames(const platform::Folder& folder, const UnitNames& names,
                                   NamesChange& change, std::optional<FileError>& kept);

// Carries the planned change out.
platform::Status applyNames(const platform::Folder& folder, const NamesChange& change);

// Whether the change is in place, for a writer that was killed while making
// it.
bool namesApplied(const platform::Folder& folder, const NamesChange& change);

// Removes new names files that a save killed with its whole machine left.
void removeLeftOverNames(const platform::Folder& folder);

} // namespace mx::files
