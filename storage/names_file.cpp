#include "names_file.h"

#include "file_errors.h"
#include "output_file.h"
#include "platform.h"

#include <vector>

namespace mx {

namespace {

std::string namesPath(const std::string& folder) {
    return folder + "/" + NamesFileName;
}

// What stands at path, if it is a regular file of its own; an error when it
// is anything else.
std::optional<FileError> checkRegular(const std::string& path, platform::FileStatus& status) {
    if (const auto error = platform::statusOf(path, platform::Links::Refuse, status); error != 0) {
        return files::failure(path, FileOperation::Open, error);
    }
    switch (status.kind) {
    case platform::FileKind::Missing:
    case platform::FileKind::Regular:
        return std::nullopt;
    case platform::FileKind::Link:
        return files::refusal(path, FileOperation::Open,
                              "it is a symbolic link to \"" +
                                  platform::linkTarget(path).value_or("") +
                                  "\", which names are never read or written through");
    default:
        return files::notRegular(path, status.kind);
    }
}

std::optional<FileError> tooLong(const std::string& path) {
    return files::refusal(path, FileOperation::Read,
                          "it is longer than 64 KiB, far more than names take");
}

} // namespace

std::optional<FileError> ReadNames(const std::string& folder, UnitNames& names) {
    const std::string path = namesPath(folder);
    platform::FileStatus status;
    if (auto refused = checkRegular(path, status)) {
        return refused;
    }
    if (status.kind == platform::FileKind::Missing) {
        names = UnitNames{};
        return std::nullopt;
    }
    if (status.size > LongestNamesText) {
        return tooLong(path);
    }
    // Opened without waiting, and checked to be the file looked at, so that
    // a pipe put in its place meanwhile is neither waited on nor read.
    platform::File file;
    if (const auto error = platform::openToRead(path, true, file); error != 0) {
        return files::failure(path, FileOperation::Open, error);
    }
    platform::FileStatus opened;
    if (const auto error = file.status(opened); error != 0) {
        return files::failure(path, FileOperation::Open, error);
    }
    if (opened.kind != platform::FileKind::Regular || !opened.sameFileAs(status)) {
        return files::refusal(path, FileOperation::Open, "it was replaced while it was opened");
    }
    std::vector<std::uint8_t> bytes(LongestNamesText + 1);
    std::size_t total = 0;
    for (std::size_t got = 1; got > 0 && total < bytes.size(); total += got) {
        if (const auto error = file.readAt(total, std::span(bytes).subspan(total), got);
            error != 0) {
            return files::failure(path, FileOperation::Read, error);
        }
    }
    if (total > LongestNamesText) {
        return tooLong(path);
    }
    UnitNames read;
    if (const auto error =
            namesFromText({reinterpret_cast<const char*>(bytes.data()), total}, read)) {
        return FileError{path, FileOperation::Parse, 0, error->describe()};
    }
    names = read;
    return std::nullopt;
}

std::optional<FileError> WriteNames(const std::string& folder, const UnitNames& names) {
    const std::string path = namesPath(folder);
    platform::FileStatus status;
    if (auto refused = checkRegular(path, status)) {
        return refused;
    }
    if (status.kind == platform::FileKind::Regular) {
        // What a person wrote there and this program cannot read is theirs.
        UnitNames stored;
        if (auto unreadable = ReadNames(folder, stored)) {
            return files::refusal(path, FileOperation::Write,
                                  "it does not read as names (" + unreadable->message() +
                                      "), and is left as it is");
        }
        if (stored == names) {
            return std::nullopt;
        }
        if (names.empty()) {
            if (const auto error = platform::removeFile(path); error != 0) {
                return files::failure(path, FileOperation::Write, error);
            }
            return std::nullopt;
        }
    } else if (names.empty()) {
        return std::nullopt;
    }
    return WriteOutputFile(path, namesToText(names));
}

std::optional<SaveError> SaveConfig(const std::string& folder, const ChannelConfig& config,
                                    const UnitNames& names, std::optional<FileError>& namesError) {
    namesError.reset();
    LockedFolder locked;
    if (auto error = locked.open(folder)) {
        return SaveError{folder, *error, FileContent::Old, FileContent::Old};
    }
    if (auto failure = locked.save(config)) {
        return failure;
    }
    namesError = WriteNames(folder, names);
    return std::nullopt;
}

} // namespace mx
