#include "recovery_store.h"

#include "config_text.h"
#include "shown_text.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
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

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// The hash that names a folder's files, the same for every editor.
QString folderKey(const QString& folder) {
    const QByteArray hash =
        QCryptographicHash::hash(QFile::encodeName(folder), QCryptographicHash::Sha256).toHex();
    return QString::fromLatin1(hash.left(32));
}

// Opens a file of the state folder to read it: never through a link, never
// waiting (a named pipe would wait for a writer for good), and only a
// regular file of at most `longest` bytes, checked on the open file. The
// bytes, or why they cannot be had.
std::optional<QByteArray> readBounded(const QString& path, qint64 longest, QString& why) {
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        why = errno == ELOOP ? QString("it is a symbolic link") : systemError(errno);
        return std::nullopt;
    }
    struct stat status {};
    QByteArray bytes;
    if (::fstat(fd, &status) != 0) {
        why = systemError(errno);
    } else if (!S_ISREG(status.st_mode)) {
        why = "it is not a regular file";
    } else if (status.st_size > longest) {
        why = QString("it is far too long (%1 bytes)").arg(status.st_size);
    } else {
        bytes.resize(static_cast<qsizetype>(longest) + 1);
        qsizetype count = 0;
        while (count < bytes.size()) {
            const ssize_t got =
                ::read(fd, bytes.data() + count, static_cast<std::size_t>(bytes.size() - count));
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                if (got < 0) {
                    why = systemError(errno);
                }
                break;
            }
            count += got;
        }
        bytes.resize(count);
        if (count > longest) {
            why = "it is far too long";
        }
    }
    ::close(fd);
    return why.isEmpty() ? std::optional<QByteArray>(bytes) : std::nullopt;
}

// Whether the editor whose claim file this is still runs: it holds a lock on
// the file for as long as it does.
bool claimHeld(const QString& claimFile) {
    const int fd = ::open(QFile::encodeName(claimFile).constData(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
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

// This editor's claim: a file named after it that it holds locked while it
// runs, holding the folder it shows.
class RecoveryStore::Claim {
public:
    explicit Claim(QString id) : id_(std::move(id)) {}
    ~Claim() {
        if (fd_ >= 0) {
            ::unlink(QFile::encodeName(path_).constData());
            ::close(fd_);
        }
    }
    Claim(const Claim&) = delete;
    Claim& operator=(const Claim&) = delete;

    const QString& id() const { return id_; }
    bool held() const { return fd_ >= 0; }

    bool take(const QString& directory) {
        if (fd_ >= 0) {
            return true;
        }
        path_ = directory + "/editor-" + id_ + ".lock";
        const int fd = ::open(QFile::encodeName(path_).constData(),
                              O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            return false;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            return false;
        }
        fd_ = fd;
        return true;
    }

    void show(const QByteArray& folder) const {
        if (fd_ >= 0 && ::ftruncate(fd_, 0) == 0) {
            (void)!::pwrite(fd_, folder.constData(), static_cast<std::size_t>(folder.size()), 0);
        }
    }

private:
    QString id_;
    QString path_;
    int fd_ = -1;
};

QString RecoveryStore::defaultDirectory() {
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || QDir::isRelativePath(state)) {
        state = QDir::homePath() + "/.local/state";
    }
    return state + "/MX_config";
}

RecoveryStore::RecoveryStore(QString directory)
    : directory_(std::move(directory)),
      claim_(std::make_unique<Claim>(
          QString::number(QRandomGenerator::system()->generate64(), 16).rightJustified(16, '0'))) {}

RecoveryStore::~RecoveryStore() = default;
RecoveryStore::RecoveryStore(RecoveryStore&&) noexcept = default;
RecoveryStore& RecoveryStore::operator=(RecoveryStore&&) noexcept = default;

QString RecoveryStore::fileFor(const QString& folder) const {
    return directory_ + "/unsaved-" + folderKey(folder) + "-" + claim_->id() + ".txt";
}

bool RecoveryStore::claimed() {
    if (claim_->held()) {
        return true;
    }
    // Private to the user: it holds what they were working on.
    QDir().mkpath(QFileInfo(directory_).path());
    if (::mkdir(QFile::encodeName(directory_).constData(), 0700) != 0 && errno != EEXIST) {
        return false;
    }
    return claim_->take(directory_);
}

std::optional<QString> RecoveryStore::write(const QString& folder, const ChannelConfig& config,
                                            const StoredBlocks& basedOn) {
    const QByteArray name = QFile::encodeName(folder);
    QByteArray text = QByteArray(Intro) + "\n";
    text += QByteArray("# ") + FolderKey + ": " + oneLine(name) + "\n";
    text += QByteArray("# ") + FolderBytesKey + ": " + name.toHex() + "\n";
    text += QByteArray("# ") + WrittenKey + ": " +
            QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toLatin1() + "\n";
    text += QByteArray("# ") + FilesKey + ": " + hexOrDash(basedOn.switches) + " " +
            hexOrDash(basedOn.settings) + "\n\n";
    text += QByteArray::fromStdString(configToText(config));

    // Written under a fresh name of its own, made exclusively (so never
    // through a link someone left), and renamed over the old file, so that a
    // kill at any moment leaves the old edits or the new ones, never half a
    // file. Not synced: it guards against the process ending, not the
    // machine.
    const QString path = fileFor(folder);
    const QByteArray target = QFile::encodeName(path);
    QByteArray scratch = target + ".new-XXXXXX";
    bool made = false;
    const auto failed = [&](const QString& what) {
        if (made) {
            ::unlink(scratch.constData());
        }
        return QString("Unsaved changes could not be kept for recovery in \"%1\": %2.")
            .arg(shown(path), what);
    };
    if (!claimed()) {
        return failed("the folder cannot be created or used");
    }
    const int fd = ::mkostemp(scratch.data(), O_CLOEXEC);
    if (fd < 0) {
        return failed(systemError(errno));
    }
    made = true;
    const ssize_t put = ::write(fd, text.constData(), static_cast<std::size_t>(text.size()));
    const int writeError = put < 0 ? errno : 0;
    if (::close(fd) != 0 || put != text.size()) {
        return failed(systemError(writeError != 0 ? writeError : EIO));
    }
    if (std::rename(scratch.constData(), target.constData()) != 0) {
        return failed(systemError(errno));
    }
    return std::nullopt;
}

QStringList RecoveryStore::filesFor(const QString& folder) const {
    const QString prefix = "unsaved-" + folderKey(folder);
    const QDir directory(directory_);
    QStringList paths;
    for (const QString& name : directory.entryList(
             {prefix + ".txt", prefix + "-*.txt"},
             QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name)) {
        paths << directory.filePath(name);
    }
    return paths;
}

void RecoveryStore::remove(const QString& folder) const {
    ::unlink(QFile::encodeName(fileFor(folder)).constData());
}

std::vector<RecoveryStore::Recovered> RecoveryStore::leftOver(const QString& folder,
                                                              QStringList& problems) const {
    problems.clear();
    std::vector<Recovered> found;
    const QString prefix = directory_ + "/unsaved-" + folderKey(folder);
    const QDir directory(directory_);
    for (const QString& path : filesFor(folder)) {
        // "unsaved-<key>-<editor>.txt", or "unsaved-<key>.txt" as written
        // before each editor had its own.
        const QString editor = path.mid(prefix.size() + 1).chopped(4);
        if (path == fileFor(folder) ||
            (!editor.isEmpty() && claimHeld(directory.filePath("editor-" + editor + ".lock")))) {
            continue;
        }
        QString why;
        Recovered recovered;
        recovered.file = path;
        if (const auto text = readBounded(path, LongestFile, why)) {
            const QByteArray files = headerValue(*text, FilesKey);
            const auto switches = fromHexOrDash(files.split(' ').value(0));
            const auto settings = fromHexOrDash(files.split(' ').value(1));
            recovered.written = QDateTime::fromString(
                QString::fromLatin1(headerValue(*text, WrittenKey)), Qt::ISODateWithMs);
            if (!text->startsWith(Intro)) {
                why = "it is not a file of unsaved changes";
            } else if (headerValue(*text, FolderBytesKey).isEmpty() ||
                       !recovered.written.isValid() || !switches || !settings) {
                why = "its heading is incomplete or damaged";
            } else if (QByteArray::fromHex(headerValue(*text, FolderBytesKey)) !=
                       QFile::encodeName(folder)) {
                why = "it names another folder";
            } else if (const auto error = configFromText(text->toStdString(), recovered.config)) {
                why = "its configuration is incomplete or damaged: " +
                      QString::fromStdString(error->describe());
            } else {
                recovered.basedOn = {*switches, *settings};
                found.push_back(std::move(recovered));
                continue;
            }
        }
        // Renamed, a link or a pipe as much as a file: nothing is opened.
        const QString aside = path + ".broken";
        std::rename(QFile::encodeName(path).constData(), QFile::encodeName(aside).constData());
        problems << QString("The unsaved changes kept for \"%1\" cannot be read (%2). They were "
                            "set aside in \"%3\".")
                        .arg(shown(folder), shown(why), shown(aside));
    }
    std::sort(found.begin(), found.end(),
              [](const Recovered& a, const Recovered& b) { return a.written > b.written; });
    return found;
}

void RecoveryStore::adopt(const Recovered& recovered, const QString& folder) const {
    std::rename(QFile::encodeName(recovered.file).constData(),
                QFile::encodeName(fileFor(folder)).constData());
}

void RecoveryStore::discard(const Recovered& recovered) {
    ::unlink(QFile::encodeName(recovered.file).constData());
}

void RecoveryStore::setOpenFolder(const QString& folder) {
    if (claimed()) {
        claim_->show(QFile::encodeName(folder).toHex());
    }
}

bool RecoveryStore::openElsewhere(const QString& folder) const {
    const QByteArray wanted = QFile::encodeName(folder).toHex();
    const QDir directory(directory_);
    const QString own = "editor-" + claim_->id() + ".lock";
    for (const QString& name :
         directory.entryList({"editor-*.lock"}, QDir::Files | QDir::Hidden | QDir::System)) {
        QString why;
        if (name != own && claimHeld(directory.filePath(name)) &&
            readBounded(directory.filePath(name), 64 * 1024, why) == wanted) {
            return true;
        }
    }
    return false;
}

} // namespace mx
