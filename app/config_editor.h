#pragma once

// Drives the editor: asks for the configuration folder at start-up, loads it
// into the document the window shows, answers the Open, Save and Save As
// buttons and asks whether to save when the window closes. It owns the
// current folder and the window's base caption, and keeps unsaved edits for
// recovery after a crash.

#include "config_files.h"
#include "dialogs.h"
#include "questions.h"
#include "recent_folders.h"
#include "recovery_store.h"
#include "sheet.h"

#include <QString>
#include <functional>

namespace mx {

class ConfigDocument;
class MainWindow;

class ConfigEditor {
public:
    static constexpr const char* FolderPrompt = "Choose a folder for the config files.";
    static constexpr const char* ComparePrompt =
        "Choose a unit's folder, or a text file, to compare with.";

    // Unsaved edits are kept in recovery, whose default is the user's state
    // folder.
    ConfigEditor(MainWindow& window, ConfigDocument& document, Dialogs& dialogs,
                 RecoveryStore recovery = RecoveryStore(), RecentFolders recent = RecentFolders());

    const QString& configFolder() const { return ConfigFolder; }
    const QString& baseCaption() const { return BaseCaption; }

    // Start-up, before the window is shown: loads firstFolder when one is
    // given, else or when it fails asks for a folder. Returns false when the
    // user cancelled the folder browser: the program then ends without a
    // window.
    bool Form_Load(const QString& firstFolder = {});
    // Asks before dropping unsaved changes, then loads another folder: the
    // one given (a recent unit), or one the user chooses.
    void OpenCommand_Click(const QString& folder = {});
    // Saves into the current folder, asking first if another program changed
    // its files meanwhile. Returns whether both files were written.
    bool SaveCommand_Click();
    // Saves into another folder, asking first if that folder holds a
    // different configuration.
    void SaveAsCommand_Click();
    // The window is closing: asks whether to save. Returns false when the
    // chosen save failed or was called off, so the window stays open and
    // nothing is lost.
    bool Form_Terminate();

    // Asks for another unit's folder, or a file holding the text form, and
    // compares the configuration with it. One that cannot be read is
    // reported and leaves the comparison as it was.
    void CompareWith();

    // The sheet of the configuration as the window shows it, unsaved edits
    // included and said to be: printed on a printer the user chooses, or
    // saved as a PDF file the user names (".pdf" is added when missing).
    // A failure is reported.
    void PrintSheet();
    void ExportSheet();
    // printed: for a printer ("Printed …"), else for a file ("Made …").
    // While the window compares, what differs is framed, as it is marked
    // there.
    Sheet sheet(bool printed = true) const;
    // Where a sheet of the unit goes as a file: Export and Print to file.
    QString suggestedSheetFile() const;

    // Asks for a folder to load from, or to save into, which may be created
    // (a new unit's folder, typed in); nothing when the user cancelled. The
    // current folder changes only once a load or save there succeeded.
    std::optional<QString> BrowseForConfigFolder(const QString& prompt,
                                                 FolderPurpose purpose = FolderPurpose::Open);

    // Brings the recovery file up to date now.
    void keepUnsavedEdits();
    // The program is about to end without asking (SIGTERM, SIGHUP or
    // SIGINT, even while a question is open): the unsaved edits are kept for
    // recovery, and no question still open counts as answered.
    void endWithoutAsking();

private:
    // Loads the folder and shows channel 1; it becomes the current folder.
    // On failure the user is told, and the model, the view and the current
    // folder are as they were.
    bool LoadAndShow(const QString& folder);
    // Opens and locks the target folder, and reads what its files hold.
    std::optional<FileError> openAndRead(const QString& target, LockedFolder& folder,
                                         StoredUnit& onDisk) const;
    // Saves into target if its files hold nothing to lose, or once the user
    // agrees through ask, which is shown what they hold; false when nothing
    // was saved. Saved, target becomes the current folder.
    bool saveAsked(const QString& target,
                   const std::function<bool(const StoredUnit&)>& holdsNothingToLose,
                   const std::function<bool(const StoredUnit&)>& ask);
    // Saves into target, the open unit's own folder by this or another
    // spelling, asking first if another program changed its files.
    bool saveOverOwnFiles(const QString& target);
    // Writes the unit into the locked target folder and tells the user of a
    // failure, a half-done one included.
    bool writeConfig(const QString& target, LockedFolder& folder);
    void showCaption();
    // File → Recent units, from the recent list.
    void showRecentUnits();
    // Creates a chosen folder that does not exist, once the user agrees;
    // false when it is not there.
    bool createIfAgreed(const QString& folder);
    // Refuses, and tells the user, a folder's name that is not valid text:
    // it could stand for another folder. True when the name can be used.
    bool checkFolderName(const QString& folder);
    // The document now holds the configuration of folder, freshly loaded or
    // saved there, which becomes ConfigFolder: edits kept for the folder it
    // held before are gone, saved or discarded.
    void documentMovedTo(const QString& folder);
    // After a load: offers the edits kept for the folder, if any.
    void offerRecoveredEdits(const StoredBlocks& loaded);

    MainWindow& window_;
    ConfigDocument& document_;
    // Every question goes through here, which knows when none is answered.
    Questions ask_;
    RecoveryStore recovery_;
    RecentFolders recent_;
    // The folder whose configuration the document holds, and whose unsaved
    // edits recovery keeps; empty until the first load.
    QString ConfigFolder;
    QString BaseCaption;
    // The unit or text compared with last, where the next comparison starts.
    QString lastCompared_;
    // A recovery file that cannot be written is reported once.
    bool recoveryFailureShown_ = false;
    // The open unit's names.txt could not be read when it was loaded: it is
    // not written over unless the names are changed, and a save says so.
    bool namesUnreadable_ = false;
};

} // namespace mx
