#include "config_files.h"

#include "file_errors.h"
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
using platform::LockResult;
using platform::Opened;

std::optional<FileError> closeChecked(File& file, const std::string& path) {
    if (const auto error = file.close(); error != 0) {
        return failure(path, FileOperation::Close, error);
    }
    return std::nullopt;
}

// Reads up to limit bytes from the start of an open file.
std::optional<FileError> readPrefix(const File& file, const std::string& path, std::size_t limit,
                                    std::vector<std::uint8_t>& bytes) {
    bytes.assign(limit, 0);
    std::size_t count = 0;
    while (count < limit) {
        std::size_t got = 0;
        if (const auto error = file.readAt(count, std::span(bytes).subspan(count), got);
            error != 0) {
            return failure(path, FileOperation::Read, error);
        }
        if (got == 0) {
            break;
        }
        count += got;
    }
    bytes.resize(count);
    return std::nullopt;
}

// Writes all of bytes at offset 0; the error number of a failure, or 0.
// written counts the bytes that reached the file either way.
platform::ErrorNumber writeAll(const File& file, std::span<const std::uint8_t> bytes,
                               std::size_t& written) {
    written = 0;
    while (written < bytes.size()) {
        std::size_t put = 0;
        if (const auto error = file.writeAt(written, bytes.subspan(written), put); error != 0) {
            return error;
        }
        written += put;
    }
    return 0;
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

// The two writes of a save, made by the platform's writer. The writer notes
// how far it got, so that one that did not end normally is a failed write of
// the file it was writing, never a success.
struct WriteJob {
    SaveTarget& switches;
    SaveTarget& settings;
    std::array<platform::ErrorNumber, 2> errors = {0, 0};
    // 0 before the first write, 1 during the switch file's, 2 during the
    // settings file's, 3 once both are done.
    int stage = 0;
};

void writeJob(void* argument) {
    auto& job = *static_cast<WriteJob*>(argument);
    job.stage = 1;
    job.errors[0] = writeAll(job.switches.file, job.switches.block, job.switches.written);
    if (job.errors[0] == 0) {
        job.stage = 2;
        job.errors[1] = writeAll(job.settings.file, job.settings.block, job.settings.written);
    }
    job.stage = 3;
}

// Writes both blocks, the switch file first; the error number of each write,
// 0 for success, and 0 for the settings file when the switch file failed.
// The writer is one that a kill of this process does not stop, where the
// system has one, so that nothing comes between the two writes.
std::array<platform::ErrorNumber, 2> writeBoth(SaveTarget& switches, SaveTarget& settings) {
    WriteJob job{switches, settings};
    bool fileTooLarge = false;
    if (platform::runWriter(writeJob, &job, fileTooLarge) && job.stage == 3) {
        return job.errors;
    }
    // The writer died: the file it was writing may hold any part of its
    // block, and the switch file's write counts as failed too when it died
    // after it, so that both are undone.
    const platform::ErrorNumber reason =
        platform::errorNumber(fileTooLarge ? Condition::FileTooLarge : Condition::InputOutput);
    const bool atSettings = job.stage >= 2;
    SaveTarget& dying = atSettings ? settings : switches;
    dying.written = dying.block.size();
    return atSettings ? std::array<int, 2>{0, reason} : std::array<int, 2>{reason, 0};
}

} // namespace

// One folder, opened once: every file of one load or save is opened as a
// file of it, so they all belong to the same folder even if it is renamed
// meanwhile, and it carries the lock.
class OpenFolder {
public:
    std::optional<FileError> open(const std::string& path, LockKind lock,
                                  std::chrono::milliseconds wait) {
        if (const auto error = folder_.open(path); error != 0) {
            return failure(path, FileOperation::Open, error);
        }
        return takeLock(lock, wait);
    }

    const std::string& path() const { return folder_.path(); }
    std::string pathOf(const char* name) const { return folder_.pathOf(name); }

    std::optional<FileError> sync() const {
        if (const auto error = folder_.sync(); error != 0) {
            return failure(path(), FileOperation::Sync, error);
        }
        return std::nullopt;
    }

    // Opens an existing regular file. Sets absent, and opens nothing, when
    // there is no such file; status receives the file's status. A save
    // opens no symbolic link: writing through one would write another
    // unit's file, outside this folder's lock.
    std::optional<FileError> openRegular(const char* name, Access access, File& file, bool& absent,
                                         platform::FileStatus& status) const {
        absent = false;
        const std::string path = pathOf(name);
        Opened opened = folder_.openFile(name, access);
        switch (opened.result) {
        case Opened::Result::Opened:
            file = std::move(opened.file);
            status = opened.status;
            return std::nullopt;
        case Opened::Result::Absent:
            absent = true;
            return std::nullopt;
        case Opened::Result::Link:
            return refusal(path, FileOperation::Open,
                           "it is a symbolic link to \"" + opened.linkTarget +
                               "\"; a unit's files are saved only as files of its own folder");
        case Opened::Result::DanglingLink:
            // Following it would create a file elsewhere.
            return refusal(path, FileOperation::Open,
                           "it is a dangling link to \"" + opened.linkTarget + "\"");
        case Opened::Result::NotRegular:
            return notRegular(path, opened.status.kind);
        case Opened::Result::Failed:
            break;
        }
        return failure(path, FileOperation::Open, opened.error);
    }

    std::optional<FileError> createNew(const char* name, Access access, File& file) const {
        if (const auto error = folder_.createFile(name, access, file); error != 0) {
            return failure(pathOf(name), FileOperation::Create, error);
        }
        return std::nullopt;
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
        if (const auto error = file.status(status); error != 0) {
            return failure(pathOf(name), FileOperation::Create, error);
        }
        return std::nullopt;
    }

    void remove(const char* name) const { folder_.removeFile(name); }

private:
    // Takes the folder's lock, waiting a little at a time until `wait` has
    // passed. Where the file system cannot lock a folder (some network file
    // systems), the load or save goes on unlocked rather than failing.
    std::optional<FileError> takeLock(LockKind lock, std::chrono::milliseconds wait) const {
        constexpr std::chrono::milliseconds Pause{20};
        const auto deadline = std::chrono::steady_clock::now() + wait;
        while (true) {
            platform::ErrorNumber error = 0;
            switch (folder_.tryLock(lock, error)) {
            case LockResult::Taken:
            case LockResult::Unsupported:
                return std::nullopt;
            case LockResult::Failed:
                return failure(path(), FileOperation::Lock, error);
            case LockResult::Busy:
                break;
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

using Folder = OpenFolder;

std::optional<FileError> readFile(const Folder& folder, const char* name, std::size_t limit,
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
        return closeChecked(file, path);
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
        return closeChecked(file, path);
    }
    return std::nullopt;
}

std::optional<FileError> readBoth(const Folder& folder, MissingFile missing, StoredBlocks& blocks) {
    StoredBlocks read;
    if (auto error = readFile(folder, SwitchFileName, SwitchBlockSize, missing, read.switches)) {
        return error;
    }
    if (auto error = readFile(folder, SettingsFileName, RecallBlockSize, missing, read.settings)) {
        return error;
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
    if (writeAll(target.file, before.first(std::min(target.written, before.size())), restored) !=
        0) {
        return false;
    }
    platform::FileStatus status;
    return target.file.status(status) == 0 &&
           (status.size <= target.sizeBefore || target.file.setLength(target.sizeBefore) == 0);
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
                                            std::chrono::milliseconds wait) {
    folder_ = std::make_unique<OpenFolder>();
    if (auto error = folder_->open(folder, LockKind::Exclusive, wait)) {
        folder_.reset();
        return error;
    }
    return std::nullopt;
}

std::optional<FileError> LockedFolder::read(StoredBlocks& blocks) const {
    return readBoth(*folder_, MissingFile::ReadsEmpty, blocks);
}

std::optional<SaveError> LockedFolder::save(const ChannelConfig& config) {
    const SwitchBlock switchBlock = toBlock(config.Switches);
    const RecallBlock recallBlock = toBlock(config.Recall);
    std::array<SaveTarget, 2> targets = {{
        {SwitchFileName, folder_->pathOf(SwitchFileName), switchBlock, {}, false, {}, 0, {}, 0},
        {SettingsFileName, folder_->pathOf(SettingsFileName), recallBlock, {}, false, {}, 0, {}, 0},
    }};
    SaveTarget& switches = targets[0];
    SaveTarget& settings = targets[1];
    const auto fail = [&](const FileError& error) {
        // A file this save created holds nothing of value: it goes again.
        for (SaveTarget& target : targets) {
            if (target.created && !changed(target.content)) {
                target.file = File();
                folder_->remove(target.name);
            }
        }
        return SaveError{folder_->path(), error, switches.content, settings.content};
    };

    // Both files are opened before either is written, so that one that
    // cannot be written stops the save before anything changed.
    std::array<platform::FileStatus, 2> status{};
    for (std::size_t i = 0; i < targets.size(); ++i) {
        SaveTarget& target = targets[i];
        if (auto error = folder_->openOrCreate(target.name, Access::ReadWrite, target.file,
                                               target.created, status[i])) {
            return fail(*error);
        }
        // A file with another name elsewhere may be another unit's file. It
        // is refused before the next file is opened: Windows would refuse a
        // second writer on the same file, and say only that.
        if (status[i].links > 1) {
            return fail(refusal(target.path, FileOperation::Open,
                                "it has another name elsewhere (a hard link), so saving would "
                                "change that file too"));
        }
        target.sizeBefore = status[i].size;
        if (auto error = readPrefix(target.file, target.path, target.block.size(), target.before)) {
            return fail(*error);
        }
        if (target.heldBlockAlready()) {
            target.content = FileContent::Same;
        }
    }
    // The same file by two names with one link each: a bind mount.
    if (status[0].sameFileAs(status[1])) {
        return fail(refusal(settings.path, FileOperation::Open,
                            std::string("it is the same file as \"") + SwitchFileName +
                                "\", under another name"));
    }

    // Through the undo too: a file-size limit fails a write, never ends the
    // saver between writing and undoing.
    const platform::FileSizeLimitFails fileSizeLimitFails;
    std::array<int, 2> errors = writeBoth(switches, settings);
    for (std::size_t failed = 0; failed < targets.size(); ++failed) {
        if (errors[failed] == 0) {
            continue;
        }
        // The part written of this file, and the file written before it,
        // are put back, the last first.
        for (std::size_t undone = failed + 1; undone-- > 0;) {
            SaveTarget& back = targets[undone];
            if (undoWrite(back)) {
                back.content = back.heldBlockAlready() ? FileContent::Same : FileContent::Old;
            } else if (!back.heldBlockAlready()) {
                back.content = undone == failed ? FileContent::Damaged : FileContent::New;
            }
        }
        return fail(failure(targets[failed].path, FileOperation::Write, errors[failed]));
    }

    for (SaveTarget& target : targets) {
        if (const auto error = target.file.sync(); error != 0) {
            return fail(failure(target.path, FileOperation::Sync, error));
        }
    }
    if (switches.created || settings.created) {
        if (auto error = folder_->sync()) {
            return fail(*error);
        }
    }
    for (SaveTarget& target : targets) {
        if (auto error = closeChecked(target.file, target.path)) {
            return fail(*error);
        }
    }
    return std::nullopt;
}

std::optional<FileError> ReadStoredBlocks(const std::string& folder, MissingFile missing,
                                          StoredBlocks& blocks, std::chrono::milliseconds wait) {
    Folder dir;
    // Creating files is writing: it waits for, and keeps out, other writers.
    if (auto error = dir.open(
            folder, missing == MissingFile::Create ? LockKind::Exclusive : LockKind::Shared,
            wait)) {
        return error;
    }
    return readBoth(dir, missing, blocks);
}

std::optional<FileError> LoadConfig(const std::string& folder, MissingFile missing,
                                    ChannelConfig& config, StoredBlocks* loaded) {
    StoredBlocks blocks;
    if (auto error = ReadStoredBlocks(folder, missing, blocks)) {
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

std::optional<SaveError> SaveConfig(const std::string& folder, const ChannelConfig& config) {
    LockedFolder locked;
    if (auto error = locked.open(folder)) {
        return SaveError{folder, *error, FileContent::Old, FileContent::Old};
    }
    return locked.save(config);
}

} // namespace mx
