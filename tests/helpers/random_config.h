#pragma once

#include "channel_config.h"

#include <random>

namespace mx {

// A configuration with random bytes everywhere, unnamed and greyed bits too.
inline ChannelConfig randomConfig(std::mt19937& random) {
    std::uniform_int_distribution<int> byte(0, 255);
    SwitchBlock switches{};
    for (std::uint8_t& b : switches) {
        b = static_cast<std::uint8_t>(byte(random));
    }
    ChannelConfig config;
    overwriteFromBlock(config.Switches, switches);
    config.Recall = {static_cast<std::uint8_t>(byte(random)),
                     static_cast<std::uint8_t>(byte(random))};
    return config;
}

} // namespace mx
