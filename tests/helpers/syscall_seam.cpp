#include "syscall_seam_record.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <utility>

namespace mx::seam {

namespace {

// What a call is made to do instead of, or before, happening: fail with an
// error number, end the calling process with a signal, or wait.
struct Failure {
    Call call;
    int errorNumber = 0;
    int passing = 0;
    int signal = 0;
    int delayMilliseconds = 0;
    bool afterCall = false;
    std::function<void()> meanwhile;
};

struct State {
    bool recording = false;
    std::vector<Call> calls;
    std::vector<Failure> failures;
    // The signal that ends the process once the call under way returns.
    int signalAfterCall = 0;
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

namespace {

bool matches(const std::string& pattern, const std::string& name) {
    return !pattern.empty() && pattern.back() == '*'
               ? name.starts_with(std::string_view(pattern).substr(0, pattern.size() - 1))
               : pattern == name;
}

} // namespace

// Records the call; returns the error number it is to fail with, if any.
std::optional<int> record(const char* call, const std::string& name, int flags) {
    State& s = state();
    if (!s.recording) {
        return std::nullopt;
    }
    s.calls.push_back({call, name, flags});
    for (auto it = s.failures.begin(); it != s.failures.end(); ++it) {
        if (it->call.call == call && matches(it->call.name, name) && it->passing-- == 0) {
            const Failure failure = *it;
            s.failures.erase(it);
            if (failure.meanwhile) {
                failure.meanwhile();
                return std::nullopt;
            }
            if (failure.afterCall) {
                s.signalAfterCall = failure.signal;
                return std::nullopt;
            }
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

void finished() {
    if (const int signal = std::exchange(state().signalAfterCall, 0); signal != 0) {
        endCallingProcess(signal);
    }
}

Recorder::Recorder() {
    state() = State{};
    state().recording = true;
}

Recorder::~Recorder() {
    state() = State{};
}

namespace {

Failure& added(const std::string& call, const std::string& name) {
    Failure& failure = state().failures.emplace_back();
    failure.call = {call, name, 0};
    return failure;
}

} // namespace

void Recorder::failNext(const std::string& call, const std::string& name, int errorNumber,
                        int passing) {
    Failure& failure = added(call, name);
    failure.errorNumber = errorNumber;
    failure.passing = passing;
}

void Recorder::dieAt(const std::string& call, const std::string& name, int signal) {
    Failure& failure = added(call, name);
    failure.errorNumber = EINTR;
    failure.signal = signal;
}

void Recorder::dieAfter(const std::string& call, const std::string& name, int signal) {
    Failure& failure = added(call, name);
    failure.signal = signal;
    failure.afterCall = true;
}

void Recorder::whenCalled(const std::string& call, const std::string& name,
                          std::function<void()> meanwhile) {
    added(call, name).meanwhile = std::move(meanwhile);
}

void Recorder::delayNext(const std::string& call, const std::string& name, int milliseconds) {
    added(call, name).delayMilliseconds = milliseconds;
}

const std::vector<Call>& Recorder::calls() const {
    return state().calls;
}

int Recorder::indexOf(const std::string& call, const std::string& name) const {
    const std::vector<Call>& calls = state().calls;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].call == call && matches(name, calls[i].name)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

} // namespace mx::seam
