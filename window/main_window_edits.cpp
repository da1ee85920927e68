// The main window's edit commands: the history of edits for undo and redo,
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
#include <utility>

namespace mx {

namespace {

QString channelName(int channel) {
    return QString("channel %1").arg(channel + 1);
}

} // namespace

// One edit in the history: the whole model before and after it, and the
// channel it was made on. The model is 114 bytes, so keeping it whole is
// simpler than undoing bit by bit and costs nothing worth counting. Its
// description is only worked out when a menu shows it, not on every click.
class MainWindow::Step : public QUndoCommand {
public:
    Step(MainWindow& window, const ChannelConfig& before, int channel, const QCheckBox* clicked,
         bool allChannels)
        : window_(window), before_(before), after_(window.config_), channel_(channel),
          clicked_(clicked), allChannels_(allChannels) {}

    // e.g. "Latching: TB 2 (channel 3)", "paste to all channels"
    QString describe() const {
        if (clicked_ != nullptr) {
            return clicked_->accessibleName() + " (" + channelName(channel_) + ")";
        }
        return "paste to " + (allChannels_ ? QString("all channels") : channelName(channel_));
    }

    void undo() override { window_.restore(before_, channel_); }
    void redo() override {
        // Pushed after the edit was made: the first redo has nothing to do.
        if (std::exchange(made_, false)) {
            return;
        }
        window_.restore(after_, channel_);
    }

private:
    MainWindow& window_;
    const ChannelConfig before_;
    const ChannelConfig after_;
    const int channel_;
    // The box whose click this was, or none for a paste.
    const QCheckBox* const clicked_;
    const bool allChannels_;
    bool made_ = true;
};

void MainWindow::buildEditActions() {
    undoStack_ = new QUndoStack(this);
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
    connect(undoAction_, &QAction::triggered, undoStack_, &QUndoStack::undo);
    connect(redoAction_, &QAction::triggered, undoStack_, &QUndoStack::redo);

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
    const auto stepText = [this](int index) {
        const auto* step = dynamic_cast<const Step*>(undoStack_->command(index));
        return step != nullptr ? " " + step->describe() : QString();
    };
    undoAction_->setText("Undo" + stepText(undoStack_->index() - 1));
    undoAction_->setEnabled(undoStack_->canUndo());
    redoAction_->setText("Redo" + stepText(undoStack_->index()));
    redoAction_->setEnabled(undoStack_->canRedo());
    channelMenu_->popup(globalPosition);
}

void MainWindow::updatePasteActions() {
    const bool available =
        channelFromMimeData(QGuiApplication::clipboard()->mimeData()).has_value();
    pasteAction_->setEnabled(available);
    pasteToAllAction_->setEnabled(available);
}

void MainWindow::copyChannel() {
    if (const auto settings = channelSettings(config_, shownChannel_)) {
        QGuiApplication::clipboard()->setMimeData(channelMimeData(shownChannel_, *settings));
    }
}

void MainWindow::pasteToShownChannel() {
    const auto source = channelFromMimeData(QGuiApplication::clipboard()->mimeData());
    const ChannelConfig before = config_;
    if (!source || !pasteChannel(config_, shownChannel_, *source)) {
        return;
    }
    recordStep(before, nullptr, false);
    ShowList_Click();
}

void MainWindow::pasteToAllChannels() {
    const auto source = channelFromMimeData(QGuiApplication::clipboard()->mimeData());
    if (!source) {
        return;
    }
    const ChannelConfig before = config_;
    for (int channel = 0; channel < ChannelCount; ++channel) {
        pasteChannel(config_, channel, *source);
    }
    recordStep(before, nullptr, true);
    ShowList_Click();
}

void MainWindow::recordStep(const ChannelConfig& before, const QCheckBox* clicked,
                            bool allChannels) {
    // An edit that changed no byte is no step: undoing it would do nothing.
    if (config_ != before) {
        undoStack_->push(new Step(*this, before, shownChannel_, clicked, allChannels));
    }
    showModified();
}

void MainWindow::restore(const ChannelConfig& config, int channel) {
    config_ = config;
    if (selectedChannel() != channel) {
        selectChannel(channel);
    } else {
        ShowList_Click();
    }
    showModified();
}

void MainWindow::startNewHistory() {
    undoStack_->clear();
    markSaved();
}

} // namespace mx
