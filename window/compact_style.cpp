#include "compact_style.h"

#include <QStyleOptionButton>

namespace mx {

int CompactStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                              const QWidget* widget) const {
    switch (metric) {
    case PM_IndicatorWidth:
    case PM_IndicatorHeight:
        return IndicatorSize;
    case PM_CheckBoxLabelSpacing:
        return LabelSpacing;
    case PM_FocusFrameHMargin:
        // List items leave this margin (plus one pixel) on each side of their
        // text; without it "Channel 1" fits the list.
        return 0;
    default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

void CompactStyle::drawControl(ControlElement element, const QStyleOption* option,
                               QPainter* painter, const QWidget* widget) const {
    const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
    if (element == CE_CheckBoxLabel && button != nullptr &&
        option->rect.height() < option->fontMetrics.height()) {
        const QFontMetrics& metrics = option->fontMetrics;
        const int inkHeight = metrics.capHeight() + metrics.descent();
        const int inkOffset = metrics.ascent() - metrics.capHeight();
        QStyleOptionButton label = *button;
        label.rect.setTop(option->rect.top() + (option->rect.height() - inkHeight) / 2 - inkOffset);
        label.rect.setHeight(metrics.height());
        QProxyStyle::drawControl(element, &label, painter, widget);
        return;
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

} // namespace mx
