#include "difference_marks.h"

#include "channel_list.h"
#include "difference_mark.h"

#include <QAccessible>

namespace mx {

DifferenceMarks::DifferenceMarks(const ConfigDocument& document, const SwitchBoxes& members,
                                 SwitchBox& recallMicGain, SwitchBox& recallFader,
                                 ChannelList& list)
    : document_(document), members_(members), recallMicGain_(recallMicGain),
      recallFader_(recallFader), list_(list), accessibilityActive_(QAccessible::isActive()) {}

void DifferenceMarks::referenceChanged(int shownChannel) {
    // Marks of another reference say another name: all are put anew.
    if (marksShown_) {
        for (const auto& group : members_) {
            for (SwitchBox* member : group) {
                member->setDifference(SwitchBox::Difference::None, {}, accessibilityActive_);
            }
            group.front()->parentWidget()->update();
        }
        recallMicGain_.setDifference(SwitchBox::Difference::None, {}, accessibilityActive_);
        recallFader_.setDifference(SwitchBox::Difference::None, {}, accessibilityActive_);
        recallFader_.parentWidget()->update();
        shownMarks_ = {};
    }
    listedConfig_.reset();
    if (const Reference* reference = document_.reference()) {
        differsOn_ = QString("differs from %1: on").arg(reference->name);
        differsOff_ = QString("differs from %1: off").arg(reference->name);
    }
    show(shownChannel);
}

void DifferenceMarks::mark(int shownChannel) {
    const Reference* reference = document_.reference();
    marksShown_ = reference != nullptr;
    const ChannelDifference difference = document_.differenceInChannel(shownChannel);
    const auto theirs =
        reference != nullptr ? channelSettings(reference->config, shownChannel) : std::nullopt;
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
              std::array{&recallMicGain_, &recallFader_}, std::array<SwitchMask, 2>{1, 2});

    // The list's marks change with the configuration and the reference, not
    // when another channel is shown.
    if (listedConfig_ == document_.config()) {
        return;
    }
    listedConfig_ = document_.config();
    const ChannelSet channels = document_.channelsDiffering();
    for (int channel = 0; channel < ChannelCount; ++channel) {
        list_.setDifference(channel, holdsChannel(channels, channel));
    }
}

QString DifferenceMarks::channelTip(int channel) const {
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

void DifferenceMarks::setAccessibilityActive(bool active) {
    accessibilityActive_ = active;
    if (!active) {
        return;
    }
    for (const auto& group : members_) {
        for (SwitchBox* member : group) {
            member->describe();
        }
    }
    recallMicGain_.describe();
    recallFader_.describe();
}

} // namespace mx
