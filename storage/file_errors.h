#pragma once

// The errors that name a file, shared by the storage code.

#include "config_files.h"
#include "platform.h"

#include <string>
#include <utility>

namespace mx::files {

using platform::failure;
using platform::notRegular;

inline FileError failure(const std::string& path, FileOperation operation,
                         platform::Condition condition) {
    return failure(path, operation, platform::errorNumber(condition));
}

// A file the editor will not use, though the system would let it.
inline FileError refusal(const std::string& path, FileOperation operation, std::string why) {
    return FileError{path, operation, 0, std::move(why)};
}

// The same error, said of another path: a new file's error is its target's.
inline FileError about(const std::string& path, FileError error) {
    error.path = path;
    return error;
}

} // namespace mx::files
