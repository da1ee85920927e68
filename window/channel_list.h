#pragma once

#include <QListWidget>
#include <functional>

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

    // Marks a channel as differing from the configuration compared with, or
    // takes the mark off. A marked channel's tip says how it differs: it is
    // asked of `describe` when it is to be shown, not at every change.
    void setDifference(int row, bool differs);
    bool isMarked(int row) const;
    void setDifferenceTip(std::function<QString(int row)> describe);
    // A marked channel's tip; empty for one that is not marked.
    QString differenceTip(int row) const;
    // A channel's name, which its tip shows (above how it differs, when it
    // is marked) and assistive technology reads with its caption; the
    // caption itself stays "Channel N".
    void setChannelName(int row, const QString& name);

signals:
    void menuRequested(const QPoint& globalPosition);

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    int rowHeight_ = 13;
    std::function<QString(int)> describeDifference_;
};

} // namespace mx
