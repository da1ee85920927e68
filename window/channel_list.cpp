#include "channel_list.h"

namespace mx {

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

} // namespace mx
