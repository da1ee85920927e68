#pragma once

// The window's commands as actions: their names, keys, texts and tips, and
// what decides whether each applies. The context menu is built from them,
// and any other menu can be; the window connects what each one does.

#include "config_document.h"

#include <QString>
#include <cstddef>

class QAction;
class QMenu;
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

    // Every command, in groups: the window's context menu.
    QMenu* menu() const { return menu_; }

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

    QWidget& window_;
    QMenu* menu_ = nullptr;
};

} // namespace mx
