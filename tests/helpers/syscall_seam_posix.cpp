#include "syscall_seam_record.h"

#include <array>
#include <cerrno>
#include <cstdarg>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/syscall.h>
#include <unistd.h>

// The linker names the wrapped and the real calls.
// NOLINTBEGIN(bugprone-reserved-identifier)
extern "C" {
int __real_openat(int dir, const char* path, int flags, ...);
int __real___openat_2(int dir, const char* path, int flags);
ssize_t __real_pwrite(int fd, const void* buffer, size_t count, off_t offset);
int __real_fsync(int fd);
int __real_close(int fd);
int __real_renameat(int fromDir, const char* from, int toDir, const char* to);
int __real_unlinkat(int dir, const char* path, int flags);
}
// NOLINTEND(bugprone-reserved-identifier)

namespace mx::seam {

namespace {

// The name a descriptor was opened with; a directory is "folder".
std::string nameOf(int fd) {
    std::array<char, 4096> target{};
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t length = ::readlink(link.c_str(), target.data(), target.size());
    if (length <= 0) {
        return "?";
    }
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && (flags & O_DIRECTORY) != 0
               ? "folder"
               : lastComponent(std::string(target.data(), static_cast<std::size_t>(length)));
}

} // namespace

int openFlags(int flags) {
    return ((flags & O_CREAT) != 0 ? Creates : 0) | ((flags & O_EXCL) != 0 ? Exclusive : 0) |
           ((flags & O_NOFOLLOW) != 0 ? NoFollow : 0);
}

// The process making the call, which may be a clone that shares this one's
// memory: named by the kernel, not libc.
void endCallingProcess(int signal) {
    ::syscall(SYS_kill, ::syscall(SYS_getpid), signal);
}

std::optional<int> record(const char* call, int fd, int flags = 0) {
    return recording() ? record(call, nameOf(fd), flags) : std::nullopt;
}

} // namespace mx::seam

using mx::seam::record;

// NOLINTBEGIN(bugprone-reserved-identifier)
extern "C" {

int __wrap_openat(int dir, const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const int mode = (flags & (O_CREAT | O_TMPFILE)) != 0 ? va_arg(arguments, int) : 0;
    va_end(arguments);
    return record("openat", mx::seam::lastComponent(path), mx::seam::openFlags(flags))
               ? -1
               : __real_openat(dir, path, flags, mode);
}

int __wrap___openat_2(int dir, const char* path, int flags) {
    return record("openat", mx::seam::lastComponent(path), mx::seam::openFlags(flags))
               ? -1
               : __real___openat_2(dir, path, flags);
}

ssize_t __wrap_pwrite(int fd, const void* buffer, size_t count, off_t offset) {
    if (record("pwrite", fd)) {
        return -1;
    }
    const ssize_t written = __real_pwrite(fd, buffer, count, offset);
    mx::seam::finished();
    return written;
}

int __wrap_fsync(int fd) {
    return record("fsync", fd) ? -1 : __real_fsync(fd);
}

// A rename is named by the name it gives, a removal by the name it takes.
int __wrap_renameat(int fromDir, const char* from, int toDir, const char* to) {
    if (record("rename", mx::seam::lastComponent(to))) {
        return -1;
    }
    const int renamed = __real_renameat(fromDir, from, toDir, to);
    mx::seam::finished();
    return renamed;
}

int __wrap_unlinkat(int dir, const char* path, int flags) {
    if (record("unlink", mx::seam::lastComponent(path))) {
        return -1;
    }
    const int removed = __real_unlinkat(dir, path, flags);
    mx::seam::finished();
    return removed;
}

int __wrap_close(int fd) {
    // The descriptor is gone even when close fails, as after a real failure.
    const auto error = record("close", fd);
    const int result = __real_close(fd);
    if (error) {
        errno = *error;
        return -1;
    }
    return result;
}

} // extern "C"
// NOLINTEND(bugprone-reserved-identifier)
