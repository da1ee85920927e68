#pragma once

// What storage needs of the operating system, and no more: files and folders
// opened without following links, reads and writes at an offset, lengths,
// syncing, locks with a bounded wait, a file's identity and kind, and the
// standard streams. platform_posix.cpp implements it on Linux (and other
// POSIX systems), platform_windows.cpp on Windows; nothing else in the
// program includes a system header for files.
//
// Every call that can fail returns a Status: nothing on success, else the
// one error type of storage, FileError, naming the file, what was being
// done, and the system's own error number (errno on POSIX, GetLastError()
// on Windows) with its description, so that a message can quote it.

#include "file_error.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace mx::platform {

using ErrorNumber = int;
using Status = std::optional<FileError>;

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
// The error of a call on path, with the system's number and description.
FileError failure(const std::string& path, FileOperation operation, ErrorNumber error);
// Whether a status says that the file is not there, or that another
// program holds the lock that was asked for.
bool isNotFound(const Status& status);
bool isBusy(const Status& status);

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

// Why a file that is there is no regular file to use: "it is a named pipe,
// not a regular file", or the system's "Is a directory".
FileError notRegular(const std::string& path, FileKind kind);

enum class Access : std::uint8_t { Read, Write, ReadWrite };
// A lock is taken, or busy (isBusy) while another program holds it. On a
// file system that cannot lock (some network file systems) it counts as
// taken, and the work goes on unlocked.
enum class LockKind : std::uint8_t { Shared, Exclusive };

// One open file, closed when it goes away; its errors name the path it was
// opened by.
class File {
public:
    File() = default;
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool isOpen() const;
    const std::string& path() const { return path_; }

    // One read or write at offset; got and put count the bytes moved, and a
    // call moves at least one byte unless it fails or reads the end.
    Status readAt(std::uint64_t offset, std::span<std::uint8_t> into, std::size_t& got) const;
    Status writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes,
                   std::size_t& put) const;
    // Reads on from where the last read ended, as from a pipe; an input left
    // non-blocking by whoever started the program is waited for.
    Status readOn(std::span<char> into, std::size_t& got) const;
    Status setLength(std::uint64_t length) const;
    Status sync() const;
    Status status(FileStatus& status) const;
    // Locks the file against other programs that lock it too, without
    // waiting; the lock goes with the file.
    Status tryLock(LockKind kind) const;
    // Closes the file and reports how that went; the destructor only cleans
    // up after a failure that is already being reported.
    Status close();

    // The program's standard input, which closing leaves open.
    static File standardInput(const std::string& name);

private:
    friend class Folder;
    friend struct FileAccess;
    std::intptr_t handle_ = -1;
    bool owned_ = true;
    std::string path_;
};

// Whether a path's last component is followed when it is a symbolic link.
enum class Links : std::uint8_t { Follow, Refuse };

// One folder, opened once, whose files are opened as files of that folder.
class Folder {
public:
    Folder();
    ~Folder();
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    // lockName names the file whose far byte carries the folder's lock where
    // a folder cannot be locked itself (Windows); it need not exist.
    Status open(const std::string& path, const std::string& lockName);
    const std::string& path() const { return path_; }
    std::string pathOf(const std::string& name) const;
    // The open folder's own status: which folder it is.
    Status status(FileStatus& status) const;

    // The folder's lock for loads (shared) and saves (exclusive), tried once.
    Status tryLock(LockKind kind) const;
    // Whether a shared lock could be had now: then only readers hold it.
    bool onlyReadersHoldIt() const;

    // Opens an existing regular file without waiting. Reading follows a
    // symbolic link unless told not to; writing never does, so a save never
    // writes another folder's file. Whatever the name stands for, status
    // says what it is: Missing (isNotFound), Link (a link refused, or one to
    // nothing), a folder, a pipe or another kind that is no regular file,
    // each refused with a description that says so.
    Status openFile(const std::string& name, Access access, File& file, FileStatus& status,
                    Links links = Links::Follow) const;
    // Creates a file that is not there: never through a link, never over a
    // file that appeared meanwhile.
    Status createFile(const std::string& name, Access access, File& file) const;
    Status removeFile(const std::string& name) const;
    // Puts the file `from` in the place of `to`, at once for every reader.
    Status replaceFile(const std::string& from, const std::string& to) const;
    // The names of the folder's entries that start with prefix.
    std::vector<std::string> namesStartingWith(const std::string& prefix) const;
    // Makes the folder's new entries last through a power cut, where the
    // system can say so.
    Status sync() const;

private:
    struct State;
    std::string path_;
    std::intptr_t handle_ = -1;
    std::unique_ptr<State> state_;
};

// The path's kind and identity; Links::Refuse looks at a link itself.
// A path that is not there is FileKind::Missing, not an error.
Status statusOf(const std::string& path, Links links, FileStatus& status);
// Where a symbolic link points, or nothing if path is none.
std::optional<std::string> linkTarget(const std::string& path);
// Opens a file to read, never waiting for a pipe's writer when noWait.
Status openToRead(const std::string& path, bool noWait, File& file);
// Creates path exclusively, never through a link.
Status createExclusive(const std::string& path, File& file);
Status removeFile(const std::string& path);
// Makes a folder only its user can enter; an existing one is made so.
Status makePrivateFolder(const std::string& path);
// Makes a folder as any other (its parent must be there), or removes an
// empty one.
Status makeFolder(const std::string& path);
Status removeFolder(const std::string& path);

// Runs job(argument) so that it finishes even when this process is ended
// meanwhile, where the system can do that. Fails when the job did not
// return normally: with the system's "File too large" when a file-size
// limit ended it, else an input/output error.
Status runWriter(void (*job)(void*), void* argument);

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
// Readies the standard streams for bytes as they are. A stream closed by
// whoever started the program is opened on the null device, so that no file
// opened later stands in for it: input then reads nothing, and output still
// fails. Returns whether standard input was closed.
bool prepareStandardStreams();
// The program's arguments as the bytes of their names: as given on POSIX,
// UTF-8 on Windows, so that any file name reaches storage whole.
std::vector<std::string> commandLine(int argc, char** argv);

} // namespace mx::platform
