#pragma once

// The seam's side that both platforms' wrappers share.

#include "syscall_seam.h"

#include <optional>
#include <string>

namespace mx::seam {

// Whether a Recorder lives, so that a call's name is looked up only then.
bool recording();
// Records the call; returns the error number it is to fail with, if any.
std::optional<int> record(const char* call, const std::string& name, int flags = 0);
std::string lastComponent(const std::string& path);
// After a recorded call has happened: ends the process if it was to die
// after that call.
void finished();
// Ends the process making the call, as the signal would.
void endCallingProcess(int signal);

} // namespace mx::seam
