#include "output_file.h"

#include "file_descriptor.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace mx {

namespace {

using files::failure;
using files::FileDescriptor;
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
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) {
        return errno == ENOENT
                   ? std::nullopt
                   : std::optional<FileError>(failure(path, FileOperation::Open, errno));
    }
    if (S_ISLNK(status.st_mode)) {
        std::array<char, 4096> target{};
        const ssize_t length = ::readlink(path.c_str(), target.data(), target.size() - 1);
        return refusal(
            path, FileOperation::Open,
            "it is a symbolic link to \"" +
                std::string(target.data(), static_cast<std::size_t>(std::max<ssize_t>(length, 0))) +
                "\"; name the file itself");
    }
    if (!S_ISREG(status.st_mode)) {
        return files::notRegular(path, status.st_mode);
    }
    return std::nullopt;
}

std::optional<FileError> WriteOutputFile(const std::string& path, std::string_view bytes) {
    if (auto refused = CheckOutputFile(path)) {
        return refused;
    }
    std::string scratch;
    FileDescriptor file;
    for (int attempt = 0; attempt < 100 && file.get() < 0; ++attempt) {
        scratch = scratchName(path);
        file = FileDescriptor(
            ::open(scratch.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (file.get() < 0 && errno != EEXIST) {
            return failure(path, FileOperation::Create, errno);
        }
    }
    if (file.get() < 0) {
        return failure(path, FileOperation::Create, EEXIST);
    }
    const files::FileSizeSignalIgnored fileSizeLimitFails;
    const auto failed = [&](FileOperation operation, int error) {
        file = FileDescriptor();
        ::unlink(scratch.c_str());
        return failure(path, operation, error);
    };
    for (std::size_t written = 0; written < bytes.size();) {
        const ssize_t put = ::write(file.get(), bytes.data() + written, bytes.size() - written);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            return failed(FileOperation::Write, put < 0 ? errno : EIO);
        }
        written += static_cast<std::size_t>(put);
    }
    if (::fsync(file.get()) != 0) {
        return failed(FileOperation::Sync, errno);
    }
    if (const int error = file.close(); error != 0) {
        ::unlink(scratch.c_str());
        return failure(path, FileOperation::Close, error);
    }
    if (std::rename(scratch.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(scratch.c_str());
        return failure(path, FileOperation::Write, error);
    }
    return std::nullopt;
}

} // namespace mx
