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
    const platform::Opened opened =
        folder.openFile(NamesFileName, platform::Access::Read, platform::Links::Refuse);
    if (opened.result == platform::Opened::Result::Absent) {
        names = UnitNames{};
        return std::nullopt;
    }
    if (auto error = unopened(path, opened, LinkNote)) {
        return error;
    }
    std::string text;
    if (auto error = readWhole(opened.file, path, LongestNamesText, text)) {
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

platform::ErrorNumber applyNames(const platform::Folder& folder, const NamesChange& change) {
    switch (change.kind) {
    case NamesChange::Kind::None:
        return 0;
    case NamesChange::Kind::Replace:
        return folder.replaceFile(change.scratch, NamesFileName);
    case NamesChange::Kind::Remove:
        return folder.removeFile(NamesFileName);
    }
    return 0;
}

bool namesApplied(const platform::Folder& folder, const NamesChange& change) {
    const std::string& gone =
        change.kind == NamesChange::Kind::Replace ? change.scratch : NamesFileName;
    return change.kind == NamesChange::Kind::None ||
           folder.openFile(gone, platform::Access::Read, platform::Links::Refuse).result ==
               platform::Opened::Result::Absent;
}

void removeLeftOverNames(const platform::Folder& folder) {
    for (const std::string& name : folder.namesStartingWith(scratchPrefix(NamesFileName))) {
        folder.removeFile(name);
    }
}

} // namespace files

} // namespace mx
