#include "claim_file.h"

#include "file_errors.h"

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
    if (const auto error = platform::createExclusive(path, file); error != 0) {
        return files::failure(path, FileOperation::Create, error);
    }
    platform::ErrorNumber error = 0;
    if (file.tryLock(platform::LockKind::Exclusive, error) != platform::LockResult::Taken) {
        file = platform::File();
        platform::removeFile(path);
        return files::failure(path, FileOperation::Lock, error);
    }
    file_ = std::move(file);
    return std::nullopt;
}

std::optional<FileError> ClaimFile::say(std::string_view text) {
    if (!held()) {
        return std::nullopt;
    }
    const auto failed = [&](FileOperation operation, platform::ErrorNumber error) {
        giveUp();
        return files::failure(path_, operation, error);
    };
    if (const auto error = file_.setLength(0); error != 0) {
        return failed(FileOperation::Write, error);
    }
    const std::span all(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    for (std::size_t written = 0; written < all.size();) {
        std::size_t put = 0;
        if (const auto error = file_.writeAt(written, all.subspan(written), put); error != 0) {
            return failed(FileOperation::Write, error);
        }
        written += put;
    }
    return std::nullopt;
}

bool ClaimFile::heldByAnother(const std::string& path) {
    platform::File file;
    if (platform::openToRead(path, true, file) != 0) {
        return false;
    }
    platform::ErrorNumber error = 0;
    return file.tryLock(platform::LockKind::Shared, error) == platform::LockResult::Busy;
}

} // namespace mx
