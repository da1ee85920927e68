#pragma once

// Edits not saved yet, kept on disk while the editor runs, so that a crash, a
// kill, a logout or a lost display loses none of them: one file for each
// configuration folder, under $XDG_STATE_HOME/MX_config/ (by default
// ~/.local/state/MX_config/). Each holds the folder, the time, what the
// folder's files held when the edits began, and the configuration in the
// text form, so a person can read it too.

#include "channel_config.h"

#include <QDateTime>
#include <QString>
#include <optional>

namespace mx {

class RecoveryStore {
public:
    struct Recovered {
        ChannelConfig config;
        QDateTime written;
        // What the folder's files held when the edits began.
        StoredBlocks basedOn;
    };

    // $XDG_STATE_HOME/MX_config, or ~/.local/state/MX_config.
    static QString defaultDirectory();

    explicit RecoveryStore(QString directory = defaultDirectory());

    // The file that keeps the edits to folder.
    QString fileFor(const QString& folder) const;

    // Keeps the edits to folder, replacing what was kept before in one step;
    // a message for the user when that fails.
    std::optional<QString> write(const QString& folder, const ChannelConfig& config,
                                 const StoredBlocks& basedOn) const;
    void remove(const QString& folder) const;

    // The edits kept for folder, or nothing. A file that cannot be read is
    // set aside, so that it is reported once; problem then says so.
    std::optional<Recovered> read(const QString& folder, QString& problem) const;

private:
    QString directory_;
};

} // namespace mx
