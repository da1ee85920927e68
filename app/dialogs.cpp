#include "dialogs.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QWidget>

namespace mx {

namespace {

// "Save file before exit?" is answered by its buttons only. Escape or the
// title bar's close would otherwise count as No and drop unsaved edits.
class ExitQuestion : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Escape) {
            event->accept();
            return;
        }
        QMessageBox::keyPressEvent(event);
    }

    void closeEvent(QCloseEvent* event) override {
        if (clickedButton() == nullptr) {
            event->ignore();
            return;
        }
        QMessageBox::closeEvent(event);
    }
};

} // namespace

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
    ExitQuestion box(QMessageBox::NoIcon, QCoreApplication::applicationName(), ExitQuestionText,
                     QMessageBox::Yes | QMessageBox::No, owner);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void QtDialogs::showError(QWidget* owner, const QString& message) {
    QMessageBox::critical(owner, QCoreApplication::applicationName(), message);
}

} // namespace mx
