#include "recent_folders.h"

#include "files.h"
#include "storage_path.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace mx {

namespace {

constexpr const char* Heading = "# The units MX_config loaded or saved last, newest first.";
// Ten folder names are far less; a larger file is not this list.
constexpr std::size_t LongestFile = 256 * 1024;

} // namespace

QString RecentFolders::defaultFile() {
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
           "/recent-units.txt";
}

RecentFolders::RecentFolders(QString file) : file_(std::move(file)) {}

QStringList RecentFolders::folders() const {
    // A plain file replaced whole on every change: reading it takes no lock,
    // so nothing left by a killed editor can hold a start-up up.
    QStringList kept;
    std::string text;
    if (!ReadRegularFile(storagePath(file_), LongestFile, text)) {
        for (const QByteArray& line : QByteArray::fromStdString(text).split('\n')) {
            if (!line.isEmpty() && !line.startsWith('#')) {
                kept << fromStoragePath(QByteArray::fromPercentEncoding(line).toStdString());
            }
        }
    }
    QStringList existing;
    for (const QString& folder : kept) {
        if (QFileInfo(folder).isDir() && !existing.contains(folder)) {
            existing << folder;
        }
    }
    return existing.mid(0, Kept);
}

void RecentFolders::add(const QString& folder) {
    QStringList folders = this->folders();
    folders.removeAll(folder);
    folders.prepend(folder);
    QByteArray text = QByteArray(Heading) + "\n";
    for (const QString& each : folders.mid(0, Kept)) {
        // One line each, whatever the name holds.
        text += QByteArray::fromStdString(storagePath(each)).toPercentEncoding("/ ") + "\n";
    }
    // Replaced whole, so a reader sees the old list or the new one. Losing
    // an entry to another editor's add at the same moment costs nothing.
    MadeFolders made;
    if (!made.make(storagePath(QFileInfo(file_).path()))) {
        made.keep();
        ReplaceFile(storagePath(file_), text.toStdString(), Durability::ProgramKilled);
    }
}

} // namespace mx
