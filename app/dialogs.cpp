#include "dialogs.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QWidget>

namespace mx {

std::optional<QString> QtDialogs::browseForFolder(QWidget* owner, const QString& prompt,
                                                  const QString& startFolder) {
    // At start-up the window is not shown yet; a browser owned by a hidden
    // window would be placed around its invisible corner, so it is centred on
    // the screen instead. Once the window shows, the browser is modal to it.
    QWidget* parent = owner != nullptr && owner->isVisible() ? owner : nullptr;
    const QString folder =
        QFileDialog::getExistingDirectory(parent, prompt, startFolder, QFileDialog::ShowDirsOnly);
    if (folder.isEmpty()) {
        return std::nullopt;
    }
    return folder;
}

bool QtDialogs::askSaveBeforeExit(QWidget* owner) {
    QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(), ExitQuestion,
                    QMessageBox::Yes | QMessageBox::No, owner);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void QtDialogs::showError(QWidget* owner, const QString& message) {
    QMessageBox::critical(owner, QCoreApplication::applicationName(), message);
}

} // namespace mx
