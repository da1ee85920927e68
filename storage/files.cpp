#include "files.h"

#include "file_errors.h"
#include "folder_files.h"
#include "platform.h"

#include <array>
#include <random>
#include <span>

namespace mx {

namespace files {

std::optional<FileError> unopened(const std::string& path, const platform::Opened& opened,
                                  std::string_view linkNote) {
    using Result = platform::Opened::Result;
    switch (opened.result) {
    case Result::Opened:
        return std::nullopt;
    case Result::Absent:
        return failure(path, FileOperation::Open, platform::Condition::NotFound);
    case Result::Link:
        return refusal(path, FileOperation::Open,
                       "it is a symbolic link to \"" + opened.linkTarget + "\"" +
                           std::string(linkNote));
    case Result::DanglingLink:
        // Following it would create a file elsewhere.
        return refusal(path, FileOperation::Open,
                       "it is a dangling link to \"" + opened.linkTarget + "\"");
    case Result::NotRegular:
        return notRegular(path, opened.status.kind);
    case Result::Failed:
        break;
    }
    return failure(path, FileOperation::Open, opened.error);
}

std::optional<FileError> readWhole(const platform::File& file, const std::string& path,
                                   std::size_t longest, std::string& bytes) {
    platform::FileStatus status;
    if (const auto error = file.status(status); error != 0) {
        return failure(path, FileOperation::Read, error);
    }
    const auto tooLong = [&](std::uint64_t size) {
        return refusal(path, FileOperation::Read,
                       "it is far too long (" + std::to_string(size) + " bytes)");
    };
    if (status.size > longest) {
        return tooLong(status.size);
    }
    // One byte more than allowed tells a file that grew meanwhile.
    std::string read(longest + 1, '\0');
    std::size_t total = 0;
    for (std::size_t got = 1; got > 0 && total < read.size(); total += got) {
        const std::span into(reinterpret_cast<std::uint8_t*>(read.data()) + total,
                             read.size() - total);
        if (const auto error = file.readAt(total, into, got); error != 0) {
            return failure(path, FileOperation::Read, error);
        }
    }
    if (total > longest) {
        return tooLong(total);
    }
    read.resize(total);
    bytes = std::move(read);
    return std::nullopt;
}

std::string scratchPrefix(const std::string& name) {
    return name + ".new-";
}

std::optional<FileError> writeScratch(const platform::Folder& folder, const std::string& target,
                                      std::string_view bytes, bool synced, std::string& scratch) {
    static constexpr std::array<char, 16> Digits = {'0', '1', '2', '3', '4', '5', '6', '7',
                                                    '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};
    std::random_device random;
    const platform::ErrorNumber exists = platform::errorNumber(platform::Condition::AlreadyExists);
    platform::File file;
    platform::ErrorNumber error = exists;
    for (int attempt = 0; attempt < 100 && error == exists; ++attempt) {
        scratch = scratchPrefix(target);
        for (int i = 0; i < 12; ++i) {
            scratch += Digits[random() % Digits.size()];
        }
        error = folder.createFile(scratch, platform::Access::Write, file);
    }
    const std::string path = folder.pathOf(target);
    if (error != 0) {
        return failure(path, FileOperation::Create, error);
    }
    const platform::FileSizeLimitFails fileSizeLimitFails;
    const auto failed = [&](FileOperation operation, platform::ErrorNumber why) {
        file = platform::File();
        folder.removeFile(scratch);
        return failure(path, operation, why);
    };
    const std::span all(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    for (std::size_t written = 0; written < all.size();) {
        std::size_t put = 0;
        if (const auto why = file.writeAt(written, all.subspan(written), put); why != 0) {
            return failed(FileOperation::Write, why);
        }
        written += put;
    }
    if (const auto why = synced ? file.sync() : 0; why != 0) {
        return failed(FileOperation::Sync, why);
    }
    if (const auto why = file.close(); why != 0) {
        return failed(FileOperation::Close, why);
    }
    return std::nullopt;
}

std::pair<std::string, std::string> splitPath(const std::string& path) {
    const std::size_t slash = path.find_last_of(platform::Separators);
    if (slash == std::string::npos) {
        return {".", path};
    }
    return {slash == 0 ? path.substr(0, 1) : path.substr(0, slash), path.substr(slash + 1)};
}

} // namespace files

namespace {

// The folder a file is in, opened once so that everything done to the file
// is done in that folder, even if it is renamed meanwhile.
std::optional<FileError> openFolderOf(const std::string& path, FileOperation operation,
                                      platform::Folder& folder, std::string& name) {
    auto [parent, last] = files::splitPath(path);
    name = std::move(last);
    if (const auto error = folder.open(parent, {}); error != 0) {
        return files::failure(path, operation, error);
    }
    return std::nullopt;
}

} // namespace

std::optional<FileError> ReadRegularFile(const std::string& path, std::size_t longest,
                                         std::string& bytes) {
    platform::Folder folder;
    std::string name;
    if (auto error = openFolderOf(path, FileOperation::Open, folder, name)) {
        return error;
    }
    const platform::Opened opened =
        folder.openFile(name, platform::Access::Read, platform::Links::Refuse);
    if (auto error = files::unopened(path, opened, "; it is never read through one")) {
        return error;
    }
    return files::readWhole(opened.file, path, longest, bytes);
}

std::optional<FileError> ReplaceFile(const std::string& path, std::string_view bytes,
                                     Durability durability) {
    platform::Folder folder;
    std::string name;
    if (auto error = openFolderOf(path, FileOperation::Create, folder, name)) {
        return error;
    }
    const bool durable = durability == Durability::PowerCut;
    std::string scratch;
    if (auto error = files::writeScratch(folder, name, bytes, durable, scratch)) {
        return error;
    }
    if (const auto error = folder.replaceFile(scratch, name); error != 0) {
        folder.removeFile(scratch);
        return files::failure(path, FileOperation::Write, error);
    }
    if (const auto error = durable ? folder.sync() : 0; error != 0) {
        return files::failure(path, FileOperation::Sync, error);
    }
    return std::nullopt;
}

std::optional<FileError> RenameFile(const std::string& from, const std::string& to) {
    platform::Folder folder;
    std::string name;
    if (auto error = openFolderOf(from, FileOperation::Write, folder, name)) {
        return error;
    }
    if (const auto error = folder.replaceFile(name, files::splitPath(to).second); error != 0) {
        return files::failure(from, FileOperation::Write, error);
    }
    return std::nullopt;
}

std::optional<FileError> RemoveFile(const std::string& path) {
    platform::Folder folder;
    std::string name;
    if (auto error = openFolderOf(path, FileOperation::Remove, folder, name)) {
        return error;
    }
    const auto error = folder.removeFile(name);
    if (error != 0 && error != platform::errorNumber(platform::Condition::NotFound)) {
        return files::failure(path, FileOperation::Remove, error);
    }
    return std::nullopt;
}

std::optional<FileError> MakePrivateFolder(const std::string& path) {
    MadeFolders parents;
    if (auto error = parents.make(files::splitPath(path).first)) {
        return error;
    }
    parents.keep();
    if (const auto error = platform::makePrivateFolder(path); error != 0) {
        return files::failure(path, FileOperation::Create, error);
    }
    return std::nullopt;
}

MadeFolders::~MadeFolders() {
    while (!kept_ && !made_.empty()) {
        platform::removeFolder(made_.back());
        made_.pop_back();
    }
}

std::optional<FileError> MadeFolders::make(const std::string& path) {
    // Each step is the path so far as given, so that ".." means what it
    // means to the system; empty and "." steps add nothing.
    const std::size_t rooted = path.find_first_not_of(platform::Separators);
    std::string sofar = path.substr(0, rooted == std::string::npos ? path.size() : rooted);
    for (std::size_t start = sofar.size(); start < path.size();) {
        std::size_t end = path.find_first_of(platform::Separators, start);
        end = end == std::string::npos ? path.size() : end;
        const std::string_view step(path.data() + start, end - start);
        start = end + 1;
        if (step.empty() || step == ".") {
            continue;
        }
        const bool atRoot =
            sofar.empty() || sofar.find_first_not_of(platform::Separators) == std::string::npos;
        sofar += (atRoot ? "" : "/") + std::string(step);
        platform::FileStatus status;
        if (const auto error = platform::statusOf(sofar, platform::Links::Follow, status);
            error != 0) {
            return files::failure(sofar, FileOperation::Open, error);
        }
        if (status.kind != platform::FileKind::Missing) {
            continue;
        }
        if (const auto error = platform::makeFolder(sofar); error != 0) {
            return files::failure(sofar, FileOperation::Create, error);
        }
        made_.push_back(sofar);
    }
    platform::FileStatus status;
    if (!made_.empty() && platform::statusOf(sofar, platform::Links::Refuse, status) == 0) {
        innermost_ = FolderIdentity{status.device, status.index};
    }
    return std::nullopt;
}

bool IsFolder(const std::string& path) {
    platform::FileStatus status;
    return platform::statusOf(path, platform::Links::Follow, status) == 0 &&
           status.kind == platform::FileKind::Directory;
}

namespace {

// The next character of UTF-8 text, or the byte itself where it is none.
char32_t nextCharacter(std::string_view text, std::size_t& i) {
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
    const unsigned char lead = byte(i);
    if (lead >= 0xC2 && lead <= 0xDF && i + 1 < text.size() && (byte(i + 1) & 0xC0) == 0x80) {
        i += 2;
        return static_cast<char32_t>(((lead & 0x1FU) << 6) | (byte(i - 1) & 0x3FU));
    }
    ++i;
    return lead;
}

// Lower case for the letters of the scripts that Windows folds in file
// names and that technicians name units in: Latin, Greek and Cyrillic.
char32_t folded(char32_t c) {
    const bool latin1 = c >= 0xC0 && c <= 0xDE && c != 0xD7;
    if ((c >= 'A' && c <= 'Z') || latin1 || (c >= 0x391 && c <= 0x3AB && c != 0x3A2) ||
        (c >= 0x410 && c <= 0x42F)) {
        return c + 0x20;
    }
    if (c >= 0x400 && c <= 0x40F) {
        return c + 0x50;
    }
    const bool evenPairs = (c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177);
    const bool oddPairs = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if ((evenPairs && c % 2 == 0) || (oddPairs && c % 2 == 1)) {
        return c + 1;
    }
    return c == 0x178 ? 0xFF : c;
}

} // namespace

std::string FileNameKey(std::string_view name) {
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) {
        name.remove_suffix(1);
    }
    std::string key;
    for (std::size_t i = 0; i < name.size();) {
        const char32_t c = folded(nextCharacter(name, i));
        for (int shift = 24; shift >= 0; shift -= 8) {
            key += static_cast<char>((c >> shift) & 0xFF);
        }
    }
    return key;
}

bool SameFileName(std::string_view a, std::string_view b) {
    return FileNameKey(a) == FileNameKey(b);
}

} // namespace mx
