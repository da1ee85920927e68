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

void SwitchBox::setDifference(const QString& difference) {
    if (difference.isEmpty()) {
        if (!marked_) {
            return;
        }
        marked_ = false;
        difference_.clear();
        setAccessibleDescription(description_);
        setToolTip(toolTip_);
        parentWidget()->update(markRect());
        return;
    }
    if (marked_ && difference == difference_) {
        return;
    }
    if (!marked_) {
        description_ = accessibleDescription();
        toolTip_ = toolTip();
    }
    marked_ = true;
    difference_ = difference;
    const auto joined = [&difference](const QString& own, const char* separator) {
        return own.isEmpty() ? difference : difference + separator + own;
    };
    setAccessibleDescription(joined(description_, ". "));
    setToolTip(joined(toolTip_, "\n"));
    parentWidget()->update(markRect());
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
