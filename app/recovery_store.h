#pragma once

// Edits not saved yet, kept on disk while the editor runs, so that a crash, a
// kill, a logout or a lost display loses none of them. Each running editor
// keeps its own files, one for each folder it has unsaved edits to, under
// $XDG_STATE_HOME/MX_config/ (by default ~/.local/state/MX_config/), and
// holds a lock on a claim file of its own while it runs: files whose editor
// no longer holds its claim are left over from one that ended without
// saving, and are offered when their folder is next loaded. Each holds the
// folder, the time, what the folder's files held when the edits began, and
// the configuration in the text form, so a person can read it too.

#include "channel_config.h"
#include "unit_names.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

namespace mx {

class RecoveryStore {
public:
    struct Recovered {
        ChannelConfig config;
        UnitNames names;
        QDateTime written;
        // What the folder's files held when the edits began.
        StoredBlocks basedOn;
        // The file it was read from.
        QString file;
    };

    // $XDG_STATE_HOME/MX_config, or ~/.local/state/MX_config.
    static QString defaultDirectory();

    explicit RecoveryStore(QString directory = defaultDirectory());
    ~RecoveryStore();
    RecoveryStore(RecoveryStore&&) noexcept;
    RecoveryStore& operator=(RecoveryStore&&) noexcept;

    const QString& directory() const { return directory_; }
    // This editor's file for the edits to folder.
    QString fileFor(const QString& folder) const;
    // Every editor's files for the edits to folder, whatever they are.
    QStringList filesFor(const QString& folder) const;

    // Keeps the edits to folder, replacing what this editor kept before in
    // one step; a message for the user when that fails.
    std::optional<QString> write(const QString& folder, const ChannelConfig& config,
                                 const StoredBlocks& basedOn, const UnitNames& names = {});
    // Lets go of this editor's edits to folder; other editors' stay.
    void remove(const QString& folder) const;

    // The edits to folder that editors no longer running left, newest first.
    // A file that cannot be read, or is no regular file of a recovery
    // file's size, is set aside so that it is reported once; problems then
    // says so, one line each.
    std::vector<Recovered> leftOver(const QString& folder, QStringList& problems) const;
    // A left-over file's edits were put back: they are this editor's now.
    void adopt(const Recovered& recovered, const QString& folder) const;
    // A left-over file's edits were let go.
    static void discard(const Recovered& recovered);

    // Notes which folder this editor shows, for other editors to see.
    void setOpenFolder(const QString& folder);
    // Whether another running editor shows folder.
    bool openElsewhere(const QString& folder) const;

private:
    class Claim;
    // Takes this editor's claim, once; false when it cannot be had.
    bool claimed();
    QString directory_;
    std::unique_ptr<Claim> claim_;
};

} // namespace mx
