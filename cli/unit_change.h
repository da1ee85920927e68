#pragma once

// What "name" and "apply" do to each folder: the unit read and saved under
// one lock of its folder, changed in between, whole or not at all.

#include "channel_config.h"
#include "unit_names.h"

#include <functional>
#include <optional>
#include <string>

namespace mx::cli {

using UnitEdit = std::function<void(ChannelConfig&, UnitNames&)>;

// Reads the unit in folder, edits it and, when write is set and anything
// changed, saves it. changed says what changed in the words of
// "diff --summary" ("1 switch on channel 3", "2 names"), empty for nothing.
// Returns why it failed: a folder that holds no unit is refused.
std::optional<std::string> changeUnit(const std::string& folder, bool write, const UnitEdit& edit,
                                      std::string& changed);

// "unit07: 1 switch on channel 3 changed", or "unit07: unchanged".
std::string changeLine(const std::string& shown, const std::string& changed);

} // namespace mx::cli
