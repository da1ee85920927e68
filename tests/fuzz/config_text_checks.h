#pragma once

// The properties the text form's reader must keep for any input, checked by
// the fuzzer and by the replay of its corpus in every test run: whatever
// reads also writes back and reads again to the same bytes, text read in
// pieces reads as it does whole, and nothing made printable holds a control
// character.

#include "config_text.h"
#include "printable_text.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace mx {

// The first property the input breaks, or nullptr when it keeps them all.
inline const char* brokenTextProperty(std::string_view text) {
    ChannelConfig config;
    const auto error = configFromText(text, config);
    ChannelConfig again;
    if (!error && (configFromText(configToText(config), again) || again != config)) {
        return "a configuration read does not read back from its own text";
    }

    // In pieces of 1 to 8 bytes, as a pipe may deliver it: the same result.
    ConfigTextReader reader;
    const std::size_t piece = text.empty() ? 1 : 1 + static_cast<unsigned char>(text.front()) % 8;
    for (std::size_t at = 0; at < text.size(); at += piece) {
        reader.feed(text.substr(at, piece));
    }
    ChannelConfig pieces;
    if (reader.finish(pieces) != error || (!error && pieces != config)) {
        return "the text reads otherwise in pieces than whole";
    }

    for (const auto reading : {TextReading::Strict, TextReading::Forgiving}) {
        ChannelText channel;
        ChannelText written;
        if (!channelFromText(text, channel, reading) &&
            (channelFromText(channelToText(channel.channel, channel.settings), written) ||
             written.channel != channel.channel || written.settings != channel.settings)) {
            return "a channel read does not read back from its own text";
        }
    }

    for (const char c : printable(error ? error->message : std::string(text))) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            return "printable text holds a control character";
        }
    }
    return nullptr;
}

} // namespace mx
