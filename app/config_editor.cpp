#include "config_editor.h"

#include "config_document.h"
#include "config_sheet.h"
#include "dialogs.h"
#include "help_pages.h"
#include "main_window.h"
#include "names_file.h"
#include "output_file.h"
#include "printable_qt.h"
#include "sheet_pages.h"
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
    return QString("%1 \"%2\".\n\n%3").arg(what, printable(folder), printable(error.message()));
}

QString describeSave(const SaveError& failure) {
    return printable(failure.summary()) + "\n\n" + printable(failure.error.message());
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
    return printable(name == QDir(current).dirName() ? path : name);
}

bool sameFolder(const QString& a, const QString& b) {
    const QFileInfo first(a);
    const QFileInfo second(b);
    return first.exists() && first.canonicalFilePath() == second.canonicalFilePath();
}

} // namespace

ConfigEditor::ConfigEditor(MainWindow& window, ConfigDocument& document, Dialogs& dialogs,
                           RecoveryStore recovery, RecentFolders recent)
    : window_(window), document_(document), ask_(dialogs), recovery_(std::move(recovery)),
      recent_(std::move(recent)) {
    QObject::connect(&document_, &ConfigDocument::changed, &window_,
                     [this] { keepUnsavedEdits(); });
    QObject::connect(&window_, &MainWindow::pasteRefused, &window_,
                     [this](const QString& reason) { ask_.tell().showError(&window_, reason); });
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
    QObject::connect(&window_, &MainWindow::keysHelpRequested, &window_, [this] {
        ask_.tell().showPage(&window_, "Keyboard and mouse", keysHelpText());
    });
    QObject::connect(&window_, &MainWindow::aboutRequested, &window_, [this] {
        ask_.tell().showPage(&window_, "About MX_config",
                             aboutText(recovery_.directory(), recent_.file()));
    });
    QObject::connect(&window_, &MainWindow::namesRequested, &window_, [this] {
        if (const auto chosen =
                ask_([&](Dialogs& d) { return d.askNames(&window_, document_.names()); })) {
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
        units.push_back(
            {named ? QString::fromStdString(names.unit) : printable(QDir(folder).dirName()),
             printable(folder)});
    }
    window_.setRecentUnits(units);
}

bool ConfigEditor::Form_Load(const QString& firstFolder) {
    BaseCaption = window_.windowTitle();
    showCaption();
    if (!firstFolder.isEmpty() && checkFolderName(firstFolder) && LoadAndShow(firstFolder)) {
        return !ask_.ending();
    }
    // A folder that cannot be loaded is not kept: the user is told and asked
    // again, until a folder loads or the browser is cancelled.
    while (const auto chosen = BrowseForConfigFolder(FolderPrompt)) {
        if (LoadAndShow(*chosen)) {
            return !ask_.ending();
        }
    }
    return false;
}

void ConfigEditor::OpenCommand_Click(const QString& folder) {
    if (document_.isModified()) {
        const auto answer =
            ask_([&](Dialogs& d) { return d.askSaveBeforeOpen(&window_, ConfigFolder); });
        switch (answer.value_or(UnsavedChanges::Cancel)) {
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
    // A recent unit, or one the user chooses; a load that fails leaves the
    // unit open as it was.
    const std::optional<QString> chosen =
        !folder.isEmpty()
            ? (checkFolderName(folder) && createIfAgreed(folder) ? std::optional<QString>(folder)
                                                                 : std::nullopt)
            : BrowseForConfigFolder(FolderPrompt);
    if (chosen) {
        LoadAndShow(*chosen);
    }
}

bool ConfigEditor::SaveCommand_Click() {
    return saveOverOwnFiles(ConfigFolder);
}

bool ConfigEditor::saveOverOwnFiles(const QString& target) {
    // Names that could not be read when loaded count as those on disk.
    const StoredUnit known{document_.storedBlocks(),
                           namesUnreadable_ ? std::nullopt
                                            : std::optional<UnitNames>(document_.savedNames())};
    return saveAsked(
        target, [&](const StoredUnit& onDisk) { return onDisk == known; },
        [&](const StoredUnit& onDisk) {
            const auto answer =
                ask_([&](Dialogs& d) { return d.askOverwriteChanges(&window_, ConfigFolder); });
            switch (answer.value_or(ConflictAnswer::Cancel)) {
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
    const std::optional<QString> target = BrowseForConfigFolder(FolderPrompt, FolderPurpose::Save);
    if (!target) {
        return;
    }
    // Saving as into the folder already in use is a Save, with its check for
    // changes made by another program.
    if (sameFolder(ConfigFolder, *target)) {
        saveOverOwnFiles(*target);
        return;
    }
    const StoredBlocks written = blocksOf(document_.config());
    saveAsked(
        *target,
        [&](const StoredUnit& there) {
            const bool otherNames =
                there.names && !there.names->empty() && *there.names != document_.names();
            return !holdsOtherBytes(there.blocks.switches, written.switches) &&
                   !holdsOtherBytes(there.blocks.settings, written.settings) && !otherNames;
        },
        [&](const StoredUnit&) {
            return ask_([&](Dialogs& d) { return d.askReplaceConfiguration(&window_, *target); })
                .value_or(false);
        });
}

bool ConfigEditor::saveAsked(const QString& target,
                             const std::function<bool(const StoredUnit&)>& holdsNothingToLose,
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
            if (const auto error = openAndRead(target, folder, onDisk)) {
                ask_.tell().showError(
                    &window_, describe("The configuration was not saved to", target, *error));
                return false;
            }
            if (agreed ? onDisk == *agreed : holdsNothingToLose(onDisk)) {
                return writeConfig(target, folder);
            }
        }
        if (!ask(onDisk)) {
            return false;
        }
        agreed = onDisk;
    }
}

bool ConfigEditor::Form_Terminate() {
    const auto save = ask_([&](Dialogs& d) { return d.askSaveBeforeExit(&window_); });
    // Told to end while the question was open: no answer was given, so the
    // edits stay for recovery.
    if (!save) {
        return true;
    }
    // Either answer ends the run normally: the edits are saved, or let go.
    if (!*save || SaveCommand_Click()) {
        recovery_.remove(ConfigFolder);
        return true;
    }
    return false;
}

void ConfigEditor::CompareWith() {
    // Beside the open unit with nothing chosen (the unit itself is no
    // comparison), or at the unit compared with last.
    const QString start =
        lastCompared_.isEmpty() ? QFileInfo(ConfigFolder).absolutePath() + "/" : lastCompared_;
    const std::optional<QString> chosen = ask_([&](Dialogs& d) {
        return d.browseForFolder(&window_, ComparePrompt, start, FolderPurpose::Compare,
                                 recent_.folders());
    });
    if (!chosen || chosen->isEmpty() || !checkFolderName(*chosen)) {
        return;
    }
    ChannelConfig reference;
    SourceNames names;
    if (const auto error = ReadConfigSource(storagePath(*chosen), reference, TextFiles::RegularOnly,
                                            nullptr, &names)) {
        ask_.tell().showError(&window_, describe("Nothing was compared with", *chosen, *error));
        return;
    }
    const QString name = referenceName(*chosen, ConfigFolder);
    document_.compareWith(reference, name, names.names);
    lastCompared_ = *chosen;
    // No marks would say nothing: a comparison that finds nothing says so.
    if (changesBetween(document_.config(), reference).describe().empty()) {
        ask_.tell().showNote(&window_,
                             QString("\"%1\" is the same as the unit shown: no switch and "
                                     "no recall flag differs.")
                                 .arg(name));
    }
}

Sheet ConfigEditor::sheet(bool printed) const {
    SheetHeading heading{storagePath(ConfigFolder), sheetTime(std::time(nullptr)),
                         document_.isModified(), printed, document_.names()};
    if (const Reference* reference = document_.reference()) {
        heading.reference = &reference->config;
        heading.referenceName = reference->name.toStdString();
    }
    return configSheet(document_.config(), heading);
}

QString ConfigEditor::suggestedSheetFile() const {
    // Beside the unit's folder, not in it: the folder holds what the unit loads.
    const QFileInfo unit(ConfigFolder);
    return unit.absoluteDir().filePath(unit.fileName() + ".pdf");
}

void ConfigEditor::PrintSheet() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(sheetPageLayout());
    // The name the print system shows, and offers as a file name when it
    // prints to a file: the unit's folder name, without the path.
    printer.setDocName(printable(QFileInfo(ConfigFolder).fileName()));
    if (!ask_([&](Dialogs& d) {
             return d.askPrint(&window_, printer, suggestedSheetFile());
         }).value_or(false)) {
        return;
    }
    paintSheets(oneSheet(sheet(true)), printer);
    if (printer.printerState() == QPrinter::Error) {
        ask_.tell().showError(&window_,
                              "The sheet was not printed: the printer reported an error.");
    }
}

void ConfigEditor::ExportSheet() {
    const std::optional<QString> chosen =
        ask_([&](Dialogs& d) { return d.askSheetFile(&window_, suggestedSheetFile()); });
    if (!chosen) {
        return;
    }
    QString path = *chosen;
    if (!path.endsWith(".pdf", Qt::CaseInsensitive)) {
        path += ".pdf";
    }
    const auto notSaved = [&](const FileError& error) {
        ask_.tell().showError(&window_, QString("The sheet was not saved to \"%1\".\n\n%2")
                                            .arg(printable(path), printable(error.message())));
    };
    // A device, a pipe, a link or a unit's own file is refused before the
    // user is asked whether to replace it.
    if (const auto refused = CheckOutputFile(storagePath(path))) {
        notSaved(*refused);
        return;
    }
    if (QFileInfo::exists(path) &&
        !ask_([&](Dialogs& d) { return d.askReplaceFile(&window_, path); }).value_or(false)) {
        return;
    }
    const QByteArray pdf = sheetPdf(oneSheet(sheet(false)), sheetPageLayout());
    // Written whole or not at all, so that a failure leaves no sheet that
    // looks complete and is not.
    if (const auto error =
            WriteOutputFile(storagePath(path), std::string_view(pdf.constData(), pdf.size()))) {
        notSaved(*error);
    }
}

std::optional<QString> ConfigEditor::BrowseForConfigFolder(const QString& prompt,
                                                           FolderPurpose purpose) {
    // Beside the folder worked on last, where its neighbours are likely to be.
    const QStringList recent = recent_.folders();
    const QString start = !recent.isEmpty()         ? recent.first()
                          : !ConfigFolder.isEmpty() ? ConfigFolder
                                                    : QDir::homePath();
    // A folder that cannot be used, or that is not to be created, is not
    // taken: the user chooses again.
    while (const auto chosen = ask_([&](Dialogs& d) {
               return d.browseForFolder(&window_, prompt, start, purpose, recent);
           })) {
        if (chosen->isEmpty()) {
            break;
        }
        if (checkFolderName(*chosen) && createIfAgreed(*chosen)) {
            return chosen;
        }
    }
    return std::nullopt;
}

bool ConfigEditor::createIfAgreed(const QString& folder) {
    if (QFileInfo(folder).isDir()) {
        return true;
    }
    if (!ask_([&](Dialogs& d) { return d.askCreateFolder(&window_, folder); }).value_or(false)) {
        return false;
    }
    MadeFolders made;
    if (const auto error = made.make(storagePath(folder))) {
        ask_.tell().showError(&window_, QString("The folder \"%1\" could not be created.\n\n%2")
                                            .arg(printable(folder), printable(error->message())));
        return false;
    }
    made.keep();
    return true;
}

bool ConfigEditor::LoadAndShow(const QString& folder) {
    ChannelConfig config = document_.config();
    StoredBlocks loaded;
    SourceNames names;
    if (const auto error =
            LoadConfig(storagePath(folder), MissingFile::Create, config, &loaded, &names)) {
        ask_.tell().showError(&window_,
                              describe("The configuration was not loaded from", folder, *error));
        return false;
    }
    // Names that cannot be read are told of once and left out; the file
    // stays as it is.
    const std::optional<FileError>& namesError = names.unreadable;
    namesUnreadable_ = namesError.has_value();
    document_.load(config, loaded, names.names);
    documentMovedTo(folder);
    if (namesError) {
        ask_.tell().showError(&window_, QString("The names of this unit could not be read, so they "
                                                "are left out, and the file is not written over "
                                                "unless you name the unit again.\n\n%1")
                                            .arg(printable(namesError->message())));
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

std::optional<FileError> ConfigEditor::openAndRead(const QString& target, LockedFolder& folder,
                                                   StoredUnit& onDisk) const {
    if (auto error = folder.open(storagePath(target))) {
        return error;
    }
    SourceNames names;
    if (auto error = folder.read(onDisk.blocks, &names)) {
        return error;
    }
    onDisk.names = names.unreadable ? std::nullopt : std::optional<UnitNames>(names.names);
    return std::nullopt;
}

bool ConfigEditor::writeConfig(const QString& target, LockedFolder& folder) {
    const StoredBlocks written = blocksOf(document_.config());
    const bool here = sameFolder(ConfigFolder, target);
    // A names.txt that could not be read is left alone unless the names
    // changed; the names are saved with the unit's files, as one.
    const bool keepNamesFile =
        namesUnreadable_ && here && document_.names() == document_.savedNames();
    std::optional<FileError> namesError;
    if (const auto failure = folder.save(
            document_.config(), keepNamesFile ? nullptr : &document_.names(), &namesError)) {
        // What the open unit's files hold now; another folder's are not its.
        if (here) {
            document_.setStoredBlocks(afterFailedSave(document_.storedBlocks(), written, *failure));
        }
        ask_.tell().showError(&window_, describeSave(*failure));
        return false;
    }
    document_.markSaved(written, !keepNamesFile && !namesError);
    documentMovedTo(target);
    recent_.add(target);
    showRecentUnits();
    if (namesError) {
        ask_.tell().showError(&window_, "The configuration was saved; its names were not: " +
                                            printable(namesError->message()));
    } else if (!keepNamesFile) {
        namesUnreadable_ = false;
    }
    return true;
}

void ConfigEditor::documentMovedTo(const QString& folder) {
    if (ConfigFolder == folder) {
        return;
    }
    if (!ConfigFolder.isEmpty()) {
        recovery_.remove(ConfigFolder);
    }
    // The one place where the current folder changes: once a load or save
    // there succeeded.
    ConfigFolder = folder;
    showCaption();
    recovery_.setOpenFolder(folder);
    if (recovery_.openElsewhere(folder)) {
        ask_.tell().showError(&window_,
                              QString("\"%1\" is open in another MX_config window too. Whichever "
                                      "saves last replaces what the other saved; make your changes "
                                      "in one of them.")
                                  .arg(printable(folder)));
    }
}

void ConfigEditor::offerRecoveredEdits(const StoredBlocks& loaded) {
    QStringList problems;
    // Left by editors that ended without saving, newest first: each is
    // offered until one is restored; one let go is deleted, and those not
    // asked about stay for the next time the folder is loaded.
    const std::vector<RecoveryStore::Recovered> left = recovery_.leftOver(ConfigFolder, problems);
    if (!problems.isEmpty()) {
        ask_.tell().showError(&window_, problems.join("\n\n"));
    }
    for (const RecoveryStore::Recovered& recovered : left) {
        const ConfigChanges changes = changesBetween(document_.config(), recovered.config);
        const bool renamed = recovered.names != document_.names();
        const QString what = changes.any() ? QString::fromStdString(changes.describe())
                             : renamed     ? QString()
                                           : QString("nothing that the files do not already hold");
        const auto restore = ask_([&](Dialogs& d) {
            return d.askRestoreRecovered(
                &window_, ConfigFolder, recovered.written, recovered.basedOn != loaded,
                renamed ? (what.isEmpty() ? QString("new names") : what + " and new names") : what);
        });
        // No answer: the file stays for the next start.
        if (!restore) {
            return;
        }
        if (*restore) {
            recovery_.adopt(recovered, ConfigFolder);
            document_.restoreUnsaved(recovered.config, changes.firstChannel(), recovered.names);
            window_.selectChannel(changes.firstChannel());
            return;
        }
        RecoveryStore::discard(recovered);
    }
}

void ConfigEditor::endWithoutAsking() {
    ask_.endRun();
    keepUnsavedEdits();
}

void ConfigEditor::keepUnsavedEdits() {
    if (ConfigFolder.isEmpty()) {
        return;
    }
    if (!document_.isModified()) {
        recovery_.remove(ConfigFolder);
        return;
    }
    const auto failure = recovery_.write(ConfigFolder, document_.config(), document_.storedBlocks(),
                                         document_.names());
    if (failure && !std::exchange(recoveryFailureShown_, true)) {
        ask_.tell().showError(&window_, *failure + " They are kept in this window until you save.");
    }
}

bool ConfigEditor::checkFolderName(const QString& folder) {
    // A name that is not valid text reaches Qt with U+FFFD in place of its
    // bytes, and those characters would be written back as other bytes: the
    // name of another folder, or of none.
    if (!folder.contains(QChar::ReplacementCharacter)) {
        return true;
    }
    ask_.tell().showError(&window_,
                          QString("The folder \"%1\" cannot be used: its name is not valid text "
                                  "(UTF-8), so MX_config cannot be sure which folder it is. Rename "
                                  "the folder, or choose another.")
                              .arg(printable(folder)));
    return false;
}

void ConfigEditor::showCaption() {
    // "[*]" is where the window puts its modified mark; one that is part of
    // the folder's name is doubled so that it is shown as it is.
    QString folder = printable(ConfigFolder);
    folder.replace("[*]", "[*][*]");
    QString compared;
    if (const Reference* reference = document_.reference()) {
        compared = " — compared with " + reference->name;
        compared.replace("[*]", "[*][*]");
    }
    window_.setWindowTitle(BaseCaption + folder + "[*]" + compared);
    window_.setUnitFolder(printable(ConfigFolder));
}

} // namespace mx
