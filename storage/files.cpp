#include "files.h"

#include "file_errors.h"
#include "folder_files.h"
#include "platform.h"

#include <array>
#include <random>
#include <span>

namespace mx {

namespace files {

using platform::failure;

platform::Status writeAll(const platform::File& file, std::span<const std::uint8_t> bytes,
                          std::size_t& written) {
    written = 0;
    while (written < bytes.size()) {
        std::size_t put = 0;
        if (auto error = file.writeAt(written, bytes.subspan(written), put)) {
            return error;
        }
        written += put;
    }
    return std::nullopt;
}

platform::Status writeAll(const platform::File& file, std::string_view bytes) {
    std::size_t written = 0;
    return writeAll(file,
                    std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
                    written);
}

std::optional<FileError> readWhole(const platform::File& file, const std::string& path,
                                   std::size_t longest, std::string& bytes) {
    platform::FileStatus status;
    if (auto error = file.status(status)) {
        return about(path, *error);
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
        if (auto error = file.readAt(total, into, got)) {
            return about(path, *error);
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
    platform::Status error = failure({}, FileOperation::Create, exists);
    for (int attempt = 0; attempt < 100 && error && error->errorNumber == exists; ++attempt) {
        scratch = scratchPrefix(target);
        for (int i = 0; i < 12; ++i) {
            scratch += Digits[random() % Digits.size()];
        }
        error = folder.createFile(scratch, platform::Access::Write, file);
    }
    // A new file's errors are its target's: the scratch name means nothing
    // to the user.
    const std::string path = folder.pathOf(target);
    if (error) {
        return about(path, *error);
    }
    const platform::FileSizeLimitFails fileSizeLimitFails;
    const auto failed = [&](const FileError& why) {
        file = platform::File();
        folder.removeFile(scratch);
        return about(path, why);
    };
    if (auto why = writeAll(file, bytes)) {
        return failed(*why);
    }
    if (auto why = synced ? file.sync() : platform::Status()) {
        return failed(*why);
    }
    if (auto why = file.close()) {
        return failed(*why);
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
    if (auto error = folder.open(parent, {})) {
        return files::failure(path, operation, error->errorNumber);
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
    platform::File file;
    platform::FileStatus status;
    if (auto error =
            folder.openFile(name, platform::Access::Read, file, status, platform::Links::Refuse)) {
        return error;
    }
    return files::readWhole(file, path, longest, bytes);
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
    if (auto error = folder.replaceFile(scratch, name)) {
        folder.removeFile(scratch);
        return error;
    }
    return durable ? folder.sync() : std::nullopt;
}

std::optional<FileError> RenameFile(const std::string& from, const std::string& to) {
    platform::Folder folder;
    std::string name;
    if (auto error = openFolderOf(from, FileOperation::Write, folder, name)) {
        return error;
    }
    return folder.replaceFile(name, files::splitPath(to).second);
}

std::optional<FileError> RemoveFile(const std::string& path) {
    platform::Folder folder;
    std::string name;
    if (auto error = openFolderOf(path, FileOperation::Remove, folder, name)) {
        return error;
    }
    auto error = folder.removeFile(name);
    return platform::isNotFound(error) ? std::nullopt : error;
}

std::optional<FileError> MakePrivateFolder(const std::string& path) {
    MadeFolders parents;
    if (auto error = parents.make(files::splitPath(path).first)) {
        return error;
    }
    parents.keep();
    return platform::makePrivateFolder(path);
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
        if (auto error = platform::statusOf(sofar, platform::Links::Follow, status)) {
            return error;
        }
        if (status.kind != platform::FileKind::Missing) {
            continue;
        }
        if (auto error = platform::makeFolder(sofar)) {
            return error;
        }
        made_.push_back(sofar);
    }
    platform::FileStatus status;
    if (!made_.empty() && !platform::statusOf(sofar, platform::Links::Refuse, status)) {
        innermost_ = FolderIdentity{status.device, status.index};
    }
    return std::nullopt;
}

bool IsFolder(const std::string& path) {
    platform::FileStatus status;
    return !platform::statusOf(path, platform::Links::Follow, status) &&
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
