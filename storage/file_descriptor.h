#pragma once

// What the storage code shares about open files: a descriptor that closes
// itself, and the errors that name a file.

#include "config_files.h"

#include <cerrno>
#include <csignal>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace mx::files {

// Owns one open file descriptor. close() reports its result; the destructor
// only cleans up after a failure that is already being reported.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
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
    int fd_ = -1;
};

// Ignores SIGXFSZ while it lives, so that a file-size limit makes a write
// fail with EFBIG, which is reported and undone, instead of ending the
// program between two writes.
class FileSizeSignalIgnored {
public:
    FileSizeSignalIgnored() {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        ::sigaction(SIGXFSZ, &ignore, &previous_);
    }
    ~FileSizeSignalIgnored() { ::sigaction(SIGXFSZ, &previous_, nullptr); }
    FileSizeSignalIgnored(const FileSizeSignalIgnored&) = delete;
    FileSizeSignalIgnored& operator=(const FileSizeSignalIgnored&) = delete;

private:
    struct sigaction previous_ {};
};

inline FileError failure(const std::string& path, FileOperation operation, int errorNumber) {
    return FileError{path, operation, errorNumber, std::system_category().message(errorNumber)};
}

// A file the editor will not use, though the system would let it.
inline FileError refusal(const std::string& path, FileOperation operation, std::string why) {
    return FileError{path, operation, 0, std::move(why)};
}

inline const char* kindOf(mode_t mode) {
    if (S_ISFIFO(mode)) {
        return "a named pipe";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    if (S_ISCHR(mode)) {
        return "a character device";
    }
    if (S_ISBLK(mode)) {
        return "a block device";
    }
    return "a special file";
}

inline FileError notRegular(const std::string& path, mode_t mode) {
    if (S_ISDIR(mode)) {
        return failure(path, FileOperation::Open, EISDIR);
    }
    return refusal(path, FileOperation::Open,
                   std::string("it is ") + kindOf(mode) + ", not a regular file");
}

} // namespace mx::files
