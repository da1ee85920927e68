#include "config_text.h"
#include "unit_names.h"

#include <gtest/gtest.h>

namespace mx {
namespace {

TEST(UnitNames, NamesTxtReadsWhatAPersonWritesAndRefusesTheRestByLineAndColumn) {
    const std::string forty(40, 'x');
    struct Case {
        std::string text;
        std::string unit;
        std::string channel3;
        std::string error{}; // empty: reads
    };
    const std::vector<Case> cases = {
        {"\xEF\xBB\xBF# names\r\n  Unit:  Studio A \r\n\nchannel 3: Mic #2\n", "Studio A",
         "Mic #2"},
        {"Channel 3:\n", "", ""},
        {"Channel 3: " + forty + "\n", "", forty},
        {"Channel 3: \xC3\xA9" + std::string(39, 'e') + "\n", "",
         "\xC3\xA9" + std::string(39, 'e')},
        {"Channel 3: x" + forty + "\n", "", "",
         "line 1, column 12: the name cannot be used: it is 41 characters long; a name has at "
         "most 40"},
        {"Channel 9: Guest\n", "", "",
         "line 1, column 9: there is no channel 9; channels are 1 to 8"},
        {"Channel 12: Guest\n", "", "",
         "line 1, column 9: there is no channel 12; channels are 1 to 8"},
        {"Channel 3: Guest \xC2\x9B"
         "2J\n",
         "", "",
         "line 1, column 12: the name cannot be used: it holds a control character, U+009B"},
        {"Unit: A\nUnit: B\n", "", "",
         "line 2, column 1: the unit is named twice (first on line 1)"},
        {"Channel 3: Guest\x1b[2J\n", "", "",
         "line 1, column 12: the name cannot be used: it holds a control character, U+001B"},
        {"Channel 3: Guest \xE2\x80\xAE\n", "", "",
         "line 1, column 12: the name cannot be used: it holds a control character, U+202E"},
        {"Channel 3: Guest \xD8\x9C\n", "", "",
         "line 1, column 12: the name cannot be used: it holds a control character, U+061C"},
        {"Channel 3: \xFF\xFE\n", "", "",
         "line 1, column 12: the name cannot be used: it is not UTF-8 text (\\xff)"},
        {"Latching: PGM\n", "", "",
         "line 1, column 1: expected \"Unit: <name>\" or \"Channel N: <name>\""},
    };
    for (const Case& c : cases) {
        UnitNames names;
        names.unit = "kept";
        const auto error = namesFromText(c.text, names);
        EXPECT_EQ(error ? error->describe() : "", c.error) << c.text;
        if (c.error.empty()) {
            EXPECT_EQ(names.unit, c.unit);
            EXPECT_EQ(names.channels[2], c.channel3);
            UnitNames again;
            EXPECT_FALSE(namesFromText(namesToText(names), again)) << "written as read";
            EXPECT_EQ(again, names);
        } else {
            EXPECT_EQ(names.unit, "kept") << "left as it was";
        }
    }
}

TEST(UnitNames, TheTextFormCarriesNamesAndReadsOlderTextsAsBefore) {
    ChannelConfig config;
    config.Recall = {0x81, 0x02};
    UnitNames names;
    names.unit = "Studio A";
    names.channels[2] = "Guest #2";
    const std::string text = configToText(config, names);
    EXPECT_NE(text.find("\nUnit: Studio A\n"), std::string::npos);
    EXPECT_NE(text.find("\nChannel 3: Guest #2\n"), std::string::npos);
    ChannelConfig read;
    UnitNames readNames;
    ASSERT_FALSE(configFromText(text, read, &readNames));
    EXPECT_EQ(read, config);
    EXPECT_EQ(readNames, names);
    // Without names, the text is exactly the one written before names were.
    EXPECT_EQ(configToText(config, UnitNames{}), configToText(config));
    ASSERT_FALSE(configFromText(configToText(config), read, &readNames));
    EXPECT_TRUE(readNames.empty());
    const std::string late = configToText(config) + "Unit: Late\n";
    EXPECT_EQ(configFromText(late, read)->message, "the unit's name goes before the first channel");
}

TEST(UnitNames, ShortenedNamesFitTheirColumnsByCharacter) {
    EXPECT_EQ(shortenedName("Guest 2", 7), "Guest 2");
    EXPECT_EQ(shortenedName("Guest 12", 7), "Guest \u2026");
    EXPECT_EQ(shortenedName("\u00e9\u00e9\u00e9\u00e9", 3), "\u00e9\u00e9\u2026");
    UnitNames guest;
    guest.channels[2] = "Guest 2";
    EXPECT_EQ(namedChannel(guest, 2), "Channel 3 (Guest 2)");
    EXPECT_EQ(namedChannel(UnitNames{}, 2), "Channel 3");
}

} // namespace
} // namespace mx
