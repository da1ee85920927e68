#include "config_part.h"

#include <gtest/gtest.h>

namespace mx {
namespace {

TEST(ConfigPart, SetsExactlyTheListedLinesOfTheListedChannels) {
    ChannelConfig unit;
    for (int channel = 0; channel < ChannelCount; ++channel) {
        unit.Switches.Channels[static_cast<std::size_t>(channel)].Latching = SwitchTb4 | 64;
        unit.Switches.Channels[static_cast<std::size_t>(channel)].Momentary = SwitchTb2;
    }
    unit.Recall = {0xFF, 0x00};
    struct Case {
        const char* part;
        std::vector<int> changed; // the channels whose Latching becomes PGM
        std::uint8_t micGain;     // the recall bytes after it
        std::uint8_t fader;
    };
    const Case cases[] = {
        {"Channel 3\n  Latching: PGM\n  Recall: Fader\n", {2}, 0xFB, 0x04},
        {"Channels 1-8\n  Latching: PGM\n", {0, 1, 2, 3, 4, 5, 6, 7}, 0xFF, 0x00},
        {"# a fix\r\nChannels 2, 4-5 # three\r\n  latching: pgm\r\n", {}, 0xFF, 0x00},
        {"\xEF\xBB\xBF"
         "Channels 2, 4-5\n\tLatching: PGM\n",
         {1, 3, 4},
         0xFF,
         0x00},
        {"Channel 8\nLatching: PGM\nChannel 1\nRecall: none\n", {7}, 0xFE, 0x00},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.part);
        ConfigPart part;
        const auto error = partFromText(c.part, part);
        if (c.changed.empty()) {
            // Captions are read as written, as in a whole text.
            ASSERT_TRUE(error.has_value());
            continue;
        }
        ASSERT_FALSE(error.has_value()) << error->describe();
        ChannelConfig config = unit;
        UnitNames names{"Studio A", {"One"}};
        part.applyTo(config, names, false);
        for (int channel = 0; channel < ChannelCount; ++channel) {
            const auto& switches = config.Switches.Channels[static_cast<std::size_t>(channel)];
            const bool changed =
                std::find(c.changed.begin(), c.changed.end(), channel) != c.changed.end();
            EXPECT_EQ(switches.Latching, changed ? SwitchPgm : (SwitchTb4 | 64)) << channel;
            EXPECT_EQ(switches.Momentary, SwitchTb2) << "a group not listed stays";
        }
        EXPECT_EQ(config.Recall.MicGainRecall, c.micGain);
        EXPECT_EQ(config.Recall.FaderRecall, c.fader);
        EXPECT_EQ(names, (UnitNames{"Studio A", {"One"}})) << "no name line, no name changed";
    }
}

TEST(ConfigPart, NamesChangeOnlyWhereGivenAndNotWhenKept) {
    ConfigPart part;
    ASSERT_FALSE(partFromText("Unit: Rack 2\nChannel 3: Guest\nChannel 4: \n", part));
    for (const bool keep : {false, true}) {
        ChannelConfig config;
        UnitNames names{"Studio A", {"One", "", "", "Four"}};
        part.applyTo(config, names, keep);
        EXPECT_EQ(names, keep ? (UnitNames{"Studio A", {"One", "", "", "Four"}})
                              : (UnitNames{"Rack 2", {"One", "", "Guest", ""}}));
        EXPECT_EQ(config, ChannelConfig{}) << "names alone set no switch";
    }
}

TEST(ConfigPart, RefusesWhatDoesNotReadAtItsLineAndColumn) {
    struct Case {
        std::string part;
        int line;
        int column;
        const char* message;
    };
    const Case cases[] = {
        {"Channel 3\n  Latchng: PGM\n", 2, 3, "unknown group \"Latchng\""},
        {"Channel 3\n  Latching: PGM, TB5\n", 2, 18, "unknown switch \"TB5\""},
        {"Channel 9\n  Latching: PGM\n", 1, 9, "there is no channel 9; channels are 1 to 8"},
        {"Channels 1-9\n  Latching: PGM\n", 1, 12, "there is no channel 9; channels are 1 to 8"},
        {"Channels 1, 3, 1\n  Latching: PGM\n", 1, 16, "channel 1 is listed twice"},
        {"Channels 5-2\n  Latching: PGM\n", 1, 10, "a range runs upwards, as \"1-8\""},
        {"Channels\n  Latching: PGM\n", 1, 9,
         "no channel is listed; write \"Channels 1-8\" or \"Channels 1, 3\""},
        {"Channels 1, x\n", 1, 13, "expected a channel's number, 1 to 8, not \"x\""},
        {"Channel 3\n  Latching: PGM\n  Latching: none\n", 3, 3,
         "\"Latching\" is given twice for channel 3"},
        {"Channels 1-4\n  Recall: Fader\nChannel 2\n  Recall: none\n", 4, 3,
         "\"Recall\" is given twice for channel 2"},
        {"  Latching: PGM\n", 1, 3, "a group line must follow a \"Channel N\" line"},
        {"Channel 3\nChannel 4\n  Latching: PGM\n", 1, 1,
         "nothing is set under this line: give the lines to set under it"},
        {"Channel 3\n", 1, 1, "nothing is set under this line: give the lines to set under it"},
        {"# nothing\n\n", 3, 1,
         "the part sets nothing: give a \"Channel N\" line and the lines to set under it"},
        {"Channel 3\n  Latching: PGM\nUnit: Late\n", 3, 1,
         "the unit's name goes before the first channel"},
        {"Chanel 3\n", 1, 1, "expected \"Channel N\", \"Channels 1-8\" or \"<group>: <switches>\""},
        {std::string("Channel 3\n  Latching: P\0GM\n", 27), 2, 14,
         "a NUL byte, which no configuration text holds"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.part);
        ConfigPart part;
        part.unit = "untouched";
        const auto error = partFromText(c.part, part);
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(*error, (TextError{c.line, c.column, c.message}));
        EXPECT_EQ(part.unit, "untouched") << "a part that fails is left as it was";
    }
}

} // namespace
} // namespace mx
