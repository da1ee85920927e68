#include "syscall_seam_record.h"

#include <chrono>
#include <optional>
#include <string>
#include <thread>

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

} // namespace

std::string lastComponent(const std::string& path) {
    return path.substr(path.find_last_of("/\\") + 1);
}

bool recording() {
    return state().recording;
}

// Records the call; returns the error number it is to fail with, if any.
std::optional<int> record(const char* call, const std::string& name, int flags) {
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
                endCallingProcess(failure.signal);
            }
            if (failure.delayMilliseconds != 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(failure.delayMilliseconds));
                return std::nullopt;
            }
            errno = failure.errorNumber;
            return failure.errorNumber;
        }
    }
    return std::nullopt;
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
