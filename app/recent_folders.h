#pragma once

#include <QString>
#include <QStringList>

namespace mx {

// The last folders loaded or saved, most recent first, kept between runs in
// a small text file (by default recent-units.txt in the user's
// configuration folder), so that the chooser can offer the units worked on
// lately.
class RecentFolders {
public:
    static constexpr int Kept = 10;

    static QString defaultFile();

    explicit RecentFolders(QString file = defaultFile());

    // The folders that still exist, most recent first.
    QStringList folders() const;
    const QString& file() const { return file_; }
    // The folder was just loaded or saved.
    void add(const QString& folder);

private:
    QString file_;
};

} // namespace mx
