#pragma once

// The two configuration files of a folder: "switches.mx" holds the 112-byte
// switch table, "settings.cmx" the 2 recall bytes. Neither has a header; both
// are written in place without truncation, so bytes after the block are kept.
// Only regular files (or symbolic links to them) are read or written.
//
// One writer at a time: a save holds an exclusive lock on the folder and a
// load a shared one, so a load never sees half a save. Waiting for another program's
// lock is bounded; a file system that cannot lock a folder is used unlocked.

#include "channel_config.h"
#include "unit_names.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace mx {

inline constexpr const char* SwitchFileName = "switches.mx";
inline constexpr const char* SettingsFileName = "settings.cmx";

// How long a load or save waits for another program to finish with a folder.
inline constexpr std::chrono::milliseconds LockWait{5000};

// Parse: a file read whole that does not hold a configuration's text.
enum class FileOperation { Open, Create, Read, Write, Sync, Close, Lock, Parse };

// Why a load or save failed: which file (or folder), what was being done, and
// the operating system's error number with its description. A file that the
// editor refuses on its own account (a named pipe, a device, a dangling link)
// has error number 0 and a description that says what it is.
struct FileError {
    std::string path;
    FileOperation operation = FileOperation::Open;
    int errorNumber = 0;
    std::string description;

    // One line for the user, e.g.
    // Could not write "/cfg/switches.mx": error 28, No space left on device.
    // Could not open "/cfg/switches.mx": it is a named pipe, not a regular file.
    // unitA.txt: line 3, column 1: channel 1 has no line for "Momentary"
    std::string message() const;
};

// What reading does with a file that is not there.
enum class MissingFile {
    Create,     // create it empty, as a load does, so both files exist afterwards
    ReadsEmpty, // count it as empty and create nothing
    IsAnError,  // fail with ENOENT and create nothing
};

// Reads the first bytes of both files, up to one block each, under the
// folder's lock. On failure the blocks are left as they were.
std::optional<FileError> ReadStoredBlocks(const std::string& folder, MissingFile missing,
                                          StoredBlocks& blocks,
                                          std::chrono::milliseconds wait = LockWait);

// Reads both files of the folder into the model. A missing file is created
// empty, read as empty, or an error, as `missing` says; an empty file leaves
// its part of the model as it was. All or nothing: the model changes only
// when both files were read. When loaded is given, it receives the bytes that
// were read.
std::optional<FileError> LoadConfig(const std::string& folder, MissingFile missing,
                                    ChannelConfig& config, StoredBlocks* loaded = nullptr);

// What one of the two files holds after a save that failed.
enum class FileContent : std::uint8_t {
    Old,     // what it held before the save (or nothing, as before)
    New,     // the configuration being saved
    Same,    // what it held before, which was the configuration being saved
    Damaged, // part of the new configuration over part of the old one
};

// Why a save failed, and what each file holds now.
struct SaveError {
    std::string folder;
    FileError error;
    FileContent switches = FileContent::Old;
    FileContent settings = FileContent::Old;

    // Whether the folder holds what it held before the save.
    bool nothingChanged() const;
    // What the folder holds now, for the user, e.g.
    // The configuration was not saved to "/cfg".
    // The reason is error.message().
    std::string summary() const;
};

class OpenFolder;

// A folder opened and locked for one save. What the files hold is read and
// the save that follows is written under the same lock, so no other writer
// can slip in between. The lock is held until this goes away.
class LockedFolder {
public:
    LockedFolder();
    ~LockedFolder();
    LockedFolder(const LockedFolder&) = delete;
    LockedFolder& operator=(const LockedFolder&) = delete;

    // Opens the folder and takes its lock, waiting at most `wait` for
    // another program to finish with it.
    std::optional<FileError> open(const std::string& folder,
                                  std::chrono::milliseconds wait = LockWait);
    // The first bytes of both files now; a missing file reads as empty.
    std::optional<FileError> read(StoredBlocks& blocks) const;
    // Writes the configuration over the start of both files, all or nothing
    // as far as the system lets it: both files are opened (or created) before
    // either is written, a write that fails is undone, a file this save
    // created is removed again when it fails, and both are on disk before it
    // succeeds. Only a kill between the two writes can leave them out of
    // step; SIGINT, SIGTERM and SIGHUP wait until both are written.
    std::optional<SaveError> save(const ChannelConfig& config);

private:
    std::unique_ptr<OpenFolder> folder_;
};

// Opens and locks the folder, then saves into it.
std::optional<SaveError> SaveConfig(const std::string& folder, const ChannelConfig& config);

// Another configuration, read to be shown or compared but never written: a
// unit's folder, or a file holding the text form.

// No configuration text is anywhere near this long: reading stops past it,
// so that an endless or huge input costs neither time nor memory.
inline constexpr std::size_t LongestConfigText = 1024 * 1024;

// Which files holding the text form may be read: to a program that waits on
// its input a pipe is a fine source; a window must not hang on one.
enum class TextFiles { RegularOnly, PipesToo };

// The names a source gives: those of a folder's names.txt, or those its text
// names. A names.txt that cannot be read leaves the names out, and
// unreadable says why.
struct SourceNames {
    UnitNames names;
    std::optional<FileError> unreadable;
};

// Reads a configuration in the text form from standard input, as far as
// its first error and never past LongestConfigText. `name` is what errors
// call it. On failure config is left as it was.
std::optional<FileError> ReadConfigFromInput(const std::string& name, ChannelConfig& config,
                                             SourceNames* names = nullptr);

// Reads a configuration from a unit's folder, as a load does onto an
// all-zero configuration, except that a missing file is an error and
// nothing is created; or from a file holding the text form. On failure
// config is left as it was. When the source is a folder and loaded is
// given, it receives the bytes its files held.
std::optional<FileError> ReadConfigSource(const std::string& path, ChannelConfig& config,
                                          TextFiles files = TextFiles::RegularOnly,
                                          StoredBlocks* loaded = nullptr,
                                          SourceNames* names = nullptr);

} // namespace mx
