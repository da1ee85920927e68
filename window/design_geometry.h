#pragma once

// The window's geometry as designed: in twips, 15 to a pixel at 96 dots per
// inch and the design font. Qt scales these device-independent pixels on
// high-density screens, and the layout scale multiplies them for larger
// fonts.

#include <QRect>
#include <cmath>

namespace mx {

inline constexpr int TwipsPerPixel = 15;

inline constexpr int ClientWidth = 7200;
inline constexpr int ClientHeight = 8655;

// Where the first row of controls stands in every group box.
inline constexpr int MemberTop = 240;

inline QRect twipsRect(int left, int top, int width, int height) {
    return {left, top, width, height};
}

// Edges are scaled and rounded, rather than sizes, so that controls that
// meet at the design font still meet at any scale. At scale 1 every rectangle
// is exactly the design's.
inline QRect scaledRect(const QRect& twips, double scale) {
    const auto edge = [scale](int t) {
        return static_cast<int>(std::lround(t * scale / TwipsPerPixel));
    };
    const int left = edge(twips.x());
    const int top = edge(twips.y());
    return {left, top, edge(twips.x() + twips.width()) - left,
            edge(twips.y() + twips.height()) - top};
}

} // namespace mx
