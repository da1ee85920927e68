#include "config_files.h"
#include "config_text.h"
#include "file_descriptor.h"

#include <fcntl.h>
#include <poll.h>
#include <vector>

namespace mx {

namespace {

constexpr std::size_t ReadPiece = 64 * 1024;

FileError notText(const std::string& name, std::string why) {
    return FileError{name, FileOperation::Parse, 0, std::move(why)};
}

} // namespace

std::optional<FileError> ReadConfigText(int fd, const std::string& name, ChannelConfig& config) {
    ConfigTextReader reader;
    std::vector<char> piece(ReadPiece);
    std::size_t total = 0;
    while (true) {
        const ssize_t got = ::read(fd, piece.data(), piece.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0 && errno == EAGAIN) {
            // An input left non-blocking by whoever started us: wait for it.
            pollfd ready{fd, POLLIN, 0};
            ::poll(&ready, 1, -1);
            continue;
        }
        if (got < 0) {
            return files::failure(name, FileOperation::Read, errno);
        }
        if (got == 0) {
            break;
        }
        if (const auto error = reader.feed({piece.data(), static_cast<std::size_t>(got)})) {
            return notText(name, error->describe());
        }
        total += static_cast<std::size_t>(got);
        if (total > LongestConfigText) {
            return notText(name, "longer than 1 MiB; no configuration is that long");
        }
    }
    if (!reader.sawText()) {
        return notText(name, "no configuration in it");
    }
    if (const auto error = reader.finish(config)) {
        return notText(name, error->describe());
    }
    return std::nullopt;
}

std::optional<FileError> ReadConfigSource(const std::string& path, ChannelConfig& config,
                                          TextFiles files) {
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
        ChannelConfig read;
        if (auto error = LoadConfig(path, MissingFile::IsAnError, read)) {
            return error;
        }
        config = read;
        return std::nullopt;
    }
    // Opened without waiting, so that a named pipe with no writer is found
    // out rather than waited on; a regular file never waits anyway.
    const int flags = O_RDONLY | O_NOCTTY | O_CLOEXEC;
    const files::FileDescriptor file(
        ::open(path.c_str(), files == TextFiles::RegularOnly ? flags | O_NONBLOCK : flags));
    if (file.get() < 0) {
        return files::failure(path, FileOperation::Open, errno);
    }
    if (files == TextFiles::RegularOnly) {
        if (::fstat(file.get(), &status) != 0) {
            return files::failure(path, FileOperation::Open, errno);
        }
        if (!S_ISREG(status.st_mode)) {
            return files::notRegular(path, status.st_mode);
        }
    }
    return ReadConfigText(file.get(), path, config);
}

} // namespace mx
