// The main window's edit commands: undo and redo of the document's edits,
// copy and paste of channels through the system clipboard, revert to saved,
// and the menu that offers them anywhere in the window.

#include "channel_clipboard.h"
#include "channel_list.h"
#include "main_window.h"
#include "standard_keys.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QShortcut>
#include <QUndoStack>
#include <bit>

namespace mx {

QAction* MainWindow::addCommand(const char* name, const QList<QKeySequence>& keys,
                                const char* description, void (MainWindow::*slot)()) {
    auto* action = new QAction(this);
    action->setObjectName(name);
    action->setShortcuts(keys);
    action->setStatusTip(description);
    action->setWhatsThis(description);
    if (slot != nullptr) {
        connect(action, &QAction::triggered, this, slot);
    }
    // Added to the window, so the keys work wherever the focus is in it.
    addAction(action);
    return action;
}

void MainWindow::buildEditActions() {
    QUndoStack* history = document_.undoStack();
    copyAction_ =
        addCommand("CopyChannel", standardShortcuts(QKeySequence::Copy),
                   "Copy the shown channel's switches and recall flags", &MainWindow::copyChannel);
    pasteAction_ =
        addCommand("PasteToChannel", standardShortcuts(QKeySequence::Paste),
                   "Give the shown channel the copied channel's switches and recall flags",
                   &MainWindow::pasteToShownChannel);
    pasteToAllAction_ =
        addCommand("PasteToAllChannels", {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V)},
                   "Give every channel the copied channel's switches and recall flags",
                   &MainWindow::pasteToAllChannels);
    pasteToAllAction_->setText("Paste to all channels");
    undoAction_ = addCommand("Undo", standardShortcuts(QKeySequence::Undo), "Undo the last edit");
    redoAction_ =
        addCommand("Redo", standardShortcuts(QKeySequence::Redo), "Redo the edit undone last");
    // Undo and Redo with nothing to do do nothing, so their keys stay
    // enabled; the menu greys them when it opens. Following the stack's
    // signals instead would cost every click a good part of its time.
    connect(undoAction_, &QAction::triggered, history, &QUndoStack::undo);
    connect(redoAction_, &QAction::triggered, history, &QUndoStack::redo);

    revertAction_ =
        addCommand("RevertToSaved", {}, "Put back the configuration as it was last loaded or saved",
                   &MainWindow::revertToSaved);
    revertAction_->setText("Revert to saved");
    // Menu keys other than the Menu key itself, which Qt turns into a
    // context menu event: Shift+F10, wherever the focus is.
    auto* menuKey = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), this);
    connect(menuKey, &QShortcut::activated, this, [this] {
        QWidget* focus = QApplication::focusWidget();
        showEditMenu(focus == showList_ ? showList_->menuPosition()
                                        : focus->mapToGlobal(focus->rect().bottomLeft()),
                     focus);
    });

    editMenu_ = new QMenu(this);
    editMenu_->setObjectName("EditMenu");
    editMenu_->addAction(copyAction_);
    editMenu_->addAction(pasteAction_);
    editMenu_->addAction(pasteToAllAction_);
    editMenu_->addSeparator();
    editMenu_->addAction(undoAction_);
    editMenu_->addAction(redoAction_);
    editMenu_->addSeparator();
    editMenu_->addAction(revertAction_);
    editMenu_->addSeparator();

    printAction_ = addCommand("PrintSheet", standardShortcuts(QKeySequence::Print),
                              "Print the whole configuration on one sheet");
    printAction_->setText("Print…");
    connect(printAction_, &QAction::triggered, this, &MainWindow::printRequested);
    exportSheetAction_ = addCommand("ExportSheet", {QKeySequence(Qt::CTRL | Qt::Key_E)},
                                    "Save the sheet of the whole configuration as a PDF file");
    exportSheetAction_->setText("Export sheet as PDF…");
    connect(exportSheetAction_, &QAction::triggered, this, &MainWindow::exportSheetRequested);
    editMenu_->addAction(printAction_);
    editMenu_->addAction(exportSheetAction_);
    editMenu_->addSeparator();
    // The keys work whatever the menu showed: a command with nothing to do
    // does nothing, or says why.
    connect(editMenu_, &QMenu::aboutToHide, this, [this] {
        for (QAction* action : editMenu_->actions()) {
            action->setEnabled(true);
        }
    });
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
    // Reached from every control that has no menu of its own: the boxes,
    // the groups and the space between them.
    // A greyed box takes no focus and no events of its own, so the control
    // clicked on is found by where the click was.
    QWidget* focus = QApplication::focusWidget();
    if (event->reason() == QContextMenuEvent::Mouse || focus == nullptr) {
        showEditMenu(event->globalPos(),
                     client_->childAt(client_->mapFromGlobal(event->globalPos())));
    } else {
        showEditMenu(focus->mapToGlobal(focus->rect().bottomLeft()), focus);
    }
    event->accept();
}

void MainWindow::showEditMenu(const QPoint& globalPosition, QWidget* target) {
    const bool shown = isChannel(shownChannel_);
    copyAction_->setText("Copy " + (shown ? channelName(shownChannel_) : QString("channel")));
    copyAction_->setEnabled(shown);
    pasteAction_->setText("Paste to " + (shown ? channelName(shownChannel_) : QString("channel")));
    // Read now, when the user asks, not whenever the clipboard changes.
    const std::size_t onClipboard = channelsOnClipboard(clipboard_->read()).channels.size();
    pasteAction_->setEnabled(shown && onClipboard == 1);
    pasteToAllAction_->setEnabled(onClipboard == 1 || onClipboard == ChannelCount);
    const auto withStep = [](const QString& command, const QString& step) {
        return step.isEmpty() ? command : command + " " + step;
    };
    undoAction_->setText(withStep("Undo", document_.undoText()));
    undoAction_->setEnabled(document_.undoStack()->canUndo());
    redoAction_->setText(withStep("Redo", document_.redoText()));
    redoAction_->setEnabled(document_.undoStack()->canRedo());
    revertAction_->setEnabled(document_.config() != document_.savedConfig());
    prepareCompareActions(target);
    editMenu_->popup(globalPosition);
}

void MainWindow::setClipboardSource(ClipboardSource& source) {
    clipboard_ = &source;
}

void MainWindow::copyChannel() {
    if (const auto settings = channelSettings(document_.config(), shownChannel_)) {
        QGuiApplication::clipboard()->setMimeData(channelMimeData(shownChannel_, *settings));
    }
}

namespace {

QString severalChannels(std::size_t count) {
    if (count == ChannelCount) {
        return "The clipboard holds all eight channels. Use Paste to all channels to give each "
               "channel its own.";
    }
    return QString("The clipboard holds %1 channels. Paste takes one channel, and Paste to all "
                   "channels takes one or all eight.")
        .arg(count);
}

} // namespace

void MainWindow::pasteToShownChannel() {
    const ClipboardChannels read = channelsOnClipboard(clipboard_->read());
    if (read.channels.empty() || read.channels.size() > 1) {
        emit pasteRefused(read.channels.empty() ? read.problem
                                                : severalChannels(read.channels.size()));
        return;
    }
    showEdit(document_.pasteChannel(shownChannel_, read.channels.front().settings));
}

void MainWindow::pasteToAllChannels() {
    const ClipboardChannels read = channelsOnClipboard(clipboard_->read());
    const std::size_t count = read.channels.size();
    if (count != 1 && count != ChannelCount) {
        emit pasteRefused(count == 0 ? read.problem : severalChannels(count));
        return;
    }
    // One channel goes to every channel; a whole configuration gives each
    // channel its own.
    const bool pasted =
        count == 1 ? document_.pasteToAllChannels(shownChannel_, read.channels.front().settings)
                   : document_.pasteEachChannel(shownChannel_, read.channels);
    showEdit(pasted);
}

void MainWindow::revertToSaved() {
    showEdit(document_.revertToSaved(shownChannel_));
}

void MainWindow::showEdit(bool edited) {
    if (edited) {
        ShowList_Click();
        showModified();
    }
}

void MainWindow::showRestored(int channel, ChannelSet changed) {
    // The channel shown, when undo or redo changed it; else the first one
    // it changed, so that something visibly happens.
    int shown = channel;
    if (isChannel(shownChannel_) && holdsChannel(changed, shownChannel_)) {
        shown = shownChannel_;
    } else if (changed != 0) {
        shown = std::countr_zero(static_cast<unsigned>(changed));
    }
    if (selectedChannel() != shown) {
        selectChannel(shown);
    } else {
        ShowList_Click();
    }
    showModified();
}

} // namespace mx
