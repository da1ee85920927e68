#pragma once

// What mxcfg prints about configurations: the side-by-side table, the JSON
// form and the differences between two configurations. Pure functions of
// the model, so that they can be tested without files or processes.

#include "channel_config.h"
#include "unit_names.h"

#include <QByteArray>
#include <string>
#include <vector>

namespace mx {

// All eight channels side by side, one row per mask and two recall rows,
// with a legend; fits 80 columns. The unit's name, when it has one, comes
// first, and the channels' names under their headers, shortened to fit.
// Colour is ANSI escapes for a terminal.
std::string configTable(const ChannelConfig& config, bool colour, const UnitNames& names = {});

// {"channels": [{"channel": 1, "masks": {"Disabled": 0, …}, "recall":
// {"micGain": true, "fader": false}}, …], "recall": {"MicGainRecall": 129,
// "FaderRecall": 2}}, with "name" for each named channel and "unit" for a
// named unit.
QByteArray configJson(const ChannelConfig& config, const UnitNames& names = {});

// One line per bit that differs, in channel, mask and bit order, each side
// called by its name and each channel by its name in `channels`, e.g.
// "Channel 3 (Guest 2), Latching, TB 2: unitA on, unitB off". Empty when
// they are equal.
std::vector<std::string> configDifferences(const ChannelConfig& a, const std::string& nameA,
                                           const ChannelConfig& b, const std::string& nameB,
                                           const UnitNames& channels = {});

// One line per name that differs, e.g. "Channel 3, name: unitA "Guest 2",
// unitB none".
std::vector<std::string> nameDifferences(const UnitNames& a, const std::string& nameA,
                                         const UnitNames& b, const std::string& nameB);

} // namespace mx
