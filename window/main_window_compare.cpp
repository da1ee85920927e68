// The main window's comparison with another configuration, the document's
// reference: taking the reference's values, and stepping from one difference
// to the next. The marks on what differs are DifferenceMarks'.

#include "channel_list.h"
#include "difference_mark.h"
#include "difference_marks.h"
#include "main_window.h"

#include <QApplication>

namespace mx {

SwitchBox* MainWindow::switchBox(const QCheckBox* box) const {
    if (box == recallMicGain_) {
        return recallMicGain_;
    }
    if (box == recallFader_) {
        return recallFader_;
    }
    for (const auto& group : members_) {
        for (SwitchBox* member : group) {
            if (member == box) {
                return member;
            }
        }
    }
    return nullptr;
}

void MainWindow::accessibilityActiveChanged(bool active) {
    marks_->setAccessibilityActive(active);
}

bool MainWindow::isMarked(const QCheckBox* box) const {
    const SwitchBox* known = switchBox(box);
    return known != nullptr && known->isMarked();
}

bool MainWindow::isChannelMarked(int channel) const {
    return showList_->isMarked(channel);
}

void MainWindow::takeValue(const QCheckBox* box) {
    if (!isMarked(box)) {
        return;
    }
    bool taken = false;
    if (box == recallMicGain_ || box == recallFader_) {
        taken = document_.takeRecall(shownChannel_, box == recallMicGain_ ? RecallField::MicGain
                                                                          : RecallField::Fader);
    } else {
        for (const SwitchField field : AllSwitchFields) {
            for (std::size_t position = 0; position < AllSwitches.size(); ++position) {
                if (members_[static_cast<std::size_t>(field)][position] == box) {
                    taken = document_.takeSwitch(shownChannel_, field, AllSwitches[position]);
                }
            }
        }
    }
    showEdit(taken);
}

void MainWindow::takeChannel() {
    showEdit(document_.takeChannel(shownChannel_));
}

void MainWindow::takeEverything() {
    showEdit(document_.takeEverything(shownChannel_));
}

void MainWindow::goToDifference(int step) {
    const ChannelSet differing = document_.channelsDiffering();
    if (differing == 0) {
        return;
    }
    // From the shown channel round the list; back to it when it is the only
    // one that differs.
    int channel = isChannel(shownChannel_) ? shownChannel_ : (step > 0 ? -1 : 0);
    do {
        channel = (channel + step + ChannelCount) % ChannelCount;
    } while (!holdsChannel(differing, channel));
    selectChannel(channel);
    // A channel that differs only in greyed boxes or unnamed bits has no box
    // to go to; its place in the list is where the user can read the tip.
    QWidget* focus = showList_;
    for (QWidget* control : focusOrder_) {
        if (const SwitchBox* box = switchBox(qobject_cast<const QCheckBox*>(control));
            box != nullptr && box->isMarked() && box->isEnabled()) {
            focus = control;
            break;
        }
    }
    focus->setFocus(Qt::ShortcutFocusReason);
}

} // namespace mx
