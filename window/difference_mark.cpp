#include "difference_mark.h"

#include <QEvent>
#include <QPainter>
#include <algorithm>

namespace mx {

namespace {

// Thick enough to see at a glance, and thicker as the layout grows.
int markWidth(const QRect& box) {
    return std::max(2, box.height() / 8);
}

} // namespace

QRect SwitchBox::markRect() const {
    // One pixel clear of the box, where no caption reaches.
    const int outset = markWidth(geometry()) + 1;
    return geometry().adjusted(-outset, -outset, outset, outset);
}

bool SwitchBox::changeDifference(Difference difference, const QString& text, bool describeNow) {
    difference_ = difference;
    differenceText_ = difference == Difference::None ? QString() : text;
    if (describeNow) {
        describe();
    }
    return true;
}

void SwitchBox::describe() {
    if (!describedAsDiffering_) {
        if (!isMarked()) {
            return;
        }
        ownDescription_ = accessibleDescription();
    }
    describedAsDiffering_ = isMarked();
    setAccessibleDescription(!isMarked() ? ownDescription_
                             : ownDescription_.isEmpty()
                                 ? differenceText_
                                 : differenceText_ + ". " + ownDescription_);
}

bool SwitchBox::event(QEvent* event) {
    // A greyed button swallows its context menu event; passed on, it opens
    // the window's menu, which can take a compared value even for a box
    // that a click cannot change.
    if (event->type() == QEvent::ContextMenu && !isEnabled()) {
        event->ignore();
        return false;
    }
    return QCheckBox::event(event);
}

void SwitchGroup::paintEvent(QPaintEvent* event) {
    QGroupBox::paintEvent(event);
    QPainter painter(this);
    for (const QObject* child : children()) {
        const auto* box = qobject_cast<const SwitchBox*>(child);
        if (box == nullptr || !box->isMarked()) {
            continue;
        }
        const QRect rect = box->markRect();
        const int width = markWidth(box->geometry());
        QPen pen(palette().color(QPalette::Highlight), width);
        pen.setJoinStyle(Qt::MiterJoin);
        painter.setPen(pen);
        const int inset = width / 2;
        painter.drawRect(rect.adjusted(inset, inset, -(width - inset), -(width - inset)));
    }
}

} // namespace mx
