#include "config_files.h"

#include "file_errors.h"
#include "folder_files.h"
#include "names_file.h"
#include "names_in_folder.h"
#include "platform.h"

#include <algorithm>
#include <array>
#include <span>
#include <thread>
#include <utility>
#include <vector>

namespace mx {

namespace {

using files::failure;
using files::notRegular;
using files::refusal;
using platform::Access;
using platform::Condition;
using platform::File;
using platform::LockKind;
using platform::Status;

// Reads up to limit bytes from the start of an open file.
std::optional<FileError> readPrefix(const File& file, const std::string& path, std::size_t limit,
                                    std::vector<std::uint8_t>& bytes) {
    bytes.assign(limit, 0);
    std::size_t count = 0;
    while (count < limit) {
        std::size_t got = 0;
        if (auto error = file.readAt(count, std::span(bytes).subspan(count), got)) {
            return files::about(path, *error);
        }
        if (got == 0) {
            break;
        }
        count += got;
    }
    bytes.resize(count);
    return std::nullopt;
}

// One of the two files, opened for a save.
struct SaveTarget {
    const char* name;
    std::string path;
    std::span<const std::uint8_t> block;
    File file;
    bool created = false;
    // Its first bytes and its length before the save, to undo a write.
    std::vector<std::uint8_t> before;
    std::uint64_t sizeBefore = 0;
    FileContent content = FileContent::Old;
    // How much of the block went into the file.
    std::size_t written = 0;

    bool heldBlockAlready() const {
        return before.size() == block.size() &&
               std::equal(block.begin(), block.end(), before.begin());
    }
};

// The writes of a save, made by the platform's writer: both files, then
// names.txt put in place. The writer notes how far it got, so that one that
// did not end normally is a failed write of the file it was writing, never
// a success.
struct WriteJob {
    SaveTarget& switches;
    SaveTarget& settings;
    const platform::Folder& folder;
    const files::NamesChange& names;
    std::array<Status, 3> errors;
    // 0 before the first write, 1 during the switch file's, 2 during the
    // settings file's, 3 while names.txt is put in place, 4 once all is done.
    int stage = 0;
};

void writeJob(void* argument) {
    auto& job = *static_cast<WriteJob*>(argument);
    job.stage = 1;
    job.errors[0] = files::writeAll(job.switches.file, job.switches.block, job.switches.written);
    if (!job.errors[0]) {
        job.stage = 2;
        job.errors[1] =
            files::writeAll(job.settings.file, job.settings.block, job.settings.written);
    }
    if (!job.errors[0] && !job.errors[1]) {
        job.stage = 3;
        job.errors[2] = files::applyNames(job.folder, job.names);
    }
    job.stage = 4;
}

// Makes the writes; how each step went, and nothing for the steps after one
// that failed. The writer is one that a kill of this process does not stop,
// where the system has one, so that nothing comes between the writes.
std::array<Status, 3> writeAllOfUnit(WriteJob& job) {
    Status died = platform::runWriter(writeJob, &job);
    if (!died && job.stage == 4) {
        return job.errors;
    }
    if (!died) {
        died = files::failure({}, FileOperation::Write, Condition::InputOutput);
    }
    // The writer died: the file it was writing may hold any part of its
    // block, and the files written before count as failed too, so that all
    // are undone; names.txt is in place or not, as its rename was made or not.
    if (job.stage >= 3) {
        return {Status(), Status(), files::namesApplied(job.folder, job.names) ? Status() : died};
    }
    SaveTarget& dying = job.stage == 2 ? job.settings : job.switches;
    dying.written = dying.block.size();
    return job.stage == 2 ? std::array<Status, 3>{Status(), died, Status()}
                          : std::array<Status, 3>{died, Status(), Status()};
}

} // namespace

// One folder, opened once: every file of one load or save is opened as a
// file of it, so they all belong to the same folder even if it is renamed
// meanwhile, and it carries the lock.
class OpenFolder {
public:
    std::optional<FileError> open(const std::string& path, LockKind lock,
                                  std::chrono::milliseconds wait,
                                  const FolderIdentity* made = nullptr) {
        if (auto error = folder_.open(path, SwitchFileName)) {
            return error;
        }
        if (auto error = checkMade(made)) {
            return error;
        }
        if (auto error = takeLock(lock, wait)) {
            return error;
        }
        // No other save runs now: new names files left beside are from one
        // that died with its machine.
        if (lock == LockKind::Exclusive) {
            files::removeLeftOverNames(folder_);
        }
        return std::nullopt;
    }

    const platform::Folder& folder() const { return folder_; }
    const std::string& path() const { return folder_.path(); }
    std::string pathOf(const char* name) const { return folder_.pathOf(name); }

    Status sync() const { return folder_.sync(); }

    // Opens an existing regular file. Sets absent, and opens nothing, when
    // there is no such file; status receives the file's status. A save
    // opens no symbolic link: writing through one would write another
    // unit's file, outside this folder's lock.
    Status openRegular(const char* name, Access access, File& file, bool& absent,
                       platform::FileStatus& status) const {
        Status error = folder_.openFile(name, access, file, status);
        absent = platform::isNotFound(error) && status.kind == platform::FileKind::Missing;
        if (absent) {
            return std::nullopt;
        }
        // A dangling link would create a file elsewhere when followed.
        if (error && status.kind == platform::FileKind::Link &&
            error->description.starts_with("it is a symbolic link")) {
            error->description += "; a unit's files are saved only as files of its own folder";
        }
        return error;
    }

    Status createNew(const char* name, Access access, File& file) const {
        return folder_.createFile(name, access, file);
    }

    // Opens an existing file, or creates it; status receives its status.
    std::optional<FileError> openOrCreate(const char* name, Access access, File& file,
                                          bool& created, platform::FileStatus& status) const {
        bool absent = false;
        if (auto error = openRegular(name, access, file, absent, status)) {
            return error;
        }
        created = absent;
        if (!absent) {
            return std::nullopt;
        }
        if (auto error = createNew(name, access, file)) {
            return error;
        }
        return file.status(status);
    }

    void remove(const std::string& name) const { folder_.removeFile(name); }

private:
    std::optional<FileError> checkMade(const FolderIdentity* made) const {
        platform::FileStatus status;
        if (made == nullptr) {
            return std::nullopt;
        }
        if (auto error = folder_.status(status)) {
            return error;
        }
        if (FolderIdentity{status.device, status.index} != *made) {
            return refusal(path(), FileOperation::Open,
                           "it is no longer the folder made for it: another folder, or a link, "
                           "was put in its place");
        }
        return std::nullopt;
    }

    // Takes the folder's lock, waiting a little at a time until `wait` has
    // passed. Where the file system cannot lock a folder (some network file
    // systems), the load or save goes on unlocked rather than failing.
    std::optional<FileError> takeLock(LockKind lock, std::chrono::milliseconds wait) const {
        constexpr std::chrono::milliseconds Pause{20};
        const auto deadline = std::chrono::steady_clock::now() + wait;
        while (true) {
            Status error = folder_.tryLock(lock);
            if (!platform::isBusy(error)) {
                return error;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                return refusal(path(), FileOperation::Lock, lockHolder(lock));
            }
            std::this_thread::sleep_for(Pause);
        }
    }

    // Who keeps a lock from being taken: a shared lock that can be had
    // means only readers hold the folder.
    std::string lockHolder(LockKind wanted) const {
        if (wanted == LockKind::Exclusive && folder_.onlyReadersHoldIt()) {
            return "it is being read by another program; try again later";
        }
        return "it is being written by another program; try again later";
    }

    platform::Folder folder_;
};

namespace {

std::optional<FileError> readFile(const OpenFolder& folder, const char* name, std::size_t limit,
                                  MissingFile missing, std::vector<std::uint8_t>& bytes) {
    const std::string path = folder.pathOf(name);
    File file;
    bool absent = false;
    platform::FileStatus status;
    if (auto error = folder.openRegular(name, Access::Read, file, absent, status)) {
        return error;
    }
    if (!absent) {
        if (auto error = readPrefix(file, path, limit, bytes)) {
            return error;
        }
        return file.close();
    }
    bytes.clear();
    switch (missing) {
    case MissingFile::ReadsEmpty:
        return std::nullopt;
    case MissingFile::IsAnError:
        return failure(path, FileOperation::Open, Condition::NotFound);
    case MissingFile::Create:
        if (auto error = folder.createNew(name, Access::Write, file)) {
            return error;
        }
        if (auto error = folder.sync()) {
            return error;
        }
        return file.close();
    }
    return std::nullopt;
}

std::optional<FileError> readUnit(const OpenFolder& folder, MissingFile missing,
                                  StoredBlocks& blocks, SourceNames* names) {
    StoredBlocks read;
    if (auto error = readFile(folder, SwitchFileName, SwitchBlockSize, missing, read.switches)) {
        return error;
    }
    if (auto error = readFile(folder, SettingsFileName, RecallBlockSize, missing, read.settings)) {
        return error;
    }
    if (names != nullptr) {
        names->given = true;
        names->unreadable = files::readNamesIn(folder.folder(), names->names);
    }
    blocks = std::move(read);
    return std::nullopt;
}

// Puts back what a file held before a write that failed; false when that
// failed too.
bool undoWrite(SaveTarget& target) {
    if (target.written == 0) {
        return true;
    }
    // Only the bytes the write reached are put back, so that undoing needs
    // no more room than the write took.
    std::size_t restored = 0;
    const std::span<const std::uint8_t> before(target.before);
    if (files::writeAll(target.file, before.first(std::min(target.written, before.size())),
                        restored)) {
        return false;
    }
    platform::FileStatus status;
    return !target.file.status(status) &&
           (status.size <= target.sizeBefore || !target.file.setLength(target.sizeBefore));
}

const char* verbFor(FileOperation operation) {
    switch (operation) {
    case FileOperation::Open:
        return "open";
    case FileOperation::Create:
        return "create";
    case FileOperation::Read:
        return "read";
    case FileOperation::Write:
        return "write";
    case FileOperation::Sync:
        return "flush";
    case FileOperation::Close:
        return "close";
    case FileOperation::Lock:
        return "lock";
    case FileOperation::Remove:
        return "remove";
    case FileOperation::Parse:
        return "read";
    }
    return "use";
}

bool changed(FileContent content) {
    return content == FileContent::New || content == FileContent::Damaged;
}

const char* describe(FileContent content) {
    switch (content) {
    case FileContent::Old:
        return "still holds the old configuration";
    case FileContent::New:
        return "now holds the new configuration";
    case FileContent::Same:
        return "is unchanged, as it already held the new configuration";
    case FileContent::Damaged:
        return "holds part of the new configuration over the old one";
    }
    return "";
}

} // namespace

std::string FileError::message() const {
    // A text is reported the way compilers report source: where, then what.
    if (operation == FileOperation::Parse) {
        return path + ": " + description;
    }
    std::string text = std::string("Could not ") + verbFor(operation) + " \"" + path + "\": ";
    if (errorNumber != 0) {
        text += "error " + std::to_string(errorNumber) + ", ";
    }
    return text + description + ".";
}

bool SaveError::nothingChanged() const {
    return !changed(switches) && !changed(settings);
}

std::string SaveError::summary() const {
    if (nothingChanged()) {
        return "The configuration was not saved to \"" + folder + "\".";
    }
    const bool written =
        error.operation == FileOperation::Sync || error.operation == FileOperation::Close;
    if (written && switches != FileContent::Old && settings != FileContent::Old) {
        return "The configuration was written to \"" + folder +
               "\", but may not be safely on the disk.";
    }
    const bool outOfStep = switches == FileContent::Damaged || settings == FileContent::Damaged ||
                           switches == FileContent::Old || settings == FileContent::Old;
    return "The configuration was only partly saved to \"" + folder + "\": \"" + SwitchFileName +
           "\" " + describe(switches) + ", and \"" + SettingsFileName + "\" " + describe(settings) +
           "." + (outOfStep ? " The two files are now out of step." : "");
}

LockedFolder::LockedFolder() = default;
LockedFolder::~LockedFolder() = default;

std::optional<FileError> LockedFolder::open(const std::string& folder,
                                            std::chrono::milliseconds wait,
                                            const FolderIdentity* made) {
    folder_ = std::make_unique<OpenFolder>();
    if (auto error = folder_->open(folder, LockKind::Exclusive, wait, made)) {
        folder_.reset();
        return error;
    }
    return std::nullopt;
}

std::optional<FileError> LockedFolder::read(StoredBlocks& blocks, SourceNames* names) const {
    return readUnit(*folder_, MissingFile::ReadsEmpty, blocks, names);
}

namespace {

// Opens (or creates) both unit files for a save, and reads what they hold.
std::optional<FileError> openTargets(const OpenFolder& folder, std::array<SaveTarget, 2>& targets) {
    std::array<platform::FileStatus, 2> status{};
    for (std::size_t i = 0; i < targets.size(); ++i) {
        SaveTarget& target = targets[i];
        if (auto error = folder.openOrCreate(target.name, Access::ReadWrite, target.file,
                                             target.created, status[i])) {
            return error;
        }
        // A file with another name elsewhere may be another unit's file. It
        // is refused before the next file is opened: Windows would refuse a
        // second writer on the same file, and say only that.
        if (status[i].links > 1) {
            return refusal(target.path, FileOperation::Open,
                           "it has another name elsewhere (a hard link), so saving would "
                           "change that file too");
        }
        target.sizeBefore = status[i].size;
        if (auto error = readPrefix(target.file, target.path, target.block.size(), target.before)) {
            return error;
        }
        if (target.heldBlockAlready()) {
            target.content = FileContent::Same;
        }
    }
    // The same file by two names with one link each: a bind mount.
    if (status[0].sameFileAs(status[1])) {
        return refusal(targets[1].path, FileOperation::Open,
                       std::string("it is the same file as \"") + SwitchFileName +
                           "\", under another name");
    }
    return std::nullopt;
}

// Puts back what the files held before a save whose step `failed` went
// wrong (0 and 1 the two files, 2 names.txt), the last written first, and
// notes what each holds now.
void undoWrites(std::array<SaveTarget, 2>& targets, std::size_t failed) {
    for (std::size_t undone = std::min<std::size_t>(failed, 1) + 1; undone-- > 0;) {
        SaveTarget& back = targets[undone];
        if (undoWrite(back)) {
            back.content = back.heldBlockAlready() ? FileContent::Same : FileContent::Old;
        } else if (!back.heldBlockAlready()) {
            back.content = undone == failed ? FileContent::Damaged : FileContent::New;
        }
    }
}

// Makes everything the save wrote last through a power cut, and closes it.
std::optional<FileError> syncAndClose(const OpenFolder& folder, std::array<SaveTarget, 2>& targets,
                                      bool folderChanged) {
    for (SaveTarget& target : targets) {
        if (auto error = target.file.sync()) {
            return error;
        }
    }
    if (folderChanged || targets[0].created || targets[1].created) {
        if (auto error = folder.sync()) {
            return error;
        }
    }
    for (SaveTarget& target : targets) {
        if (auto error = target.file.close()) {
            return error;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<SaveError> LockedFolder::save(const ChannelConfig& config, const UnitNames* names,
                                            std::optional<FileError>* namesKept) {
    // Through the whole save: a signal to end waits until it is done, and a
    // file-size limit fails a write, never ends the saver mid-way.
    const platform::PoliteSignalsHeld signalsHeld;
    const platform::FileSizeLimitFails fileSizeLimitFails;
    const SwitchBlock switchBlock = toBlock(config.Switches);
    const RecallBlock recallBlock = toBlock(config.Recall);
    std::array<SaveTarget, 2> targets = {{
        {SwitchFileName, folder_->pathOf(SwitchFileName), switchBlock, {}, false, {}, 0, {}, 0},
        {SettingsFileName, folder_->pathOf(SettingsFileName), recallBlock, {}, false, {}, 0, {}, 0},
    }};
    files::NamesChange namesChange;
    const auto fail = [&](const FileError& error) {
        // A file this save created holds nothing of value: it goes again,
        // and so does a new names file not put in place.
        for (SaveTarget& target : targets) {
            if (target.created && !changed(target.content)) {
                target.file = File();
                folder_->remove(target.name);
            }
        }
        if (namesChange.kind == files::NamesChange::Kind::Replace) {
            folder_->remove(namesChange.scratch);
        }
        return SaveError{folder_->path(), error, targets[0].content, targets[1].content};
    };
    if (auto error = openTargets(*folder_, targets)) {
        return fail(*error);
    }
    std::optional<FileError> kept;
    if (names != nullptr) {
        if (auto error = files::planNames(folder_->folder(), *names, namesChange, kept)) {
            return fail(*error);
        }
    }
    WriteJob job{targets[0], targets[1], folder_->folder(), namesChange, {}};
    const std::array<Status, 3> errors = writeAllOfUnit(job);
    for (std::size_t failed = 0; failed < errors.size(); ++failed) {
        if (errors[failed]) {
            undoWrites(targets, failed);
            const std::string path =
                failed < 2 ? targets[failed].path : folder_->pathOf(NamesFileName);
            return fail(files::about(path, *errors[failed]));
        }
    }
    // Written: a failure from here on leaves the new configuration, maybe
    // not yet safely on the disk.
    for (SaveTarget& target : targets) {
        target.content = target.content == FileContent::Same ? target.content : FileContent::New;
    }
    if (auto error =
            syncAndClose(*folder_, targets, namesChange.kind != files::NamesChange::Kind::None)) {
        return fail(*error);
    }
    if (namesKept != nullptr) {
        *namesKept = std::move(kept);
    }
    return std::nullopt;
}

std::optional<FileError> ReadStoredBlocks(const std::string& folder, MissingFile missing,
                                          StoredBlocks& blocks, std::chrono::milliseconds wait,
                                          SourceNames* names) {
    OpenFolder dir;
    // Creating files is writing: it waits for, and keeps out, other writers.
    if (auto error = dir.open(
            folder, missing == MissingFile::Create ? LockKind::Exclusive : LockKind::Shared,
            wait)) {
        return error;
    }
    return readUnit(dir, missing, blocks, names);
}

std::optional<FileError> LoadConfig(const std::string& folder, MissingFile missing,
                                    ChannelConfig& config, StoredBlocks* loaded,
                                    SourceNames* names) {
    StoredBlocks blocks;
    if (auto error = ReadStoredBlocks(folder, missing, blocks, LockWait, names)) {
        return error;
    }
    // A file shorter than its block overwrites only the bytes it has, from
    // offset 0; the rest keep their values, just as an empty file keeps all.
    applyStoredBlocks(blocks, config);
    if (loaded != nullptr) {
        *loaded = std::move(blocks);
    }
    return std::nullopt;
}

std::optional<FileError> ReadNames(const std::string& folder, UnitNames& names,
                                   std::chrono::milliseconds wait) {
    OpenFolder dir;
    if (auto error = dir.open(folder, LockKind::Shared, wait)) {
        return error;
    }
    return files::readNamesIn(dir.folder(), names);
}

std::optional<SaveError> SaveConfig(const std::string& folder, const ChannelConfig& config,
                                    const UnitNames* names, std::optional<FileError>* namesKept,
                                    const FolderIdentity* made) {
    LockedFolder locked;
    if (auto error = locked.open(folder, LockWait, made)) {
        return SaveError{folder, *error, FileContent::Old, FileContent::Old};
    }
    return locked.save(config, names, namesKept);
}

} // namespace mx
