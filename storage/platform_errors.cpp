// The parts of the platform's errors that are the same on every system.

#include "platform.h"

namespace mx::platform {

namespace {

const char* kindOf(FileKind kind) {
    switch (kind) {
    case FileKind::Pipe:
        return "a named pipe";
    case FileKind::Socket:
        return "a socket";
    case FileKind::CharacterDevice:
        return "a character device";
    case FileKind::BlockDevice:
        return "a block device";
    default:
        return "a special file";
    }
}

} // namespace

FileError failure(const std::string& path, FileOperation operation, ErrorNumber error) {
    return FileError{path, operation, error, describe(error)};
}

bool isNotFound(const Status& status) {
    return status && status->errorNumber == errorNumber(Condition::NotFound);
}

FileError notRegular(const std::string& path, FileKind kind) {
    if (kind == FileKind::Directory) {
        return failure(path, FileOperation::Open, errorNumber(Condition::IsDirectory));
    }
    return FileError{path, FileOperation::Open, 0,
                     std::string("it is ") + kindOf(kind) + ", not a regular file"};
}

} // namespace mx::platform
