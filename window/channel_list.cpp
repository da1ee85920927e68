#include "channel_list.h"

#include <QContextMenuEvent>
#include <QShortcut>

namespace mx {

ChannelList::ChannelList(QWidget* parent) : QListWidget(parent) {
    // Qt turns the Menu key into a context menu event itself, but not the
    // other key that desktops use for it.
    auto* shiftF10 = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), this);
    shiftF10->setContext(Qt::WidgetShortcut);
    connect(shiftF10, &QShortcut::activated, this, &ChannelList::requestMenuAtCurrentItem);
}

QItemSelectionModel::SelectionFlags ChannelList::selectionCommand(const QModelIndex& index,
                                                                  const QEvent* event) const {
    const QItemSelectionModel::SelectionFlags command = QListWidget::selectionCommand(index, event);
    if (!index.isValid()) {
        return QItemSelectionModel::NoUpdate;
    }
    if (command & (QItemSelectionModel::Deselect | QItemSelectionModel::Toggle)) {
        return QItemSelectionModel::ClearAndSelect;
    }
    return command;
}

void ChannelList::contextMenuEvent(QContextMenuEvent* event) {
    if (event->reason() == QContextMenuEvent::Mouse) {
        emit menuRequested(event->globalPos());
    } else {
        requestMenuAtCurrentItem();
    }
    event->accept();
}

void ChannelList::requestMenuAtCurrentItem() {
    const QRect item = visualItemRect(currentItem());
    const QPoint corner = item.isValid() ? item.bottomLeft() : QPoint(0, 0);
    emit menuRequested(viewport()->mapToGlobal(corner));
}

} // namespace mx
