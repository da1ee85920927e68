#pragma once

// What marks a check box that differs from the configuration compared with:
// a frame around it, clear of its caption. A shape, so that it shows without
// colour too, drawn in the palette's highlight colour, so that it stands out
// in every style and colour scheme. The group box draws it, in the room
// around the box, so that the box keeps its designed size.

#include <QCheckBox>
#include <QGroupBox>
#include <QString>

namespace mx {

// A check box that can be marked as differing: framed by its group, and
// described to assistive technology by how it differs.
class SwitchBox : public QCheckBox {
    Q_OBJECT
public:
    using QCheckBox::QCheckBox;

    // Marks the box, with `difference` as the text that says how it differs
    // ("differs from unitA: on"), or, when it is empty, takes the mark off.
    void setDifference(const QString& difference);
    bool isMarked() const { return marked_; }
    // Where the group draws the frame, in the group's coordinates.
    QRect markRect() const;

protected:
    bool event(QEvent* event) override;

private:
    bool marked_ = false;
    QString difference_;
    // The box's own description and tip, which the difference is added to.
    QString description_;
    QString toolTip_;
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
