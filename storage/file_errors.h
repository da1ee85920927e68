#pragma once

// The errors that name a file, shared by the storage code.

#include "config_files.h"
#include "platform.h"

#include <string>
#include <utility>

namespace mx::files {

inline FileError failure(const std::string& path, FileOperation operation,
                         platform::ErrorNumber errorNumber) {
    return FileError{path, operation, errorNumber, platform::describe(errorNumber)};
}

inline FileError failure(const std::string& path, FileOperation operation,
                         platform::Condition condition) {
    return failure(path, operation, platform::errorNumber(condition));
}

// A file the editor will not use, though the system would let it.
inline FileError refusal(const std::string& path, FileOperation operation, std::string why) {
    return FileError{path, operation, 0, std::move(why)};
}

inline const char* kindOf(platform::FileKind kind) {
    switch (kind) {
    case platform::FileKind::Pipe:
        return "a named pipe";
    case platform::FileKind::Socket:
        return "a socket";
    case platform::FileKind::CharacterDevice:
        return "a character device";
    case platform::FileKind::BlockDevice:
        return "a block device";
    default:
        return "a special file";
    }
}

inline FileError notRegular(const std::string& path, platform::FileKind kind) {
    if (kind == platform::FileKind::Directory) {
        return failure(path, FileOperation::Open, platform::Condition::IsDirectory);
    }
    return refusal(path, FileOperation::Open,
                   std::string("it is ") + kindOf(kind) + ", not a regular file");
}

} // namespace mx::files
