// The main window's edit commands: undo and redo of the document's edits,
// copy and paste of a channel through the system clipboard, and the channel
// list's menu that offers them.

#include "channel_clipboard.h"
#include "main_window.h"
#include "standard_keys.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QUndoStack>

namespace mx {

namespace {

QString channelName(int channel) {
    return QString("channel %1").arg(channel + 1);
}

} // namespace

void MainWindow::buildEditActions() {
    QUndoStack* history = document_.undoStack();
    const auto makeAction = [this](const char* name, QKeySequence::StandardKey key,
                                   const QList<QKeySequence>& extra, const char* description,
                                   void (MainWindow::*slot)()) {
        auto* action = new QAction(this);
        action->setObjectName(name);
        action->setShortcuts(standardShortcuts(key) + extra);
        action->setStatusTip(description);
        action->setWhatsThis(description);
        if (slot != nullptr) {
            connect(action, &QAction::triggered, this, slot);
        }
        // Added to the window, so the keys work wherever the focus is in it.
        addAction(action);
        return action;
    };
    copyAction_ =
        makeAction("CopyChannel", QKeySequence::Copy, {},
                   "Copy the shown channel's switches and recall flags", &MainWindow::copyChannel);
    pasteAction_ =
        makeAction("PasteToChannel", QKeySequence::Paste, {},
                   "Give the shown channel the copied channel's switches and recall flags",
                   &MainWindow::pasteToShownChannel);
    pasteToAllAction_ =
        makeAction("PasteToAllChannels", QKeySequence::UnknownKey,
                   {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V)},
                   "Give every channel the copied channel's switches and recall flags",
                   &MainWindow::pasteToAllChannels);
    pasteToAllAction_->setText("Paste to all channels");
    undoAction_ = makeAction("Undo", QKeySequence::Undo, {}, "Undo the last edit", nullptr);
    redoAction_ = makeAction("Redo", QKeySequence::Redo, {}, "Redo the edit undone last", nullptr);
    // Undo and Redo with nothing to do do nothing, so their keys stay
    // enabled; the menu greys them when it opens. Following the stack's
    // signals instead would cost every click a good part of its time.
    connect(undoAction_, &QAction::triggered, history, &QUndoStack::undo);
    connect(redoAction_, &QAction::triggered, history, &QUndoStack::redo);

    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
            &MainWindow::updatePasteActions);
    updatePasteActions();

    channelMenu_ = new QMenu(this);
    channelMenu_->setObjectName("ChannelMenu");
    channelMenu_->addAction(copyAction_);
    channelMenu_->addAction(pasteAction_);
    channelMenu_->addAction(pasteToAllAction_);
    channelMenu_->addSeparator();
    channelMenu_->addAction(undoAction_);
    channelMenu_->addAction(redoAction_);
    connect(channelMenu_, &QMenu::aboutToHide, this, [this] {
        for (QAction* action : {copyAction_, undoAction_, redoAction_}) {
            action->setEnabled(true);
        }
    });
}

void MainWindow::showChannelMenu(const QPoint& globalPosition) {
    const bool shown = isChannel(shownChannel_);
    copyAction_->setText("Copy " + (shown ? channelName(shownChannel_) : QString("channel")));
    copyAction_->setEnabled(shown);
    pasteAction_->setText("Paste to " + (shown ? channelName(shownChannel_) : QString("channel")));
    updatePasteActions();
    const auto withStep = [](const QString& command, const QString& step) {
        return step.isEmpty() ? command : command + " " + step;
    };
    undoAction_->setText(withStep("Undo", document_.undoText()));
    undoAction_->setEnabled(document_.undoStack()->canUndo());
    redoAction_->setText(withStep("Redo", document_.redoText()));
    redoAction_->setEnabled(document_.undoStack()->canRedo());
    channelMenu_->popup(globalPosition);
}

void MainWindow::updatePasteActions() {
    const bool available =
        channelFromMimeData(QGuiApplication::clipboard()->mimeData()).has_value();
    pasteAction_->setEnabled(available);
    pasteToAllAction_->setEnabled(available);
}

void MainWindow::copyChannel() {
    if (const auto settings = channelSettings(document_.config(), shownChannel_)) {
        QGuiApplication::clipboard()->setMimeData(channelMimeData(shownChannel_, *settings));
    }
}

void MainWindow::pasteToShownChannel() {
    const auto source = channelFromMimeData(QGuiApplication::clipboard()->mimeData());
    if (source && document_.pasteChannel(shownChannel_, *source)) {
        ShowList_Click();
        showModified();
    }
}

void MainWindow::pasteToAllChannels() {
    const auto source = channelFromMimeData(QGuiApplication::clipboard()->mimeData());
    if (source && document_.pasteToAllChannels(shownChannel_, *source)) {
        ShowList_Click();
        showModified();
    }
}

void MainWindow::showRestored(int channel, ChannelSet) {
    if (selectedChannel() != channel) {
        selectChannel(channel);
    } else {
        ShowList_Click();
    }
    showModified();
}

} // namespace mx
