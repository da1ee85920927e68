#include "claim_file.h"

#include "file_errors.h"
#include "folder_files.h"

#include <span>

namespace mx {

ClaimFile::~ClaimFile() {
    giveUp();
}

void ClaimFile::giveUp() {
    if (file_.isOpen()) {
        file_ = platform::File();
        platform::removeFile(path_);
    }
}

std::optional<FileError> ClaimFile::take(const std::string& path) {
    if (held()) {
        return std::nullopt;
    }
    path_ = path;
    platform::File file;
    if (auto error = platform::createExclusive(path, file)) {
        return error;
    }
    if (auto error = file.tryLock(platform::LockKind::Exclusive)) {
        file = platform::File();
        platform::removeFile(path);
        return error;
    }
    file_ = std::move(file);
    return std::nullopt;
}

std::optional<FileError> ClaimFile::say(std::string_view text) {
    if (!held()) {
        return std::nullopt;
    }
    const auto failed = [&](FileError error) {
        giveUp();
        return error;
    };
    if (auto error = file_.setLength(0)) {
        return failed(*error);
    }
    if (auto error = files::writeAll(file_, text)) {
        return failed(*error);
    }
    return std::nullopt;
}

bool ClaimFile::heldByAnother(const std::string& path) {
    platform::File file;
    return !platform::openToRead(path, true, file) &&
           platform::isBusy(file.tryLock(platform::LockKind::Shared));
}

} // namespace mx
