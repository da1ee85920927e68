#pragma once

// A unit is three files of its folder: "switches.mx" holds the 112-byte
// switch table, "settings.cmx" the 2 recall bytes, "names.txt" its names.
// The first two have no header and are written in place without
// truncation, so bytes after the block are kept; names.txt is replaced
// whole. Only regular files (or, for loading the first two, symbolic links
// to them) are read or written.
//
// One writer at a time: a save holds an exclusive lock on the folder and a
// load a shared one, so a load never sees half a save; all three files are
// read under one lock and saved as one. Waiting for another program's lock
// is bounded; a file system that cannot lock a folder is used unlocked.

#include "channel_config.h"
#include "config_part.h"
#include "file_error.h"
#include "files.h"
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

// The names a source gives: those of a folder's names.txt, or those its text
// names. A names.txt that cannot be read leaves the names out, and
// unreadable says why.
struct SourceNames {
    UnitNames names;
    std::optional<FileError> unreadable;
    // Whether the source names anything: a folder always does (its names
    // are none when it has no names.txt); a text only with a name line.
    bool given = false;
};

// What a unit's folder holds: its two files' first bytes and its names,
// none when names.txt cannot be read as names; "changed by another program"
// is any change of these.
struct StoredUnit {
    StoredBlocks blocks;
    std::optional<UnitNames> names;
    friend bool operator==(const StoredUnit&, const StoredUnit&) = default;
};

// What reading does with a file that is not there.
enum class MissingFile {
    Create,     // create it empty, as a load does, so both files exist afterwards
    ReadsEmpty, // count it as empty and create nothing
    IsAnError,  // fail with ENOENT and create nothing
};

// Reads the first bytes of both files, up to one block each, and the names
// when asked, under the folder's lock. On failure the blocks are left as
// they were.
std::optional<FileError> ReadStoredBlocks(const std::string& folder, MissingFile missing,
                                          StoredBlocks& blocks,
                                          std::chrono::milliseconds wait = LockWait,
                                          SourceNames* names = nullptr);

// Reads the unit into the model, and its names when asked. A missing unit
// file is created empty, read as empty, or an error, as `missing` says; an
// empty file leaves its part of the model as it was. All or nothing: the
// model changes only when both files were read. When loaded is given, it
// receives the bytes that were read. Names that cannot be read are left out,
// and names->unreadable says why.
std::optional<FileError> LoadConfig(const std::string& folder, MissingFile missing,
                                    ChannelConfig& config, StoredBlocks* loaded = nullptr,
                                    SourceNames* names = nullptr);

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
    // another program to finish with it. With made, the folder must still
    // be the one made for the save: one put in its place is refused.
    std::optional<FileError> open(const std::string& folder,
                                  std::chrono::milliseconds wait = LockWait,
                                  const FolderIdentity* made = nullptr);
    // The first bytes of both files now, a missing file reading as empty,
    // and the names when asked.
    std::optional<FileError> read(StoredBlocks& blocks, SourceNames* names = nullptr) const;
    // Saves the unit: the configuration over the start of both files and,
    // when names are given, names.txt. All or nothing as far as the system
    // lets it: every file is opened (or created, names.txt written beside)
    // before anything is written; one writer that outlives this process
    // writes both files and puts names.txt in place; a write that fails is
    // undone, a file this save created is removed again when it fails, and
    // all is on disk before it succeeds. Only a kill of the whole machine
    // can come between the writes; SIGINT, SIGTERM and SIGHUP wait until the
    // save is done. A names.txt that is no regular file of its own, or does
    // not read as names, is left as it is, the unit is saved all the same,
    // and namesKept says why.
    std::optional<SaveError> save(const ChannelConfig& config, const UnitNames* names = nullptr,
                                  std::optional<FileError>* namesKept = nullptr);

private:
    std::unique_ptr<OpenFolder> folder_;
};

// Opens and locks the folder, then saves the unit into it.
std::optional<SaveError> SaveConfig(const std::string& folder, const ChannelConfig& config,
                                    const UnitNames* names = nullptr,
                                    std::optional<FileError>* namesKept = nullptr,
                                    const FolderIdentity* made = nullptr);

// Another configuration, read to be shown or compared but never written: a
// unit's folder, or a file holding the text form.

// No configuration text is anywhere near this long: reading stops past it,
// so that an endless or huge input costs neither time nor memory.
inline constexpr std::size_t LongestConfigText = 1024 * 1024;

// Which files holding the text form may be read: to a program that waits on
// its input a pipe is a fine source; a window must not hang on one.
enum class TextFiles { RegularOnly, PipesToo };

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

// Reads a part of the text form (config_part.h) from the file at path (a
// pipe too), or from standard input when path is empty; `name` is what
// errors call it. On failure part is left as it was.
std::optional<FileError> ReadConfigPart(const std::string& path, const std::string& name,
                                        ConfigPart& part);

} // namespace mx
