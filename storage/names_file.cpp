#include "names_file.h"

#include "file_errors.h"
#include "folder_files.h"
#include "names_in_folder.h"

namespace mx {

namespace files {

namespace {

constexpr const char* LinkNote = ", which names are never read or written through";

} // namespace

std::optional<FileError> readNamesIn(const platform::Folder& folder, UnitNames& names) {
    const std::string path = folder.pathOf(NamesFileName);
    platform::File file;
    platform::FileStatus status;
    if (auto error = folder.openFile(NamesFileName, platform::Access::Read, file, status,
                                     platform::Links::Refuse)) {
        if (status.kind == platform::FileKind::Missing && platform::isNotFound(error)) {
            names = UnitNames{};
            return std::nullopt;
        }
        if (status.kind == platform::FileKind::Link &&
            error->description.starts_with("it is a symbolic link")) {
            error->description += LinkNote;
        }
        return error;
    }
    std::string text;
    if (auto error = readWhole(file, path, LongestNamesText, text)) {
        return error;
    }
    UnitNames read;
    if (const auto error = namesFromText(text, read)) {
        return FileError{path, FileOperation::Parse, 0, error->describe()};
    }
    names = read;
    return std::nullopt;
}

std::optional<FileError> planNames(const platform::Folder& folder, const UnitNames& names,
                                   NamesChange& change, std::optional<FileError>& kept) {
    change = NamesChange{};
    UnitNames stored;
    if (auto unreadable = readNamesIn(folder, stored)) {
        // What a person or another program put there and this one cannot
        // read as names is theirs.
        kept = unreadable->operation == FileOperation::Parse ||
                       unreadable->operation == FileOperation::Read
                   ? refusal(unreadable->path, FileOperation::Write,
                             "it does not read as names (" + unreadable->message() +
                                 "), and is left as it is")
                   : unreadable;
        return std::nullopt;
    }
    if (stored == names) {
        return std::nullopt;
    }
    if (names.empty()) {
        change.kind = NamesChange::Kind::Remove;
        return std::nullopt;
    }
    change.kind = NamesChange::Kind::Replace;
    return writeScratch(folder, NamesFileName, namesToText(names), true, change.scratch);
}

platform::Status applyNames(const platform::Folder& folder, const NamesChange& change) {
    switch (change.kind) {
    case NamesChange::Kind::None:
        return std::nullopt;
    case NamesChange::Kind::Replace:
        return folder.replaceFile(change.scratch, NamesFileName);
    case NamesChange::Kind::Remove:
        return folder.removeFile(NamesFileName);
    }
    return std::nullopt;
}

bool namesApplied(const platform::Folder& folder, const NamesChange& change) {
    const std::string& gone =
        change.kind == NamesChange::Kind::Replace ? change.scratch : NamesFileName;
    platform::File file;
    platform::FileStatus status;
    return change.kind == NamesChange::Kind::None ||
           (platform::isNotFound(folder.openFile(gone, platform::Access::Read, file, status,
                                                 platform::Links::Refuse)) &&
            status.kind == platform::FileKind::Missing);
}

void removeLeftOverNames(const platform::Folder& folder) {
    for (const std::string& name : folder.namesStartingWith(scratchPrefix(NamesFileName))) {
        folder.removeFile(name);
    }
}

} // namespace files

} // namespace mx
