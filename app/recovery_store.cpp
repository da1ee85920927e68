#include "recovery_store.h"

#include "config_text.h"
#include "platform.h"
#include "shown_text.h"
#include "storage_path.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <span>

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

QString systemError(platform::ErrorNumber error) {
    return QString::fromStdString(platform::describe(error));
}

// The bytes of a folder's name, as storage takes them.
QByteArray nameBytes(const QString& folder) {
    return QByteArray::fromStdString(storagePath(folder));
}

// The hash that names a folder's files, the same for every editor.
QString folderKey(const QString& folder) {
    const QByteArray hash =
        QCryptographicHash::hash(nameBytes(folder), QCryptographicHash::Sha256).toHex();
    return QString::fromLatin1(hash.left(32));
}

platform::ErrorNumber writeWhole(const platform::File& file, const QByteArray& bytes) {
    const std::span<const std::uint8_t> all(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                            static_cast<std::size_t>(bytes.size()));
    for (std::size_t written = 0; written < all.size();) {
        std::size_t put = 0;
        if (const auto error = file.writeAt(written, all.subspan(written), put); error != 0) {
            return error;
        }
        written += put;
    }
    return 0;
}

void removeFile(const QString& path) {
    platform::removeFile(storagePath(path));
}

void replaceFile(const QString& from, const QString& to) {
    platform::replace(storagePath(from), storagePath(to));
}

// Opens a file of the state folder to read it: never through a link, never
// waiting (a named pipe would wait for a writer for good), and only a
// regular file of at most `longest` bytes, checked on the open file. The
// bytes, or why they cannot be had.
std::optional<QByteArray> readBounded(const QString& path, qint64 longest, QString& why) {
    const std::string name = storagePath(path);
    platform::FileStatus named;
    platform::FileStatus status;
    platform::File file;
    if (const auto error = platform::statusOf(name, platform::Links::Refuse, named); error != 0) {
        why = systemError(error);
    } else if (named.kind == platform::FileKind::Link) {
        why = "it is a symbolic link";
    } else if (named.kind == platform::FileKind::Missing) {
        why = systemError(platform::errorNumber(platform::Condition::NotFound));
    } else if (const auto error = platform::openToRead(name, true, file); error != 0) {
        why = systemError(error);
    } else if (const auto error = file.status(status); error != 0) {
        why = systemError(error);
    } else if (status.kind != platform::FileKind::Regular || !status.sameFileAs(named)) {
        // Checked on the open file: a name replaced by a link meanwhile is
        // another file.
        why = "it is not a regular file";
    } else if (status.size > static_cast<std::uint64_t>(longest)) {
        why = QString("it is far too long (%1 bytes)").arg(status.size);
    }
    if (!why.isEmpty()) {
        return std::nullopt;
    }
    QByteArray bytes(static_cast<qsizetype>(longest) + 1, '\0');
    qsizetype count = 0;
    while (count < bytes.size()) {
        std::size_t got = 0;
        if (const auto error = file.readOn(
                std::span(bytes.data() + count, static_cast<std::size_t>(bytes.size() - count)),
                got);
            error != 0) {
            why = systemError(error);
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        count += static_cast<qsizetype>(got);
    }
    bytes.resize(count);
    if (count > longest) {
        why = "it is far too long";
        return std::nullopt;
    }
    return bytes;
}

// Whether the editor whose claim file this is still runs: it holds a lock on
// the file for as long as it does.
bool claimHeld(const QString& claimFile) {
    platform::File file;
    if (platform::openToRead(storagePath(claimFile), true, file) != 0) {
        return false;
    }
    platform::ErrorNumber error = 0;
    return file.tryLock(platform::LockKind::Shared, error) == platform::LockResult::Busy;
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
        if (file_.isOpen()) {
            removeFile(path_);
        }
    }
    Claim(const Claim&) = delete;
    Claim& operator=(const Claim&) = delete;

    const QString& id() const { return id_; }
    bool held() const { return file_.isOpen(); }

    bool take(const QString& directory) {
        if (file_.isOpen()) {
            return true;
        }
        path_ = directory + "/editor-" + id_ + ".lock";
        platform::File file;
        if (platform::createExclusive(storagePath(path_), file) != 0) {
            return false;
        }
        platform::ErrorNumber error = 0;
        if (file.tryLock(platform::LockKind::Exclusive, error) != platform::LockResult::Taken) {
            file = platform::File();
            removeFile(path_);
            return false;
        }
        file_ = std::move(file);
        return true;
    }

    void show(const QByteArray& folder) const {
        if (file_.isOpen() && file_.setLength(0) == 0) {
            writeWhole(file_, folder);
        }
    }

private:
    QString id_;
    QString path_;
    platform::File file_;
};

// The XDG state folder on Linux and the BSDs, as before; elsewhere the
// application's own local data folder (%LOCALAPPDATA%\MX_config on Windows).
QString RecoveryStore::defaultDirectory() {
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || QDir::isRelativePath(state)) {
        state = QDir::homePath() + "/.local/state";
    }
    return state + "/MX_config";
#else
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
#endif
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
    if (platform::makePrivateFolder(storagePath(directory_)) != 0) {
        return false;
    }
    return claim_->take(directory_);
}

std::optional<QString> RecoveryStore::write(const QString& folder, const ChannelConfig& config,
                                            const StoredBlocks& basedOn, const UnitNames& names) {
    const QByteArray name = nameBytes(folder);
    QByteArray text = QByteArray(Intro) + "\n";
    text += QByteArray("# ") + FolderKey + ": " + oneLine(name) + "\n";
    text += QByteArray("# ") + FolderBytesKey + ": " + name.toHex() + "\n";
    text += QByteArray("# ") + WrittenKey + ": " +
            QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toLatin1() + "\n";
    text += QByteArray("# ") + FilesKey + ": " + hexOrDash(basedOn.switches) + " " +
            hexOrDash(basedOn.settings) + "\n\n";
    text += QByteArray::fromStdString(configToText(config, names));

    // Written under a fresh name of its own, made exclusively (so never
    // through a link someone left), and renamed over the old file, so that a
    // kill at any moment leaves the old edits or the new ones, never half a
    // file. Not synced: it guards against the process ending, not the
    // machine.
    const QString path = fileFor(folder);
    QString scratch;
    const auto failed = [&](const QString& what) {
        if (!scratch.isEmpty()) {
            removeFile(scratch);
        }
        return QString("Unsaved changes could not be kept for recovery in \"%1\": %2.")
            .arg(shown(path), what);
    };
    if (!claimed()) {
        return failed("the folder cannot be created or used");
    }
    platform::File file;
    platform::ErrorNumber error = platform::errorNumber(platform::Condition::AlreadyExists);
    for (int attempt = 0; attempt < 100 && error != 0; ++attempt) {
        const QString candidate =
            path + ".new-" + QString::number(QRandomGenerator::global()->generate64(), 36);
        error = platform::createExclusive(storagePath(candidate), file);
        if (error == 0) {
            scratch = candidate;
        } else if (error != platform::errorNumber(platform::Condition::AlreadyExists)) {
            break;
        }
    }
    if (error != 0) {
        return failed(systemError(error));
    }
    if (const auto written = writeWhole(file, text); written != 0) {
        return failed(systemError(written));
    }
    if (const auto closed = file.close(); closed != 0) {
        return failed(systemError(closed));
    }
    if (const auto replaced = platform::replace(storagePath(scratch), storagePath(path));
        replaced != 0) {
        return failed(systemError(replaced));
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
    removeFile(fileFor(folder));
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
                       nameBytes(folder)) {
                why = "it names another folder";
            } else if (const auto error = configFromText(text->toStdString(), recovered.config,
                                                         &recovered.names)) {
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
        replaceFile(path, aside);
        problems << QString("The unsaved changes kept for \"%1\" cannot be read (%2). They were "
                            "set aside in \"%3\".")
                        .arg(shown(folder), shown(why), shown(aside));
    }
    std::sort(found.begin(), found.end(),
              [](const Recovered& a, const Recovered& b) { return a.written > b.written; });
    return found;
}

void RecoveryStore::adopt(const Recovered& recovered, const QString& folder) const {
    replaceFile(recovered.file, fileFor(folder));
}

void RecoveryStore::discard(const Recovered& recovered) {
    removeFile(recovered.file);
}

void RecoveryStore::setOpenFolder(const QString& folder) {
    if (claimed()) {
        claim_->show(nameBytes(folder).toHex());
    }
}

bool RecoveryStore::openElsewhere(const QString& folder) const {
    const QByteArray wanted = nameBytes(folder).toHex();
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
