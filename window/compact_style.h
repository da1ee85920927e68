#pragma once

#include <QProxyStyle>

namespace mx {

// The window's controls stand at fixed, small sizes (check boxes 65 px wide
// and as low as 13 px, a list 65 px wide at the design font). With the
// stock metrics "PH PWR", "Mic gain" and "Channel 1" would be clipped; these
// tighter metrics make every caption fit without touching fonts. They grow
// with the window's layout scale, like every rectangle in it.
class CompactStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    static constexpr int IndicatorSize = 13;
    static constexpr int LabelSpacing = 2;
    // A group box's title stands this far in from the frame's left edge, with
    // this much room on either side where the frame's line is left out.
    static constexpr int TitleIndent = 6;
    static constexpr int TitlePadding = 2;

    // The layout scale (1 at the design font); metrics above are multiplied
    // by it.
    void setScale(double scale) { scale_ = scale; }

    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;

    // A check box lower than a line of text ("Mic gain" and "Fader" are 13 px)
    // would lose the tops of capitals and the tails of "g"; there the label's
    // ink, from cap height to descent, is centred instead of its line box.
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;

    // Group boxes are drawn the traditional way in every style: the frame's
    // top line runs through the middle of the title, so the first row of
    // controls, just below the title, stays clear of it.
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                         SubControl subControl, const QWidget* widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget = nullptr) const override;

private:
    int scaled(int pixels) const;

    double scale_ = 1.0;
};

} // namespace mx
