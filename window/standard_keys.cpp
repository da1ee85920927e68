#include "standard_keys.h"

namespace mx {

QList<QKeySequence> standardShortcuts(QKeySequence::StandardKey key) {
    QList<QKeySequence> sequences = QKeySequence::keyBindings(key);
    QList<QKeySequence> expected;
    if (key == QKeySequence::SaveAs) {
        expected = {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)};
    } else if (key == QKeySequence::Redo) {
        expected = {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z),
                    QKeySequence(Qt::CTRL | Qt::Key_Y)};
    }
    for (const QKeySequence& sequence : expected) {
        if (!sequences.contains(sequence)) {
            sequences.append(sequence);
        }
    }
    return sequences;
}

} // namespace mx
