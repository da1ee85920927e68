#include "config_files.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <span>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace mx {

namespace {

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

FileError failure(const std::string& path, FileOperation operation, int errorNumber) {
    return FileError{path, operation, errorNumber, std::system_category().message(errorNumber)};
}

// A file the editor will not use, though the system would let it.
FileError refusal(const std::string& path, FileOperation operation, std::string why) {
    return FileError{path, operation, 0, std::move(why)};
}

const char* kindOf(mode_t mode) {
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

FileError notRegular(const std::string& path, mode_t mode) {
    if (S_ISDIR(mode)) {
        return failure(path, FileOperation::Open, EISDIR);
    }
    return refusal(path, FileOperation::Open,
                   std::string("it is ") + kindOf(mode) + ", not a regular file");
}

// The folder text is used as given; the platform's separator and the file
// name are appended to it.
std::string inFolder(const std::string& folder, const char* fileName) {
    return folder + std::filesystem::path::preferred_separator + fileName;
}

// One folder, opened once: every file of one load or save is opened relative
// to it, so they all belong to the same folder even if it is renamed meanwhile.
class Folder {
public:
    std::optional<FileError> open(const std::string& path) {
        path_ = path;
        fd_ = FileDescriptor(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (fd_.get() < 0) {
            return failure(path, FileOperation::Open, errno);
        }
        return std::nullopt;
    }

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
        std::array<char, 4096> target{};
        const ssize_t length = ::readlinkat(fd_.get(), name, target.data(), target.size() - 1);
        if (length < 0) {
            return std::nullopt;
        }
        return refusal(pathOf(name), FileOperation::Open,
                       "it is a dangling link to \"" +
                           std::string(target.data(), static_cast<std::size_t>(length)) + "\"");
    }

    // Checks, without opening it, that a file is absent or regular. A save
    // checks both files this way before it writes either.
    std::optional<FileError> checkUsable(const char* name) const {
        struct stat status {};
        if (::fstatat(fd_.get(), name, &status, 0) != 0) {
            if (errno == ENOENT) {
                return danglingLink(name);
            }
            return failure(pathOf(name), FileOperation::Open, errno);
        }
        if (!S_ISREG(status.st_mode)) {
            return notRegular(pathOf(name), status.st_mode);
        }
        return std::nullopt;
    }

    // Opens an existing regular file. Opening does not block, whatever the
    // name stands for: a named pipe would otherwise wait for a writer for
    // good. Sets absent, and opens nothing, when there is no such file.
    std::optional<FileError> openRegular(const char* name, int access, FileDescriptor& file,
                                         bool& absent) const {
        absent = false;
        const std::string path = pathOf(name);
        FileDescriptor opened(
            ::openat(fd_.get(), name, access | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (opened.get() < 0) {
            const int error = errno;
            if (error == ENOENT) {
                if (auto dangling = danglingLink(name)) {
                    return dangling;
                }
                absent = true;
                return std::nullopt;
            }
            // A pipe without a reader, or a socket, cannot even be opened for
            // writing; say what it is rather than "No such device".
            struct stat status {};
            if (error == ENXIO && ::fstatat(fd_.get(), name, &status, 0) == 0 &&
                !S_ISREG(status.st_mode)) {
                return notRegular(path, status.st_mode);
            }
            return failure(path, FileOperation::Open, error);
        }
        struct stat status {};
        if (::fstat(opened.get(), &status) != 0) {
            return failure(path, FileOperation::Open, errno);
        }
        if (!S_ISREG(status.st_mode)) {
            return notRegular(path, status.st_mode);
        }
        const int flags = ::fcntl(opened.get(), F_GETFL);
        if (flags < 0 || ::fcntl(opened.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
            return failure(path, FileOperation::Open, errno);
        }
        file = std::move(opened);
        return std::nullopt;
    }

    // Creates a file that is not there: never through a symbolic link, and
    // never over a file that appeared meanwhile. The folder is synced after.
    std::optional<FileError> createNew(const char* name, int access, FileDescriptor& file) const {
        FileDescriptor created(
            ::openat(fd_.get(), name, access | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (created.get() < 0) {
            return failure(pathOf(name), FileOperation::Create, errno);
        }
        if (auto error = sync()) {
            return error;
        }
        file = std::move(created);
        return std::nullopt;
    }

private:
    std::string path_;
    FileDescriptor fd_;
};

std::optional<FileError> closeChecked(FileDescriptor& file, const std::string& path) {
    if (const int error = file.close(); error != 0) {
        return failure(path, FileOperation::Close, error);
    }
    return std::nullopt;
}

// Reads up to limit bytes from the start of an open file.
std::optional<FileError> readPrefix(FileDescriptor& file, const std::string& path,
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
    return closeChecked(file, path);
}

std::optional<FileError> readFile(const Folder& folder, const char* name, std::size_t limit,
                                  MissingFile missing, std::vector<std::uint8_t>& bytes) {
    const std::string path = folder.pathOf(name);
    FileDescriptor file;
    bool absent = false;
    if (auto error = folder.openRegular(name, O_RDONLY, file, absent)) {
        return error;
    }
    if (!absent) {
        return readPrefix(file, path, limit, bytes);
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
        return closeChecked(file, path);
    }
    return std::nullopt;
}

// Writes the block over the start of the file, creating it when absent and
// keeping whatever lies beyond the block. Success means the bytes reached the
// disk: a partial write is continued, and the sync and close are checked.
std::optional<FileError> writeFile(const Folder& folder, const char* name,
                                   std::span<const std::uint8_t> block) {
    const std::string path = folder.pathOf(name);
    FileDescriptor file;
    bool absent = false;
    if (auto error = folder.openRegular(name, O_WRONLY, file, absent)) {
        return error;
    }
    if (absent) {
        if (auto error = folder.createNew(name, O_WRONLY, file)) {
            return error;
        }
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
    if (::fsync(file.get()) != 0) {
        return failure(path, FileOperation::Sync, errno);
    }
    return closeChecked(file, path);
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
    std::string text = std::string("Could not ") + verbFor(operation) + " \"" + path + "\": ";
    if (errorNumber != 0) {
        text += "error " + std::to_string(errorNumber) + ", ";
    }
    return text + description + ".";
}

std::optional<FileError> ReadStoredBlocks(const std::string& folder, MissingFile missing,
                                          StoredBlocks& blocks) {
    Folder dir;
    if (auto error = dir.open(folder)) {
        return error;
    }
    StoredBlocks read;
    if (auto error = readFile(dir, SwitchFileName, SwitchBlockSize, missing, read.switches)) {
        return error;
    }
    if (auto error = readFile(dir, SettingsFileName, RecallBlockSize, missing, read.settings)) {
        return error;
    }
    blocks = std::move(read);
    return std::nullopt;
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

std::string SaveError::summary() const {
    if (!switchFileSaved) {
        return "The configuration was not saved to \"" + folder + "\".";
    }
    return std::string("Only \"") + SwitchFileName + "\" was saved to \"" + folder + "\"; \"" +
           SettingsFileName + "\" was not, so the two files there are now out of step.";
}

std::optional<SaveError> SaveConfig(const std::string& folder, const ChannelConfig& config) {
    Folder dir;
    if (auto error = dir.open(folder)) {
        return SaveError{folder, *error, false};
    }
    for (const char* name : {SwitchFileName, SettingsFileName}) {
        if (auto error = dir.checkUsable(name)) {
            return SaveError{folder, *error, false};
        }
    }
    if (auto error = writeFile(dir, SwitchFileName, toBlock(config.Switches))) {
        return SaveError{folder, *error, false};
    }
    if (auto error = writeFile(dir, SettingsFileName, toBlock(config.Recall))) {
        return SaveError{folder, *error, true};
    }
    return std::nullopt;
}

} // namespace mx
