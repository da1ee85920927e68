#pragma once

// Files that sheets and other output are written to: only regular files,
// never through a link, never over a unit's own files, and whole or not at
// all.

#include "config_files.h"

#include <optional>
#include <string>
#include <string_view>

namespace mx {

// Whether output may be written to path: refused when it is a directory, a
// device, a named pipe, a socket or a symbolic link, or is named as a unit's
// own files are. A file that is not there yet is fine.
std::optional<FileError> CheckOutputFile(const std::string& path);

// Writes bytes to path whole: into a new file beside it, created exclusively,
// synced, then renamed over it. On failure no new file is left and a file
// that was there is as it was.
std::optional<FileError> WriteOutputFile(const std::string& path, std::string_view bytes);

} // namespace mx
