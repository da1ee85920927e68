#include "config_sheet.h"
#include "printable_text.h"
#include "random_config.h"
#include "sheet_html.h"

#include <QXmlStreamReader>
#include <gtest/gtest.h>

namespace mx {
namespace {

const SheetCell& cellAt(const Sheet& sheet, std::size_t row, std::size_t cell) {
    return sheet.table.body.at(row).at(cell);
}

// Every bit of every mask in its group's row, under its channel and switch:
// its symbol, shaded where the editor greys it, framed where it differs from
// the reference, and nothing framed without one.
TEST(ConfigSheet, EveryBitHasItsCellShadedWhereGreyedAndFramedWhereItDiffers) {
    std::mt19937 random(22);
    for (int round = 0; round < 20; ++round) {
        const ChannelConfig config = randomConfig(random);
        const ChannelConfig reference = randomConfig(random);
        const bool compared = round % 2 == 0;
        const Sheet sheet = configSheet(
            config, {"/units/a", "now", false, false, {}, compared ? &reference : nullptr, "ref"});
        ASSERT_EQ(sheet.table.body.size(), SwitchFieldCount + 2);
        for (const SwitchField field : AllSwitchFields) {
            const auto row = static_cast<std::size_t>(field);
            ASSERT_EQ(sheet.table.body[row].size(), 1 + 48 + 1) << "and bits 32 and 64";
            EXPECT_EQ(cellAt(sheet, row, 0).text, fieldCaption(field));
            SwitchMask unnamedDiffer = 0;
            for (std::size_t cell = 0; cell < 48; ++cell) {
                const SwitchMask bit = AllSwitches[cell % 6];
                const SwitchMask mask = fieldOf(config.Switches.Channels[cell / 6], field);
                const SwitchMask other = fieldOf(reference.Switches.Channels[cell / 6], field);
                unnamedDiffer |= (mask ^ other) & UnnamedBits;
                const bool on = (mask & bit) != 0;
                const bool greyed = (editableSwitches(field) & bit) == 0;
                const SheetCell& shown = cellAt(sheet, row, 1 + cell);
                EXPECT_EQ(shown.text, greyed ? (on ? SheetGreyedOn : SheetGreyedOff)
                                             : (on ? SheetOn : SheetOff));
                EXPECT_EQ(shown.shaded, greyed);
                EXPECT_EQ(shown.differs, compared && ((mask ^ other) & bit) != 0);
            }
            EXPECT_TRUE(cellAt(sheet, row, 49).shaded);
            EXPECT_EQ(cellAt(sheet, row, 49).differs, compared && unnamedDiffer != 0);
        }
        for (const RecallField field : AllRecallFields) {
            const std::size_t row = SwitchFieldCount + static_cast<std::size_t>(field);
            EXPECT_EQ(cellAt(sheet, row, 0).text, std::string("Recall: ") + recallCaption(field));
            for (int channel = 0; channel < ChannelCount; ++channel) {
                const bool on = *testRecall(config.Recall, channel, field);
                const SheetCell& shown = cellAt(sheet, row, 1 + static_cast<std::size_t>(channel));
                EXPECT_EQ(shown.text, on ? SheetOn : SheetOff);
                EXPECT_EQ(shown.columns, 6);
                EXPECT_EQ(shown.differs,
                          compared && on != *testRecall(reference.Recall, channel, field));
            }
        }
        EXPECT_EQ(sheet.below.size(), compared ? 2U : 1U) << "what the frames mean";
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
    UnitNames names;
    names.channels[7] = "Guest\nof <honour>";
    Sheet sheet = configSheet(config, {unit, "now", true, true, names});
    EXPECT_EQ(cellAt(sheet, 1, 49).text, "32: 1; 64: 3\u20135, 8"); // Latching
    EXPECT_EQ(cellAt(sheet, 13, 49).text, "32: 8");                 // TB 4 Delatches
    // Nothing raw: the name heads the page, its whole path beneath.
    EXPECT_EQ(sheet.above[0], (SheetLine{printable(name), SheetLineStyle::Title}));
    EXPECT_EQ(sheet.above[1], (SheetLine{printable(unit), SheetLineStyle::Path}));
    EXPECT_EQ(sheet.above.back().style, SheetLineStyle::Strong) << "not saved";
    EXPECT_EQ(sheet.table.head[0][8].text, "Channel 8\n" + printable(names.channels[7]));

    // Well-formed XHTML, every cell a cell, the names as text.
    QXmlStreamReader xml(QByteArray::fromStdString(sheetHtml(sheet)));
    int cells = 0;
    QString title;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) {
            continue;
        }
        if (xml.name() == u"td" || xml.name() == u"th") {
            ++cells;
        } else if (xml.name() == u"h1") {
            title = xml.readElementText();
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(title, QString::fromStdString(printable(name)));
    EXPECT_EQ(cells, (1 + 8 + 1) + 48 + 14 * 50 + 2 * 10);

    // Bit 64 alone asks for the column as much as bit 32 does.
    ChannelConfig only64;
    only64.Switches.Channels[5].AlwaysOn = 64;
    EXPECT_EQ(cellAt(configSheet(only64, {unit, "now"}), 3, 49).text, "64: 6"); // Always on
    sheet = configSheet(ChannelConfig{}, {unit, "now"});
    EXPECT_EQ(sheet.table.head[0].size(), 9U) << "no column for bits 32 and 64 when none is set";
    const Sheet compared = configSheet(ChannelConfig{}, {unit, "now", false, false, {}, &only64});
    EXPECT_TRUE(cellAt(compared, 3, 49).differs) << "the reference's bit 64 asks for it too";
    EXPECT_NE(sheet.above.back().style, SheetLineStyle::Strong);
}

TEST(ConfigSheet, TheBinderListsEachUnitAndNamesWhatDiffersFirst) {
    ChannelConfig twoSwitches;
    twoSwitches.Switches.Channels[3].Latching = SwitchTb1 | SwitchTb2;
    ChannelConfig oneFlag;
    oneFlag.Recall.FaderRecall = 0x08;
    ChannelConfig many;
    for (ChannelSwitches& channel : many.Switches.Channels) {
        channel.Momentary = SwitchPgm;
    }
    many.Switches.Channels[0].Latching = 64;
    UnitNames named;
    named.unit = "Studio B";
    const std::vector<BinderUnit> units = {{"site/unit01", {}},
                                           {"site/unit02", twoSwitches, named},
                                           {"other/unit03", oneFlag},
                                           {"unit04.txt", {}},
                                           {"unit05", many}};
    const SheetDocument binder = binderDocument(units, "now");
    ASSERT_EQ(binder.sheets, 6U);
    const Sheet contents = binder.sheetAt(0);
    std::vector<std::vector<std::string>> rows;
    for (const SheetRow& row : contents.table.body) {
        rows.push_back({row[0].text, row[1].text, row[2].text});
    }
    EXPECT_EQ(rows, (std::vector<std::vector<std::string>>{
                        {"unit01", "site/unit01", "The reference"},
                        {"Studio B", "site/unit02",
                         "Differs from unit01 in 2 switches on channel 4: channel 4 Latching: TB "
                         "1, TB 2"},
                        {"unit03", "other/unit03",
                         "Differs from unit01 in 1 recall flag on channel 4: channel 4 Recall: "
                         "Fader"},
                        {"unit04.txt", "unit04.txt", "The same as unit01"},
                        {"unit05", "unit05",
                         "Differs from unit01 in 9 switches on channels 1, 2, 3, 4, 5, 6, 7 and "
                         "8: channel 1 Latching: bit 64; channel 1 Momentary: PGM; channel 2 "
                         "Momentary: PGM; and 6 more"},
                    }));
    EXPECT_FALSE(contents.onePage) << "a long list runs on";
    // Each unit's sheet after it, what differs from the first framed.
    EXPECT_EQ(binder.sheetAt(2).foot, "Studio B");
    EXPECT_TRUE(cellAt(binder.sheetAt(2), 1, 1 + 3 * 6 + 1).differs);
    EXPECT_FALSE(cellAt(binder.sheetAt(1), 1, 1 + 3 * 6 + 1).differs) << "the reference itself";
}

} // namespace
} // namespace mx
