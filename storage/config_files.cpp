#include "config_files.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <span>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace mx {

namespace {

// Owns one open file descriptor. close() reports its result; the destructor
// only cleans up after a failure that is already being reported.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }

    int get() const { return fd_; }

    // Returns 0, or the error number of a failed close.
    int close() {
        const int fd = std::exchange(fd_, -1);
        return ::close(fd) == 0 ? 0 : errno;
    }

private:
    int fd_;
};

FileError failure(const std::string& path, FileOperation operation, int errorNumber) {
    return FileError{path, operation, errorNumber, std::system_category().message(errorNumber)};
}

std::string inFolder(const std::string& folder, const char* fileName) {
    return folder + std::filesystem::path::preferred_separator + fileName;
}

// Reads up to buffer.size() bytes from the start of the file into buffer and
// sets count to how many there were. A file that does not exist is created
// empty, so a load leaves both files in place; one that does exist is only
// opened for reading, so a read-only configuration can still be loaded.
std::optional<FileError> readPrefix(const std::string& path, std::span<std::uint8_t> buffer,
                                    std::size_t& count) {
    count = 0;
    const int readFd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (readFd < 0) {
        if (errno != ENOENT) {
            return failure(path, FileOperation::Open, errno);
        }
        FileDescriptor created(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
        if (created.get() < 0) {
            return failure(path, FileOperation::Create, errno);
        }
        if (const int error = created.close(); error != 0) {
            return failure(path, FileOperation::Close, error);
        }
        return std::nullopt;
    }
    FileDescriptor file(readFd);
    while (count < buffer.size()) {
        const ssize_t got = ::pread(file.get(), buffer.data() + count, buffer.size() - count,
                                    static_cast<off_t>(count));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return failure(path, FileOperation::Read, errno);
        }
        if (got == 0) {
            break;
        }
        count += static_cast<std::size_t>(got);
    }
    if (const int error = file.close(); error != 0) {
        return failure(path, FileOperation::Close, error);
    }
    return std::nullopt;
}

// Writes the block over the start of the file, creating it when absent and
// keeping whatever lies beyond the block. Success means the bytes reached the
// disk: a partial write is continued, and the sync and close are checked.
std::optional<FileError> writePrefix(const std::string& path, std::span<const std::uint8_t> block) {
    FileDescriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
    if (file.get() < 0) {
        return failure(path, FileOperation::Open, errno);
    }
    std::size_t written = 0;
    while (written < block.size()) {
        const ssize_t put = ::pwrite(file.get(), block.data() + written, block.size() - written,
                                     static_cast<off_t>(written));
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            return failure(path, FileOperation::Write, errno);
        }
        if (put == 0) {
            return failure(path, FileOperation::Write, EIO);
        }
        written += static_cast<std::size_t>(put);
    }
    // Special files that cannot be synced (EINVAL, EROFS) have nothing to flush.
    if (::fsync(file.get()) != 0 && errno != EINVAL && errno != EROFS) {
        return failure(path, FileOperation::Sync, errno);
    }
    if (const int error = file.close(); error != 0) {
        return failure(path, FileOperation::Close, error);
    }
    return std::nullopt;
}

const char* verbFor(FileOperation operation) {
    switch (operation) {
    case FileOperation::Open:
        return "open";
    case FileOperation::Create:
        return "create";
    case FileOperation::Read:
        return "read";
    case FileOperation::Write:
        return "write";
    case FileOperation::Sync:
        return "flush";
    case FileOperation::Close:
        return "close";
    }
    return "use";
}

} // namespace

std::string FileError::message() const {
    return std::string("Could not ") + verbFor(operation) + " \"" + path + "\": error " +
           std::to_string(errorNumber) + ", " + description + ".";
}

std::string switchFilePath(const std::string& folder) {
    return inFolder(folder, SwitchFileName);
}

std::string settingsFilePath(const std::string& folder) {
    return inFolder(folder, SettingsFileName);
}

std::optional<FileError> LoadConfig(const std::string& folder, ChannelConfig& config) {
    SwitchBlock switchBytes{};
    std::size_t switchCount = 0;
    if (auto error = readPrefix(switchFilePath(folder), switchBytes, switchCount)) {
        return error;
    }
    RecallBlock recallBytes{};
    std::size_t recallCount = 0;
    if (auto error = readPrefix(settingsFilePath(folder), recallBytes, recallCount)) {
        return error;
    }
    // A file shorter than its block overwrites only the bytes it has, from
    // offset 0; the rest keep their values, just as an empty file keeps all.
    overwriteFromBlock(config.Switches, std::span(switchBytes).first(switchCount));
    overwriteFromBlock(config.Recall, std::span(recallBytes).first(recallCount));
    return std::nullopt;
}

std::optional<FileError> SaveConfig(const std::string& folder, const ChannelConfig& config) {
    if (auto error = writePrefix(switchFilePath(folder), toBlock(config.Switches))) {
        return error;
    }
    return writePrefix(settingsFilePath(folder), toBlock(config.Recall));
}

} // namespace mx
