#include "config_files.h"

#include "file_descriptor.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sched.h>
#include <span>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

namespace mx {

namespace {

using files::failure;
using files::FileDescriptor;
using files::notRegular;
using files::refusal;

// The folder text is used as given; the platform's separator and the file
// name are appended to it.
std::string inFolder(const std::string& folder, const char* fileName) {
    return folder + std::filesystem::path::preferred_separator + fileName;
}

std::optional<FileError> closeChecked(FileDescriptor& file, const std::string& path) {
    if (const int error = file.close(); error != 0) {
        return failure(path, FileOperation::Close, error);
    }
    return std::nullopt;
}

// Reads up to limit bytes from the start of an open file.
std::optional<FileError> readPrefix(const FileDescriptor& file, const std::string& path,
                                    std::size_t limit, std::vector<std::uint8_t>& bytes) {
    bytes.assign(limit, 0);
    std::size_t count = 0;
    while (count < limit) {
        const ssize_t got =
            ::pread(file.get(), bytes.data() + count, limit - count, static_cast<off_t>(count));
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
    bytes.resize(count);
    return std::nullopt;
}

// Writes all of bytes at offset 0; the error number of a failure, or 0.
// written counts the bytes that reached the file either way.
int writeAll(const FileDescriptor& file, std::span<const std::uint8_t> bytes,
             std::size_t& written) {
    written = 0;
    while (written < bytes.size()) {
        const ssize_t put = ::pwrite(file.get(), bytes.data() + written, bytes.size() - written,
                                     static_cast<off_t>(written));
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (put == 0) {
            return EIO;
        }
        written += static_cast<std::size_t>(put);
    }
    return 0;
}

// Holds back the signals that ask a program to end politely while it lives,
// so that they arrive once both files are written, not between the writes.
class PoliteSignalsHeld {
public:
    PoliteSignalsHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
            sigaddset(&held, signal);
        }
        pthread_sigmask(SIG_BLOCK, &held, &previous_);
    }
    ~PoliteSignalsHeld() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    PoliteSignalsHeld(const PoliteSignalsHeld&) = delete;
    PoliteSignalsHeld& operator=(const PoliteSignalsHeld&) = delete;

private:
    sigset_t previous_{};
};

// One of the two files, opened for a save.
struct SaveTarget {
    const char* name;
    std::string path;
    std::span<const std::uint8_t> block;
    FileDescriptor file;
    bool created = false;
    // Its first bytes and its length before the save, to undo a write.
    std::vector<std::uint8_t> before;
    off_t sizeBefore = 0;
    FileContent content = FileContent::Old;
    // How much of the block went into the file.
    std::size_t written = 0;

    bool heldBlockAlready() const {
        return before.size() == block.size() &&
               std::equal(block.begin(), block.end(), before.begin());
    }
};

// The two writes of a save, made by writeBoth's child. The child notes how
// far it got, so that a child that did not end normally is a failed write of
// the file it was writing, never a success.
struct WriteJob {
    SaveTarget& switches;
    SaveTarget& settings;
    std::array<int, 2> errors = {0, 0};
    // 0 before the first write, 1 during the switch file's, 2 during the
    // settings file's, 3 once both are done.
    int stage = 0;
};

int writeJob(void* argument) {
    // A process group of its own: a kill of the saver's group (Ctrl+C in a
    // terminal, a desktop ending the group) does not reach it. A session of
    // its own would do the same at a fifth of a save's time.
    ::setpgid(0, 0);
    auto& job = *static_cast<WriteJob*>(argument);
    job.stage = 1;
    job.errors[0] = writeAll(job.switches.file, job.switches.block, job.switches.written);
    if (job.errors[0] == 0) {
        job.stage = 2;
        job.errors[1] = writeAll(job.settings.file, job.settings.block, job.settings.written);
    }
    job.stage = 3;
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

// Writes both blocks, the switch file first; the error number of each write,
// 0 for success, and 0 for the settings file when the switch file failed.
//
// The two writes are made by a child process that shares this one's memory
// and open files (clone with CLONE_VM, CLONE_VFORK and CLONE_FILES, as
// posix_spawn does), in a process group of its own, so that nothing can come
// between them: a kill of this process or of its process group leaves the
// child, which no one has asked to end, to finish both, and since the child
// holds the folder's lock until it is done, no reader sees one file written
// and the other not. Only a kill of every process (a machine going down)
// still can. SIGINT, SIGTERM and SIGHUP wait until both are written. Where
// no child can be made, this process writes them itself.
std::array<int, 2> writeBoth(SaveTarget& switches, SaveTarget& settings) {
    const PoliteSignalsHeld held;
    WriteJob job{switches, settings};
    // This thread waits until the child is done, so the child may use this
    // stack frame's space as its own stack.
    alignas(16) std::array<char, 64 * 1024> stack;
    const pid_t writer = ::clone(writeJob, stack.data() + stack.size(),
                                 CLONE_VM | CLONE_VFORK | CLONE_FILES | SIGCHLD, &job);
    if (writer < 0) {
        writeJob(&job);
        return job.errors;
    }
    int status = 0;
    while (::waitpid(writer, &status, 0) < 0) {
        if (errno != EINTR) {
            status = -1;
            break;
        }
    }
    forgetBorrowedStack(stack);
    if (status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0 && job.stage == 3) {
        return job.errors;
    }
    // The writer died: the file it was writing may hold any part of its
    // block, and the switch file's write counts as failed too when it died
    // after it, so that both are undone.
    const int reason = WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ ? EFBIG : EIO;
    const bool atSettings = job.stage >= 2;
    SaveTarget& dying = atSettings ? settings : switches;
    dying.written = dying.block.size();
    return atSettings ? std::array<int, 2>{0, reason} : std::array<int, 2>{reason, 0};
}

} // namespace

// One folder, opened once: every file of one load or save is opened relative
// to it, so they all belong to the same folder even if it is renamed
// meanwhile, and its descriptor carries the lock.
class OpenFolder {
public:
    std::optional<FileError> open(const std::string& path, int lock,
                                  std::chrono::milliseconds wait) {
        path_ = path;
        fd_ = FileDescriptor(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (fd_.get() < 0) {
            return failure(path, FileOperation::Open, errno);
        }
        return takeLock(lock, wait);
    }

    const std::string& path() const { return path_; }
    std::string pathOf(const char* name) const { return inFolder(path_, name); }

    // A new entry only survives a power cut once the folder itself is synced.
    // Some file systems cannot sync a folder (EINVAL) and a read-only one
    // has nothing to sync (EROFS); neither means the entry is in danger.
    std::optional<FileError> sync() const {
        if (::fsync(fd_.get()) != 0 && errno != EINVAL && errno != EROFS) {
            return failure(path_, FileOperation::Sync, errno);
        }
        return std::nullopt;
    }

    // A name that is a symbolic link to nothing: the message says where it
    // points, since following it would create a file elsewhere.
    std::optional<FileError> danglingLink(const char* name) const {
        const auto target = linkTarget(name);
        if (!target) {
            return std::nullopt;
        }
        return refusal(pathOf(name), FileOperation::Open,
                       "it is a dangling link to \"" + *target + "\"");
    }

    // Where a symbolic link in the folder points, or nothing if name is none.
    std::optional<std::string> linkTarget(const char* name) const {
        std::array<char, 4096> target{};
        const ssize_t length = ::readlinkat(fd_.get(), name, target.data(), target.size() - 1);
        if (length < 0) {
            return std::nullopt;
        }
        return std::string(target.data(), static_cast<std::size_t>(length));
    }

    // Opens an existing regular file. Opening does not block, whatever the
    // name stands for: a named pipe would otherwise wait for a writer for
    // good. O_NONBLOCK stays set, as it means nothing for a regular file.
    // Sets absent, and opens nothing, when there is no such file; status
    // receives the file's status.
    // A save opens no symbolic link: writing through one would write another
    // unit's file, outside this folder's lock.
    std::optional<FileError> openRegular(const char* name, int access, FileDescriptor& file,
                                         bool& absent, struct stat& status) const {
        absent = false;
        const std::string path = pathOf(name);
        const bool writing = (access & O_ACCMODE) != O_RDONLY;
        FileDescriptor opened(
            ::openat(fd_.get(), name,
                     access | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (writing ? O_NOFOLLOW : 0)));
        if (opened.get() < 0) {
            const int error = errno;
            if (error == ELOOP && writing) {
                if (const auto target = linkTarget(name)) {
                    return refusal(path, FileOperation::Open,
                                   "it is a symbolic link to \"" + *target +
                                       "\"; a unit's files are saved only as files of its "
                                       "own folder");
                }
            }
            if (error == ENOENT) {
                if (auto dangling = danglingLink(name)) {
                    return dangling;
                }
                absent = true;
                return std::nullopt;
            }
            // A pipe without a reader, or a socket, cannot even be opened for
            // writing; say what it is rather than "No such device".
            if (error == ENXIO && ::fstatat(fd_.get(), name, &status, 0) == 0 &&
                !S_ISREG(status.st_mode)) {
                return notRegular(path, status.st_mode);
            }
            return failure(path, FileOperation::Open, error);
        }
        if (::fstat(opened.get(), &status) != 0) {
            return failure(path, FileOperation::Open, errno);
        }
        if (!S_ISREG(status.st_mode)) {
            return notRegular(path, status.st_mode);
        }
        file = std::move(opened);
        return std::nullopt;
    }

    // Creates a file that is not there: never through a symbolic link, and
    // never over a file that appeared meanwhile.
    std::optional<FileError> createNew(const char* name, int access, FileDescriptor& file) const {
        FileDescriptor created(
            ::openat(fd_.get(), name, access | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (created.get() < 0) {
            return failure(pathOf(name), FileOperation::Create, errno);
        }
        file = std::move(created);
        return std::nullopt;
    }

    // Opens an existing file, or creates it; status receives its status.
    std::optional<FileError> openOrCreate(const char* name, int access, FileDescriptor& file,
                                          bool& created, struct stat& status) const {
        bool absent = false;
        if (auto error = openRegular(name, access, file, absent, status)) {
            return error;
        }
        created = absent;
        if (!absent) {
            return std::nullopt;
        }
        if (auto error = createNew(name, access, file)) {
            return error;
        }
        if (::fstat(file.get(), &status) != 0) {
            return failure(pathOf(name), FileOperation::Create, errno);
        }
        return std::nullopt;
    }

    void remove(const char* name) const { ::unlinkat(fd_.get(), name, 0); }

private:
    // Takes the folder's lock, waiting a little at a time until `wait` has
    // passed. Where the file system cannot lock a folder (some network file
    // systems), the load or save goes on unlocked rather than failing.
    std::optional<FileError> takeLock(int lock, std::chrono::milliseconds wait) {
        constexpr std::chrono::milliseconds Pause{20};
        const auto deadline = std::chrono::steady_clock::now() + wait;
        while (::flock(fd_.get(), lock | LOCK_NB) != 0) {
            const int error = errno;
            if (error == EINTR) {
                continue;
            }
            if (error == ENOLCK || error == EOPNOTSUPP || error == EBADF || error == EINVAL) {
                return std::nullopt;
            }
            if (error != EWOULDBLOCK) {
                return failure(path_, FileOperation::Lock, error);
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                return refusal(path_, FileOperation::Lock, lockHolder(lock));
            }
            std::this_thread::sleep_for(Pause);
        }
        return std::nullopt;
    }

    // Who keeps a lock from being taken: a shared lock that can be had
    // means only readers hold the folder.
    std::string lockHolder(int wanted) const {
        if (wanted == LOCK_EX && ::flock(fd_.get(), LOCK_SH | LOCK_NB) == 0) {
            ::flock(fd_.get(), LOCK_UN);
            return "it is being read by another program; try again later";
        }
        return "it is being written by another program; try again later";
    }

    std::string path_;
    FileDescriptor fd_;
};

namespace {

using Folder = OpenFolder;

std::optional<FileError> readFile(const Folder& folder, const char* name, std::size_t limit,
                                  MissingFile missing, std::vector<std::uint8_t>& bytes) {
    const std::string path = folder.pathOf(name);
    FileDescriptor file;
    bool absent = false;
    struct stat status {};
    if (auto error = folder.openRegular(name, O_RDONLY, file, absent, status)) {
        return error;
    }
    if (!absent) {
        if (auto error = readPrefix(file, path, limit, bytes)) {
            return error;
        }
        return closeChecked(file, path);
    }
    bytes.clear();
    switch (missing) {
    case MissingFile::ReadsEmpty:
        return std::nullopt;
    case MissingFile::IsAnError:
        return failure(path, FileOperation::Open, ENOENT);
    case MissingFile::Create:
        if (auto error = folder.createNew(name, O_WRONLY, file)) {
            return error;
        }
        if (auto error = folder.sync()) {
            return error;
        }
        return closeChecked(file, path);
    }
    return std::nullopt;
}

std::optional<FileError> readBoth(const Folder& folder, MissingFile missing, StoredBlocks& blocks) {
    StoredBlocks read;
    if (auto error = readFile(folder, SwitchFileName, SwitchBlockSize, missing, read.switches)) {
        return error;
    }
    if (auto error = readFile(folder, SettingsFileName, RecallBlockSize, missing, read.settings)) {
        return error;
    }
    blocks = std::move(read);
    return std::nullopt;
}

// Puts back what a file held before a write that failed; false when that
// failed too.
bool undoWrite(SaveTarget& target) {
    if (target.written == 0) {
        return true;
    }
    // Only the bytes the write reached are put back, so that undoing needs
    // no more room than the write took.
    std::size_t restored = 0;
    const std::span<const std::uint8_t> before(target.before);
    if (writeAll(target.file, before.first(std::min(target.written, before.size())), restored) !=
        0) {
        return false;
    }
    struct stat status {};
    return ::fstat(target.file.get(), &status) == 0 &&
           (status.st_size <= target.sizeBefore ||
            ::ftruncate(target.file.get(), target.sizeBefore) == 0);
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
    case FileOperation::Lock:
        return "lock";
    case FileOperation::Parse:
        return "read";
    }
    return "use";
}

bool changed(FileContent content) {
    return content == FileContent::New || content == FileContent::Damaged;
}

const char* describe(FileContent content) {
    switch (content) {
    case FileContent::Old:
        return "still holds the old configuration";
    case FileContent::New:
        return "now holds the new configuration";
    case FileContent::Same:
        return "is unchanged, as it already held the new configuration";
    case FileContent::Damaged:
        return "holds part of the new configuration over the old one";
    }
    return "";
}

} // namespace

std::string FileError::message() const {
    // A text is reported the way compilers report source: where, then what.
    if (operation == FileOperation::Parse) {
        return path + ": " + description;
    }
    std::string text = std::string("Could not ") + verbFor(operation) + " \"" + path + "\": ";
    if (errorNumber != 0) {
        text += "error " + std::to_string(errorNumber) + ", ";
    }
    return text + description + ".";
}

bool SaveError::nothingChanged() const {
    return !changed(switches) && !changed(settings);
}

std::string SaveError::summary() const {
    if (nothingChanged()) {
        return "The configuration was not saved to \"" + folder + "\".";
    }
    const bool written =
        error.operation == FileOperation::Sync || error.operation == FileOperation::Close;
    if (written && switches != FileContent::Old && settings != FileContent::Old) {
        return "The configuration was written to \"" + folder +
               "\", but may not be safely on the disk.";
    }
    const bool outOfStep = switches == FileContent::Damaged || settings == FileContent::Damaged ||
                           switches == FileContent::Old || settings == FileContent::Old;
    return "The configuration was only partly saved to \"" + folder + "\": \"" + SwitchFileName +
           "\" " + describe(switches) + ", and \"" + SettingsFileName + "\" " + describe(settings) +
           "." + (outOfStep ? " The two files are now out of step." : "");
}

LockedFolder::LockedFolder() = default;
LockedFolder::~LockedFolder() = default;

std::optional<FileError> LockedFolder::open(const std::string& folder,
                                            std::chrono::milliseconds wait) {
    folder_ = std::make_unique<OpenFolder>();
    if (auto error = folder_->open(folder, LOCK_EX, wait)) {
        folder_.reset();
        return error;
    }
    return std::nullopt;
}

std::optional<FileError> LockedFolder::read(StoredBlocks& blocks) const {
    return readBoth(*folder_, MissingFile::ReadsEmpty, blocks);
}

std::optional<SaveError> LockedFolder::save(const ChannelConfig& config) {
    const SwitchBlock switchBlock = toBlock(config.Switches);
    const RecallBlock recallBlock = toBlock(config.Recall);
    std::array<SaveTarget, 2> targets = {{
        {SwitchFileName, folder_->pathOf(SwitchFileName), switchBlock, {}, false, {}, 0, {}, 0},
        {SettingsFileName, folder_->pathOf(SettingsFileName), recallBlock, {}, false, {}, 0, {}, 0},
    }};
    SaveTarget& switches = targets[0];
    SaveTarget& settings = targets[1];
    const auto fail = [&](const FileError& error) {
        // A file this save created holds nothing of value: it goes again.
        for (SaveTarget& target : targets) {
            if (target.created && !changed(target.content)) {
                target.file = FileDescriptor();
                folder_->remove(target.name);
            }
        }
        return SaveError{folder_->path(), error, switches.content, settings.content};
    };

    // Both files are opened before either is written, so that one that
    // cannot be written stops the save before anything changed.
    std::array<struct stat, 2> status{};
    for (std::size_t i = 0; i < targets.size(); ++i) {
        SaveTarget& target = targets[i];
        if (auto error = folder_->openOrCreate(target.name, O_RDWR, target.file, target.created,
                                               status[i])) {
            return fail(*error);
        }
        target.sizeBefore = status[i].st_size;
        if (auto error = readPrefix(target.file, target.path, target.block.size(), target.before)) {
            return fail(*error);
        }
        if (target.heldBlockAlready()) {
            target.content = FileContent::Same;
        }
    }
    if (status[0].st_dev == status[1].st_dev && status[0].st_ino == status[1].st_ino) {
        return fail(refusal(settings.path, FileOperation::Open,
                            std::string("it is the same file as \"") + SwitchFileName +
                                "\", under another name"));
    }
    // A file with another name elsewhere may be another unit's file.
    for (std::size_t i = 0; i < targets.size(); ++i) {
        if (status[i].st_nlink > 1) {
            return fail(refusal(targets[i].path, FileOperation::Open,
                                "it has another name elsewhere (a hard link), so saving would "
                                "change that file too"));
        }
    }

    // Through the undo too: a file-size limit fails a write, never ends the
    // saver between writing and undoing.
    const files::FileSizeSignalIgnored fileSizeLimitFails;
    std::array<int, 2> errors = writeBoth(switches, settings);
    for (std::size_t failed = 0; failed < targets.size(); ++failed) {
        if (errors[failed] == 0) {
            continue;
        }
        // The part written of this file, and the file written before it,
        // are put back, the last first.
        for (std::size_t undone = failed + 1; undone-- > 0;) {
            SaveTarget& back = targets[undone];
            if (undoWrite(back)) {
                back.content = back.heldBlockAlready() ? FileContent::Same : FileContent::Old;
            } else if (!back.heldBlockAlready()) {
                back.content = undone == failed ? FileContent::Damaged : FileContent::New;
            }
        }
        return fail(failure(targets[failed].path, FileOperation::Write, errors[failed]));
    }

    for (SaveTarget& target : targets) {
        if (::fsync(target.file.get()) != 0) {
            return fail(failure(target.path, FileOperation::Sync, errno));
        }
    }
    if (switches.created || settings.created) {
        if (auto error = folder_->sync()) {
            return fail(*error);
        }
    }
    for (SaveTarget& target : targets) {
        if (auto error = closeChecked(target.file, target.path)) {
            return fail(*error);
        }
    }
    return std::nullopt;
}

std::optional<FileError> ReadStoredBlocks(const std::string& folder, MissingFile missing,
                                          StoredBlocks& blocks, std::chrono::milliseconds wait) {
    Folder dir;
    // Creating files is writing: it waits for, and keeps out, other writers.
    if (auto error = dir.open(folder, missing == MissingFile::Create ? LOCK_EX : LOCK_SH, wait)) {
        return error;
    }
    return readBoth(dir, missing, blocks);
}

std::optional<FileError> LoadConfig(const std::string& folder, MissingFile missing,
                                    ChannelConfig& config, StoredBlocks* loaded) {
    StoredBlocks blocks;
    if (auto error = ReadStoredBlocks(folder, missing, blocks)) {
        return error;
    }
    // A file shorter than its block overwrites only the bytes it has, from
    // offset 0; the rest keep their values, just as an empty file keeps all.
    applyStoredBlocks(blocks, config);
    if (loaded != nullptr) {
        *loaded = std::move(blocks);
    }
    return std::nullopt;
}

std::optional<SaveError> SaveConfig(const std::string& folder, const ChannelConfig& config) {
    LockedFolder locked;
    if (auto error = locked.open(folder)) {
        return SaveError{folder, *error, FileContent::Old, FileContent::Old};
    }
    return locked.save(config);
}

} // namespace mx
