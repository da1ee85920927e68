#pragma once

#include <QKeySequence>
#include <QList>

namespace mx {

// The platform's keys for a command, plus the one users expect everywhere
// where the platform lacks them: some desktops bind no key to Save As, and
// Redo is Ctrl+Y on some and Ctrl+Shift+Z on others; both redo everywhere.
QList<QKeySequence> standardShortcuts(QKeySequence::StandardKey key);

} // namespace mx
