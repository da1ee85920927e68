#include "syscall_seam.h"

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
}
// NOLINTEND(bugprone-reserved-identifier)

namespace mx::seam {

namespace {

// What a call is made to do instead of, or before, happening: fail with an
// error number, end the calling process with a signal, or wait.
struct Failure {
    Call call;
    int errorNumber;
    int passing;
    int signal = 0;
    int delayMilliseconds = 0;
};

struct State {
    bool recording = false;
    std::vector<Call> calls;
    std::vector<Failure> failures;
};

State& state() {
    static State s;
    return s;
}

std::string lastComponent(const std::string& path) {
    return path.substr(path.find_last_of('/') + 1);
}

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

// Records the call; returns the error number it is to fail with, if any.
std::optional<int> record(const char* call, const std::string& name, int flags = 0) {
    State& s = state();
    if (!s.recording) {
        return std::nullopt;
    }
    s.calls.push_back({call, name, flags});
    for (auto it = s.failures.begin(); it != s.failures.end(); ++it) {
        if (it->call.call == call && it->call.name == name && it->passing-- == 0) {
            const Failure failure = *it;
            s.failures.erase(it);
            if (failure.signal != 0) {
                // The process making the call, which may be a clone that
                // shares this one's memory: named by the kernel, not libc.
                ::syscall(SYS_kill, ::syscall(SYS_getpid), failure.signal);
            }
            if (failure.delayMilliseconds != 0) {
                ::usleep(static_cast<useconds_t>(failure.delayMilliseconds) * 1000);
                return std::nullopt;
            }
            errno = failure.errorNumber;
            return failure.errorNumber;
        }
    }
    return std::nullopt;
}

std::optional<int> record(const char* call, int fd, int flags = 0) {
    return state().recording ? record(call, nameOf(fd), flags) : std::nullopt;
}

Recorder::Recorder() {
    state() = State{};
    state().recording = true;
}

Recorder::~Recorder() {
    state() = State{};
}

void Recorder::failNext(const std::string& call, const std::string& name, int errorNumber,
                        int passing) {
    state().failures.push_back({{call, name, 0}, errorNumber, passing});
}

void Recorder::dieAt(const std::string& call, const std::string& name, int signal) {
    state().failures.push_back({{call, name, 0}, EINTR, 0, signal});
}

void Recorder::delayNext(const std::string& call, const std::string& name, int milliseconds) {
    state().failures.push_back({{call, name, 0}, 0, 0, 0, milliseconds});
}

const std::vector<Call>& Recorder::calls() const {
    return state().calls;
}

int Recorder::indexOf(const std::string& call, const std::string& name) const {
    const std::vector<Call>& calls = state().calls;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].call == call && calls[i].name == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
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
    return record("openat", mx::seam::lastComponent(path), flags)
               ? -1
               : __real_openat(dir, path, flags, mode);
}

int __wrap___openat_2(int dir, const char* path, int flags) {
    return record("openat", mx::seam::lastComponent(path), flags)
               ? -1
               : __real___openat_2(dir, path, flags);
}

ssize_t __wrap_pwrite(int fd, const void* buffer, size_t count, off_t offset) {
    return record("pwrite", fd) ? -1 : __real_pwrite(fd, buffer, count, offset);
}

int __wrap_fsync(int fd) {
    return record("fsync", fd) ? -1 : __real_fsync(fd);
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
