#include "channel_list.h"

#include "plain_text.h"

#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QStyledItemDelegate>
#include <QToolTip>

namespace mx {

namespace {

// A channel that differs says so to assistive technology; that text is also
// what the list marks it by, so that a change of mark is one change of data.
constexpr int DiffersRole = Qt::AccessibleDescriptionRole;

// Rows of the list's own height rather than a line of text each.
class RowDelegate : public QStyledItemDelegate {
public:
    RowDelegate(const int& height, QObject* parent)
        : QStyledItemDelegate(parent), height_(height) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {QStyledItemDelegate::sizeHint(option, index).width(), height_};
    }

protected:
    // A channel that differs is underlined: a mark that needs no colour and
    // no room beside the caption, in rows no higher than their text.
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (!index.data(DiffersRole).toString().isEmpty()) {
            option->font.setUnderline(true);
        }
    }

private:
    const int& height_;
};

} // namespace

ChannelList::ChannelList(QWidget* parent) : QListWidget(parent) {
    setItemDelegate(new RowDelegate(rowHeight_, this));
}

void ChannelList::setRowHeight(int height) {
    if (height != rowHeight_) {
        rowHeight_ = height;
        doItemsLayout();
    }
}

bool ChannelList::captionsFit(QSize outer, int rowHeight) const {
    const int frame = 2 * frameWidth();
    const QSize inner = outer - QSize(frame, frame);
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = QRect(0, 0, inner.width(), rowHeight);
    const QFontMetrics& metrics = option.fontMetrics;
    if (rowHeight * count() > inner.height() ||
        metrics.capHeight() + metrics.descent() > rowHeight) {
        return false;
    }
    for (int row = 0; row < count(); ++row) {
        if (itemDelegate()->sizeHint(option, model()->index(row, 0)).width() > inner.width()) {
            return false;
        }
    }
    return true;
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
    emit menuRequested(event->reason() == QContextMenuEvent::Mouse ? event->globalPos()
                                                                   : menuPosition());
    event->accept();
}

QPoint ChannelList::menuPosition() const {
    const QRect item = visualItemRect(currentItem());
    return viewport()->mapToGlobal(item.isValid() ? item.bottomLeft() : QPoint(0, 0));
}

} // namespace mx

namespace mx {

void ChannelList::setDifference(int row, bool differs) {
    QListWidgetItem* channel = item(row);
    if (channel == nullptr || differs == isMarked(row)) {
        return;
    }
    channel->setData(DiffersRole, differs ? QVariant(QString("differs")) : QVariant());
}

void ChannelList::setDifferenceTip(std::function<QString(int)> describe) {
    describeDifference_ = std::move(describe);
}

QString ChannelList::differenceTip(int row) const {
    return isMarked(row) && describeDifference_ ? describeDifference_(row) : QString();
}

void ChannelList::setChannelName(int row, const QString& name) {
    QListWidgetItem* channel = item(row);
    if (channel == nullptr) {
        return;
    }
    channel->setData(Qt::ToolTipRole, name.isEmpty() ? QVariant() : QVariant(name));
    channel->setData(Qt::AccessibleTextRole,
                     name.isEmpty() ? QVariant() : QVariant(channel->text() + ", " + name));
}

bool ChannelList::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = indexAt(help->pos());
        const QString name = index.data(Qt::ToolTipRole).toString();
        const QString difference = differenceTip(index.row());
        const QString tip =
            name.isEmpty() || difference.isEmpty() ? name + difference : name + "\n" + difference;
        if (!tip.isEmpty()) {
            QToolTip::showText(help->globalPos(), asPlainText(tip), viewport(),
                               visualRect(indexAt(help->pos())));
            return true;
        }
        QToolTip::hideText();
    }
    return QListWidget::viewportEvent(event);
}

bool ChannelList::isMarked(int row) const {
    const QListWidgetItem* channel = item(row);
    return channel != nullptr && !channel->data(DiffersRole).toString().isEmpty();
}

} // namespace mx
