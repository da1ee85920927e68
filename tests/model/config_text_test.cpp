#include "config_text.h"
#include "random_config.h"

#include <functional>
#include <gtest/gtest.h>
#include <random>

namespace mx {

void PrintTo(const TextError& error, std::ostream* out) {
    *out << error.describe();
}

namespace {

TEST(ChannelPaste, CopiesExactlyTheBitsAClickCouldChange) {
    ChannelConfig config;
    for (const SwitchField field : AllSwitchFields) {
        fieldOf(config.Switches.Channels[4], field) = 0x00;
        fieldOf(config.Switches.Channels[2], field) = 0xFF;
    }
    config.Recall = {0x04, 0x04};
    const ChannelSettings source = *channelSettings(config, 2);
    ASSERT_TRUE(pasteChannel(config, 4, source));

    const ChannelSwitches& pasted = config.Switches.Channels[4];
    EXPECT_EQ(pasted.Disabled, 0x9F);      // all six switches, not bits 32 and 64
    EXPECT_EQ(pasted.Momentary, 0x1F);     // PH PWR is greyed there
    EXPECT_EQ(pasted.Tb2Suppresses, 0x1B); // neither TB 2 nor PH PWR
    EXPECT_EQ(pasted.PgmDelatches, 0x1E);
    EXPECT_EQ(config.Recall, (RecallSettings{0x14, 0x14}));
    EXPECT_EQ(config.Switches.Channels[2], source.Switches);

    // The other way round, greyed and unnamed bits that are set stay set.
    for (const SwitchField field : AllSwitchFields) {
        fieldOf(config.Switches.Channels[4], field) = 0xFF;
    }
    ASSERT_TRUE(pasteChannel(config, 4, ChannelSettings{}));
    EXPECT_EQ(pasted.Latching, 0x60);
    EXPECT_EQ(pasted.Tb4Delatches, 0xF0);
    EXPECT_EQ(config.Recall, (RecallSettings{0x04, 0x04}));
    EXPECT_FALSE(pasteChannel(config, 8, source));
}

TEST(ConfigText, RoundTripsEveryByteOfRandomConfigurations) {
    std::mt19937 random(20261208);
    for (int round = 0; round < 500; ++round) {
        const ChannelConfig config = randomConfig(random);
        ChannelConfig read;
        const auto error = configFromText(configToText(config), read);
        ASSERT_EQ(error, std::nullopt) << error->describe();
        ASSERT_EQ(read, config);

        const int channel = round % ChannelCount;
        ChannelText one;
        ASSERT_EQ(channelFromText(channelToText(channel, *channelSettings(config, channel)), one),
                  std::nullopt);
        EXPECT_EQ(one.channel, channel);
        EXPECT_EQ(one.settings, *channelSettings(config, channel));
    }
}

TEST(ConfigText, NamesTheSetSwitchesWithTheWindowsCaptions) {
    ChannelSettings settings;
    ChannelSwitches& s = settings.Switches;
    s.Latching = 0x03;
    s.Momentary = 0x04;
    s.AlwaysOn = 0x08;
    s.PgmSuppresses = 0x10;
    s.Tb1Suppresses = 0x80;
    s.Tb2Suppresses = 0x20;
    s.Tb3Suppresses = 0x40;
    s.Tb4Suppresses = 0xFF;
    s.PgmDelatches = 0x01;
    s.Tb1Delatches = 0x02;
    s.Tb2Delatches = 0xC4;
    s.Tb3Delatches = 0x28;
    s.Tb4Delatches = 0x90;
    settings.FaderRecall = true;
    const std::string expected = "Channel 3\n"
                                 "  # The switches ticked in each group of the window for "
                                 "channel 3,\n"
                                 "  # or none; bits 32 and 64 name no switch. Recall: what the "
                                 "channel\n"
                                 "  # recalls at start-up.\n"
                                 "  Disabled (MX only): none\n"
                                 "  Latching: PGM, TB 1\n"
                                 "  Momentary: TB 2\n"
                                 "  Always on: TB 3\n"
                                 "  PGM Suppresses (latched): TB 4\n"
                                 "  TB 1 Suppresses (latched): PH PWR\n"
                                 "  TB 2 Suppresses (latched): bit 32\n"
                                 "  TB 3 Suppresses (latched): bit 64\n"
                                 "  TB 4 Suppresses (latched): PGM, TB 1, TB 2, TB 3, TB 4, "
                                 "PH PWR, bit 32, bit 64\n"
                                 "  PGM Delatches: PGM\n"
                                 "  TB 1 Delatches: TB 1\n"
                                 "  TB 2 Delatches: TB 2, PH PWR, bit 64\n"
                                 "  TB 3 Delatches: TB 3, bit 32\n"
                                 "  TB 4 Delatches: TB 4, PH PWR\n"
                                 "  Recall: Fader\n";
    EXPECT_EQ(channelToText(2, settings), expected);
    // The form written before reads the same: "[Channel 3]", nothing indented.
    std::string before = "[Channel 3]" + expected.substr(expected.find('\n'));
    for (std::size_t indent; (indent = before.find("\n  ")) != std::string::npos;) {
        before.erase(indent + 1, 2);
    }
    for (const std::string& text : {expected, before}) {
        ChannelText read;
        ASSERT_EQ(channelFromText(text, read), std::nullopt) << text;
        EXPECT_EQ(read.channel, 2);
        EXPECT_EQ(read.settings, settings);
    }
}

TEST(ConfigText, ReportsTheLineAndColumnOfWhatItCannotRead) {
    const ChannelSettings zero;
    const std::string good = channelToText(0, zero);
    const auto replaced = [&](const std::string& from, const std::string& to) {
        std::string text = good;
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    struct Case {
        std::string text;
        TextError expected;
    };
    const std::vector<Case> cases = {
        {replaced("Latching: none", "Latching: PGM, TB 5"), {6, 18, "unknown switch \"TB 5\""}},
        {replaced("Latching: none", "Latching: PGM,, TB 1"), {6, 17, "a switch is missing here"}},
        {replaced("Latching: none", "Latching: PGM, PGM"), {6, 18, "\"PGM\" is named twice"}},
        {replaced("Latching: none", "Latching:"),
         {6, 12, "no switch is named; write \"none\" for none"}},
        {replaced("Latching: none", "  Latchin: none"), {6, 5, "unknown group \"Latchin\""}},
        {replaced("Latching: none", "Momentary: none"),
         {7, 3, "\"Momentary\" is given twice for channel 1"}},
        {replaced("Latching: none", std::string("Latching: no\0ne", 15)),
         {6, 15, "a NUL byte, which no configuration text holds"}},
        {replaced("Recall: none", "Recall: Mic gain, Gain"),
         {19, 21, "unknown recall flag \"Gain\""}},
        {replaced("Recall: none", "# no recall line"),
         {1, 1, "channel 1 has no line for \"Recall\""}},
        {replaced("Channel 1", "Channel 9"), {1, 9, "there is no channel 9; channels are 1 to 8"}},
        {replaced("Channel 1", "Channel 10"),
         {1, 9, "there is no channel 10; channels are 1 to 8"}},
        {replaced("Channel 1", "[Channel 10]"),
         {1, 10, "expected \"[Channel 1]\" to \"[Channel 8]\""}},
        {replaced("Channel 1", "[Channel 0]"),
         {1, 10, "there is no channel 0; channels are 1 to 8"}},
        {replaced("Channel 1", "[Kanal 1]"), {1, 2, "expected \"[Channel 1]\" to \"[Channel 8]\""}},
        {replaced("Channel 1", "Kanal 1"),
         {1, 1, "expected \"Channel N\" or \"<group>: <switches>\""}},
        {"Latching: none\n", {1, 1, "a group line must follow a \"Channel N\" line"}},
        {good + "\n[Channel 1]\n", {21, 1, "channel 1 is given twice (first on line 1)"}},
        {good + channelToText(1, zero), {20, 1, "only one channel was expected"}},
        {"# nothing\n", {2, 1, "the text holds no \"Channel N\" block"}},
    };
    for (const Case& c : cases) {
        ChannelText channel;
        const auto error = channelFromText(c.text, channel);
        ASSERT_TRUE(error.has_value()) << c.text;
        EXPECT_EQ(*error, c.expected) << error->describe();
    }
    EXPECT_EQ(TextError({3, 16, "unknown switch \"TB 5\""}).describe(),
              "line 3, column 16: unknown switch \"TB 5\"");
}

TEST(ConfigText, AcceptsCommentsBlankLinesSpacesAndCarriageReturns) {
    ChannelSettings settings;
    settings.Switches.AlwaysOn = SwitchTb3 | 32;
    settings.MicGainRecall = true;
    std::string text = "\xEF\xBB\xBF# copied from unit 4\r\n\r\n";
    for (char c : channelToText(6, settings)) {
        text += c == '\n' ? std::string("   # note\r\n") : std::string(1, c);
    }
    text.replace(text.find("Always on: "), 11, "\tAlways on :  ");
    ChannelText channel;
    const auto error = channelFromText(text, channel);
    ASSERT_EQ(error, std::nullopt) << error->describe();
    EXPECT_EQ(channel.channel, 6);
    EXPECT_EQ(channel.settings, settings);
}

TEST(ConfigTextReader, ReadsTheSameWholeInPiecesAndByteByByte) {
    std::mt19937 random(25);
    const ChannelConfig config = randomConfig(random);
    // A byte order mark, and a last line (channel 8's Recall) with no newline.
    std::string text = "\xEF\xBB\xBF" + configToText(config);
    while (text.back() == '\n') {
        text.pop_back();
    }
    ASSERT_EQ(text.substr(text.rfind('\n') + 1).substr(0, 9), "  Recall:");
    const auto readIn = [&](const std::function<std::size_t()>& nextPiece) {
        ConfigTextReader reader;
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t piece = nextPiece();
            EXPECT_EQ(reader.feed(std::string_view(text).substr(at, piece)), std::nullopt);
            at += piece;
        }
        ChannelConfig read;
        const auto error = reader.finish(read);
        EXPECT_EQ(error, std::nullopt) << error->describe();
        return read;
    };
    std::uniform_int_distribution<std::size_t> pieceSize(1, 17);
    EXPECT_EQ(readIn([&] { return text.size(); }), config) << "whole";
    EXPECT_EQ(readIn([&] { return pieceSize(random); }), config) << "in random pieces";
    EXPECT_EQ(readIn([] { return std::size_t{1}; }), config) << "byte by byte";
}

TEST(ConfigText, ReadsAChannelOutOfAMailForgivingly) {
    ChannelSettings expected;
    expected.Switches.Latching = 0x01;
    expected.Switches.Tb4Suppresses = 0x40;
    expected.Switches.Tb4Delatches = 0x02;
    expected.FaderRecall = true;
    std::string channel = channelToText(4, expected);
    channel.pop_back(); // quoted mail seldom ends in a line break
    const auto quotedWith = [&](const std::string& mark) {
        std::string text = mark + channel;
        for (std::size_t at = 0; (at = text.find('\n', at)) != std::string::npos; ++at) {
            text.insert(at + 1, mark);
        }
        return text;
    };
    struct Case {
        const char* what;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"quoted once", quotedWith("> ")},
        {"quoted twice", quotedWith("> > ")},
        {"quoted twice without spaces", quotedWith(">>")},
        {"with a greeting", "Hi Bob,\nhere it is: the unit in studio 2.\n\n" + channel},
        {"with text after the channel", channel + "\nThat is all: call me.\nChannel 6 is next."},
        {"with a signature", quotedWith("> ") + "\n\n-- \nAlice: sound, room 4\n"},
    };
    for (const Case& c : cases) {
        ChannelText read;
        const auto error = channelFromText(c.text, read, TextReading::Forgiving);
        ASSERT_EQ(error, std::nullopt) << c.what << ": " << error->describe();
        EXPECT_EQ(read.channel, 4) << c.what;
        EXPECT_EQ(read.settings, expected) << c.what;
    }
}

TEST(ConfigText, AConfigurationNeedsEveryChannel) {
    const ChannelConfig before = randomConfig(*std::make_unique<std::mt19937>(1));
    std::string text = configToText(ChannelConfig{});
    text.erase(text.find("Channel 5"), text.find("Channel 6") - text.find("Channel 5"));
    ChannelConfig config = before;
    const auto error = configFromText(text, config);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->message, "the text ends without channel 5");
    EXPECT_EQ(config, before);
}

} // namespace
} // namespace mx
