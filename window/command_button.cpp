#include "command_button.h"

#include <QKeyEvent>

namespace mx {

void CommandButton::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            click();
            return;
        }
    }
    QPushButton::keyPressEvent(event);
}

} // namespace mx
