// The main window's comparison with another configuration, the document's
// reference: the marks on what differs, taking the reference's values, and
// stepping from one difference to the next.

#include "channel_list.h"
#include "difference_mark.h"
#include "main_window.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <bit>

namespace mx {

namespace {

// "unitA's", "units'"
QString possessive(const QString& name) {
    return name + (name.endsWith('s') ? "'" : "'s");
}

} // namespace

void MainWindow::buildCompareActions() {
    compareAction_ = addCommand("CompareWith", {QKeySequence(Qt::CTRL | Qt::Key_D)},
                                "Mark what differs from another unit's folder or a text file");
    compareAction_->setText("Compare with…");
    connect(compareAction_, &QAction::triggered, this, &MainWindow::compareRequested);
    compareSavedAction_ =
        addCommand("CompareWithSaved", {},
                   "Mark what differs from the folder's files as last loaded or saved");
    compareSavedAction_->setText("Compare with saved");
    connect(compareSavedAction_, &QAction::triggered, &document_,
            &ConfigDocument::compareWithSaved);
    stopComparingAction_ = addCommand("StopComparing", {}, "Take the marks of differences off");
    stopComparingAction_->setText("Stop comparing");
    connect(stopComparingAction_, &QAction::triggered, &document_, &ConfigDocument::stopComparing);

    takeValueAction_ = addCommand("TakeValue", {}, "Set this box as in the compared configuration");
    connect(takeValueAction_, &QAction::triggered, this, [this] { takeValue(menuBox_); });
    takeChannelAction_ =
        addCommand("TakeChannel", {},
                   "Give the shown channel every bit of the compared configuration's channel",
                   &MainWindow::takeChannel);
    takeEverythingAction_ = addCommand("TakeEverything", {},
                                       "Give every channel every bit of the compared configuration",
                                       &MainWindow::takeEverything);

    nextDifferenceAction_ = addCommand("NextDifference", {QKeySequence(Qt::Key_F8)},
                                       "Show the next channel that differs");
    nextDifferenceAction_->setText("Next difference");
    connect(nextDifferenceAction_, &QAction::triggered, this, [this] { goToDifference(1); });
    previousDifferenceAction_ =
        addCommand("PreviousDifference", {QKeySequence(Qt::SHIFT | Qt::Key_F8)},
                   "Show the previous channel that differs");
    previousDifferenceAction_->setText("Previous difference");
    connect(previousDifferenceAction_, &QAction::triggered, this, [this] { goToDifference(-1); });

    for (QAction* action : {compareAction_, compareSavedAction_, stopComparingAction_,
                            takeValueAction_, takeChannelAction_, takeEverythingAction_,
                            nextDifferenceAction_, previousDifferenceAction_}) {
        editMenu_->addAction(action);
    }
}

void MainWindow::prepareCompareActions(QWidget* target) {
    const Reference* reference = document_.reference();
    const ChannelSet differing = document_.channelsDiffering();
    stopComparingAction_->setEnabled(reference != nullptr);
    menuBox_ = switchBox(qobject_cast<const QCheckBox*>(target));
    const bool onMarkedBox = menuBox_ != nullptr && isMarked(menuBox_);
    takeValueAction_->setVisible(onMarkedBox);
    takeChannelAction_->setVisible(reference != nullptr);
    takeEverythingAction_->setVisible(reference != nullptr);
    if (reference != nullptr) {
        const QString theirs = possessive(reference->name);
        takeValueAction_->setText(QString("Take %1 value").arg(theirs));
        takeChannelAction_->setText(
            QString("Take channel %1 from %2").arg(shownChannel_ + 1).arg(reference->name));
        takeChannelAction_->setEnabled(isChannel(shownChannel_) &&
                                       holdsChannel(differing, shownChannel_));
        takeEverythingAction_->setText("Take everything from " + reference->name);
        takeEverythingAction_->setEnabled(differing != 0);
    }
    nextDifferenceAction_->setEnabled(differing != 0);
    previousDifferenceAction_->setEnabled(differing != 0);
}

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
    accessibilityActive_ = active;
    if (!active) {
        return;
    }
    for (SwitchBox* box : client_->findChildren<SwitchBox*>()) {
        box->describe();
    }
}

bool MainWindow::isMarked(const QCheckBox* box) const {
    const SwitchBox* known = switchBox(box);
    return known != nullptr && known->isMarked();
}

bool MainWindow::isChannelMarked(int channel) const {
    return showList_->isMarked(channel);
}

void MainWindow::showReference() {
    // Marks of another reference say another name: all are put anew.
    if (marksShown_) {
        for (const auto& group : members_) {
            for (SwitchBox* member : group) {
                member->setDifference(SwitchBox::Difference::None, {}, accessibilityActive_);
            }
            group.front()->parentWidget()->update();
        }
        recallMicGain_->setDifference(SwitchBox::Difference::None, {}, accessibilityActive_);
        recallFader_->setDifference(SwitchBox::Difference::None, {}, accessibilityActive_);
        recallFader_->parentWidget()->update();
        shownMarks_ = {};
    }
    listedConfig_.reset();
    if (const Reference* reference = document_.reference()) {
        differsOn_ = QString("differs from %1: on").arg(reference->name);
        differsOff_ = QString("differs from %1: off").arg(reference->name);
    }
    showDifferences();
}

void MainWindow::markDifferences() {
    const Reference* reference = document_.reference();
    marksShown_ = reference != nullptr;
    const ChannelDifference difference = document_.differenceInChannel(shownChannel_);
    const auto theirs =
        reference != nullptr ? channelSettings(reference->config, shownChannel_) : std::nullopt;
    // A group whose marks stay as they are costs two comparisons; in one
    // whose marks change, only those boxes change, and the area around them
    // is drawn anew at once.
    const auto showGroup = [this](GroupMarks& shown, GroupMarks now, const auto& boxes,
                                  const auto& bits) {
        if (now.marked == shown.marked && now.theirsOn == shown.theirsOn) {
            return;
        }
        QRect changed;
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            const auto mark = (now.marked & bits[i]) == 0     ? SwitchBox::Difference::None
                              : (now.theirsOn & bits[i]) != 0 ? SwitchBox::Difference::TheirsOn
                                                              : SwitchBox::Difference::TheirsOff;
            if (boxes[i]->setDifference(
                    mark, mark == SwitchBox::Difference::TheirsOn ? differsOn_ : differsOff_,
                    accessibilityActive_)) {
                changed |= boxes[i]->markRect();
            }
        }
        boxes[0]->parentWidget()->update(changed);
        shown = now;
    };
    for (const SwitchField field : AllSwitchFields) {
        const auto index = static_cast<std::size_t>(field);
        const SwitchMask differing = fieldOf(difference.masks, field);
        const SwitchMask on = theirs ? fieldOf(theirs->Switches, field) : SwitchMask{0};
        showGroup(shownMarks_[index], {differing, static_cast<SwitchMask>(on & differing)},
                  members_[index], AllSwitches);
    }
    const auto recallBits = [](bool micGain, bool fader) {
        return static_cast<SwitchMask>((micGain ? 1 : 0) | (fader ? 2 : 0));
    };
    const SwitchMask differing = recallBits(difference.micGain, difference.fader);
    const SwitchMask on = theirs ? recallBits(theirs->MicGainRecall, theirs->FaderRecall) : 0;
    showGroup(shownMarks_.back(), {differing, static_cast<SwitchMask>(on & differing)},
              std::array{recallMicGain_, recallFader_}, std::array<SwitchMask, 2>{1, 2});

    // The list's marks change with the configuration and the reference, not
    // when another channel is shown.
    if (listedConfig_ == document_.config()) {
        return;
    }
    listedConfig_ = document_.config();
    const ChannelSet channels = document_.channelsDiffering();
    for (int channel = 0; channel < ChannelCount; ++channel) {
        showList_->setDifference(channel, holdsChannel(channels, channel));
    }
}

QString MainWindow::channelDifferenceTip(int channel) const {
    const Reference* reference = document_.reference();
    if (reference == nullptr) {
        return {};
    }
    QString tip = QString("Differs from %1:").arg(reference->name);
    for (const std::string& line : describeDifference(document_.differenceInChannel(channel))) {
        tip += '\n' + QString::fromStdString(line);
    }
    return tip;
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
