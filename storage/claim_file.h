#pragma once

// A file that a running program holds locked for as long as it runs, and
// that says what it is doing: other programs can tell whether it still runs,
// and what it does. A program killed lets go of its lock with its life.

#include "file_error.h"
#include "platform.h"

#include <optional>
#include <string>
#include <string_view>

namespace mx {

class ClaimFile {
public:
    ClaimFile() = default;
    // The claim's file goes with it.
    ~ClaimFile();
    ClaimFile(const ClaimFile&) = delete;
    ClaimFile& operator=(const ClaimFile&) = delete;

    // Creates the file at path, exclusively and never through a link, and
    // locks it.
    std::optional<FileError> take(const std::string& path);
    bool held() const { return file_.isOpen(); }
    // Replaces what the claim says. A claim that cannot say it whole is
    // given up, and its file removed: a claim is whole or not there.
    std::optional<FileError> say(std::string_view text);

    // Whether a running program holds the claim file at path.
    static bool heldByAnother(const std::string& path);

private:
    void giveUp();
    std::string path_;
    platform::File file_;
};

} // namespace mx
