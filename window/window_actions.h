#pragma once

// The window's commands as actions: their names, keys, texts and tips, and
// what decides whether each applies. The context menu is built from them,
// and any other menu can be; the window connects what each one does.

#include "config_document.h"

#include <QString>
#include <cstddef>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace mx {

class WindowActions {
public:
    // The actions belong to the window and are added to it, so that their
    // keys work wherever the focus is in it.
    explicit WindowActions(QWidget& window);

    QAction* copyChannel = nullptr;
    QAction* paste = nullptr;
    QAction* pasteToAll = nullptr;
    QAction* undo = nullptr;
    QAction* redo = nullptr;
    QAction* revert = nullptr;
    QAction* names = nullptr;
    QAction* print = nullptr;
    QAction* exportSheet = nullptr;
    QAction* compare = nullptr;
    QAction* compareSaved = nullptr;
    QAction* stopComparing = nullptr;
    QAction* takeValue = nullptr;
    QAction* takeChannel = nullptr;
    QAction* takeEverything = nullptr;
    QAction* nextDifference = nullptr;
    QAction* previousDifference = nullptr;
    // The menu bar's own: the file buttons' commands (their keys stay the
    // buttons'), Quit, and help.
    QAction* openUnit = nullptr;
    QAction* save = nullptr;
    QAction* saveAs = nullptr;
    QAction* quit = nullptr;
    QAction* keysHelp = nullptr;
    QAction* about = nullptr;

    // Every edit command, in groups: the window's context menu.
    QMenu* menu() const { return menu_; }
    // File, Edit, Compare and Help, from the same actions.
    QMenuBar* menuBar() const { return menuBar_; }
    QMenu* fileMenu() const { return fileMenu_; }
    QMenu* editMenu() const { return editMenu_; }
    QMenu* compareMenu() const { return compareMenu_; }
    // File's submenu of recent units, which the window fills.
    QMenu* recentMenu() const { return recentMenu_; }

    // What the commands apply to as a menu opens.
    struct State {
        const ConfigDocument& document;
        int shownChannel;
        // Read when the user asks, not whenever the clipboard changes.
        std::size_t channelsOnClipboard;
        // Whether the menu was opened on a box marked as differing.
        bool onMarkedBox;
    };
    // Names each command for what it would do now, and greys those that
    // would do nothing. The keys work whatever a menu showed: once it hides,
    // every command is enabled again, and one with nothing to do does
    // nothing, or says why.
    void prepare(const State& state) const;

private:
    QAction* add(const char* name, const QList<QKeySequence>& keys, const char* description,
                 const QString& text = {});
    // An action of the menu bar alone: its keys are shown, and work only
    // where another control already has them.
    QAction* addShown(const char* name, const QList<QKeySequence>& keys, const char* description,
                      const QString& text);
    void buildMenuBar();
    void addMenuBarActions();
    // A menu of the bar: its items in order, nullptr for a separator.
    QMenu* addBarMenu(const QString& title, const char* name,
                      std::initializer_list<QAction*> items);
    // Once a menu hides, every command it held is enabled again.
    void enableAllOnHide(QMenu* menu) const;

    QWidget& window_;
    QMenu* menu_ = nullptr;
    QMenuBar* menuBar_ = nullptr;
    QMenu* fileMenu_ = nullptr;
    QMenu* editMenu_ = nullptr;
    QMenu* compareMenu_ = nullptr;
    QMenu* recentMenu_ = nullptr;
};

} // namespace mx
