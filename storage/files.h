#pragma once

// The few ways the program touches a file that is not one of a unit's own:
// each with one contract, used by every part that needs it (the recovery
// files, the recent list, sheets, the folders a new unit is made in).

#include "file_error.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mx {

// Reads the whole of a regular file of its own at path: never through a
// symbolic link, never waiting on a named pipe, and never more than
// `longest` bytes (a longer file is an error). A missing file is an error
// with the system's "not found" number.
std::optional<FileError> ReadRegularFile(const std::string& path, std::size_t longest,
                                         std::string& bytes);

// Whether a replaced file must last through a power cut, or only through
// the program being killed.
enum class Durability { PowerCut, ProgramKilled };

// Replaces the file at path by bytes, whole: they go into a new file beside
// it, created exclusively (so never through a link), synced when durable,
// and renamed over it, relative to the folder opened once. On failure
// nothing new is left, and a file that was there is as it was.
std::optional<FileError> ReplaceFile(const std::string& path, std::string_view bytes,
                                     Durability durability);

// Renames a file within its folder, replacing what has the new name.
std::optional<FileError> RenameFile(const std::string& from, const std::string& to);

// Removes a file; one that is not there is no error.
std::optional<FileError> RemoveFile(const std::string& path);

// Makes a folder that only its user can use, with any folders missing on
// the way; an existing one is made private if it is not.
std::optional<FileError> MakePrivateFolder(const std::string& path);

// Which folder a folder is, by whatever name it is reached.
struct FolderIdentity {
    std::uint64_t device = 0;
    std::uint64_t index = 0;
    friend bool operator==(const FolderIdentity&, const FolderIdentity&) = default;
};

// The folders missing on the way to a folder, made by the bytes of their
// names however the path is spelled ("a//b", "a/./b", "a/x/../b"), and
// removed again, innermost first and only while empty, unless kept.
class MadeFolders {
public:
    MadeFolders() = default;
    ~MadeFolders();
    MadeFolders(const MadeFolders&) = delete;
    MadeFolders& operator=(const MadeFolders&) = delete;

    // Makes what is missing on the way to path, path included; nothing
    // when it is all there.
    std::optional<FileError> make(const std::string& path);
    // Whether make() made the folder it was given.
    bool madeAny() const { return !made_.empty(); }
    // The folder make() was given, when it made it, so that a save into it
    // can refuse one that was swapped for another (or a link) meanwhile.
    std::optional<FolderIdentity> innermost() const { return innermost_; }
    void keep() { kept_ = true; }

private:
    std::vector<std::string> made_;
    std::optional<FolderIdentity> innermost_;
    bool kept_ = false;
};

// Whether path names a folder that is there, following links.
bool IsFolder(const std::string& path);

// Whether two names in one folder stand for the same file on some system
// the unit's files go to: Windows and its file systems (on USB sticks too)
// compare names without regard to case and ignore trailing dots and spaces.
bool SameFileName(std::string_view a, std::string_view b);
// The form by which SameFileName compares a name: equal keys, same file.
std::string FileNameKey(std::string_view name);

} // namespace mx
