#pragma once

// What the window shows of a comparison: the marks on the shown channel's
// boxes that differ from the document's reference, and on the channels in
// the list that differ. It keeps what is marked, so that a refresh changes
// only the marks that change, and costs nothing while nothing is compared.

#include "channel_config.h"
#include "config_document.h"

#include <QString>
#include <array>
#include <optional>

namespace mx {

class ChannelList;
class SwitchBox;

class DifferenceMarks {
public:
    // Members by group and switch position, as the window holds them.
    using SwitchBoxes = std::array<std::array<SwitchBox*, AllSwitches.size()>, SwitchFieldCount>;

    DifferenceMarks(const ConfigDocument& document, const SwitchBoxes& members,
                    SwitchBox& recallMicGain, SwitchBox& recallFader, ChannelList& list);

    // Marks what differs in the shown channel and the list. Inline, and
    // nothing more than a test while nothing is compared and nothing is
    // marked, since every click asks it.
    void show(int shownChannel) {
        if (marksShown_ || document_.reference() != nullptr) {
            mark(shownChannel);
        }
    }
    // The reference changed: new texts for its marks, and the marks.
    void referenceChanged(int shownChannel);
    // Whether assistive technology listens; once it does, it learns how
    // each box differs.
    void setAccessibilityActive(bool active);
    // The tip of a channel that differs, naming every bit that does.
    QString channelTip(int channel) const;

private:
    void mark(int shownChannel);

    const ConfigDocument& document_;
    const SwitchBoxes& members_;
    SwitchBox& recallMicGain_;
    SwitchBox& recallFader_;
    ChannelList& list_;
    // Whether any mark may be shown; false while nothing is compared and
    // every mark is off, so that a refresh then costs nothing more.
    bool marksShown_ = false;
    // How a marked box differs: the reference's value, on or off.
    QString differsOn_;
    QString differsOff_;
    // The boxes of each group (the fourteen switch groups, then the recall
    // boxes) that are marked, by their bits, and which of those the
    // reference has on.
    struct GroupMarks {
        SwitchMask marked = 0;
        SwitchMask theirsOn = 0;
    };
    std::array<GroupMarks, SwitchFieldCount + 1> shownMarks_{};
    // The configuration whose differing channels the list marks.
    std::optional<ChannelConfig> listedConfig_;
    bool accessibilityActive_;
};

} // namespace mx
