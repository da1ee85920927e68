#include "recovery_store.h"

#include "claim_file.h"
#include "config_text.h"
#include "files.h"
#include "printable_qt.h"
#include "storage_path.h"

#include <QCryptographicHash>
#include <QDir>
#include <QRandomGenerator>
#include <QStandardPaths>

namespace mx {

namespace {

constexpr const char* Intro =
    "# MX_config keeps here changes to a configuration that were not saved.";
constexpr const char* FolderKey = "folder";
constexpr const char* FolderBytesKey = "folder bytes";
constexpr const char* WrittenKey = "written";
constexpr const char* FilesKey = "files then";
// A recovery file is a few kilobytes; anything much larger is not one.
constexpr std::size_t LongestFile = 64 * 1024;

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

void removeFile(const QString& path) {
    RemoveFile(storagePath(path));
}

void renameFile(const QString& from, const QString& to) {
    RenameFile(storagePath(from), storagePath(to));
}

// The bytes of a file of the state folder, or why they cannot be had: only
// a regular file of its own, never through a link, never waiting on a pipe.
std::optional<QByteArray> readBounded(const QString& path, std::size_t longest, QString& why) {
    std::string bytes;
    if (const auto error = ReadRegularFile(storagePath(path), longest, bytes)) {
        why = QString::fromStdString(error->description);
        return std::nullopt;
    }
    return QByteArray::fromStdString(bytes);
}

// Whether the editor whose claim file this is still runs: it holds a lock on
// the file for as long as it does.
bool claimHeld(const QString& claimFile) {
    return ClaimFile::heldByAnother(storagePath(claimFile));
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

    const QString& id() const { return id_; }
    bool held() const { return file_.held(); }
    bool take(const QString& directory) {
        return !file_.take(storagePath(directory + "/editor-" + id_ + ".lock"));
    }
    void show(const QByteArray& folder) { file_.say(folder.toStdString()); }

private:
    QString id_;
    ClaimFile file_;
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
    return !MakePrivateFolder(storagePath(directory_)) && claim_->take(directory_);
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

    // Replaced whole, so that a kill at any moment leaves the old edits or
    // the new ones, never half a file. Not synced: it guards against the
    // process ending, not the machine.
    const QString path = fileFor(folder);
    const auto failed = [&](const QString& what) {
        return QString("Unsaved changes could not be kept for recovery in \"%1\": %2.")
            .arg(printable(path), what);
    };
    if (!claimed()) {
        return failed("the folder cannot be created or used");
    }
    if (const auto error =
            ReplaceFile(storagePath(path), text.toStdString(), Durability::ProgramKilled)) {
        return failed(QString::fromStdString(error->description));
    }
    return std::nullopt;
}

QStringList RecoveryStore::filesFor(const QString& folder) const {
    const QString prefix = "unsaved-" + folderKey(folder);
    const QDir directory(directory_);
    QStringList paths;
    for (const QString& name : directory.entryList(
             {prefix + "-*.txt"},
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
        // "unsaved-<key>-<editor>.txt", offered once its editor let go.
        const QString editor = path.mid(prefix.size() + 1).chopped(4);
        if (path == fileFor(folder) ||
            claimHeld(directory.filePath("editor-" + editor + ".lock"))) {
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
        renameFile(path, aside);
        problems << QString("The unsaved changes kept for \"%1\" cannot be read (%2). They were "
                            "set aside in \"%3\".")
                        .arg(printable(folder), printable(why), printable(aside));
    }
    std::sort(found.begin(), found.end(),
              [](const Recovered& a, const Recovered& b) { return a.written > b.written; });
    return found;
}

void RecoveryStore::adopt(const Recovered& recovered, const QString& folder) const {
    renameFile(recovered.file, fileFor(folder));
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
            readBounded(directory.filePath(name), LongestFile, why) == wanted) {
            return true;
        }
    }
    return false;
}

} // namespace mx
