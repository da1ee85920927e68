#pragma once

// The questions the editor asks the user, behind one small interface so that
// tests can answer them; QtDialogs asks them with the platform's dialogs.

#include "unit_names.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

class QFileDialog;
class QPrinter;
class QWidget;

namespace mx {

// The answer to "Save changes … before opening another folder?".
enum class UnsavedChanges { Save, Discard, Cancel };
// What to do when another program changed a unit's files: save over them,
// compare with them first, or leave them.
enum class ConflictAnswer { Overwrite, Compare, Cancel };

// What a folder is chosen for: to load from, which must exist; to save
// into, which may be new; or to compare with, which may be a folder or a
// file holding the text form, and must exist.
enum class FolderPurpose { Open, Save, Compare };

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // The folder browser, modal to owner. It opens beside startFolder, which
    // it selects, and offers the recent folders. To open, only an existing
    // folder can be chosen; to save, a folder that does not exist yet may be
    // typed too; to compare, an existing folder or file. Returns the chosen folder, or nothing when
    // the user cancels.
    virtual std::optional<QString> browseForFolder(QWidget* owner, const QString& prompt,
                                                   const QString& startFolder,
                                                   FolderPurpose purpose,
                                                   const QStringList& recent) = 0;
    // "Create the folder …?" for a folder chosen to save into: true to create.
    virtual bool askCreateFolder(QWidget* owner, const QString& folder) = 0;
    // "Save file before exit?": true for Yes, false for No.
    virtual bool askSaveBeforeExit(QWidget* owner) = 0;
    // Open was pressed with unsaved changes to folder.
    virtual UnsavedChanges askSaveBeforeOpen(QWidget* owner, const QString& folder) = 0;
    // Save As would replace a different configuration in folder: true to go on.
    virtual bool askReplaceConfiguration(QWidget* owner, const QString& folder) = 0;
    // The files in folder changed since they were loaded or saved: true to
    // overwrite them.
    virtual ConflictAnswer askOverwriteChanges(QWidget* owner, const QString& folder) = 0;
    // Edits to folder made at `written` were not saved and were recovered;
    // `changes` says how much they change and where ("3 switches on
    // channels 2 and 5"): true to restore them, false to discard them.
    virtual bool askRestoreRecovered(QWidget* owner, const QString& folder,
                                     const QDateTime& written, bool filesChangedSince,
                                     const QString& changes) = 0;
    // The print dialog for the sheet: true to print on the printer as the
    // user set it up. Printing to a file suggests suggestedFile.
    virtual bool askPrint(QWidget* owner, QPrinter& printer, const QString& suggestedFile) = 0;
    // The name of a PDF file to save the sheet as, beginning at suggested;
    // nothing when the user cancels.
    virtual std::optional<QString> askSheetFile(QWidget* owner, const QString& suggested) = 0;
    // The file exists: true to replace it.
    virtual bool askReplaceFile(QWidget* owner, const QString& path) = 0;
    virtual void showError(QWidget* owner, const QString& message) = 0;
    // What the user should know, which is no error.
    virtual void showNote(QWidget* owner, const QString& message) = 0;
    // A page to read, such as help: a title and plain text.
    virtual void showPage(QWidget* owner, const QString& title, const QString& text) = 0;
    // The names of the unit and its channels, beginning at current, each one
    // checked; nothing when the user cancels.
    virtual std::optional<UnitNames> askNames(QWidget* owner, const UnitNames& current) = 0;
};

// Sizes Qt's folder chooser so that the recent units' names in its side
// panel and its list's columns read whole; a chooser without those parts
// is left as it is.
void fitFolderChooser(QFileDialog& browser, const QStringList& recent);

class QtDialogs : public Dialogs {
public:
    static constexpr const char* ExitQuestionText = "Save file before exit?";

    // The texts of the questions about a folder.
    static QString saveBeforeOpenText(const QString& folder);
    static QString replaceConfigurationText(const QString& folder);
    static QString overwriteChangesText(const QString& folder);
    static QString createFolderText(const QString& folder);
    static QString restoreRecoveredText(const QString& folder, const QDateTime& written,
                                        bool filesChangedSince, const QString& changes);
    static QString replaceFileText(const QString& path);

    std::optional<QString> browseForFolder(QWidget* owner, const QString& prompt,
                                           const QString& startFolder, FolderPurpose purpose,
                                           const QStringList& recent) override;
    bool askCreateFolder(QWidget* owner, const QString& folder) override;
    bool askSaveBeforeExit(QWidget* owner) override;
    UnsavedChanges askSaveBeforeOpen(QWidget* owner, const QString& folder) override;
    bool askReplaceConfiguration(QWidget* owner, const QString& folder) override;
    ConflictAnswer askOverwriteChanges(QWidget* owner, const QString& folder) override;
    bool askRestoreRecovered(QWidget* owner, const QString& folder, const QDateTime& written,
                             bool filesChangedSince, const QString& changes) override;
    bool askPrint(QWidget* owner, QPrinter& printer, const QString& suggestedFile) override;
    std::optional<QString> askSheetFile(QWidget* owner, const QString& suggested) override;
    bool askReplaceFile(QWidget* owner, const QString& path) override;
    void showError(QWidget* owner, const QString& message) override;
    void showNote(QWidget* owner, const QString& message) override;
    void showPage(QWidget* owner, const QString& title, const QString& text) override;
    std::optional<UnitNames> askNames(QWidget* owner, const UnitNames& current) override;
};

} // namespace mx
