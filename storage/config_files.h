#pragma once

// The two configuration files of a folder: "switches.mx" holds the 112-byte
// switch table, "settings.cmx" the 2 recall bytes. Neither has a header; both
// are opened without truncation, so bytes after the block are kept.

#include "channel_config.h"

#include <optional>
#include <string>

namespace mx {

inline constexpr const char* SwitchFileName = "switches.mx";
inline constexpr const char* SettingsFileName = "settings.cmx";

// The folder text is used as given; the platform's separator and the file name
// are appended to it.
std::string switchFilePath(const std::string& folder);
std::string settingsFilePath(const std::string& folder);

enum class FileOperation { Open, Create, Read, Write, Sync, Close };

// Why a load or save failed: which file, what was being done, and the
// operating system's error number with its description.
struct FileError {
    std::string path;
    FileOperation operation = FileOperation::Open;
    int errorNumber = 0;
    std::string description;

    // One line for the user, e.g.
    // Could not write "/cfg/switches.mx": error 28, No space left on device.
    std::string message() const;
};

// Reads both files of the folder into the model. An absent file is created
// empty; an empty file leaves its part of the model as it was. All or nothing:
// the model changes only when both files were read.
std::optional<FileError> LoadConfig(const std::string& folder, ChannelConfig& config);

// Writes the model over the start of both files, the switch file first. When
// the switch file fails, the settings file is not touched.
std::optional<FileError> SaveConfig(const std::string& folder, const ChannelConfig& config);

} // namespace mx
