#include "standard_keys.h"

namespace mx {

QList<QKeySequence> standardShortcuts(QKeySequence::StandardKey key) {
    QList<QKeySequence> sequences = QKeySequence::keyBindings(key);
    QKeySequence expected;
    if (key == QKeySequence::SaveAs) {
        expected = QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S);
    } else if (key == QKeySequence::Redo) {
        expected = QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z);
    }
    if (!expected.isEmpty() && !sequences.contains(expected)) {
        sequences.append(expected);
    }
    return sequences;
}

} // namespace mx
