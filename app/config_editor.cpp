#include "config_editor.h"

#include "config_document.h"
#include "config_sheet.h"
#include "dialogs.h"
#include "help_pages.h"
#include "main_window.h"
#include "names_file.h"
#include "output_file.h"
#include "sheet_pages.h"
#include "shown_text.h"
#include "storage_path.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <algorithm>
#include <chrono>
#include <ctime>
#include <functional>
#include <utility>

namespace mx {

namespace {

QString describe(const QString& what, const QString& folder, const FileError& error) {
    return QString("%1 \"%2\".\n\n%3").arg(what, shown(folder), shown(error.message()));
}

QString describeSave(const SaveError& failure) {
    return shown(failure.summary()) + "\n\n" + shown(failure.error.message());
}

// What the files hold after a save that failed: a file the save left as it
// was keeps the bytes it was known to hold, one it wrote holds the written
// bytes, and a damaged one matches nothing, so that the next save asks
// before it overwrites what is there.
StoredBlocks afterFailedSave(const StoredBlocks& known, const StoredBlocks& written,
                             const SaveError& failure) {
    const auto holds = [](FileContent content, const std::vector<std::uint8_t>& knownBytes,
                          const std::vector<std::uint8_t>& writtenBytes) {
        switch (content) {
        case FileContent::New:
        case FileContent::Same:
            return writtenBytes;
        case FileContent::Damaged:
            return std::vector<std::uint8_t>{};
        case FileContent::Old:
            return knownBytes;
        }
        return knownBytes;
    };
    return {holds(failure.switches, known.switches, written.switches),
            holds(failure.settings, known.settings, written.settings)};
}

// Whether a file's first bytes differ from what saving would put there. An
// empty or absent file holds nothing to lose.
bool holdsOtherBytes(const std::vector<std::uint8_t>& stored,
                     const std::vector<std::uint8_t>& written) {
    return !std::equal(stored.begin(), stored.end(), written.begin());
}

// What the caption and the menu call a configuration compared with: its
// folder's or file's name, or the whole path when that name is the current
// folder's too.
QString referenceName(const QString& path, const QString& current) {
    const QString name =
        QFileInfo(path).fileName().isEmpty() ? QDir(path).dirName() : QFileInfo(path).fileName();
    return shown(name == QDir(current).dirName() ? path : name);
}

bool sameFolder(const QString& a, const QString& b) {
    const QFileInfo first(a);
    const QFileInfo second(b);
    return first.exists() && first.canonicalFilePath() == second.canonicalFilePath();
}

} // namespace

ConfigEditor::ConfigEditor(MainWindow& window, ConfigDocument& document, Dialogs& dialogs,
                           RecoveryStore recovery, RecentFolders recent)
    : window_(window), document_(document), dialogs_(dialogs), recovery_(std::move(recovery)),
      recent_(std::move(recent)) {
    QObject::connect(&document_, &ConfigDocument::changed, &window_,
                     [this] { keepUnsavedEdits(); });
    QObject::connect(&window_, &MainWindow::pasteRefused, &window_,
                     [this](const QString& reason) { dialogs_.showError(&window_, reason); });
    QObject::connect(&window_, &MainWindow::openClicked, &window_, [this] { OpenCommand_Click(); });
    QObject::connect(&window_, &MainWindow::saveClicked, &window_, [this] { SaveCommand_Click(); });
    QObject::connect(&window_, &MainWindow::saveAsClicked, &window_,
                     [this] { SaveAsCommand_Click(); });
    QObject::connect(&window_, &MainWindow::compareRequested, &window_, [this] { CompareWith(); });
    QObject::connect(&window_, &MainWindow::printRequested, &window_, [this] { PrintSheet(); });
    QObject::connect(&window_, &MainWindow::exportSheetRequested, &window_,
                     [this] { ExportSheet(); });
    QObject::connect(&document_, &ConfigDocument::referenceChanged, &window_,
                     [this] { showCaption(); });
    QObject::connect(&window_, &MainWindow::recentUnitChosen, &window_,
                     [this](const QString& folder) { OpenCommand_Click(folder); });
    QObject::connect(&window_, &MainWindow::keysHelpRequested, &window_,
                     [this] { dialogs_.showPage(&window_, "Keyboard and mouse", keysHelpText()); });
    QObject::connect(&window_, &MainWindow::aboutRequested, &window_, [this] {
        dialogs_.showPage(&window_, "About MX_config",
                          aboutText(recovery_.directory(), recent_.file()));
    });
    QObject::connect(&window_, &MainWindow::namesRequested, &window_, [this] {
        if (const auto chosen = dialogs_.askNames(&window_, document_.names());
            chosen && !ending_) {
            window_.rename(*chosen);
        }
    });
    window_.setCloseGuard([this] { return Form_Terminate(); });
    showRecentUnits();
}

void ConfigEditor::showRecentUnits() {
    std::vector<MainWindow::RecentUnit> units;
    for (const QString& folder : recent_.folders()) {
        // A unit is called by its name where it has one; names that cannot
        // be read are told of when the unit is opened, not here.
        UnitNames names;
        const bool named = !ReadNames(storagePath(folder), names, std::chrono::milliseconds(0)) &&
                           !names.unit.empty();
        units.push_back({named ? QString::fromStdString(names.unit) : shown(QDir(folder).dirName()),
                         shown(folder)});
    }
    window_.setRecentUnits(units);
}

bool ConfigEditor::Form_Load(const QString& firstFolder) {
    BaseCaption = window_.windowTitle();
    if (!firstFolder.isEmpty() && usableFolder(firstFolder)) {
        setConfigFolder(firstFolder);
        if (LoadAndShow()) {
            return !ending_;
        }
        setConfigFolder(QString());
    }
    // A folder that cannot be loaded is not kept: the user is told and asked
    // again, until a folder loads or the browser is cancelled.
    while (!ending_ && BrowseForConfigFolder(FolderPrompt)) {
        if (LoadAndShow()) {
            return !ending_;
        }
        setConfigFolder(QString());
    }
    return false;
}

void ConfigEditor::OpenCommand_Click(const QString& folder) {
    if (document_.isModified()) {
        const UnsavedChanges answer = dialogs_.askSaveBeforeOpen(&window_, ConfigFolder);
        if (ending_) {
            return;
        }
        switch (answer) {
        case UnsavedChanges::Cancel:
            return;
        case UnsavedChanges::Save:
            if (!SaveCommand_Click()) {
                return;
            }
            break;
        case UnsavedChanges::Discard:
            // The edits stay until another folder has loaded.
            break;
        }
    }
    const QString previous = ConfigFolder;
    bool chosen = false;
    if (folder.isEmpty()) {
        chosen = BrowseForConfigFolder(FolderPrompt);
    } else if (usableFolder(folder) && createdIfNew(folder)) {
        setConfigFolder(folder);
        chosen = true;
    }
    if (chosen && !LoadAndShow()) {
        setConfigFolder(previous);
    }
}

bool ConfigEditor::SaveCommand_Click() {
    // Names that could not be read when loaded count as those on disk.
    const StoredUnit known{document_.storedBlocks(),
                           namesUnreadable_ ? std::nullopt
                                            : std::optional<UnitNames>(document_.savedNames())};
    return saveAsked([&](const StoredUnit& onDisk) { return onDisk == known; },
                     [&](const StoredUnit& onDisk) {
                         switch (dialogs_.askOverwriteChanges(&window_, ConfigFolder)) {
                         case ConflictAnswer::Overwrite:
                             return true;
                         case ConflictAnswer::Compare: {
                             // What a load would show now: the other program's bytes
                             // over the configuration as last loaded or saved.
                             ChannelConfig theirs = document_.savedConfig();
                             applyStoredBlocks(onDisk.blocks, theirs);
                             // Short, as the caption names it beside the folder.
                             document_.compareWith(theirs, "the files now");
                             return false;
                         }
                         case ConflictAnswer::Cancel:
                             break;
                         }
                         return false;
                     });
}

void ConfigEditor::SaveAsCommand_Click() {
    const QString previous = ConfigFolder;
    const StoredBlocks previousBlocks = document_.storedBlocks();
    if (!BrowseForConfigFolder(FolderPrompt, FolderPurpose::Save) || ending_) {
        return;
    }
    // Saving as into the folder already in use is a Save, with its check for
    // changes made by another program.
    if (sameFolder(previous, ConfigFolder)) {
        SaveCommand_Click();
        return;
    }
    const StoredBlocks written = blocksOf(document_.config());
    const bool saved = saveAsked(
        [&](const StoredUnit& there) {
            const bool otherNames =
                there.names && !there.names->empty() && *there.names != document_.names();
            return !holdsOtherBytes(there.blocks.switches, written.switches) &&
                   !holdsOtherBytes(there.blocks.settings, written.settings) && !otherNames;
        },
        [&](const StoredUnit&) {
            return dialogs_.askReplaceConfiguration(&window_, ConfigFolder);
        });
    if (!saved) {
        // Later Saves must not aim at a folder that was not written.
        setConfigFolder(previous);
        document_.setStoredBlocks(previousBlocks);
    }
}

bool ConfigEditor::saveAsked(const std::function<bool(const StoredUnit&)>& holdsNothingToLose,
                             const std::function<bool(const StoredUnit&)>& ask) {
    // The files are compared and written under one lock, so no other
    // program's save can come between the check and the write. The question
    // is asked with the lock let go, so that no other program waits on the
    // user; a yes holds for the files as they were shown, and if they
    // changed again meanwhile the user is asked again.
    std::optional<StoredUnit> agreed;
    while (true) {
        StoredUnit onDisk;
        {
            LockedFolder folder;
            if (const auto error = openAndRead(folder, onDisk)) {
                dialogs_.showError(
                    &window_, describe("The configuration was not saved to", ConfigFolder, *error));
                return false;
            }
            if (agreed ? onDisk == *agreed : holdsNothingToLose(onDisk)) {
                return writeConfig(folder);
            }
        }
        if (ending_ || !ask(onDisk) || ending_) {
            return false;
        }
        agreed = onDisk;
    }
}

bool ConfigEditor::Form_Terminate() {
    const bool save = dialogs_.askSaveBeforeExit(&window_);
    // Told to end while the question was open: no answer was given, so the
    // edits stay for recovery.
    if (ending_) {
        return true;
    }
    // Either answer ends the run normally: the edits are saved, or let go.
    if (!save || SaveCommand_Click()) {
        recovery_.remove(documentFolder_);
        return true;
    }
    return false;
}

void ConfigEditor::CompareWith() {
    // Beside the open unit with nothing chosen (the unit itself is no
    // comparison), or at the unit compared with last.
    const QString start =
        lastCompared_.isEmpty() ? QFileInfo(ConfigFolder).absolutePath() + "/" : lastCompared_;
    const std::optional<QString> chosen = dialogs_.browseForFolder(
        &window_, ComparePrompt, start, FolderPurpose::Compare, recent_.folders());
    if (ending_ || !chosen || chosen->isEmpty() || !usableFolder(*chosen)) {
        return;
    }
    ChannelConfig reference;
    SourceNames names;
    if (const auto error = ReadConfigSource(storagePath(*chosen), reference, TextFiles::RegularOnly,
                                            nullptr, &names)) {
        dialogs_.showError(&window_, describe("Nothing was compared with", *chosen, *error));
        return;
    }
    document_.compareWith(reference, referenceName(*chosen, ConfigFolder), names.names);
    lastCompared_ = *chosen;
}

QString ConfigEditor::sheetHtml(bool printed) const {
    return QString::fromStdString(configSheet(
        document_.config(), {storagePath(documentFolder_), sheetTime(std::time(nullptr)),
                             document_.isModified(), printed, document_.names()}));
}

QString ConfigEditor::suggestedSheetFile() const {
    // Beside the unit's folder, not in it: the folder holds what the unit loads.
    const QFileInfo unit(documentFolder_);
    return unit.absoluteDir().filePath(unit.fileName() + ".pdf");
}

void ConfigEditor::PrintSheet() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(sheetPageLayout());
    // The name the print system shows, and offers as a file name when it
    // prints to a file: the unit's folder name, without the path.
    printer.setDocName(shown(QFileInfo(documentFolder_).fileName()));
    if (!dialogs_.askPrint(&window_, printer, suggestedSheetFile()) || ending_) {
        return;
    }
    paintSheet(sheetHtml(true), printer);
    if (printer.printerState() == QPrinter::Error) {
        dialogs_.showError(&window_, "The sheet was not printed: the printer reported an error.");
    }
}

void ConfigEditor::ExportSheet() {
    std::optional<QString> chosen = dialogs_.askSheetFile(&window_, suggestedSheetFile());
    if (!chosen || ending_) {
        return;
    }
    QString path = *chosen;
    if (!path.endsWith(".pdf", Qt::CaseInsensitive)) {
        path += ".pdf";
    }
    const auto notSaved = [&](const FileError& error) {
        dialogs_.showError(&window_, QString("The sheet was not saved to \"%1\".\n\n%2")
                                         .arg(shown(path), shown(error.message())));
    };
    // A device, a pipe, a link or a unit's own file is refused before the
    // user is asked whether to replace it.
    if (const auto refused = CheckOutputFile(storagePath(path))) {
        notSaved(*refused);
        return;
    }
    if (QFileInfo::exists(path) && (!dialogs_.askReplaceFile(&window_, path) || ending_)) {
        return;
    }
    const QByteArray pdf =
        sheetPdf({"Configuration of " + shown(documentFolder_), {{sheetHtml(false), {}}}, false},
                 sheetPageLayout());
    // Written whole or not at all, so that a failure leaves no sheet that
    // looks complete and is not.
    if (const auto error =
            WriteOutputFile(storagePath(path), std::string_view(pdf.constData(), pdf.size()))) {
        notSaved(*error);
    }
}

bool ConfigEditor::BrowseForConfigFolder(const QString& prompt, FolderPurpose purpose) {
    // Beside the folder worked on last, where its neighbours are likely to be.
    const QStringList recent = recent_.folders();
    const QString start = !recent.isEmpty()         ? recent.first()
                          : !ConfigFolder.isEmpty() ? ConfigFolder
                                                    : QDir::homePath();
    std::optional<QString> chosen;
    // A folder that cannot be used, or that is not to be created, is not
    // taken: the user chooses again.
    do {
        chosen = dialogs_.browseForFolder(&window_, prompt, start, purpose, recent);
        if (ending_) {
            chosen.reset();
        }
    } while (chosen && !chosen->isEmpty() && !(usableFolder(*chosen) && createdIfNew(*chosen)) &&
             !ending_);
    if (ending_) {
        chosen.reset();
    }
    const bool obtained = chosen.has_value() && !chosen->isEmpty();
    if (obtained) {
        ConfigFolder = *chosen;
    }
    showCaption();
    return obtained;
}

bool ConfigEditor::createdIfNew(const QString& folder) {
    if (QFileInfo(folder).isDir()) {
        return true;
    }
    if (!dialogs_.askCreateFolder(&window_, folder) || ending_) {
        return false;
    }
    MadeFolders made;
    if (const auto error = made.make(storagePath(folder))) {
        dialogs_.showError(&window_, QString("The folder \"%1\" could not be created.\n\n%2")
                                         .arg(shown(folder), shown(error->message())));
        return false;
    }
    made.keep();
    return true;
}

bool ConfigEditor::LoadAndShow() {
    ChannelConfig config = document_.config();
    StoredBlocks loaded;
    SourceNames names;
    if (const auto error =
            LoadConfig(storagePath(ConfigFolder), MissingFile::Create, config, &loaded, &names)) {
        dialogs_.showError(&window_,
                           describe("The configuration was not loaded from", ConfigFolder, *error));
        return false;
    }
    // Names that cannot be read are told of once and left out; the file
    // stays as it is.
    const std::optional<FileError>& namesError = names.unreadable;
    namesUnreadable_ = namesError.has_value();
    document_.load(config, loaded, names.names);
    documentMovedTo(ConfigFolder);
    if (namesError) {
        dialogs_.showError(&window_, QString("The names of this unit could not be read, so they "
                                             "are left out, and the file is not written over "
                                             "unless you name the unit again.\n\n%1")
                                         .arg(shown(namesError->message())));
    }
    recent_.add(ConfigFolder);
    showRecentUnits();
    // Stepping through channel 2 makes the final selection a change, so the
    // view is refreshed with the values just loaded whatever was shown before.
    window_.selectChannel(1);
    window_.selectChannel(0);
    // A restore then shows the first channel it changes.
    offerRecoveredEdits(loaded);
    return true;
}

std::optional<FileError> ConfigEditor::openAndRead(LockedFolder& folder, StoredUnit& onDisk) const {
    if (auto error = folder.open(storagePath(ConfigFolder))) {
        return error;
    }
    SourceNames names;
    if (auto error = folder.read(onDisk.blocks, &names)) {
        return error;
    }
    onDisk.names = names.unreadable ? std::nullopt : std::optional<UnitNames>(names.names);
    return std::nullopt;
}

bool ConfigEditor::writeConfig(LockedFolder& folder) {
    const StoredBlocks written = blocksOf(document_.config());
    // A names.txt that could not be read is left alone unless the names
    // changed; the names are saved with the unit's files, as one.
    const bool keepNamesFile = namesUnreadable_ && sameFolder(ConfigFolder, documentFolder_) &&
                               document_.names() == document_.savedNames();
    std::optional<FileError> namesError;
    if (const auto failure = folder.save(
            document_.config(), keepNamesFile ? nullptr : &document_.names(), &namesError)) {
        document_.setStoredBlocks(afterFailedSave(document_.storedBlocks(), written, *failure));
        dialogs_.showError(&window_, describeSave(*failure));
        return false;
    }
    document_.markSaved(written, !keepNamesFile && !namesError);
    documentMovedTo(ConfigFolder);
    recent_.add(ConfigFolder);
    showRecentUnits();
    if (namesError) {
        dialogs_.showError(&window_, "The configuration was saved; its names were not: " +
                                         shown(namesError->message()));
    } else if (!keepNamesFile) {
        namesUnreadable_ = false;
    }
    return true;
}

void ConfigEditor::documentMovedTo(const QString& folder) {
    if (documentFolder_ == folder) {
        return;
    }
    if (!documentFolder_.isEmpty()) {
        recovery_.remove(documentFolder_);
    }
    documentFolder_ = folder;
    showCaption();
    recovery_.setOpenFolder(folder);
    if (recovery_.openElsewhere(folder)) {
        dialogs_.showError(&window_,
                           QString("\"%1\" is open in another MX_config window too. Whichever "
                                   "saves last replaces what the other saved; make your changes "
                                   "in one of them.")
                               .arg(shown(folder)));
    }
}

void ConfigEditor::offerRecoveredEdits(const StoredBlocks& loaded) {
    QStringList problems;
    // Left by editors that ended without saving, newest first: each is
    // offered until one is restored; one let go is deleted, and those not
    // asked about stay for the next time the folder is loaded.
    const std::vector<RecoveryStore::Recovered> left =
        recovery_.leftOver(documentFolder_, problems);
    if (!problems.isEmpty()) {
        dialogs_.showError(&window_, problems.join("\n\n"));
    }
    for (const RecoveryStore::Recovered& recovered : left) {
        const ConfigChanges changes = changesBetween(document_.config(), recovered.config);
        const bool renamed = recovered.names != document_.names();
        const QString what = changes.any() ? QString::fromStdString(changes.describe())
                             : renamed     ? QString()
                                           : QString("nothing that the files do not already hold");
        const bool restore = dialogs_.askRestoreRecovered(
            &window_, documentFolder_, recovered.written, recovered.basedOn != loaded,
            renamed ? (what.isEmpty() ? QString("new names") : what + " and new names") : what);
        // A signal to end is no answer: the file stays for the next start.
        if (ending_) {
            return;
        }
        if (restore) {
            recovery_.adopt(recovered, documentFolder_);
            document_.restoreUnsaved(recovered.config, changes.firstChannel(), recovered.names);
            window_.selectChannel(changes.firstChannel());
            return;
        }
        RecoveryStore::discard(recovered);
    }
}

void ConfigEditor::endWithoutAsking() {
    ending_ = true;
    keepUnsavedEdits();
}

void ConfigEditor::keepUnsavedEdits() {
    if (documentFolder_.isEmpty()) {
        return;
    }
    if (!document_.isModified()) {
        recovery_.remove(documentFolder_);
        return;
    }
    const auto failure = recovery_.write(documentFolder_, document_.config(),
                                         document_.storedBlocks(), document_.names());
    if (failure && !std::exchange(recoveryFailureShown_, true)) {
        dialogs_.showError(&window_, *failure + " They are kept in this window until you save.");
    }
}

bool ConfigEditor::usableFolder(const QString& folder) {
    // A name that is not valid text reaches Qt with U+FFFD in place of its
    // bytes, and those characters would be written back as other bytes: the
    // name of another folder, or of none.
    if (!folder.contains(QChar::ReplacementCharacter)) {
        return true;
    }
    dialogs_.showError(&window_,
                       QString("The folder \"%1\" cannot be used: its name is not valid text "
                               "(UTF-8), so MX_config cannot be sure which folder it is. Rename "
                               "the folder, or choose another.")
                           .arg(shown(folder)));
    return false;
}

void ConfigEditor::setConfigFolder(const QString& folder) {
    ConfigFolder = folder;
    showCaption();
}

void ConfigEditor::showCaption() {
    // "[*]" is where the window puts its modified mark; one that is part of
    // the folder's name is doubled so that it is shown as it is.
    QString folder = shown(documentFolder_);
    folder.replace("[*]", "[*][*]");
    QString compared;
    if (const Reference* reference = document_.reference()) {
        compared = " — compared with " + reference->name;
        compared.replace("[*]", "[*][*]");
    }
    window_.setWindowTitle(BaseCaption + folder + "[*]" + compared);
}

} // namespace mx
