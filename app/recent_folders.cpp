#include "recent_folders.h"

#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace mx {

namespace {

constexpr const char* Key = "recentFolders";

} // namespace

QString RecentFolders::defaultFile() {
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
           "/recent-folders.ini";
}

RecentFolders::RecentFolders(QString file) : file_(std::move(file)) {}

QStringList RecentFolders::folders() const {
    QStringList existing;
    for (const QString& folder : QSettings(file_, QSettings::IniFormat).value(Key).toStringList()) {
        if (QFileInfo(folder).isDir()) {
            existing << folder;
        }
    }
    return existing;
}

void RecentFolders::add(const QString& folder) {
    QStringList folders = this->folders();
    folders.removeAll(folder);
    folders.prepend(folder);
    QSettings settings(file_, QSettings::IniFormat);
    settings.setValue(Key, folders.mid(0, Kept));
}

} // namespace mx
