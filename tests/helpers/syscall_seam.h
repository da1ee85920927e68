#pragma once

// A seam between storage and the system calls it makes on files, for tests
// that must see what happened (was the file synced before success?) or make
// one call fail. Test executables link it with -Wl,--wrap for each call (see
// mx_link_syscall_seam in tests/CMakeLists.txt); nothing else sees it.
// syscall_seam.cpp wraps the POSIX calls, syscall_seam_windows.cpp the
// Win32 ones.

#include <functional>
#include <string>
#include <vector>

namespace mx::seam {

// What an open asked for, in the same terms on every platform.
enum OpenFlags : int { Creates = 1, Exclusive = 2, NoFollow = 4 };

// Whether the system has a call that syncs a folder's entries; Windows has
// none.
#if defined(_WIN32)
inline constexpr bool FoldersSync = false;
#else
inline constexpr bool FoldersSync = true;
#endif

// One call, e.g. {"pwrite", "switches.mx", 0} or {"openat", "settings.cmx",
// Creates | Exclusive | NoFollow}. The calls are named as on POSIX on every
// platform (on Windows, "openat" is CreateFileW, "pwrite" WriteFile, "fsync"
// FlushFileBuffers and "close" CloseHandle; "rename" and "unlink", renameat
// and unlinkat, are seen on POSIX only). Files are named by their last path
// component (a rename by the name it gives), and any directory is "folder".
struct Call {
    std::string call;
    std::string name;
    int flags = 0;
};

// Records every wrapped call while it lives, and makes the calls it was told
// to fail return -1 with the given error number instead of happening.
class Recorder {
public:
    Recorder();
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // Each `name` below may end in '*' to stand for every name that starts
    // with what comes before it ("names.txt.new-*").

    // A `call` on `name` fails with errorNumber, after `passing` such calls
    // have gone through.
    void failNext(const std::string& call, const std::string& name, int errorNumber,
                  int passing = 0);

    // The process making the next `call` on `name` is ended by `signal`.
    void dieAt(const std::string& call, const std::string& name, int signal);
    // The next `call` on `name` happens, and then the process that made it
    // is ended by `signal`.
    void dieAfter(const std::string& call, const std::string& name, int signal);
    // Runs `meanwhile` just before the next `call` on `name` happens, as
    // another program could.
    void whenCalled(const std::string& call, const std::string& name,
                    std::function<void()> meanwhile);
    // The next `call` on `name` waits that long, then happens.
    void delayNext(const std::string& call, const std::string& name, int milliseconds);

    const std::vector<Call>& calls() const;
    // The index of the first recorded call of this kind on name (which may
    // end in '*'), or -1.
    int indexOf(const std::string& call, const std::string& name) const;
};

} // namespace mx::seam
