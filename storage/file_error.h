#pragma once

// The one error type of everything that touches files: which file (or
// folder), what was being done, and the system's error number with its
// description.

#include <string>

namespace mx {

// Parse: a file read whole that does not hold a configuration's text.
enum class FileOperation { Open, Create, Read, Write, Sync, Close, Lock, Remove, Parse };

// Why a load or save failed: which file (or folder), what was being done, and
// the operating system's error number with its description. A file that the
// editor refuses on its own account (a named pipe, a device, a dangling link)
// has error number 0 and a description that says what it is.
struct FileError {
    std::string path;
    FileOperation operation = FileOperation::Open;
    int errorNumber = 0;
    std::string description;

    // One line for the user, e.g.
    // Could not write "/cfg/switches.mx": error 28, No space left on device.
    // Could not open "/cfg/switches.mx": it is a named pipe, not a regular file.
    // unitA.txt: line 3, column 1: channel 1 has no line for "Momentary"
    std::string message() const;
};

} // namespace mx
