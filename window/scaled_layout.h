#pragma once

#include <QRect>
#include <vector>

class QFontMetrics;
class QWidget;

namespace mx {

class ChannelList;
class CompactStyle;

// Places the window's controls at their designed rectangles multiplied by one
// scale factor: 1 at the design font, and the smallest step above it at which
// every caption fits whole at the font and style in use.
class ScaledLayout {
public:
    ScaledLayout(CompactStyle& style, QWidget& client);

    // A control and its designed rectangle in twips, inside its parent.
    void place(QWidget* widget, const QRect& twips);
    // Called once every control is placed; the list's rows are sized to fit.
    void finishPlacing(ChannelList& list);
    // Finds the scale for these font metrics and places every control by it.
    void relayout(const QFontMetrics& metrics);
    double scale() const { return scale_; }

private:
    struct Placement {
        QWidget* widget;
        QRect twips;
    };

    // Whether every caption fits whole at this scale.
    bool fitsAt(double scale, const QFontMetrics& metrics) const;
    int listRowHeight(int listHeight) const;

    CompactStyle& style_;
    QWidget& client_;
    ChannelList* list_ = nullptr;
    std::vector<Placement> placements_;
    // The placements whose captions decide the scale.
    std::vector<Placement> fitChecks_;
    double scale_ = 1.0;
};

} // namespace mx
