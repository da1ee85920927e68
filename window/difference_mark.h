#pragma once

// What marks a check box that differs from the configuration compared with:
// a frame around it, clear of its caption. A shape, so that it shows without
// colour too, drawn in the palette's highlight colour, so that it stands out
// in every style and colour scheme. The group box draws it, in the room
// around the box, so that the box keeps its designed size.

#include <QCheckBox>
#include <QGroupBox>
#include <QString>
#include <cstdint>

namespace mx {

// A check box that can be marked as differing: framed by its group, and
// described to assistive technology by how it differs.
class SwitchBox : public QCheckBox {
    Q_OBJECT
public:
    using QCheckBox::QCheckBox;

    // What the box shows of a comparison: nothing, or that the configuration
    // compared with has its bit on, or off.
    enum class Difference : std::uint8_t { None, TheirsOn, TheirsOff };

    // Marks the box, with `text` saying how it differs ("differs from unitA:
    // on"), or takes the mark off; `describeNow` while accessibility is
    // active. Returns whether the mark changed: its group then draws it
    // anew, in markRect().
    bool setDifference(Difference difference, const QString& text, bool describeNow) {
        // Inline: a refresh while comparing asks this of every box, and most
        // keep their mark.
        return difference != difference_ && changeDifference(difference, text, describeNow);
    }
    bool isMarked() const { return difference_ != Difference::None; }
    // Gives assistive technology the box's description as it is now. While
    // accessibility is not active the description is left alone, since
    // setting one costs more than a whole refresh of the box; this is
    // called once it becomes active.
    void describe();
    // Where the group draws the frame, in the group's coordinates.
    QRect markRect() const;

protected:
    bool event(QEvent* event) override;

private:
    bool changeDifference(Difference difference, const QString& text, bool describeNow);

    Difference difference_ = Difference::None;
    QString differenceText_;
    // Whether the accessible description now says the box differs; until
    // then it is the box's own, which the difference is put before.
    bool describedAsDiffering_ = false;
    QString ownDescription_;
};

// A group box that frames its marked check boxes.
class SwitchGroup : public QGroupBox {
    Q_OBJECT
public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace mx
