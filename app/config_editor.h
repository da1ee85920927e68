#pragma once

// Drives the editor: asks for the configuration folder at start-up, loads it
// into the document the window shows, answers the Open, Save and Save As
// buttons and asks whether to save when the window closes. It owns the
// current folder and the window's base caption.

#include "config_files.h"

#include <QString>

namespace mx {

class ConfigDocument;
class Dialogs;
class MainWindow;

class ConfigEditor {
public:
    static constexpr const char* FolderPrompt = "Choose a folder for the config files.";

    ConfigEditor(MainWindow& window, ConfigDocument& document, Dialogs& dialogs);

    const QString& configFolder() const { return ConfigFolder; }
    const QString& baseCaption() const { return BaseCaption; }

    // Start-up, before the window is shown: loads firstFolder when one is
    // given, else or when it fails asks for a folder. Returns false when the
    // user cancelled the folder browser: the program then ends without a
    // window.
    bool Form_Load(const QString& firstFolder = {});
    // Asks before dropping unsaved changes, then loads another folder.
    void OpenCommand_Click();
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

    // Asks for a folder; on success it becomes the current folder. The
    // caption shows the current folder either way.
    bool BrowseForConfigFolder(const QString& prompt);

private:
    // Loads the current folder and shows channel 1. On failure the user is
    // told, and the model and view are as they were.
    bool LoadAndShow();
    // Opens and locks the current folder, and reads what its files hold.
    std::optional<FileError> openAndRead(LockedFolder& folder, StoredBlocks& onDisk) const;
    // Writes both files into the locked folder and tells the user of a
    // failure, a half-done one included.
    bool writeConfig(LockedFolder& folder);
    void setConfigFolder(const QString& folder);
    void showCaption();

    MainWindow& window_;
    ConfigDocument& document_;
    Dialogs& dialogs_;
    QString ConfigFolder;
    QString BaseCaption;
};

} // namespace mx
