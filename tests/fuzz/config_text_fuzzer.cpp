// libFuzzer target for the text form's reader, which takes untrusted text
// from files, standard input and the clipboard. Besides crashes and undefined
// behaviour it checks that whatever reads also writes back and reads again
// to the same bytes, that text read in pieces reads as it does whole, and
// that nothing made printable holds a control character. Built and run by
// scripts/fuzz.sh.

#include "config_text.h"
#include "printable_text.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto check = [](bool good) { good ? void() : std::abort(); };
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    mx::ChannelConfig config;
    const auto error = mx::configFromText(text, config);
    mx::ChannelConfig again;
    check(error || (!mx::configFromText(mx::configToText(config), again) && again == config));

    // In pieces of 1 to 8 bytes, as a pipe may deliver it: the same result.
    mx::ConfigTextReader reader;
    for (std::size_t at = 0, piece = size == 0 ? 1 : 1 + data[0] % 8; at < size; at += piece) {
        reader.feed(text.substr(at, piece));
    }
    mx::ChannelConfig pieces;
    check(reader.finish(pieces) == error && (error || pieces == config));

    for (const auto reading : {mx::TextReading::Strict, mx::TextReading::Forgiving}) {
        mx::ChannelText channel;
        mx::ChannelText written;
        check(
            mx::channelFromText(text, channel, reading) ||
            (!mx::channelFromText(mx::channelToText(channel.channel, channel.settings), written) &&
             written.channel == channel.channel && written.settings == channel.settings));
    }

    for (const char c : mx::printable(error ? error->message : std::string(text))) {
        check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
    }
    return 0;
}
