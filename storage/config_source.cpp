#include "config_files.h"
#include "config_part.h"
#include "config_text.h"
#include "file_errors.h"
#include "platform.h"

#include <functional>
#include <string_view>
#include <vector>

namespace mx {

namespace {

constexpr std::size_t ReadPiece = 64 * 1024;

FileError notText(const std::string& name, std::string why) {
    return FileError{name, FileOperation::Parse, 0, std::move(why)};
}

// Reads an open file piece by piece into take, which may stop the reading
// with an error, and never past LongestConfigText; `what` is what no text
// that long is.
std::optional<FileError>
readPieces(const platform::File& file, const std::string& name, const std::string& what,
           const std::function<std::optional<FileError>(std::string_view)>& take) {
    std::vector<char> piece(ReadPiece);
    std::size_t total = 0;
    while (true) {
        std::size_t got = 0;
        if (auto error = file.readOn(piece, got)) {
            return files::about(name, *error);
        }
        if (got == 0) {
            return std::nullopt;
        }
        if (auto error = take({piece.data(), got})) {
            return error;
        }
        total += got;
        if (total > LongestConfigText) {
            return notText(name, "longer than 1 MiB; no " + what + " is that long");
        }
    }
}

// Reads a configuration in the text form from an open file, as far as its
// first error and never past LongestConfigText.
std::optional<FileError> readText(const platform::File& file, const std::string& name,
                                  ChannelConfig& config, SourceNames* names) {
    ConfigTextReader reader;
    if (auto error = readPieces(file, name, "configuration",
                                [&](std::string_view piece) -> std::optional<FileError> {
                                    if (const auto wrong = reader.feed(piece)) {
                                        return notText(name, wrong->describe());
                                    }
                                    return std::nullopt;
                                })) {
        return error;
    }
    if (!reader.sawText()) {
        return notText(name, "no configuration in it");
    }
    if (const auto error = reader.finish(config, names != nullptr ? &names->names : nullptr)) {
        return notText(name, error->describe());
    }
    if (names != nullptr) {
        names->given = reader.namesGiven();
    }
    return std::nullopt;
}

} // namespace

std::optional<FileError> ReadConfigFromInput(const std::string& name, ChannelConfig& config,
                                             SourceNames* names) {
    return readText(platform::File::standardInput(name), name, config, names);
}

std::optional<FileError> ReadConfigSource(const std::string& path, ChannelConfig& config,
                                          TextFiles textFiles, StoredBlocks* loaded,
                                          SourceNames* names) {
    platform::FileStatus status;
    if (!platform::statusOf(path, platform::Links::Follow, status) &&
        status.kind == platform::FileKind::Directory) {
        ChannelConfig read;
        if (auto error = LoadConfig(path, MissingFile::IsAnError, read, loaded, names)) {
            return error;
        }
        config = read;
        return std::nullopt;
    }
    // Opened without waiting, so that a named pipe with no writer is found
    // out rather than waited on; a regular file never waits anyway.
    platform::File file;
    if (auto error = platform::openToRead(path, textFiles == TextFiles::RegularOnly, file)) {
        return error;
    }
    if (textFiles == TextFiles::RegularOnly) {
        if (auto error = file.status(status)) {
            return error;
        }
        if (status.kind != platform::FileKind::Regular) {
            return files::notRegular(path, status.kind);
        }
    }
    return readText(file, path, config, names);
}

std::optional<FileError> ReadConfigPart(const std::string& path, const std::string& name,
                                        ConfigPart& part) {
    platform::File file;
    if (path.empty()) {
        file = platform::File::standardInput(name);
    } else if (auto error = platform::openToRead(path, false, file)) {
        return error;
    }
    // A part is read whole before it is read as a part: it is small, and
    // nothing is written before all of it has been checked.
    std::string text;
    if (auto error = readPieces(file, name, "part of a configuration",
                                [&](std::string_view piece) -> std::optional<FileError> {
                                    text.append(piece);
                                    return std::nullopt;
                                })) {
        return error;
    }
    if (const auto error = partFromText(text, part)) {
        return notText(name, error->describe());
    }
    return std::nullopt;
}

} // namespace mx
