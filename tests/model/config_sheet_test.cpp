#include "config_sheet.h"
#include "printable_text.h"
#include "random_config.h"

#include <QStringList>
#include <QXmlStreamReader>
#include <gtest/gtest.h>
#include <map>

namespace mx {
namespace {

// The sheet read back as XML: each table row's cell texts, greyed ones
// prefixed "greyed ", and the texts of other elements by element name.
struct ReadSheet {
    std::vector<QStringList> rows;
    std::map<QString, QStringList> texts;
};

ReadSheet readSheet(const std::string& html) {
    ReadSheet sheet;
    QXmlStreamReader xml(QByteArray::fromStdString(html));
    QString element;
    while (!xml.atEnd()) {
        xml.readNext();
        const bool cell = element == "th" || element == "td";
        if (xml.isStartElement()) {
            element = xml.name().toString();
            if (element == "tr") {
                sheet.rows.emplace_back();
            } else if (element == "th" || element == "td") {
                sheet.rows.back() << (xml.attributes().value("class") == u"greyed" ? "greyed "
                                                                                   : "");
            }
        } else if (xml.isCharacters() && !xml.isWhitespace()) {
            (cell ? sheet.rows.back() : sheet.texts[element] << "").back() += xml.text();
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return sheet;
}

TEST(ConfigSheet, EveryBitStandsInItsGroupsRowUnderItsChannelAndSwitch) {
    std::mt19937 random(22);
    const ChannelConfig config = randomConfig(random);
    const ReadSheet sheet = readSheet(configSheet(config, {"/units/a", "2026-12-08 14:05", false}));
    ASSERT_EQ(sheet.rows.size(), 2 + SwitchFieldCount + 2);
    EXPECT_EQ(sheet.rows[0][8], "Channel 8");
    for (const SwitchField field : AllSwitchFields) {
        const QStringList& row = sheet.rows[2 + static_cast<std::size_t>(field)];
        ASSERT_EQ(row.size(), 1 + 48 + 1) << "and a column for bits 32 and 64";
        EXPECT_EQ(row[0], fieldCaption(field));
        for (int cell = 0; cell < 48; ++cell) {
            const SwitchMask bit = AllSwitches[cell % 6];
            const bool on = (fieldOf(config.Switches.Channels[cell / 6], field) & bit) != 0;
            EXPECT_EQ(row[1 + cell],
                      (editableSwitches(field) & bit) != 0
                          ? QString(on ? SheetOn : SheetOff)
                          : QString("greyed ") + (on ? SheetGreyedOn : SheetGreyedOff));
        }
    }
    for (const RecallField field : AllRecallFields) {
        const QStringList& row = sheet.rows[16 + static_cast<std::size_t>(field)];
        EXPECT_EQ(row[0], QString("Recall: ") + recallCaption(field));
        for (int channel = 0; channel < ChannelCount; ++channel) {
            EXPECT_EQ(row[1 + channel],
                      *testRecall(config.Recall, channel, field) ? SheetOn : SheetOff);
        }
    }
}

TEST(ConfigSheet, NamesBits32And64AndAnyFolderAsTheyAre) {
    ChannelConfig config;
    config.Switches.Channels[0].Latching = 32 | SwitchPgm;
    config.Switches.Channels[2].Latching = config.Switches.Channels[3].Latching = 64;
    config.Switches.Channels[4].Latching = config.Switches.Channels[7].Latching = 64;
    config.Switches.Channels[7].Tb4Delatches = 32;
    const std::string name = "<b>Tom & Jerry<b>\x1b]0;owned\x07\n\"x\"";
    const std::string unit = "/units/" + name;
    ReadSheet sheet = readSheet(configSheet(config, {unit, "now", true}));
    EXPECT_EQ(sheet.rows[3].back(), "32: 1; 64: 3\u20135, 8"); // Latching
    EXPECT_EQ(sheet.rows[15].back(), "32: 8");                 // TB 4 Delatches
    // Escaped, and no control character is left raw.
    // The unit's name heads the page, its whole path beneath.
    EXPECT_EQ(sheet.texts["h1"], QStringList{QString::fromStdString(printable(name))});
    EXPECT_EQ(sheet.texts["p"].first(), QString::fromStdString(printable(unit)));
    EXPECT_TRUE(sheet.texts["p"].join(' ').contains("Not saved"));

    // Bit 64 alone asks for the column as much as bit 32 does.
    ChannelConfig only64;
    only64.Switches.Channels[5].AlwaysOn = 64;
    sheet = readSheet(configSheet(only64, {unit, "now", false}));
    EXPECT_EQ(sheet.rows[5].back(), "64: 6"); // Always on

    sheet = readSheet(configSheet(ChannelConfig{}, {unit, "now", false}));
    EXPECT_EQ(sheet.rows[0].size(), 9) << "no column for bits 32 and 64 when none is set";
    EXPECT_FALSE(sheet.texts["p"].join(' ').contains("Not saved"));
}

TEST(ConfigSheet, TheBinderListsEachUnitByItsOwnFolderAndCountsSwitches) {
    ChannelConfig twoSwitches;
    twoSwitches.Switches.Channels[3].Latching = SwitchTb1 | SwitchTb2;
    ChannelConfig oneFlag;
    oneFlag.Recall.FaderRecall = 0x08;
    UnitNames named;
    named.unit = "Studio B";
    const ReadSheet list = readSheet(binderContents({{"site/unit01", {}},
                                                     {"site/unit02", twoSwitches, named},
                                                     {"other/unit03", oneFlag},
                                                     {"unit04.txt", {}}},
                                                    "now"));
    const std::vector<QStringList> rows(list.rows.begin() + 1, list.rows.end());
    EXPECT_EQ(rows,
              (std::vector<QStringList>{
                  {"unit01", "site/unit01", "The reference"},
                  {"Studio B", "site/unit02", "Differs from unit01 in 2 switches on channel 4"},
                  {"unit03", "other/unit03", "Differs from unit01 in 1 recall flag on channel 4"},
                  {"unit04.txt", "unit04.txt", "The same as unit01"},
              }));
}

} // namespace
} // namespace mx
