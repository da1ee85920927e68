#pragma once

#include <QListWidget>

namespace mx {

// The channel list. Once a channel is selected it stays selected: a click on
// it, a Ctrl+click or Ctrl+Space select rather than toggle, and a click beside
// the items changes nothing, so the window never shows "no channel".
//
// It asks for its context menu on a right click or the Menu key; from the
// keyboard the menu opens at the current channel.
class ChannelList : public QListWidget {
    Q_OBJECT
public:
    explicit ChannelList(QWidget* parent = nullptr);

    // Every row is this high, usually less than a line of text, so that all
    // eight channels show at once; the window sets it with its layout.
    void setRowHeight(int height);
    // Whether at this outer size every channel's caption fits whole across
    // the list, and all rows of the given height fit in it without scrolling.
    bool captionsFit(QSize outer, int rowHeight) const;

    // Where a menu opened from the keyboard stands: below the current channel.
    QPoint menuPosition() const;

    // Marks a channel as differing from the configuration compared with,
    // with a tip that says how, or, when the tip is empty, takes the mark off.
    void setDifference(int row, const QString& toolTip);
    bool isMarked(int row) const;

signals:
    void menuRequested(const QPoint& globalPosition);

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    int rowHeight_ = 13;
};

} // namespace mx
