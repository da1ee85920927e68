#pragma once

// What storage's own parts share about files opened in a folder: reading
// one whole within a bound, and writing a new file beside the one it will
// replace.

#include "file_error.h"
#include "platform.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace mx::files {

// Writes all of bytes at offset 0; written counts the bytes that reached
// the file either way.
platform::Status writeAll(const platform::File& file, std::span<const std::uint8_t> bytes,
                          std::size_t& written);
platform::Status writeAll(const platform::File& file, std::string_view bytes);

// Reads an open file whole from its start; more than `longest` bytes is an
// error that says how long the file is.
std::optional<FileError> readWhole(const platform::File& file, const std::string& path,
                                   std::size_t longest, std::string& bytes);

// Where a file's replacement is written before it is renamed over it.
std::string scratchPrefix(const std::string& name);

// Writes bytes into a new file of the folder, named scratchPrefix(target)
// and a random ending, created exclusively, synced when asked, and closed;
// scratch receives its name. On failure nothing is left.
std::optional<FileError> writeScratch(const platform::Folder& folder, const std::string& target,
                                      std::string_view bytes, bool synced, std::string& scratch);

// A path's folder and its last component.
std::pair<std::string, std::string> splitPath(const std::string& path);

} // namespace mx::files
