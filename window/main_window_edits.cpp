// The main window's edit commands: undo and redo of the document's edits,
// copy and paste of channels through the system clipboard, revert to saved,
// and the menu that offers them anywhere in the window.

#include "channel_clipboard.h"
#include "channel_list.h"
#include "difference_mark.h"
#include "main_window.h"
#include "plain_text.h"
#include "window_actions.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QUndoStack>
#include <bit>

namespace mx {

void MainWindow::connectActions() {
    const WindowActions& a = *actions_;
    connect(a.copyChannel, &QAction::triggered, this, &MainWindow::copyChannel);
    connect(a.paste, &QAction::triggered, this, &MainWindow::pasteToShownChannel);
    connect(a.pasteToAll, &QAction::triggered, this, &MainWindow::pasteToAllChannels);
    // Undo and Redo with nothing to do do nothing, so their keys stay
    // enabled; the menu greys them when it opens. Following the stack's
    // signals instead would cost every click a good part of its time.
    QUndoStack* history = document_.undoStack();
    connect(a.undo, &QAction::triggered, history, &QUndoStack::undo);
    connect(a.redo, &QAction::triggered, history, &QUndoStack::redo);
    connect(a.revert, &QAction::triggered, this, &MainWindow::revertToSaved);
    connect(a.print, &QAction::triggered, this, &MainWindow::printRequested);
    connect(a.exportSheet, &QAction::triggered, this, &MainWindow::exportSheetRequested);
    connect(a.compare, &QAction::triggered, this, &MainWindow::compareRequested);
    connect(a.compareSaved, &QAction::triggered, &document_, &ConfigDocument::compareWithSaved);
    connect(a.stopComparing, &QAction::triggered, &document_, &ConfigDocument::stopComparing);
    connect(a.takeValue, &QAction::triggered, this, [this] { takeValue(menuBox_); });
    connect(a.takeChannel, &QAction::triggered, this, &MainWindow::takeChannel);
    connect(a.takeEverything, &QAction::triggered, this, &MainWindow::takeEverything);
    connect(a.nextDifference, &QAction::triggered, this, [this] { goToDifference(1); });
    connect(a.previousDifference, &QAction::triggered, this, [this] { goToDifference(-1); });
    // The menu bar's: the file buttons' own clicks, the window's close (with
    // its question), and help, which the application shows.
    connect(a.openUnit, &QAction::triggered, openCommand_, &QPushButton::click);
    connect(a.save, &QAction::triggered, saveCommand_, &QPushButton::click);
    connect(a.saveAs, &QAction::triggered, saveAsCommand_, &QPushButton::click);
    connect(a.quit, &QAction::triggered, this, &QWidget::close);
    connect(a.keysHelp, &QAction::triggered, this, &MainWindow::keysHelpRequested);
    connect(a.names, &QAction::triggered, this, &MainWindow::namesRequested);
    connect(a.about, &QAction::triggered, this, &MainWindow::aboutRequested);
    // A menu of the bar applies to the control that has the focus.
    for (QMenu* menu : {a.fileMenu(), a.editMenu(), a.compareMenu()}) {
        connect(menu, &QMenu::aboutToShow, this,
                [this] { prepareActions(QApplication::focusWidget()); });
    }
    a.recentMenu()->setEnabled(false);

    // Menu keys other than the Menu key itself, which Qt turns into a
    // context menu event: Shift+F10, wherever the focus is.
    auto* menuKey = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), this);
    connect(menuKey, &QShortcut::activated, this, [this] {
        QWidget* focus = QApplication::focusWidget();
        showEditMenu(focus == showList_ ? showList_->menuPosition()
                                        : focus->mapToGlobal(focus->rect().bottomLeft()),
                     focus);
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

void MainWindow::prepareActions(QWidget* target) {
    menuBox_ = switchBox(qobject_cast<const QCheckBox*>(target));
    actions_->prepare({document_, shownChannel_,
                       channelsOnClipboard(clipboard_->read()).channels.size(),
                       menuBox_ != nullptr && isMarked(menuBox_)});
}

void MainWindow::showEditMenu(const QPoint& globalPosition, QWidget* target) {
    prepareActions(target);
    actions_->menu()->popup(globalPosition);
}

void MainWindow::setRecentUnits(const std::vector<RecentUnit>& units) {
    QMenu* recent = actions_->recentMenu();
    recent->clear();
    for (const RecentUnit& unit : units) {
        QAction* item = recent->addAction(QString(unit.name).replace('&', "&&"));
        item->setToolTip(asPlainText(unit.folder));
        item->setStatusTip(unit.folder);
        const QString folder = unit.folder;
        connect(item, &QAction::triggered, this, [this, folder] { emit recentUnitChosen(folder); });
    }
    recent->setToolTipsVisible(true);
    recent->setEnabled(!units.empty());
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

void MainWindow::rename(const UnitNames& names) {
    showEdit(document_.setNames(names));
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
