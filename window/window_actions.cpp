#include "window_actions.h"

#include "standard_keys.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QUndoStack>
#include <QWidget>

namespace mx {

namespace {

// A name as a menu shows it: an "&" in it is no mnemonic.
QString literal(QString name) {
    return name.replace('&', "&&");
}

// "unitA's", "units'"
QString possessive(const QString& name) {
    return literal(name) + (name.endsWith('s') ? "'" : "'s");
}

} // namespace

QAction* WindowActions::add(const char* name, const QList<QKeySequence>& keys,
                            const char* description, const QString& text) {
    auto* action = new QAction(&window_);
    action->setObjectName(name);
    action->setShortcuts(keys);
    action->setStatusTip(description);
    action->setWhatsThis(description);
    if (!text.isEmpty()) {
        action->setText(text);
    }
    window_.addAction(action);
    return action;
}

QAction* WindowActions::addShown(const char* name, const QList<QKeySequence>& keys,
                                 const char* description, const QString& text) {
    auto* action = new QAction(text, &window_);
    action->setObjectName(name);
    action->setShortcuts(keys);
    // Only while the menu itself has the focus, so that the window's own
    // shortcuts for the same keys are never ambiguous.
    action->setShortcutContext(Qt::WidgetShortcut);
    action->setStatusTip(description);
    action->setWhatsThis(description);
    return action;
}

void WindowActions::enableAllOnHide(QMenu* menu) const {
    QObject::connect(menu, &QMenu::aboutToHide, menu, [menu] {
        for (QAction* action : menu->actions()) {
            action->setEnabled(true);
        }
    });
}

WindowActions::WindowActions(QWidget& window) : window_(window) {
    copyChannel = add("CopyChannel", standardShortcuts(QKeySequence::Copy),
                      "Copy the shown channel's switches and recall flags");
    paste = add("PasteToChannel", standardShortcuts(QKeySequence::Paste),
                "Give the shown channel the copied channel's switches and recall flags");
    pasteToAll = add("PasteToAllChannels", {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V)},
                     "Give every channel the copied channel's switches and recall flags",
                     "Paste to &all channels");
    undo = add("Undo", standardShortcuts(QKeySequence::Undo), "Undo the last edit");
    redo = add("Redo", standardShortcuts(QKeySequence::Redo), "Redo the edit undone last");
    revert = add("RevertToSaved", {}, "Put back the configuration as it was last loaded or saved",
                 "Re&vert to saved");
    print = add("PrintSheet", standardShortcuts(QKeySequence::Print),
                "Print the whole configuration on one sheet", "&Print…");
    exportSheet =
        add("ExportSheet", {QKeySequence(Qt::CTRL | Qt::Key_E)},
            "Save the sheet of the whole configuration as a PDF file", "&Export sheet as PDF…");
    compare = add("CompareWith", {QKeySequence(Qt::CTRL | Qt::Key_D)},
                  "Mark what differs from another unit's folder or a text file", "&Compare with…");
    compareSaved = add("CompareWithSaved", {},
                       "Mark what differs from the folder's files as last loaded or saved",
                       "Compare with &saved");
    stopComparing =
        add("StopComparing", {}, "Take the marks of differences off", "S&top comparing");
    takeValue = add("TakeValue", {}, "Set this box as in the compared configuration");
    takeChannel = add("TakeChannel", {},
                      "Give the shown channel every bit of the compared configuration's channel");
    takeEverything =
        add("TakeEverything", {}, "Give every channel every bit of the compared configuration");
    nextDifference = add("NextDifference", {QKeySequence(Qt::Key_F8)},
                         "Show the next channel that differs", "&Next difference");
    previousDifference = add("PreviousDifference", {QKeySequence(Qt::SHIFT | Qt::Key_F8)},
                             "Show the previous channel that differs", "P&revious difference");

    menu_ = new QMenu(&window_);
    menu_->setObjectName("EditMenu");
    for (QAction* action : {copyChannel, paste, pasteToAll}) {
        menu_->addAction(action);
    }
    menu_->addSeparator();
    menu_->addAction(undo);
    menu_->addAction(redo);
    menu_->addSeparator();
    menu_->addAction(revert);
    menu_->addSeparator();
    menu_->addAction(print);
    menu_->addAction(exportSheet);
    menu_->addSeparator();
    for (QAction* action : {compare, compareSaved, stopComparing, takeValue, takeChannel,
                            takeEverything, nextDifference, previousDifference}) {
        menu_->addAction(action);
    }
    // Named for what they do before a menu names them for the shown channel
    // and the step.
    copyChannel->setText("&Copy channel");
    paste->setText("&Paste to channel");
    undo->setText("&Undo");
    redo->setText("&Redo");
    enableAllOnHide(menu_);
    buildMenuBar();
}

void WindowActions::addMenuBarActions() {
    openUnit = addShown("OpenUnit", standardShortcuts(QKeySequence::Open),
                        "Open another unit's folder", "&Open…");
    save = addShown("SaveUnit", standardShortcuts(QKeySequence::Save),
                    "Save the configuration into its folder", "&Save");
    saveAs = addShown("SaveUnitAs", standardShortcuts(QKeySequence::SaveAs),
                      "Save the configuration into another folder", "Save &As…");
    quit = add("Quit", standardShortcuts(QKeySequence::Quit),
               "Close the window, asking first whether to save", "&Quit");
    names = add("NameUnit", {}, "Name the unit and its channels, kept beside its files", "&Names…");
    keysHelp = add("KeyboardAndMouse", standardShortcuts(QKeySequence::HelpContents),
                   "Every key, and what the boxes' marks mean", "&Keyboard and mouse");
    about = addShown("About", {}, "The version, the licence, and where MX_config keeps its files",
                     "&About MX_config");
}

QMenu* WindowActions::addBarMenu(const QString& title, const char* name,
                                 std::initializer_list<QAction*> items) {
    QMenu* menu = menuBar_->addMenu(title);
    menu->setObjectName(name);
    for (QAction* item : items) {
        if (item != nullptr) {
            menu->addAction(item);
        } else {
            menu->addSeparator();
        }
    }
    return menu;
}

void WindowActions::buildMenuBar() {
    addMenuBarActions();
    menuBar_ = new QMenuBar(&window_);
    menuBar_->setObjectName("MenuBar");
    fileMenu_ = addBarMenu("&File", "FileMenu",
                           {openUnit, save, saveAs, nullptr, print, exportSheet, nullptr, quit});
    // Recent units follow Save As.
    recentMenu_ = new QMenu("&Recent units", fileMenu_);
    recentMenu_->setObjectName("RecentMenu");
    fileMenu_->insertMenu(fileMenu_->actions().at(3), recentMenu_);
    editMenu_ =
        addBarMenu("&Edit", "EditMenuBarMenu",
                   {undo, redo, nullptr, copyChannel, paste, pasteToAll, nullptr, names, revert});
    compareMenu_ =
        addBarMenu("&Compare", "CompareMenu",
                   {compare, compareSaved, stopComparing, nullptr, takeValue, takeChannel,
                    takeEverything, nullptr, nextDifference, previousDifference});
    addBarMenu("&Help", "HelpMenu", {keysHelp, about});
    for (QMenu* menu : {fileMenu_, editMenu_, compareMenu_}) {
        enableAllOnHide(menu);
    }
}

void WindowActions::prepare(const State& state) const {
    const ConfigDocument& document = state.document;
    const bool shown = isChannel(state.shownChannel);
    copyChannel->setText("&Copy " + (shown ? channelName(state.shownChannel) : QString("channel")));
    copyChannel->setEnabled(shown);
    paste->setText("&Paste to " + (shown ? channelName(state.shownChannel) : QString("channel")));
    paste->setEnabled(shown && state.channelsOnClipboard == 1);
    pasteToAll->setEnabled(state.channelsOnClipboard == 1 ||
                           state.channelsOnClipboard == ChannelCount);
    const auto withStep = [](const QString& command, const QString& step) {
        return step.isEmpty() ? command : command + " " + step;
    };
    undo->setText(withStep("&Undo", document.undoText()));
    undo->setEnabled(document.undoStack()->canUndo());
    redo->setText(withStep("&Redo", document.redoText()));
    redo->setEnabled(document.undoStack()->canRedo());
    revert->setEnabled(document.config() != document.savedConfig() ||
                       document.names() != document.savedNames());

    const Reference* reference = document.reference();
    const ChannelSet differing = document.channelsDiffering();
    stopComparing->setEnabled(reference != nullptr);
    takeValue->setVisible(state.onMarkedBox);
    takeChannel->setVisible(reference != nullptr);
    takeEverything->setVisible(reference != nullptr);
    if (reference != nullptr) {
        takeValue->setText(QString("Take %1 &value").arg(possessive(reference->name)));
        takeChannel->setText(QString("Take c&hannel %1 from %2")
                                 .arg(state.shownChannel + 1)
                                 .arg(literal(reference->name)));
        takeChannel->setEnabled(isChannel(state.shownChannel) &&
                                holdsChannel(differing, state.shownChannel));
        takeEverything->setText("Take &everything from " + literal(reference->name));
        takeEverything->setEnabled(differing != 0);
    }
    nextDifference->setEnabled(differing != 0);
    previousDifference->setEnabled(differing != 0);
}

} // namespace mx
