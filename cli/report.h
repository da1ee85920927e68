#pragma once

// What mxcfg prints about configurations: the side-by-side table, the JSON
// form and the differences between two configurations. Pure functions of
// the model, so that they can be tested without files or processes.

#include "channel_config.h"

#include <QByteArray>
#include <string>
#include <vector>

namespace mx {

// All eight channels side by side, one row per mask and two recall rows,
// with a legend; fits 80 columns. Colour is ANSI escapes for a terminal.
std::string configTable(const ChannelConfig& config, bool colour);

// {"channels": [{"channel": 1, "masks": {"Disabled": 0, …}, "recall":
// {"micGain": true, "fader": false}}, …], "recall": {"MicGainRecall": 129,
// "FaderRecall": 2}}
QByteArray configJson(const ChannelConfig& config);

// One line per bit that differs, in channel, mask and bit order, each side
// called by its name, e.g. "Channel 3, Latching, TB 2: unitA on, unitB off".
// Empty when they are equal.
std::vector<std::string> configDifferences(const ChannelConfig& a, const std::string& nameA,
                                           const ChannelConfig& b, const std::string& nameB);

} // namespace mx
