#pragma once

// What storage needs of the operating system, and no more: files and folders
// opened without following links, reads and writes at an offset, lengths,
// syncing, locks with a bounded wait, a file's identity and kind, and the
// standard streams. platform_posix.cpp implements it on Linux (and other
// POSIX systems), platform_windows.cpp on Windows; nothing else in the
// program includes a system header for files.
//
// Errors are the system's own numbers (errno on POSIX, GetLastError() on
// Windows), 0 for success, so that a message can quote them as they are.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace mx::platform {

using ErrorNumber = int;

// The characters that separate a path's components.
#if defined(_WIN32)
inline constexpr const char* Separators = "/\\";
#else
inline constexpr const char* Separators = "/";
#endif

// The few errors that code outside the platform files names itself.
enum class Condition : std::uint8_t {
    NotFound,
    IsDirectory,
    InputOutput,
    AlreadyExists,
    FileTooLarge,
};
ErrorNumber errorNumber(Condition condition);
// The system's description of an error number, in UTF-8.
std::string describe(ErrorNumber error);

enum class FileKind : std::uint8_t {
    Missing,
    Regular,
    Directory,
    Link,
    Pipe,
    Socket,
    CharacterDevice,
    BlockDevice,
    Other,
};

// What a save needs to know of a file.
struct FileStatus {
    FileKind kind = FileKind::Missing;
    // Which file it is: the same device and index is the same file, by
    // whatever name it was reached.
    std::uint64_t device = 0;
    std::uint64_t index = 0;
    // How many names the file has; more than one is a hard link.
    std::uint64_t links = 0;
    std::uint64_t size = 0;

    bool sameFileAs(const FileStatus& other) const {
        return device == other.device && index == other.index;
    }
};

enum class Access : std::uint8_t { Read, Write, ReadWrite };
enum class LockKind : std::uint8_t { Shared, Exclusive };
// Taken; held by someone else; not possible on this file system (some
// network file systems), where the work goes on unlocked; or failed.
enum class LockResult : std::uint8_t { Taken, Busy, Unsupported, Failed };

// One open file, closed when it goes away. The calls that can fail return
// the error number, 0 on success.
class File {
public:
    File() = default;
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool isOpen() const;

    // One read or write at offset; got and put count the bytes moved, and a
    // call moves at least one byte unless it fails or reads the end.
    ErrorNumber readAt(std::uint64_t offset, std::span<std::uint8_t> into, std::size_t& got) const;
    ErrorNumber writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes,
                        std::size_t& put) const;
    // Reads on from where the last read ended, as from a pipe; an input left
    // non-blocking by whoever started the program is waited for.
    ErrorNumber readOn(std::span<char> into, std::size_t& got) const;
    ErrorNumber setLength(std::uint64_t length) const;
    ErrorNumber sync() const;
    ErrorNumber status(FileStatus& status) const;
    // Locks the file against other programs that lock it too, without
    // waiting; the lock goes with the file.
    LockResult tryLock(LockKind kind, ErrorNumber& error) const;
    // Closes the file and reports how that went; the destructor only cleans
    // up after a failure that is already being reported.
    ErrorNumber close();

    // The program's standard input, which closing leaves open.
    static File standardInput();

private:
    friend class Folder;
    friend struct FileAccess;
    std::intptr_t handle_ = -1;
    bool owned_ = true;
};

// What opening a file of a folder came to.
struct Opened {
    enum class Result : std::uint8_t {
        Opened,       // file is open; status is the open file's
        Absent,       // there is no such file, nor a link of that name
        Link,         // a symbolic link (or reparse point), refused for writing
        DanglingLink, // a symbolic link to nothing
        NotRegular,   // a folder, pipe, device or socket; status.kind says which
        Failed,       // error says why
    };
    Result result = Result::Failed;
    File file;
    FileStatus status;
    ErrorNumber error = 0;
    std::string linkTarget;
};

// Whether a path's last component is followed when it is a symbolic link.
enum class Links : std::uint8_t { Follow, Refuse };

// One folder, opened once, whose files are opened as files of that folder.
// A folder that cannot be locked is used unlocked, and says so as
// LockResult::Unsupported.
class Folder {
public:
    Folder();
    ~Folder();
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    // lockName names the file whose far byte carries the folder's lock where
    // a folder cannot be locked itself (Windows); it need not exist.
    ErrorNumber open(const std::string& path, const std::string& lockName);
    const std::string& path() const { return path_; }
    std::string pathOf(const std::string& name) const;
    // The open folder's own status: which folder it is.
    ErrorNumber status(FileStatus& status) const;

    // The folder's lock for loads (shared) and saves (exclusive), tried once.
    LockResult tryLock(LockKind kind, ErrorNumber& error) const;
    // Whether a shared lock could be had now: then only readers hold it.
    bool onlyReadersHoldIt() const;

    // Opens an existing file without waiting, whatever the name stands for.
    // Reading follows a symbolic link unless told not to; writing never
    // does, so a save never writes another folder's file.
    Opened openFile(const std::string& name, Access access, Links links = Links::Follow) const;
    // Creates a file that is not there: never through a link, never over a
    // file that appeared meanwhile.
    ErrorNumber createFile(const std::string& name, Access access, File& file) const;
    ErrorNumber removeFile(const std::string& name) const;
    // Puts the file `from` in the place of `to`, at once for every reader.
    ErrorNumber replaceFile(const std::string& from, const std::string& to) const;
    // The names of the folder's entries that start with prefix.
    std::vector<std::string> namesStartingWith(const std::string& prefix) const;
    // Makes the folder's new entries last through a power cut, where the
    // system can say so.
    ErrorNumber sync() const;

private:
    struct State;
    std::string path_;
    std::intptr_t handle_ = -1;
    std::unique_ptr<State> state_;
};

// The path's kind and identity; Links::Refuse looks at a link itself.
// A path that is not there is FileKind::Missing, not an error.
ErrorNumber statusOf(const std::string& path, Links links, FileStatus& status);
// Where a symbolic link points, or nothing if path is none.
std::optional<std::string> linkTarget(const std::string& path);
// Opens a file to read, never waiting for a pipe's writer when noWait.
ErrorNumber openToRead(const std::string& path, bool noWait, File& file);
// Creates path exclusively, never through a link.
ErrorNumber createExclusive(const std::string& path, File& file);
// Puts from in the place of to, at once for every reader of to.
ErrorNumber replace(const std::string& from, const std::string& to);
ErrorNumber removeFile(const std::string& path);
// Makes a folder only its user can enter; an existing one is made so.
ErrorNumber makePrivateFolder(const std::string& path);
// Makes a folder as any other (its parent must be there), or removes an
// empty one.
ErrorNumber makeFolder(const std::string& path);
ErrorNumber removeFolder(const std::string& path);

// Runs job(argument) so that it finishes even when this process is ended
// meanwhile, where the system can do that. Returns whether it returned
// normally; fileTooLarge is set when a file-size limit ended it.
bool runWriter(void (*job)(void*), void* argument, bool& fileTooLarge);

// Holds back the signals that ask a program to end politely (SIGINT,
// SIGTERM, SIGHUP, SIGQUIT) while it lives, so that they arrive once the
// work in hand is done; nothing to hold on Windows.
class PoliteSignalsHeld {
public:
    PoliteSignalsHeld();
    ~PoliteSignalsHeld();
    PoliteSignalsHeld(const PoliteSignalsHeld&) = delete;
    PoliteSignalsHeld& operator=(const PoliteSignalsHeld&) = delete;

private:
    struct Previous;
    std::unique_ptr<Previous> previous_;
};

// Makes a file-size limit fail a write instead of ending the program, while
// it lives.
class FileSizeLimitFails {
public:
    FileSizeLimitFails();
    ~FileSizeLimitFails();
    FileSizeLimitFails(const FileSizeLimitFails&) = delete;
    FileSizeLimitFails& operator=(const FileSizeLimitFails&) = delete;

private:
    struct Previous;
    std::unique_ptr<Previous> previous_;
};

// The standard streams, for a command-line program.
enum class Stream : std::uint8_t { Input, Output, Error };
bool isTerminal(Stream stream);
// Readies the standard streams for bytes as they are; returns whether
// standard input was closed by whoever started the program, in which case
// it now reads nothing, so that no file opened later stands in for it.
bool prepareStandardStreams();
// The program's arguments as the bytes of their names: as given on POSIX,
// UTF-8 on Windows, so that any file name reaches storage whole.
std::vector<std::string> commandLine(int argc, char** argv);

} // namespace mx::platform
