#pragma once

// The two configuration files of a folder: "switches.mx" holds the 112-byte
// switch table, "settings.cmx" the 2 recall bytes. Neither has a header; both
// are written in place without truncation, so bytes after the block are kept.
// Only regular files (or symbolic links to them) are read or written.

#include "channel_config.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mx {

inline constexpr const char* SwitchFileName = "switches.mx";
inline constexpr const char* SettingsFileName = "settings.cmx";

enum class FileOperation { Open, Create, Read, Write, Sync, Close };

// Why a load or save failed: which file (or folder), what was being done, and
// the operating system's error number with its description. A file that the
// editor refuses on its own account (a named pipe, a device, a dangling link)
// has error number 0 and a description that says what it is.
struct FileError {
    std::string path;
    FileOperation operation = FileOperation::Open;
    int errorNumber = 0;
    std::string description;

    // One line for the user, e.g.
    // Could not write "/cfg/switches.mx": error 28, No space left on device.
    // Could not open "/cfg/switches.mx": it is a named pipe, not a regular file.
    std::string message() const;
};

// What reading does with a file that is not there.
enum class MissingFile {
    Create,     // create it empty, as a load does, so both files exist afterwards
    ReadsEmpty, // count it as empty and create nothing
    IsAnError,  // fail with ENOENT and create nothing
};

// Reads the first bytes of both files, up to one block each. On failure the
// blocks are left as they were.
std::optional<FileError> ReadStoredBlocks(const std::string& folder, MissingFile missing,
                                          StoredBlocks& blocks);

// Reads both files of the folder into the model. A missing file is created
// empty, read as empty, or an error, as `missing` says; an empty file leaves
// its part of the model as it was. All or nothing: the model changes only
// when both files were read. When loaded is given, it receives the bytes that
// were read.
std::optional<FileError> LoadConfig(const std::string& folder, MissingFile missing,
                                    ChannelConfig& config, StoredBlocks* loaded = nullptr);

// Why a save failed, and whether it got half way: the switch file is written
// first, so a failure on the settings file leaves the switch file saved and
// the two files out of step.
struct SaveError {
    std::string folder;
    FileError error;
    bool switchFileSaved = false;

    // What the folder holds now, in one sentence, e.g.
    // The configuration was not saved to "/cfg".
    // The reason is error.message().
    std::string summary() const;
};

// Writes the model over the start of both files, the switch file first. Both
// files are checked before anything is written, so a file that is no regular
// file stops the save before it starts; when the switch file fails, the
// settings file is not touched.
std::optional<SaveError> SaveConfig(const std::string& folder, const ChannelConfig& config);

} // namespace mx
