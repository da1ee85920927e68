#pragma once

// A part of the text form, which sets some lines of some channels and
// leaves the rest of a unit as it is:
//
//   Channel 3
//     Latching: PGM
//     Recall: Mic gain
//   Channels 1-8
//     PGM Delatches: TB 1
//   Channels 2, 4, 6-8
//     Momentary: none
//
// Under a channel's line, or a "Channels" line that lists several (numbers
// and ranges), any of a block's fifteen lines, each as in a whole text; a
// line sets that group, or the recall flags, of each channel listed,
// exactly. Name lines may stand in a part as in a whole text: "Unit: Studio
// A" before the first channel, "Channel 3: Guest 2" as a channel's line. No
// line may be given twice for a channel; a channel's line with nothing under
// it, and a part that sets nothing, are refused.

#include "channel_config.h"
#include "config_text.h"
#include "group_line.h"
#include "unit_names.h"

#include <array>
#include <bitset>
#include <optional>
#include <string>
#include <string_view>

namespace mx {

struct ConfigPart {
    struct Channel {
        std::bitset<LinesPerBlock> given; // which of the block's lines the part sets
        ChannelSettings settings;         // the values of those lines
        std::optional<std::string> name;
    };
    std::array<Channel, ChannelCount> channels{};
    std::optional<std::string> unit;

    bool namesGiven() const;
    // Sets what the part gives, the names too unless keepNames.
    void applyTo(ChannelConfig& config, UnitNames& names, bool keepNames) const;
};

// Reads a part; on failure part is left as it was.
std::optional<TextError> partFromText(std::string_view text, ConfigPart& part);

} // namespace mx
