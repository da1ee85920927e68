// The seam's wrappers of the Win32 calls storage makes on files. A call into
// a system DLL goes through its import pointer, __imp_<name>; the linker's
// --wrap renames that pointer, so the wrappers are pointers too.

#include "syscall_seam_record.h"

#include <string>
#include <vector>
#include <windows.h>

// NOLINTBEGIN(bugprone-reserved-identifier)
extern "C" {
extern decltype(&CreateFileW) __real___imp_CreateFileW;
extern decltype(&WriteFile) __real___imp_WriteFile;
extern decltype(&FlushFileBuffers) __real___imp_FlushFileBuffers;
extern decltype(&CloseHandle) __real___imp_CloseHandle;
}
// NOLINTEND(bugprone-reserved-identifier)

namespace mx::seam {

namespace {

std::string narrow(const std::wstring& text) {
    std::string converted;
    for (const wchar_t c : text) {
        converted += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return converted;
}

// The name a handle was opened with; a directory is "folder".
std::string nameOf(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (::GetFileInformationByHandle(handle, &information) == 0) {
        return "?";
    }
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return "folder";
    }
    std::vector<wchar_t> path(32768);
    const DWORD length =
        ::GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()), 0);
    if (length == 0 || length >= path.size()) {
        return "?";
    }
    return lastComponent(narrow(std::wstring(path.data(), length)));
}

std::optional<int> recordOn(const char* call, HANDLE handle) {
    return recording() ? record(call, nameOf(handle)) : std::nullopt;
}

int openFlags(DWORD disposition, DWORD attributes) {
    const bool creates =
        disposition == CREATE_NEW || disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS;
    return (creates ? Creates : 0) | (disposition == CREATE_NEW ? Exclusive : 0) |
           ((attributes & FILE_FLAG_OPEN_REPARSE_POINT) != 0 ? NoFollow : 0);
}

HANDLE WINAPI createFile(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                         DWORD disposition, DWORD attributes, HANDLE model) {
    if (const auto error =
            record("openat", lastComponent(narrow(path)), openFlags(disposition, attributes))) {
        ::SetLastError(static_cast<DWORD>(*error));
        return INVALID_HANDLE_VALUE;
    }
    return __real___imp_CreateFileW(path, access, share, security, disposition, attributes, model);
}

BOOL WINAPI writeFile(HANDLE file, LPCVOID bytes, DWORD count, LPDWORD written,
                      LPOVERLAPPED position) {
    if (const auto error = recordOn("pwrite", file)) {
        ::SetLastError(static_cast<DWORD>(*error));
        return FALSE;
    }
    const BOOL done = __real___imp_WriteFile(file, bytes, count, written, position);
    finished();
    return done;
}

BOOL WINAPI flushFileBuffers(HANDLE file) {
    if (const auto error = recordOn("fsync", file)) {
        ::SetLastError(static_cast<DWORD>(*error));
        return FALSE;
    }
    return __real___imp_FlushFileBuffers(file);
}

BOOL WINAPI closeHandle(HANDLE handle) {
    // The handle is gone even when closing fails, as after a real failure.
    const auto error = recordOn("close", handle);
    const BOOL closed = __real___imp_CloseHandle(handle);
    if (error) {
        ::SetLastError(static_cast<DWORD>(*error));
        return FALSE;
    }
    return closed;
}

} // namespace

void endCallingProcess(int signal) {
    ::TerminateProcess(::GetCurrentProcess(), 128 + static_cast<UINT>(signal));
}

} // namespace mx::seam

// NOLINTBEGIN(bugprone-reserved-identifier)
extern "C" {
decltype(&CreateFileW) __wrap___imp_CreateFileW = mx::seam::createFile;
decltype(&WriteFile) __wrap___imp_WriteFile = mx::seam::writeFile;
decltype(&FlushFileBuffers) __wrap___imp_FlushFileBuffers = mx::seam::flushFileBuffers;
decltype(&CloseHandle) __wrap___imp_CloseHandle = mx::seam::closeHandle;
}
// NOLINTEND(bugprone-reserved-identifier)
