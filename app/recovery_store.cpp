#include "recovery_store.h"

#include "config_text.h"
#include "shown_text.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace mx {

namespace {

constexpr const char* Intro =
    "# MX_config keeps here changes to a configuration that were not saved.";
constexpr const char* FolderKey = "folder";
constexpr const char* FolderBytesKey = "folder bytes";
constexpr const char* WrittenKey = "written";
constexpr const char* FilesKey = "files then";
// A recovery file is a few kilobytes; anything much larger is not one.
constexpr qint64 LongestFile = 64 * 1024;

QByteArray hexOrDash(const std::vector<std::uint8_t>& bytes) {
    return bytes.empty() ? QByteArray("-")
                         : QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                      static_cast<qsizetype>(bytes.size()))
                               .toHex();
}

std::optional<std::vector<std::uint8_t>> fromHexOrDash(const QByteArray& text) {
    if (text == "-") {
        return std::vector<std::uint8_t>{};
    }
    const QByteArray bytes = QByteArray::fromHex(text);
    if (bytes.toHex() != text.toLower()) {
        return std::nullopt;
    }
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

// The folder's name for a person reading the file: on one line.
QByteArray oneLine(QByteArray text) {
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = '?';
        }
    }
    return text;
}

// The "# key: value" lines that head the file.
QByteArray headerValue(const QByteArray& text, const char* key) {
    const QByteArray prefix = QByteArray("# ") + key + ": ";
    for (const QByteArray& line : text.split('\n')) {
        if (!line.startsWith('#')) {
            break;
        }
        if (line.startsWith(prefix)) {
            return line.mid(prefix.size());
        }
    }
    return {};
}

} // namespace

QString RecoveryStore::defaultDirectory() {
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || QDir::isRelativePath(state)) {
        state = QDir::homePath() + "/.local/state";
    }
    return state + "/MX_config";
}

RecoveryStore::RecoveryStore(QString directory) : directory_(std::move(directory)) {}

QString RecoveryStore::fileFor(const QString& folder) const {
    const QByteArray name = QFile::encodeName(folder);
    const QByteArray hash = QCryptographicHash::hash(name, QCryptographicHash::Sha256).toHex();
    return directory_ + "/unsaved-" + QString::fromLatin1(hash.left(32)) + ".txt";
}

std::optional<QString> RecoveryStore::write(const QString& folder, const ChannelConfig& config,
                                            const StoredBlocks& basedOn) const {
    const QByteArray name = QFile::encodeName(folder);
    QByteArray text = QByteArray(Intro) + "\n";
    text += QByteArray("# ") + FolderKey + ": " + oneLine(name) + "\n";
    text += QByteArray("# ") + FolderBytesKey + ": " + name.toHex() + "\n";
    text += QByteArray("# ") + WrittenKey + ": " +
            QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toLatin1() + "\n";
    text += QByteArray("# ") + FilesKey + ": " + hexOrDash(basedOn.switches) + " " +
            hexOrDash(basedOn.settings) + "\n\n";
    text += QByteArray::fromStdString(configToText(config));

    // Written beside and renamed over the old file, so that a kill at any
    // moment leaves the old edits or the new ones, never half a file. Not
    // synced: it guards against the process ending, not the machine.
    const QString path = fileFor(folder);
    const QByteArray target = QFile::encodeName(path);
    const QByteArray scratch = target + ".new";
    const auto failed = [&](const QString& what) {
        ::unlink(scratch.constData());
        return QString("Unsaved changes could not be kept for recovery in \"%1\": %2.")
            .arg(shown(path), what);
    };
    if (!QDir().mkpath(directory_)) {
        return failed("the folder cannot be created");
    }
    const int fd = ::open(scratch.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        return failed(QString::fromLocal8Bit(std::strerror(errno)));
    }
    const ssize_t put = ::write(fd, text.constData(), static_cast<std::size_t>(text.size()));
    const int writeError = put < 0 ? errno : 0;
    if (::close(fd) != 0 || put != text.size()) {
        return failed(QString::fromLocal8Bit(std::strerror(writeError != 0 ? writeError : EIO)));
    }
    if (std::rename(scratch.constData(), target.constData()) != 0) {
        return failed(QString::fromLocal8Bit(std::strerror(errno)));
    }
    return std::nullopt;
}

void RecoveryStore::remove(const QString& folder) const {
    QFile::remove(fileFor(folder));
}

std::optional<RecoveryStore::Recovered> RecoveryStore::read(const QString& folder,
                                                            QString& problem) const {
    problem.clear();
    const QString path = fileFor(folder);
    QFile file(path);
    if (!file.exists()) {
        return std::nullopt;
    }
    QString why;
    Recovered recovered;
    QByteArray text;
    if (!file.open(QIODevice::ReadOnly)) {
        why = file.errorString();
    } else if (file.size() > LongestFile) {
        why = "it is far too long";
    } else {
        text = file.readAll();
        const auto switches = fromHexOrDash(headerValue(text, FilesKey).split(' ').value(0));
        const auto settings = fromHexOrDash(headerValue(text, FilesKey).split(' ').value(1));
        recovered.written = QDateTime::fromString(
            QString::fromLatin1(headerValue(text, WrittenKey)), Qt::ISODateWithMs);
        if (QByteArray::fromHex(headerValue(text, FolderBytesKey)) != QFile::encodeName(folder)) {
            why = "it names another folder";
        } else if (!recovered.written.isValid() || !switches || !settings) {
            why = "its heading is damaged";
        } else if (const auto error = configFromText(text.toStdString(), recovered.config)) {
            why = QString::fromStdString(error->describe());
        } else {
            recovered.basedOn = {*switches, *settings};
            return recovered;
        }
    }
    const QString aside = path + ".broken";
    QFile::remove(aside);
    file.close();
    QFile::rename(path, aside);
    problem = QString("The unsaved changes kept for \"%1\" cannot be read (%2). They were set "
                      "aside in \"%3\".")
                  .arg(shown(folder), shown(why), shown(aside));
    return std::nullopt;
}

} // namespace mx
