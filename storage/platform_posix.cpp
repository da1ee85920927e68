// The storage platform on Linux and other POSIX systems.

#include "platform.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>
#include <utility>
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

namespace mx::platform {

struct FileAccess {
    static int fd(const File& file) { return static_cast<int>(file.handle_); }
    static File adopt(int fd, std::string path, bool owned = true) {
        File file;
        file.handle_ = fd;
        file.owned_ = owned;
        file.path_ = std::move(path);
        return file;
    }
};

namespace {

int fdOf(const File& file) {
    return FileAccess::fd(file);
}

ErrorNumber lastError() {
    return errno;
}

Status resultOf(int result, const std::string& path, FileOperation operation) {
    return result == 0 ? Status() : failure(path, operation, lastError());
}

FileKind kindOf(mode_t mode) {
    if (S_ISREG(mode)) {
        return FileKind::Regular;
    }
    if (S_ISDIR(mode)) {
        return FileKind::Directory;
    }
    if (S_ISLNK(mode)) {
        return FileKind::Link;
    }
    if (S_ISFIFO(mode)) {
        return FileKind::Pipe;
    }
    if (S_ISSOCK(mode)) {
        return FileKind::Socket;
    }
    if (S_ISCHR(mode)) {
        return FileKind::CharacterDevice;
    }
    if (S_ISBLK(mode)) {
        return FileKind::BlockDevice;
    }
    return FileKind::Other;
}

FileStatus statusFrom(const struct stat& status) {
    return FileStatus{kindOf(status.st_mode), static_cast<std::uint64_t>(status.st_dev),
                      static_cast<std::uint64_t>(status.st_ino),
                      static_cast<std::uint64_t>(status.st_nlink),
                      static_cast<std::uint64_t>(status.st_size)};
}

std::optional<std::string> readLink(int dir, const char* path) {
    std::array<char, 4096> target{};
    const ssize_t length = ::readlinkat(dir, path, target.data(), target.size() - 1);
    if (length < 0) {
        return std::nullopt;
    }
    return std::string(target.data(), static_cast<std::size_t>(length));
}

int lockOperation(LockKind kind) {
    return kind == LockKind::Shared ? LOCK_SH : LOCK_EX;
}

// Where the file system cannot lock, the work goes on unlocked.
Status tryFlock(int fd, LockKind kind, const std::string& path) {
    while (::flock(fd, lockOperation(kind) | LOCK_NB) != 0) {
        const int error = errno;
        if (error == EINTR) {
            continue;
        }
        if (error == ENOLCK || error == EOPNOTSUPP || error == EBADF || error == EINVAL) {
            return std::nullopt;
        }
        return failure(path, FileOperation::Lock, error);
    }
    return std::nullopt;
}

Status refusedLink(const std::string& path, const std::string& target, bool dangling) {
    return FileError{
        path, FileOperation::Open, 0,
        std::string(dangling ? "it is a dangling link to \"" : "it is a symbolic link to \"") +
            target + "\""};
}

int openFlags(Access access) {
    switch (access) {
    case Access::Read:
        return O_RDONLY;
    case Access::Write:
        return O_WRONLY;
    case Access::ReadWrite:
        return O_RDWR;
    }
    return O_RDONLY;
}

} // namespace

ErrorNumber errorNumber(Condition condition) {
    switch (condition) {
    case Condition::NotFound:
        return ENOENT;
    case Condition::IsDirectory:
        return EISDIR;
    case Condition::InputOutput:
        return EIO;
    case Condition::AlreadyExists:
        return EEXIST;
    case Condition::FileTooLarge:
        return EFBIG;
    }
    return EIO;
}

std::string describe(ErrorNumber error) {
    return std::system_category().message(error);
}

bool isBusy(const Status& status) {
    return status && status->operation == FileOperation::Lock && status->errorNumber == EWOULDBLOCK;
}

File::~File() {
    if (handle_ >= 0 && owned_) {
        ::close(fdOf(*this));
    }
}

File::File(File&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)), owned_(other.owned_),
      path_(std::move(other.path_)) {}

File& File::operator=(File&& other) noexcept {
    std::swap(handle_, other.handle_);
    std::swap(owned_, other.owned_);
    std::swap(path_, other.path_);
    return *this;
}

bool File::isOpen() const {
    return handle_ >= 0;
}

Status File::readAt(std::uint64_t offset, std::span<std::uint8_t> into, std::size_t& got) const {
    got = 0;
    while (true) {
        const ssize_t read =
            ::pread(fdOf(*this), into.data(), into.size(), static_cast<off_t>(offset));
        if (read >= 0) {
            got = static_cast<std::size_t>(read);
            return std::nullopt;
        }
        if (errno != EINTR) {
            return failure(path_, FileOperation::Read, lastError());
        }
    }
}

Status File::writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes,
                     std::size_t& put) const {
    put = 0;
    while (true) {
        const ssize_t written =
            ::pwrite(fdOf(*this), bytes.data(), bytes.size(), static_cast<off_t>(offset));
        if (written > 0) {
            put = static_cast<std::size_t>(written);
            return std::nullopt;
        }
        if (written == 0 || errno != EINTR) {
            return failure(path_, FileOperation::Write, written == 0 ? EIO : lastError());
        }
    }
}

Status File::readOn(std::span<char> into, std::size_t& got) const {
    got = 0;
    while (true) {
        const ssize_t read = ::read(fdOf(*this), into.data(), into.size());
        if (read >= 0) {
            got = static_cast<std::size_t>(read);
            return std::nullopt;
        }
        if (errno == EAGAIN) {
            pollfd ready{fdOf(*this), POLLIN, 0};
            ::poll(&ready, 1, -1);
        } else if (errno != EINTR) {
            return failure(path_, FileOperation::Read, lastError());
        }
    }
}

Status File::setLength(std::uint64_t length) const {
    return resultOf(::ftruncate(fdOf(*this), static_cast<off_t>(length)), path_,
                    FileOperation::Write);
}

Status File::sync() const {
    return resultOf(::fsync(fdOf(*this)), path_, FileOperation::Sync);
}

Status File::status(FileStatus& status) const {
    struct stat read {};
    if (::fstat(fdOf(*this), &read) != 0) {
        return failure(path_, FileOperation::Open, lastError());
    }
    status = statusFrom(read);
    return std::nullopt;
}

Status File::tryLock(LockKind kind) const {
    return tryFlock(fdOf(*this), kind, path_);
}

Status File::close() {
    const int fd = static_cast<int>(std::exchange(handle_, -1));
    if (!owned_) {
        return std::nullopt;
    }
    return resultOf(::close(fd), path_, FileOperation::Close);
}

File File::standardInput(const std::string& name) {
    return FileAccess::adopt(STDIN_FILENO, name, false);
}

// Nothing more than the descriptor is needed here: it carries the lock.
struct Folder::State {};

Folder::Folder() = default;

Folder::~Folder() {
    if (handle_ >= 0) {
        ::close(static_cast<int>(handle_));
    }
}

Status Folder::open(const std::string& path, const std::string& /*lockName*/) {
    path_ = path;
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return failure(path, FileOperation::Open, lastError());
    }
    handle_ = fd;
    return std::nullopt;
}

std::string Folder::pathOf(const std::string& name) const {
    return path_ + "/" + name;
}

Status Folder::status(FileStatus& status) const {
    struct stat read {};
    if (::fstat(static_cast<int>(handle_), &read) != 0) {
        return failure(path_, FileOperation::Open, lastError());
    }
    status = statusFrom(read);
    return std::nullopt;
}

// flock on the folder's own descriptor, so that no lock file appears in it.
Status Folder::tryLock(LockKind kind) const {
    return tryFlock(static_cast<int>(handle_), kind, path_);
}

bool Folder::onlyReadersHoldIt() const {
    const int fd = static_cast<int>(handle_);
    if (::flock(fd, LOCK_SH | LOCK_NB) == 0) {
        ::flock(fd, LOCK_UN);
        return true;
    }
    return false;
}

Status Folder::openFile(const std::string& name, Access access, File& file, FileStatus& status,
                        Links links) const {
    const int dir = static_cast<int>(handle_);
    const std::string path = pathOf(name);
    const bool noFollow = access != Access::Read || links == Links::Refuse;
    status = FileStatus{};
    // O_NONBLOCK, so that a named pipe is found out rather than waited on
    // for good; it means nothing for a regular file, so it stays set.
    const int fd = ::openat(dir, name.c_str(),
                            openFlags(access) | O_NONBLOCK | O_NOCTTY | O_CLOEXEC |
                                (noFollow ? O_NOFOLLOW : 0));
    if (fd < 0) {
        const int error = errno;
        struct stat found {};
        const auto target = readLink(dir, name.c_str());
        if ((error == ELOOP && noFollow && target) || (error == ENOENT && target)) {
            status.kind = FileKind::Link;
            return refusedLink(path, *target, error == ENOENT);
        }
        if (error == ENOENT) {
            return failure(path, FileOperation::Open, error);
        }
        // A pipe without a reader, or a socket, cannot even be opened for
        // writing; say what it is rather than "No such device".
        if (error == ENXIO && ::fstatat(dir, name.c_str(), &found, 0) == 0 &&
            !S_ISREG(found.st_mode)) {
            status = statusFrom(found);
            return notRegular(path, status.kind);
        }
        return failure(path, FileOperation::Open, error);
    }
    File opened = FileAccess::adopt(fd, path);
    if (auto error = opened.status(status)) {
        return error;
    }
    if (status.kind != FileKind::Regular) {
        return notRegular(path, status.kind);
    }
    file = std::move(opened);
    return std::nullopt;
}

Status Folder::createFile(const std::string& name, Access access, File& file) const {
    const int fd = ::openat(static_cast<int>(handle_), name.c_str(),
                            openFlags(access) | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        return failure(pathOf(name), FileOperation::Create, lastError());
    }
    file = FileAccess::adopt(fd, pathOf(name));
    return std::nullopt;
}

Status Folder::removeFile(const std::string& name) const {
    return resultOf(::unlinkat(static_cast<int>(handle_), name.c_str(), 0), pathOf(name),
                    FileOperation::Remove);
}

Status Folder::replaceFile(const std::string& from, const std::string& to) const {
    const int dir = static_cast<int>(handle_);
    return resultOf(::renameat(dir, from.c_str(), dir, to.c_str()), pathOf(to),
                    FileOperation::Write);
}

std::vector<std::string> Folder::namesStartingWith(const std::string& prefix) const {
    std::vector<std::string> names;
    // A descriptor of its own: reading the entries moves its position.
    const int fd = ::openat(static_cast<int>(handle_), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* entries = fd < 0 ? nullptr : ::fdopendir(fd);
    if (entries == nullptr) {
        if (fd >= 0) {
            ::close(fd);
        }
        return names;
    }
    while (const dirent* entry = ::readdir(entries)) {
        if (std::string_view(entry->d_name).starts_with(prefix)) {
            names.emplace_back(entry->d_name);
        }
    }
    ::closedir(entries);
    return names;
}

// Some file systems cannot sync a folder (EINVAL) and a read-only one has
// nothing to sync (EROFS); neither means an entry is in danger.
Status Folder::sync() const {
    if (::fsync(static_cast<int>(handle_)) != 0 && errno != EINVAL && errno != EROFS) {
        return failure(path_, FileOperation::Sync, lastError());
    }
    return std::nullopt;
}

Status statusOf(const std::string& path, Links links, FileStatus& status) {
    struct stat read {};
    const int result =
        links == Links::Follow ? ::stat(path.c_str(), &read) : ::lstat(path.c_str(), &read);
    if (result != 0) {
        if (errno == ENOENT) {
            status = FileStatus{};
            return std::nullopt;
        }
        return failure(path, FileOperation::Open, lastError());
    }
    status = statusFrom(read);
    return std::nullopt;
}

std::optional<std::string> linkTarget(const std::string& path) {
    return readLink(AT_FDCWD, path.c_str());
}

Status openToRead(const std::string& path, bool noWait, File& file) {
    const int flags = O_RDONLY | O_NOCTTY | O_CLOEXEC;
    const int fd = ::open(path.c_str(), noWait ? flags | O_NONBLOCK : flags);
    if (fd < 0) {
        return failure(path, FileOperation::Open, lastError());
    }
    file = FileAccess::adopt(fd, path);
    return std::nullopt;
}

Status createExclusive(const std::string& path, File& file) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        return failure(path, FileOperation::Create, lastError());
    }
    file = FileAccess::adopt(fd, path);
    return std::nullopt;
}

Status removeFile(const std::string& path) {
    return resultOf(::unlink(path.c_str()), path, FileOperation::Remove);
}

Status makePrivateFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) == 0) {
        return std::nullopt;
    }
    if (errno != EEXIST) {
        return failure(path, FileOperation::Create, lastError());
    }
    // One already there and open to others is closed to them: it holds what
    // the user was working on. Never through a link.
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return failure(path, FileOperation::Open, lastError());
    }
    struct stat status {};
    int result = ::fstat(fd, &status);
    if (result == 0 && (status.st_mode & 077) != 0) {
        result = ::fchmod(fd, 0700);
    }
    Status made = resultOf(result, path, FileOperation::Create);
    ::close(fd);
    return made;
}

Status makeFolder(const std::string& path) {
    return resultOf(::mkdir(path.c_str(), 0777), path, FileOperation::Create);
}

Status removeFolder(const std::string& path) {
    return resultOf(::rmdir(path.c_str()), path, FileOperation::Remove);
}

namespace {

struct WriterStart {
    void (*job)(void*);
    void* argument;
};

int startWriter(void* argument) {
    // A process group of its own: a kill of the saver's group (Ctrl+C in a
    // terminal, a desktop ending the group) does not reach it. A session of
    // its own would do the same at a fifth of a save's time.
    ::setpgid(0, 0);
    const auto& start = *static_cast<WriterStart*>(argument);
    start.job(start.argument);
    return 0;
}

// A writer killed in the middle leaves AddressSanitizer's marks of its frames
// on the stack it borrowed; they are cleared so that this process can use
// the space again.
void forgetBorrowedStack(std::span<char> stack) {
#if defined(__SANITIZE_ADDRESS__)
    __asan_unpoison_memory_region(stack.data(), stack.size());
#else
    (void)stack;
#endif
}

} // namespace

// The job runs in a child process that shares this one's memory and open
// files (clone with CLONE_VM, CLONE_VFORK and CLONE_FILES, as posix_spawn
// does), in a process group of its own: a kill of this process or of its
// process group leaves the child, which no one has asked to end, to finish,
// and since the child holds the open files and their lock until it is done,
// no reader sees half of its work. Only a kill of every process (a machine
// going down) still can. SIGINT, SIGTERM and SIGHUP wait until it is done.
// Where no child can be made, this process runs the job itself.
Status runWriter(void (*job)(void*), void* argument) {
    const PoliteSignalsHeld held;
    WriterStart start{job, argument};
    // This thread waits until the child is done, so the child may use this
    // stack frame's space as its own stack.
    alignas(16) std::array<char, 64 * 1024> stack;
    const pid_t writer = ::clone(startWriter, stack.data() + stack.size(),
                                 CLONE_VM | CLONE_VFORK | CLONE_FILES | SIGCHLD, &start);
    if (writer < 0) {
        job(argument);
        return std::nullopt;
    }
    int status = 0;
    while (::waitpid(writer, &status, 0) < 0) {
        if (errno != EINTR) {
            status = -1;
            break;
        }
    }
    forgetBorrowedStack(stack);
    if (status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        return std::nullopt;
    }
    const bool fileTooLarge = status != -1 && WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ;
    return failure({}, FileOperation::Write, fileTooLarge ? EFBIG : EIO);
}

struct PoliteSignalsHeld::Previous {
    sigset_t mask{};
};

PoliteSignalsHeld::PoliteSignalsHeld() : previous_(std::make_unique<Previous>()) {
    sigset_t held;
    sigemptyset(&held);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        sigaddset(&held, signal);
    }
    pthread_sigmask(SIG_BLOCK, &held, &previous_->mask);
}

PoliteSignalsHeld::~PoliteSignalsHeld() {
    pthread_sigmask(SIG_SETMASK, &previous_->mask, nullptr);
}

struct FileSizeLimitFails::Previous {
    struct sigaction action {};
};

FileSizeLimitFails::FileSizeLimitFails() : previous_(std::make_unique<Previous>()) {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGXFSZ, &ignore, &previous_->action);
}

FileSizeLimitFails::~FileSizeLimitFails() {
    ::sigaction(SIGXFSZ, &previous_->action, nullptr);
}

bool isTerminal(Stream stream) {
    switch (stream) {
    case Stream::Input:
        return ::isatty(STDIN_FILENO) == 1;
    case Stream::Output:
        return ::isatty(STDOUT_FILENO) == 1;
    case Stream::Error:
        return ::isatty(STDERR_FILENO) == 1;
    }
    return false;
}

bool prepareStandardStreams() {
    // Each lands on the lowest free descriptor, the one that was closed,
    // lowest first. Read-only: writing to a closed output still fails, as
    // it did, but nothing opened later (a unit's file, the display's
    // connection) can take its number and receive what was meant for it.
    bool inputClosed = false;
    for (const int stream : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (::fcntl(stream, F_GETFD) == -1 && errno == EBADF) {
            inputClosed = inputClosed || stream == STDIN_FILENO;
            ::open("/dev/null", O_RDONLY);
        }
    }
    return inputClosed;
}

std::vector<std::string> commandLine(int argc, char** argv) {
    return {argv, argv + argc};
}

} // namespace mx::platform
