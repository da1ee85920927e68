// libFuzzer target for the text form's reader, which takes untrusted text
// from files, standard input and the clipboard. Besides crashes and undefined
// behaviour it checks that whatever reads also writes back and reads again
// to the same bytes. Built and run by scripts/fuzz.sh.

#include "config_text.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    mx::ChannelConfig config;
    if (!mx::configFromText(text, config)) {
        mx::ChannelConfig again;
        if (mx::configFromText(mx::configToText(config), again) || !(again == config)) {
            std::abort();
        }
    }
    mx::ChannelText channel;
    if (!mx::channelFromText(text, channel)) {
        mx::ChannelText again;
        if (mx::channelFromText(mx::channelToText(channel.channel, channel.settings), again) ||
            again.channel != channel.channel || !(again.settings == channel.settings)) {
            std::abort();
        }
    }
    return 0;
}
