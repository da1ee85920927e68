// Loaded into mxcfg by the tests (LD_PRELOAD) to see from outside whether a
// unit's names.txt is put in place or removed while its folder is locked:
// each time, the probe tries the folder's lock on an open of its own, and
// notes in $MX_LOCK_PROBE_LOG when it could have it. With
// $MX_PROBE_FAIL_WRITES naming a file, every write to it fails, as on a
// disk that takes no more.

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>

namespace {

void check(int directory, const char* path) {
    const char* slash = std::strrchr(path, '/');
    if (std::strcmp(slash == nullptr ? path : slash + 1, "names.txt") != 0) {
        return;
    }
    const std::string parent = slash == nullptr ? "." : std::string(path, slash);
    const int fd = ::openat(directory, parent.empty() ? "/" : parent.c_str(),
                            O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const char* log = std::getenv("MX_LOCK_PROBE_LOG");
    if (fd >= 0 && ::flock(fd, LOCK_SH | LOCK_NB) == 0 && log != nullptr) {
        const int out = ::open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        const std::string line = std::string(path) + " changed without the folder's lock\n";
        (void)!::write(out, line.data(), line.size());
        ::close(out);
    }
    ::close(fd);
}

template <typename Call> Call real(const char* name) {
    return reinterpret_cast<Call>(::dlsym(RTLD_NEXT, name));
}

// Whether writes to the file open as fd are to fail.
bool failing(int fd) {
    const char* name = std::getenv("MX_PROBE_FAIL_WRITES");
    if (name == nullptr) {
        return false;
    }
    char path[4096] = {};
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t length = ::readlink(link.c_str(), path, sizeof path - 1);
    const char* slash = length > 0 ? std::strrchr(path, '/') : nullptr;
    return slash != nullptr && std::strcmp(slash + 1, name) == 0;
}

} // namespace

extern "C" {

ssize_t pwrite(int fd, const void* bytes, size_t count, off_t offset) {
    if (failing(fd)) {
        errno = ENOSPC;
        return -1;
    }
    return real<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite")(fd, bytes, count, offset);
}

ssize_t pwrite64(int fd, const void* bytes, size_t count, off_t offset) {
    return pwrite(fd, bytes, count, offset);
}

int rename(const char* from, const char* to) {
    check(AT_FDCWD, to);
    return real<int (*)(const char*, const char*)>("rename")(from, to);
}

int renameat(int fromAt, const char* from, int toAt, const char* to) {
    check(toAt, to);
    return real<int (*)(int, const char*, int, const char*)>("renameat")(fromAt, from, toAt, to);
}

int renameat2(int fromAt, const char* from, int toAt, const char* to, unsigned flags) {
    check(toAt, to);
    using Call = int (*)(int, const char*, int, const char*, unsigned);
    return real<Call>("renameat2")(fromAt, from, toAt, to, flags);
}

int unlink(const char* path) {
    check(AT_FDCWD, path);
    return real<int (*)(const char*)>("unlink")(path);
}

int unlinkat(int at, const char* path, int flags) {
    check(at, path);
    return real<int (*)(int, const char*, int)>("unlinkat")(at, path, flags);
}

} // extern "C"
