#pragma once

// The readable text form of channels and configurations, one line per mask:
//
//   # comment
//   [Channel 3]
//   Disabled (MX only): none
//   Latching: PGM, TB 1
//   …
//   TB 4 Delatches: TB 2, bit 64
//   Recall: Mic gain, Fader
//
// Masks use the window's captions, in record order; the set bits are named
// by their switch captions in switch order, then "bit 32" and "bit 64", or
// "none". Every byte round-trips exactly, unnamed and greyed bits included.
// Reading is strict: anything not understood is reported by line and column.

#include "channel_config.h"

#include <optional>
#include <string>
#include <string_view>

namespace mx {

// Where and why a text could not be read. Lines and columns count from 1;
// columns count bytes.
struct TextError {
    int line = 0;
    int column = 0;
    std::string message;

    // e.g. line 4, column 11: unknown switch "TB 5"
    std::string describe() const;

    friend bool operator==(const TextError&, const TextError&) = default;
};

// One channel (index 0..7) as a "[Channel N]" block.
std::string channelToText(int channel, const ChannelSettings& settings);

// The whole configuration: a comment line, then the eight channel blocks in
// order, each followed by an empty line.
std::string configToText(const ChannelConfig& config);

struct ChannelText {
    int channel = 0; // the index (0..7) the block was headed by
    ChannelSettings settings;
};

// Reads text holding exactly one complete channel block.
std::optional<TextError> channelFromText(std::string_view text, ChannelText& channel);

// Reads a complete configuration: every channel exactly once, each with all
// fourteen masks and its recall line. On failure config is left as it was.
std::optional<TextError> configFromText(std::string_view text, ChannelConfig& config);

} // namespace mx
