#include "output_file.h"

#include "file_errors.h"
#include "platform.h"

#include <array>
#include <filesystem>
#include <random>
#include <span>

namespace mx {

namespace {

using files::failure;
using files::refusal;

// A fresh name beside path for the file being written.
std::string scratchName(const std::string& path) {
    static constexpr std::array<char, 16> Digits = {'0', '1', '2', '3', '4', '5', '6', '7',
                                                    '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};
    std::random_device random;
    std::string name = path + ".new-";
    for (int i = 0; i < 12; ++i) {
        name += Digits[random() % Digits.size()];
    }
    return name;
}

} // namespace

std::optional<FileError> CheckOutputFile(const std::string& path) {
    const std::string name = std::filesystem::path(path).filename().string();
    if (name == SwitchFileName || name == SettingsFileName) {
        return refusal(path, FileOperation::Open,
                       "it is named as a unit's own files are, and is never written over");
    }
    platform::FileStatus status;
    if (const auto error = platform::statusOf(path, platform::Links::Refuse, status); error != 0) {
        return failure(path, FileOperation::Open, error);
    }
    switch (status.kind) {
    case platform::FileKind::Missing:
    case platform::FileKind::Regular:
        return std::nullopt;
    case platform::FileKind::Link:
        return refusal(path, FileOperation::Open,
                       "it is a symbolic link to \"" + platform::linkTarget(path).value_or("") +
                           "\"; name the file itself");
    default:
        return files::notRegular(path, status.kind);
    }
}

std::optional<FileError> WriteOutputFile(const std::string& path, std::string_view bytes) {
    if (auto refused = CheckOutputFile(path)) {
        return refused;
    }
    const platform::ErrorNumber exists = platform::errorNumber(platform::Condition::AlreadyExists);
    std::string scratch;
    platform::File file;
    platform::ErrorNumber error = exists;
    for (int attempt = 0; attempt < 100 && error == exists; ++attempt) {
        scratch = scratchName(path);
        error = platform::createExclusive(scratch, file);
    }
    if (error != 0) {
        return failure(path, FileOperation::Create, error);
    }
    const platform::FileSizeLimitFails fileSizeLimitFails;
    const auto failed = [&](FileOperation operation, platform::ErrorNumber why) {
        file = platform::File();
        platform::removeFile(scratch);
        return failure(path, operation, why);
    };
    const std::span<const std::uint8_t> all(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                            bytes.size());
    for (std::size_t written = 0; written < all.size();) {
        std::size_t put = 0;
        if (const auto why = file.writeAt(written, all.subspan(written), put); why != 0) {
            return failed(FileOperation::Write, why);
        }
        written += put;
    }
    if (const auto why = file.sync(); why != 0) {
        return failed(FileOperation::Sync, why);
    }
    if (const auto why = file.close(); why != 0) {
        platform::removeFile(scratch);
        return failure(path, FileOperation::Close, why);
    }
    if (const auto why = platform::replace(scratch, path); why != 0) {
        platform::removeFile(scratch);
        return failure(path, FileOperation::Write, why);
    }
    return std::nullopt;
}

} // namespace mx
