#pragma once

#include <QPushButton>

namespace mx {

// A push button that Enter activates while it has the focus, as Space does.
// It is never a default button: Enter anywhere else does nothing.
class CommandButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace mx
