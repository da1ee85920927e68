#pragma once

// A seam between storage and the system calls it makes on files, for tests
// that must see what happened (was the file synced before success?) or make
// one call fail. Test executables link it with -Wl,--wrap for each call (see
// mx_link_syscall_seam in tests/CMakeLists.txt); nothing else sees it.

#include <string>
#include <vector>

namespace mx::seam {

// One call, e.g. {"pwrite", "switches.mx", 0} or {"openat", "settings.cmx",
// O_CREAT | O_EXCL | O_WRONLY}. Files are named by their last path component,
// and any directory is "folder".
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

    // A `call` on `name` fails with errorNumber, after `passing` such calls
    // have gone through.
    void failNext(const std::string& call, const std::string& name, int errorNumber,
                  int passing = 0);

    // The process making the next `call` on `name` is ended by `signal`.
    void dieAt(const std::string& call, const std::string& name, int signal);
    // The next `call` on `name` waits that long, then happens.
    void delayNext(const std::string& call, const std::string& name, int milliseconds);

    const std::vector<Call>& calls() const;
    // The index of the first recorded call of this kind on name, or -1.
    int indexOf(const std::string& call, const std::string& name) const;
};

} // namespace mx::seam
