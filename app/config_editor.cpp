#include "config_editor.h"

#include "config_files.h"
#include "dialogs.h"
#include "main_window.h"

#include <QDir>
#include <QFile>

namespace mx {

namespace {

std::string nativePath(const QString& folder) {
    return QFile::encodeName(folder).toStdString();
}

QString describe(const QString& what, const QString& folder, const FileError& error) {
    const QString detail = QFile::decodeName(QByteArray::fromStdString(error.message()));
    return QString("%1 \"%2\".\n\n%3").arg(what, folder, detail);
}

} // namespace

ConfigEditor::ConfigEditor(MainWindow& window, Dialogs& dialogs)
    : window_(window), dialogs_(dialogs) {
    QObject::connect(&window_, &MainWindow::openClicked, &window_, [this] { OpenCommand_Click(); });
    QObject::connect(&window_, &MainWindow::saveClicked, &window_, [this] { SaveCommand_Click(); });
    QObject::connect(&window_, &MainWindow::saveAsClicked, &window_,
                     [this] { SaveAsCommand_Click(); });
    window_.setCloseGuard([this] { return Form_Terminate(); });
}

bool ConfigEditor::Form_Load() {
    BaseCaption = window_.windowTitle();
    // A folder that cannot be loaded is not kept: the user is told and asked
    // again, until a folder loads or the browser is cancelled.
    while (BrowseForConfigFolder(FolderPrompt)) {
        if (LoadAndShow()) {
            return true;
        }
        setConfigFolder(QString());
    }
    return false;
}

void ConfigEditor::OpenCommand_Click() {
    const QString previous = ConfigFolder;
    if (BrowseForConfigFolder(FolderPrompt) && !LoadAndShow()) {
        setConfigFolder(previous);
    }
}

bool ConfigEditor::SaveCommand_Click() {
    if (const auto error = SaveConfig(nativePath(ConfigFolder), window_.config())) {
        dialogs_.showError(&window_,
                           describe("The configuration was not saved to", ConfigFolder, *error));
        return false;
    }
    return true;
}

void ConfigEditor::SaveAsCommand_Click() {
    const QString previous = ConfigFolder;
    // A failed save must not leave later Saves aimed at the folder that failed.
    if (BrowseForConfigFolder(FolderPrompt) && !SaveCommand_Click()) {
        setConfigFolder(previous);
    }
}

bool ConfigEditor::Form_Terminate() {
    if (!dialogs_.askSaveBeforeExit(&window_)) {
        return true;
    }
    return SaveCommand_Click();
}

bool ConfigEditor::BrowseForConfigFolder(const QString& prompt) {
    const QString start = ConfigFolder.isEmpty() ? QDir::homePath() : ConfigFolder;
    const std::optional<QString> chosen = dialogs_.browseForFolder(&window_, prompt, start);
    const bool obtained = chosen.has_value() && !chosen->isEmpty();
    if (obtained) {
        ConfigFolder = *chosen;
    }
    showCaption();
    return obtained;
}

bool ConfigEditor::LoadAndShow() {
    if (const auto error = LoadConfig(nativePath(ConfigFolder), window_.config())) {
        dialogs_.showError(&window_,
                           describe("The configuration was not loaded from", ConfigFolder, *error));
        return false;
    }
    // Stepping through channel 2 makes the final selection a change, so the
    // view is refreshed with the values just loaded whatever was shown before.
    window_.selectChannel(1);
    window_.selectChannel(0);
    return true;
}

void ConfigEditor::setConfigFolder(const QString& folder) {
    ConfigFolder = folder;
    showCaption();
}

void ConfigEditor::showCaption() {
    window_.setWindowTitle(BaseCaption + ConfigFolder);
}

} // namespace mx
