// The main window's layout: one scale factor, from 1 up, chosen so that every
// caption fits whole at the font and style in use.

#include "scaled_layout.h"

#include "channel_config.h"
#include "channel_list.h"
#include "compact_style.h"
#include "design_geometry.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <algorithm>

namespace mx {

namespace {

// The layout scale is sought in these steps, up to the largest.
constexpr double ScaleStep = 1.0 / 32;
constexpr double LargestScale = 4.0;

} // namespace

ScaledLayout::ScaledLayout(CompactStyle& style, QWidget& client) : style_(style), client_(client) {}

void ScaledLayout::place(QWidget* widget, const QRect& twips) {
    placements_.push_back({widget, twips});
}

bool ScaledLayout::fitsAt(double scale, const QFontMetrics& metrics) const {
    style_.setScale(scale);
    const int inkHeight = static_cast<int>(std::ceil(metrics.capHeight())) + metrics.descent();
    // Group titles stand above the first row, which is this far down.
    const int firstRowTop = scaledRect(twipsRect(0, MemberTop, 0, 0), scale).top();
    for (const auto& [widget, twips] : fitChecks_) {
        const QRect rect = scaledRect(twips, scale);
        if (const auto* box = qobject_cast<const QCheckBox*>(widget)) {
            QStyleOptionButton option;
            option.initFrom(box);
            option.rect = QRect(QPoint(), rect.size());
            option.fontMetrics = metrics;
            option.text = box->text();
            const QRect indicator =
                style_.subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
            const QRect label = style_.subElementRect(QStyle::SE_CheckBoxContents, &option, box);
            if (!option.rect.contains(indicator) || inkHeight > rect.height() ||
                metrics.horizontalAdvance(box->text()) > label.width()) {
                return false;
            }
        } else if (const auto* group = qobject_cast<const QGroupBox*>(widget)) {
            QStyleOptionGroupBox option;
            option.initFrom(group);
            option.rect = QRect(QPoint(), rect.size());
            option.fontMetrics = metrics;
            option.text = group->title();
            const QRect title =
                style_.subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel);
            if (title.width() < metrics.horizontalAdvance(group->title()) ||
                metrics.height() > firstRowTop) {
                return false;
            }
        } else if (const auto* button = qobject_cast<const QPushButton*>(widget)) {
            const int margin = style_.pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
            if (metrics.horizontalAdvance(button->text()) > rect.width() - 2 * margin ||
                metrics.height() > rect.height() - margin) {
                return false;
            }
        } else if (widget == list_) {
            if (!list_->captionsFit(rect.size(), listRowHeight(rect.height()))) {
                return false;
            }
        }
    }
    return true;
}

int ScaledLayout::listRowHeight(int listHeight) const {
    return (listHeight - 2 * list_->frameWidth()) / ChannelCount;
}

void ScaledLayout::finishPlacing(ChannelList& list) {
    list_ = &list;
    // Fourteen groups hold the same six boxes: each caption at each size is
    // checked once. The controls likeliest not to fit come first, so that a
    // scale too small is found out early.
    std::vector<Placement> checks;
    for (const Placement& placement : placements_) {
        const auto* box = qobject_cast<const QCheckBox*>(placement.widget);
        const bool seen =
            box != nullptr && std::any_of(checks.begin(), checks.end(), [&](const Placement& p) {
                const auto* other = qobject_cast<const QCheckBox*>(p.widget);
                return other != nullptr && other->text() == box->text() &&
                       p.twips.size() == placement.twips.size();
            });
        if (!seen) {
            checks.push_back(placement);
        }
    }
    const auto rank = [this](const QWidget* widget) {
        if (widget == list_ || qobject_cast<const QPushButton*>(widget) != nullptr) {
            return 0;
        }
        return qobject_cast<const QCheckBox*>(widget) != nullptr ? 1 : 2;
    };
    std::stable_sort(checks.begin(), checks.end(), [&](const Placement& a, const Placement& b) {
        return rank(a.widget) < rank(b.widget);
    });
    fitChecks_ = std::move(checks);
}

void ScaledLayout::relayout(const QFontMetrics& metrics) {
    // The smallest scale, from 1 up, at which every caption fits whole.
    double scale = 1.0;
    while (scale < LargestScale && !fitsAt(scale, metrics)) {
        scale += ScaleStep;
    }
    scale_ = scale;
    style_.setScale(scale);
    for (const auto& [widget, twips] : placements_) {
        widget->setGeometry(scaledRect(twips, scale));
    }
    list_->setRowHeight(listRowHeight(list_->height()));
    client_.resize(scaledRect(twipsRect(0, 0, ClientWidth, ClientHeight), scale).size());
}

} // namespace mx
