#pragma once

#include <QListWidget>

namespace mx {

// The channel list. Once a channel is selected it stays selected: a click on
// it, a Ctrl+click or Ctrl+Space select rather than toggle, and a click beside
// the items changes nothing, so the window never shows "no channel".
class ChannelList : public QListWidget {
    Q_OBJECT
public:
    using QListWidget::QListWidget;

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;
};

} // namespace mx
