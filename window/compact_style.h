#pragma once

#include <QProxyStyle>

namespace mx {

// The window's controls stand at fixed, small sizes (check boxes 65 px wide
// and as low as 13 px, a list 65 px wide). With the desktop's default font
// the stock metrics clip "PH PWR", "Mic gain" and "Channel 1"; these tighter
// metrics make every caption fit without touching geometry or fonts.
class CompactStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    static constexpr int IndicatorSize = 13;
    static constexpr int LabelSpacing = 2;

    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;

    // A check box lower than a line of text ("Mic gain" and "Fader" are 13 px)
    // would lose the tops of capitals and the tails of "g"; there the label's
    // ink, from cap height to descent, is centred instead of its line box.
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
};

} // namespace mx
