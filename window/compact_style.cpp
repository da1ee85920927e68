#include "compact_style.h"

#include <QPainter>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <cmath>
#include <qdrawutil.h>

namespace mx {

int CompactStyle::scaled(int pixels) const {
    return static_cast<int>(std::lround(pixels * scale_));
}

int CompactStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                              const QWidget* widget) const {
    switch (metric) {
    case PM_IndicatorWidth:
    case PM_IndicatorHeight:
        return scaled(IndicatorSize);
    case PM_CheckBoxLabelSpacing:
        return scaled(LabelSpacing);
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

QRect CompactStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                                   SubControl subControl, const QWidget* widget) const {
    const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
    if (control != CC_GroupBox || box == nullptr) {
        return QProxyStyle::subControlRect(control, option, subControl, widget);
    }
    const QFontMetrics& metrics = box->fontMetrics;
    const QRect& whole = box->rect;
    const int titleHeight = box->text.isEmpty() ? 0 : metrics.height();
    switch (subControl) {
    case SC_GroupBoxLabel: {
        const int indent = scaled(TitleIndent);
        const int width = std::min(metrics.horizontalAdvance(box->text) + 2 * scaled(TitlePadding),
                                   whole.width() - 2 * indent);
        return visualRect(box->direction, whole,
                          QRect(whole.left() + indent, whole.top(), width, titleHeight));
    }
    case SC_GroupBoxFrame:
        return whole.adjusted(0, titleHeight / 2, 0, 0);
    case SC_GroupBoxContents:
        return whole.adjusted(2, std::max(titleHeight, 2), -2, -2);
    default:
        return QProxyStyle::subControlRect(control, option, subControl, widget);
    }
}

void CompactStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                      QPainter* painter, const QWidget* widget) const {
    const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
    if (control != CC_GroupBox || box == nullptr) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
    const QRect title = subControlRect(control, option, SC_GroupBoxLabel, widget);
    if (box->subControls & SC_GroupBoxFrame) {
        // An etched line, left out where the title stands.
        painter->save();
        QRegion outside(box->rect);
        if (!box->text.isEmpty()) {
            outside -= title;
        }
        painter->setClipRegion(outside);
        qDrawShadeRect(painter, subControlRect(control, option, SC_GroupBoxFrame, widget),
                       box->palette, true, 1, 0);
        painter->restore();
    }
    if ((box->subControls & SC_GroupBoxLabel) && !box->text.isEmpty()) {
        drawItemText(painter, title, Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextShowMnemonic,
                     box->palette, box->state & State_Enabled, box->text, QPalette::WindowText);
    }
}

} // namespace mx
