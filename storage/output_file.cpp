#include "output_file.h"

#include "file_errors.h"
#include "files.h"
#include "platform.h"
#include "unit_names.h"

#include <filesystem>

namespace mx {

using files::failure;
using files::refusal;

std::optional<FileError> CheckOutputFile(const std::string& path) {
    const std::string name = std::filesystem::path(path).filename().string();
    for (const char* own : {SwitchFileName, SettingsFileName, NamesFileName}) {
        if (SameFileName(name, own)) {
            return refusal(path, FileOperation::Open,
                           "it is named as a unit's own files are, and is never written over");
        }
    }
    platform::FileStatus status;
    if (auto error = platform::statusOf(path, platform::Links::Refuse, status)) {
        return error;
    }
    switch (status.kind) {
    case platform::FileKind::Missing:
    case platform::FileKind::Regular:
        return std::nullopt;
    case platform::FileKind::Link:
        return refusal(path, FileOperation::Open,
                       "it is a symbolic link to \"" + platform::linkTarget(path).value_or("") +
                           "\"; name the file itself");
    default:
        return files::notRegular(path, status.kind);
    }
}

std::optional<FileError> WriteOutputFile(const std::string& path, std::string_view bytes) {
    if (auto refused = CheckOutputFile(path)) {
        return refused;
    }
    return ReplaceFile(path, bytes, Durability::PowerCut);
}

} // namespace mx
