// The storage platform on Windows. Paths arrive as UTF-8 and are passed to
// the wide ("W") calls, never through the ANSI code page, so that any name
// a folder can have reaches the file system whole.

#include "platform.h"

// windows.h first: the other Windows headers need what it defines.
// clang-format off
#include <windows.h>
#include <shellapi.h>
#include <winioctl.h>
// clang-format on

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <utility>
#include <vector>

namespace mx::platform {

struct FileAccess {
    static HANDLE handle(const File& file) { return reinterpret_cast<HANDLE>(file.handle_); }
    static File adopt(HANDLE handle, std::string path, bool owned = true) {
        File file;
        file.handle_ = reinterpret_cast<std::intptr_t>(handle);
        file.owned_ = owned;
        file.path_ = std::move(path);
        return file;
    }
};

namespace {

// Taken; held by someone else; not possible on this file system (some
// network file systems), where the work goes on unlocked; or failed.
enum class LockResult : std::uint8_t { Taken, Busy, Unsupported, Failed };

// Every file of the program is opened in one of these ways. A reader lets
// everyone else in. A writer lets others read (and delete, as POSIX lets
// them unlink), but keeps every other writer out while a save runs.
constexpr DWORD ShareWithAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD ShareWithReaders = FILE_SHARE_READ | FILE_SHARE_DELETE;

// Windows locks are mandatory: a locked byte cannot be read or written by
// anyone else. So the lock covers one byte far past the end of any file,
// which no reader of the unit's files ever touches, and a unit's folder
// gets no lock file of its own, as on POSIX.
constexpr DWORD LockOffsetLow = 0xFFFFFFF0;
constexpr DWORD LockOffsetHigh = 0x7FFFFFFF;
// "An operation is not supported on a directory", which MinGW's headers lack.
constexpr ErrorNumber DirectoryNotSupported = 336;

ErrorNumber lastError() {
    return static_cast<ErrorNumber>(::GetLastError());
}

std::wstring wide(const std::string& text) {
    if (text.empty()) {
        return {};
    }
    const int size = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                           static_cast<int>(text.size()), nullptr, 0);
    std::wstring converted(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                          converted.data(), size);
    return converted;
}

std::string narrow(const wchar_t* text, int length = -1) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        return {};
    }
    std::string converted(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, length, converted.data(), size, nullptr, nullptr);
    if (length < 0) {
        converted.pop_back();
    }
    return converted;
}

// A path in UTF-8 that is not valid UTF-8 names no file Windows can have.
bool convertible(const std::string& path, std::wstring& converted) {
    converted = wide(path);
    return path.empty() || !converted.empty();
}

DWORD accessFlags(Access access) {
    switch (access) {
    case Access::Read:
        return GENERIC_READ;
    case Access::Write:
        return GENERIC_WRITE;
    case Access::ReadWrite:
        return GENERIC_READ | GENERIC_WRITE;
    }
    return GENERIC_READ;
}

// The status of a call that gave the system's error number, 0 for success.
Status checked(const std::string& path, FileOperation operation, ErrorNumber error) {
    return error == 0 ? Status() : failure(path, operation, error);
}

Status refusedLink(const std::string& path, const std::string& target, bool dangling) {
    return FileError{
        path, FileOperation::Open, 0,
        std::string(dangling ? "it is a dangling link to \"" : "it is a symbolic link to \"") +
            target + "\""};
}

Status lockStatus(const std::string& path, LockResult result, ErrorNumber error) {
    switch (result) {
    case LockResult::Taken:
    case LockResult::Unsupported:
        return std::nullopt;
    case LockResult::Busy:
        return failure(path, FileOperation::Lock, ERROR_LOCK_VIOLATION);
    case LockResult::Failed:
        break;
    }
    return failure(path, FileOperation::Lock, error);
}

bool notFound(ErrorNumber error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

HANDLE openHandle(const std::wstring& path, DWORD access, DWORD share, DWORD disposition,
                  DWORD flags) {
    return ::CreateFileW(path.c_str(), access, share, nullptr, disposition, flags, nullptr);
}

ErrorNumber statusOfHandle(HANDLE handle, FileStatus& status) {
    switch (::GetFileType(handle)) {
    case FILE_TYPE_PIPE:
        status = FileStatus{FileKind::Pipe, 0, 0, 1, 0};
        return 0;
    case FILE_TYPE_CHAR:
        status = FileStatus{FileKind::CharacterDevice, 0, 0, 1, 0};
        return 0;
    case FILE_TYPE_DISK:
        break;
    default:
        status = FileStatus{FileKind::Other, 0, 0, 1, 0};
        return 0;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (::GetFileInformationByHandle(handle, &information) == 0) {
        return lastError();
    }
    const DWORD attributes = information.dwFileAttributes;
    const FileKind kind = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? FileKind::Link
                          : (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0   ? FileKind::Directory
                                                                           : FileKind::Regular;
    status = FileStatus{
        kind,
        information.dwVolumeSerialNumber,
        (static_cast<std::uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow,
        information.nNumberOfLinks,
        (static_cast<std::uint64_t>(information.nFileSizeHigh) << 32) | information.nFileSizeLow,
    };
    return 0;
}

OVERLAPPED at(std::uint64_t offset) {
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(offset);
    position.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return position;
}

DWORD chunk(std::size_t size) {
    constexpr std::size_t Largest = 1U << 30;
    return static_cast<DWORD>(size < Largest ? size : Largest);
}

LockResult lockHandle(HANDLE handle, LockKind kind, ErrorNumber& error) {
    OVERLAPPED position{};
    position.Offset = LockOffsetLow;
    position.OffsetHigh = LockOffsetHigh;
    const DWORD flags =
        LOCKFILE_FAIL_IMMEDIATELY | (kind == LockKind::Exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    if (::LockFileEx(handle, flags, 0, 1, 0, &position) != 0) {
        error = 0;
        return LockResult::Taken;
    }
    error = lastError();
    if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) {
        return LockResult::Busy;
    }
    if (error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION ||
        error == ERROR_INVALID_PARAMETER) {
        return LockResult::Unsupported;
    }
    return LockResult::Failed;
}

void unlockHandle(HANDLE handle) {
    OVERLAPPED position{};
    position.Offset = LockOffsetLow;
    position.OffsetHigh = LockOffsetHigh;
    ::UnlockFileEx(handle, 0, 1, 0, &position);
}

// The layout of a symbolic link's or junction's reparse data, which the
// system headers keep for drivers.
struct ReparseData {
    DWORD tag;
    WORD dataLength;
    WORD reserved;
    WORD substituteOffset;
    WORD substituteLength;
    WORD printOffset;
    WORD printLength;
};

// Where a link (or junction) points, read from the link itself.
std::optional<std::string> reparseTarget(const std::wstring& path) {
    const HANDLE link = openHandle(path, FILE_READ_ATTRIBUTES, ShareWithAll, OPEN_EXISTING,
                                   FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS);
    if (link == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    std::vector<char> buffer(MAXIMUM_REPARSE_DATA_BUFFER_SIZE);
    DWORD got = 0;
    const BOOL read = ::DeviceIoControl(link, FSCTL_GET_REPARSE_POINT, nullptr, 0, buffer.data(),
                                        static_cast<DWORD>(buffer.size()), &got, nullptr);
    ::CloseHandle(link);
    if (read == 0 || got < sizeof(ReparseData)) {
        return std::nullopt;
    }
    ReparseData data{};
    std::memcpy(&data, buffer.data(), sizeof data);
    std::size_t names = sizeof data;
    if (data.tag == IO_REPARSE_TAG_SYMLINK) {
        names += sizeof(ULONG); // a symbolic link's flags come before its names
    } else if (data.tag != IO_REPARSE_TAG_MOUNT_POINT) {
        return std::string("a reparse point");
    }
    const bool printed = data.printLength != 0;
    const std::size_t offset = names + (printed ? data.printOffset : data.substituteOffset);
    const std::size_t length = printed ? data.printLength : data.substituteLength;
    if (offset + length > got) {
        return std::nullopt;
    }
    std::wstring target(length / sizeof(wchar_t), L'\0');
    std::memcpy(target.data(), buffer.data() + offset, length);
    return narrow(target.c_str(), static_cast<int>(target.size()));
}

bool isReparsePoint(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

} // namespace

ErrorNumber errorNumber(Condition condition) {
    switch (condition) {
    case Condition::NotFound:
        return ERROR_FILE_NOT_FOUND;
    case Condition::IsDirectory:
        return DirectoryNotSupported;
    case Condition::InputOutput:
        return ERROR_IO_DEVICE;
    case Condition::AlreadyExists:
        return ERROR_FILE_EXISTS;
    case Condition::FileTooLarge:
        return ERROR_FILE_TOO_LARGE;
    }
    return ERROR_IO_DEVICE;
}

bool isBusy(const Status& status) {
    return status && status->operation == FileOperation::Lock &&
           status->errorNumber == ERROR_LOCK_VIOLATION;
}

std::string describe(ErrorNumber error) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (length == 0 || text == nullptr) {
        // Wine's message table lacks this one, which its CreateFileW gives.
        return error == DirectoryNotSupported ? "An operation is not supported on a directory"
                                              : "unknown error";
    }
    std::string described = narrow(text, static_cast<int>(length));
    ::LocalFree(text);
    // The system ends its texts with a full stop and a line break; the
    // messages that quote them add their own.
    while (!described.empty() && (described.back() == '\n' || described.back() == '\r' ||
                                  described.back() == '.' || described.back() == ' ')) {
        described.pop_back();
    }
    return described;
}

File::~File() {
    if (isOpen() && owned_) {
        ::CloseHandle(FileAccess::handle(*this));
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
    return handle_ != -1 && handle_ != 0;
}

Status File::readAt(std::uint64_t offset, std::span<std::uint8_t> into, std::size_t& got) const {
    return checked(path_, FileOperation::Read, [&]() -> ErrorNumber {
        got = 0;
        OVERLAPPED position = at(offset);
        DWORD read = 0;
        if (::ReadFile(FileAccess::handle(*this), into.data(), chunk(into.size()), &read,
                       &position) == 0) {
            const ErrorNumber error = lastError();
            return error == ERROR_HANDLE_EOF ? 0 : error;
        }
        got = read;
        return 0;
    }());
}

Status File::writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes,
                     std::size_t& put) const {
    return checked(path_, FileOperation::Write, [&]() -> ErrorNumber {
        put = 0;
        OVERLAPPED position = at(offset);
        DWORD written = 0;
        if (::WriteFile(FileAccess::handle(*this), bytes.data(), chunk(bytes.size()), &written,
                        &position) == 0) {
            return lastError();
        }
        if (written == 0 && !bytes.empty()) {
            return ERROR_IO_DEVICE;
        }
        put = written;
        return 0;
    }());
}

Status File::readOn(std::span<char> into, std::size_t& got) const {
    return checked(path_, FileOperation::Read, [&]() -> ErrorNumber {
        got = 0;
        DWORD read = 0;
        if (::ReadFile(FileAccess::handle(*this), into.data(), chunk(into.size()), &read,
                       nullptr) == 0) {
            const ErrorNumber error = lastError();
            // The writing end of a pipe closed: that is its end.
            return error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF ? 0 : error;
        }
        got = read;
        return 0;
    }());
}

Status File::setLength(std::uint64_t length) const {
    return checked(path_, FileOperation::Write, [&]() -> ErrorNumber {
        FILE_END_OF_FILE_INFO end{};
        end.EndOfFile.QuadPart = static_cast<LONGLONG>(length);
        return ::SetFileInformationByHandle(FileAccess::handle(*this), FileEndOfFileInfo, &end,
                                            sizeof end) != 0
                   ? 0
                   : lastError();
    }());
}

Status File::sync() const {
    return checked(path_, FileOperation::Sync, [&]() -> ErrorNumber {
        return ::FlushFileBuffers(FileAccess::handle(*this)) != 0 ? 0 : lastError();
    }());
}

Status File::status(FileStatus& status) const {
    return checked(path_, FileOperation::Open, [&]() -> ErrorNumber {
        return statusOfHandle(FileAccess::handle(*this), status);
    }());
}

Status File::tryLock(LockKind kind) const {
    ErrorNumber error = 0;
    const LockResult result = lockHandle(FileAccess::handle(*this), kind, error);
    return lockStatus(path_, result, error);
}

Status File::close() {
    return checked(path_, FileOperation::Close, [&]() -> ErrorNumber {
        const HANDLE handle = FileAccess::handle(*this);
        handle_ = -1;
        if (!owned_) {
            return 0;
        }
        return ::CloseHandle(handle) != 0 ? 0 : lastError();
    }());
}

File File::standardInput(const std::string& name) {
    return FileAccess::adopt(::GetStdHandle(STD_INPUT_HANDLE), name, false);
}

// The folder's lock is a far byte of its switch file (see LockOffsetLow).
// A folder without one has nothing a shared lock would protect; for a save
// the file is made, empty, to carry the lock, and counts as not there until
// the save creates it: a save that fails or never happens removes it again,
// so a folder holds afterwards exactly what it would have held on POSIX.
struct Folder::State {
    // The file whose far byte is the folder's lock, as the caller names it.
    std::string lockName;
    File lock;
    bool madeForLock = false;
    bool claimed = false;
};

Folder::Folder() : state_(std::make_unique<State>()) {}

Folder::~Folder() {
    if (state_->madeForLock && !state_->claimed && state_->lock.isOpen()) {
        FILE_DISPOSITION_INFO remove{};
        remove.DeleteFile = TRUE;
        ::SetFileInformationByHandle(FileAccess::handle(state_->lock), FileDispositionInfo, &remove,
                                     sizeof remove);
    }
    state_->lock = File();
    if (handle_ != -1) {
        ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
    }
}

// The folder stays open, without sharing deletion, while a load or save
// runs: Windows then refuses to rename or remove it, so every file opened
// by its path belongs to the same folder, as openat gives on POSIX.
Status Folder::open(const std::string& path, const std::string& lockName) {
    return checked(path, FileOperation::Open, [&]() -> ErrorNumber {
        path_ = path;
        state_->lockName = lockName;
        std::wstring name;
        if (!convertible(path, name)) {
            return ERROR_NO_UNICODE_TRANSLATION;
        }
        const HANDLE folder =
            openHandle(name, FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS);
        if (folder == INVALID_HANDLE_VALUE) {
            return lastError();
        }
        handle_ = reinterpret_cast<std::intptr_t>(folder);
        FileStatus status;
        if (statusOfHandle(folder, status) == 0 && status.kind != FileKind::Directory &&
            status.kind != FileKind::Link) {
            return ERROR_DIRECTORY;
        }
        return 0;
    }());
}

// Joined as the folder was spelled: "C:/units/u1" (as Qt and most programs
// give it) names "C:/units/u1/switches.mx" in a message, not a mixture.
std::string Folder::pathOf(const std::string& name) const {
    const bool forward =
        path_.find('/') != std::string::npos && path_.find('\\') == std::string::npos;
    return path_ + (forward ? "/" : "\\") + name;
}

Status Folder::status(FileStatus& status) const {
    return checked(path_, FileOperation::Open, [&]() -> ErrorNumber {
        return statusOfHandle(reinterpret_cast<HANDLE>(handle_), status);
    }());
}

Status Folder::tryLock(LockKind kind) const {
    ErrorNumber error = 0;
    State& state = *state_;
    const std::wstring lockPath = wide(pathOf(state.lockName));
    while (!state.lock.isOpen()) {
        HANDLE lock = openHandle(lockPath, GENERIC_READ, ShareWithAll, OPEN_EXISTING,
                                 FILE_FLAG_OPEN_REPARSE_POINT);
        if (lock == INVALID_HANDLE_VALUE && notFound(lastError()) && kind == LockKind::Exclusive) {
            lock = openHandle(lockPath, GENERIC_READ | DELETE, ShareWithAll, CREATE_NEW,
                              FILE_FLAG_OPEN_REPARSE_POINT);
            if (lock == INVALID_HANDLE_VALUE && lastError() == ERROR_FILE_EXISTS) {
                continue;
            }
            state.madeForLock = lock != INVALID_HANDLE_VALUE;
        }
        if (lock == INVALID_HANDLE_VALUE) {
            // Another program holds the file without sharing it: it is busy.
            // Anything else (no file to read, a folder that takes no new
            // file) is left for the load or save itself to report.
            return lockStatus(path_,
                              lastError() == ERROR_SHARING_VIOLATION ? LockResult::Busy
                                                                     : LockResult::Unsupported,
                              0);
        }
        state.lock = FileAccess::adopt(lock, pathOf(state.lockName));
    }
    const LockResult result = lockHandle(FileAccess::handle(state.lock), kind, error);
    return lockStatus(path_, result, error);
}

bool Folder::onlyReadersHoldIt() const {
    ErrorNumber error = 0;
    if (!state_->lock.isOpen() || lockHandle(FileAccess::handle(state_->lock), LockKind::Shared,
                                             error) != LockResult::Taken) {
        return false;
    }
    unlockHandle(FileAccess::handle(state_->lock));
    return true;
}

Status Folder::openFile(const std::string& name, Access access, File& file, FileStatus& status,
                        Links links) const {
    const std::string named = pathOf(name);
    status = FileStatus{};
    std::wstring path;
    if (!convertible(named, path)) {
        return failure(named, FileOperation::Open, ERROR_NO_UNICODE_TRANSLATION);
    }
    if (state_->madeForLock && !state_->claimed && name == state_->lockName) {
        return failure(named, FileOperation::Open, ERROR_FILE_NOT_FOUND);
    }
    const bool writing = access != Access::Read;
    const bool noFollow = writing || links == Links::Refuse;
    const HANDLE handle =
        openHandle(path, accessFlags(access), writing ? ShareWithReaders : ShareWithAll,
                   OPEN_EXISTING, noFollow ? FILE_FLAG_OPEN_REPARSE_POINT : FILE_ATTRIBUTE_NORMAL);
    if (handle == INVALID_HANDLE_VALUE) {
        const ErrorNumber error = lastError();
        if (notFound(error) && isReparsePoint(path)) {
            status.kind = FileKind::Link;
            return refusedLink(named, reparseTarget(path).value_or(""), true);
        }
        if (notFound(error)) {
            return failure(named, FileOperation::Open, ERROR_FILE_NOT_FOUND);
        }
        // A folder cannot be opened as a file: say what it is.
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        if ((error == ERROR_ACCESS_DENIED || error == DirectoryNotSupported) &&
            attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            status.kind = FileKind::Directory;
            return notRegular(named, status.kind);
        }
        return failure(named, FileOperation::Open, error);
    }
    File opened = FileAccess::adopt(handle, named);
    if (auto error = opened.status(status)) {
        return error;
    }
    if (status.kind == FileKind::Link) {
        return refusedLink(named, reparseTarget(path).value_or(""), false);
    }
    if (status.kind != FileKind::Regular) {
        return notRegular(named, status.kind);
    }
    file = std::move(opened);
    return std::nullopt;
}

Status Folder::createFile(const std::string& name, Access access, File& file) const {
    std::wstring path;
    if (!convertible(pathOf(name), path)) {
        return failure(pathOf(name), FileOperation::Create, ERROR_NO_UNICODE_TRANSLATION);
    }
    // The file made to carry the lock is the one this creates.
    const bool claiming = state_->madeForLock && !state_->claimed && name == state_->lockName;
    const HANDLE created =
        openHandle(path, accessFlags(access), ShareWithReaders,
                   claiming ? OPEN_EXISTING : CREATE_NEW, FILE_FLAG_OPEN_REPARSE_POINT);
    if (created == INVALID_HANDLE_VALUE) {
        return failure(pathOf(name), FileOperation::Create, lastError());
    }
    state_->claimed = state_->claimed || claiming;
    file = FileAccess::adopt(created, pathOf(name));
    return std::nullopt;
}

Status Folder::removeFile(const std::string& name) const {
    std::wstring path;
    const ErrorNumber error = !convertible(pathOf(name), path)   ? ERROR_NO_UNICODE_TRANSLATION
                              : ::DeleteFileW(path.c_str()) != 0 ? 0
                                                                 : lastError();
    return checked(pathOf(name), FileOperation::Remove, error);
}

// MoveFileEx replaces a file that is there (a plain rename fails over one).
Status Folder::replaceFile(const std::string& from, const std::string& to) const {
    std::wstring source;
    std::wstring target;
    if (!convertible(pathOf(from), source) || !convertible(pathOf(to), target)) {
        return failure(pathOf(to), FileOperation::Write, ERROR_NO_UNICODE_TRANSLATION);
    }
    const BOOL moved = ::MoveFileExW(source.c_str(), target.c_str(),
                                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    return checked(pathOf(to), FileOperation::Write, moved != 0 ? 0 : lastError());
}

std::vector<std::string> Folder::namesStartingWith(const std::string& prefix) const {
    std::vector<std::string> names;
    std::wstring pattern;
    if (!convertible(pathOf(prefix + "*"), pattern)) {
        return names;
    }
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        names.push_back(narrow(found.cFileName));
    } while (::FindNextFileW(search, &found) != 0);
    ::FindClose(search);
    return names;
}

// Windows has no call that syncs a folder's entries: NTFS keeps them in its
// journal, and a created file's entry is on the disk once the file's own
// buffers are flushed. Nothing is left to do here.
Status Folder::sync() const {
    return std::nullopt;
}

Status statusOf(const std::string& path, Links links, FileStatus& status) {
    std::wstring name;
    if (!convertible(path, name)) {
        return failure(path, FileOperation::Open, ERROR_NO_UNICODE_TRANSLATION);
    }
    const HANDLE file = openHandle(name, FILE_READ_ATTRIBUTES, ShareWithAll, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS |
                                       (links == Links::Refuse ? FILE_FLAG_OPEN_REPARSE_POINT : 0));
    if (file == INVALID_HANDLE_VALUE) {
        const ErrorNumber error = lastError();
        if (notFound(error)) {
            status = FileStatus{};
            return std::nullopt;
        }
        return failure(path, FileOperation::Open, error);
    }
    const ErrorNumber error = statusOfHandle(file, status);
    ::CloseHandle(file);
    return checked(path, FileOperation::Open, error);
}

std::optional<std::string> linkTarget(const std::string& path) {
    std::wstring name;
    if (!convertible(path, name) || !isReparsePoint(name)) {
        return std::nullopt;
    }
    return reparseTarget(name);
}

namespace {

// A call's result as an error number: 0, or what the system says.
ErrorNumber resultOf(BOOL succeeded) {
    return succeeded != 0 ? 0 : lastError();
}

// Runs call on the wide form of path; a path that is not valid UTF-8 names
// no file Windows can have.
template <typename Call> ErrorNumber onWidePath(const std::string& path, Call&& call) {
    std::wstring name;
    return convertible(path, name) ? call(name) : ERROR_NO_UNICODE_TRANSLATION;
}

ErrorNumber openInto(File& file, HANDLE opened, const std::string& path) {
    if (opened == INVALID_HANDLE_VALUE) {
        return lastError();
    }
    file = FileAccess::adopt(opened, path);
    return 0;
}

} // namespace

// Opening a pipe never waits on Windows, so noWait needs nothing.
Status openToRead(const std::string& path, bool /*noWait*/, File& file) {
    return checked(path, FileOperation::Open, onWidePath(path, [&](const std::wstring& name) {
                       return openInto(file,
                                       openHandle(name, GENERIC_READ, ShareWithAll, OPEN_EXISTING,
                                                  FILE_ATTRIBUTE_NORMAL),
                                       path);
                   }));
}

Status createExclusive(const std::string& path, File& file) {
    return checked(path, FileOperation::Create, onWidePath(path, [&](const std::wstring& name) {
                       return openInto(file,
                                       openHandle(name, GENERIC_READ | GENERIC_WRITE,
                                                  ShareWithReaders, CREATE_NEW,
                                                  FILE_FLAG_OPEN_REPARSE_POINT),
                                       path);
                   }));
}

Status removeFile(const std::string& path) {
    return checked(path, FileOperation::Remove, onWidePath(path, [](const std::wstring& name) {
                       return resultOf(::DeleteFileW(name.c_str()));
                   }));
}

namespace {

ErrorNumber madeFolder(const std::string& path) {
    return onWidePath(path, [](const std::wstring& name) {
        return resultOf(::CreateDirectoryW(name.c_str(), nullptr));
    });
}

} // namespace

// The folder takes the permissions of where it is made: under the user's
// own application data, only the user's.
Status makePrivateFolder(const std::string& path) {
    const ErrorNumber error = madeFolder(path);
    return checked(path, FileOperation::Create, error == ERROR_ALREADY_EXISTS ? 0 : error);
}

Status makeFolder(const std::string& path) {
    return checked(path, FileOperation::Create, madeFolder(path));
}

Status removeFolder(const std::string& path) {
    return checked(path, FileOperation::Remove, onWidePath(path, [](const std::wstring& name) {
                       return resultOf(::RemoveDirectoryW(name.c_str()));
                   }));
}

// Windows has no process that shares this one's memory and open files, so
// the writes are made here: a kill of the saver between the two writes (Task
// Manager's End task, TerminateProcess) can leave the files out of step,
// which the next load shows and the next save mends. Nor are there polite
// signals to hold back; a shutdown asks the window first, and is answered
// only after the save.
Status runWriter(void (*job)(void*), void* argument) {
    job(argument);
    return std::nullopt;
}

struct PoliteSignalsHeld::Previous {};
PoliteSignalsHeld::PoliteSignalsHeld() = default;
PoliteSignalsHeld::~PoliteSignalsHeld() = default;

// Windows has no file-size limit that ends a program.
struct FileSizeLimitFails::Previous {};
FileSizeLimitFails::FileSizeLimitFails() = default;
FileSizeLimitFails::~FileSizeLimitFails() = default;

bool isTerminal(Stream stream) {
    const DWORD which = stream == Stream::Input    ? STD_INPUT_HANDLE
                        : stream == Stream::Output ? STD_OUTPUT_HANDLE
                                                   : STD_ERROR_HANDLE;
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(which), &mode) != 0;
}

// Bytes as they are: without this, the C library would write every "\n" of
// a configuration's text as "\r\n", and read them back the other way.
bool prepareStandardStreams() {
    ::_setmode(::_fileno(stdin), _O_BINARY);
    ::_setmode(::_fileno(stdout), _O_BINARY);
    // Messages end their lines as everywhere else, as scripts compare them.
    ::_setmode(::_fileno(stderr), _O_BINARY);
    const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    return input == nullptr || input == INVALID_HANDLE_VALUE;
}

// argv holds the names in the ANSI code page, which loses every character it
// lacks; the wide command line has them all.
std::vector<std::string> commandLine(int argc, char** argv) {
    int count = 0;
    wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (arguments == nullptr) {
        return {argv, argv + argc};
    }
    std::vector<std::string> converted;
    converted.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        converted.push_back(narrow(arguments[i]));
    }
    ::LocalFree(arguments);
    return converted;
}

} // namespace mx::platform
