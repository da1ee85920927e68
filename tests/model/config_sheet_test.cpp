#include "config_sheet.h"
#include "printable_text.h"
#include "random_config.h"

#include <QString>
#include <QXmlStreamReader>
#include <gtest/gtest.h>
#include <vector>

namespace mx {
namespace {

// One cell of the sheet's table, as a reader of the markup finds it.
struct Cell {
    bool header = false;
    QString text;
    QString cssClass;
    int colspan = 1;
};

// The sheet read as XML: every table row's cells, the texts of the title,
// the heading and the paragraphs, and the list below the table.
struct ReadSheet {
    std::vector<std::vector<Cell>> rows;
    QString title;
    QString heading;
    QStringList paragraphs;
};

ReadSheet readSheet(const std::string& html) {
    ReadSheet sheet;
    QXmlStreamReader xml(QByteArray::fromStdString(html));
    QString element;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            element = xml.name().toString();
            if (element == "tr") {
                sheet.rows.emplace_back();
            } else if (element == "th" || element == "td") {
                const auto span = xml.attributes().value("colspan");
                sheet.rows.back().push_back({element == "th",
                                             {},
                                             xml.attributes().value("class").toString(),
                                             span.isEmpty() ? 1 : span.toInt()});
            }
        } else if (xml.isCharacters() && !xml.isWhitespace()) {
            const QString text = xml.text().toString();
            if (element == "th" || element == "td") {
                sheet.rows.back().back().text += text;
            } else if (element == "title") {
                sheet.title += text;
            } else if (element == "h1") {
                sheet.heading += text;
            } else if (element == "p") {
                sheet.paragraphs << text;
            }
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return sheet;
}

TEST(ConfigSheet, EveryBitStandsInItsGroupsRowUnderItsChannelAndSwitch) {
    std::mt19937 random(22);
    const ChannelConfig config = randomConfig(random);
    const ReadSheet sheet =
        readSheet(configSheet(config, {"/units/unitA", "2026-12-08 14:05", false}));

    ASSERT_EQ(sheet.rows.size(), 2 + SwitchFieldCount + 2);
    const auto& channels = sheet.rows[0];
    ASSERT_EQ(channels.size(), 1U + ChannelCount + 1) << "a column for bits 32 and 64";
    for (int channel = 0; channel < ChannelCount; ++channel) {
        EXPECT_EQ(channels[1 + channel].text, QString("Channel %1").arg(channel + 1));
        EXPECT_EQ(channels[1 + channel].colspan, 6);
    }
    ASSERT_EQ(sheet.rows[1].size(), 6U * ChannelCount);

    for (const SwitchField field : AllSwitchFields) {
        const auto& row = sheet.rows[2 + static_cast<std::size_t>(field)];
        ASSERT_EQ(row.size(), 1 + 6U * ChannelCount + 1);
        EXPECT_TRUE(row[0].header);
        EXPECT_EQ(row[0].text, fieldCaption(field));
        for (int channel = 0; channel < ChannelCount; ++channel) {
            const SwitchMask mask = fieldOf(config.Switches.Channels[channel], field);
            for (std::size_t i = 0; i < AllSwitches.size(); ++i) {
                const Cell& cell = row[1 + 6 * channel + i];
                const bool on = (mask & AllSwitches[i]) != 0;
                const bool greyed = (editableSwitches(field) & AllSwitches[i]) == 0;
                SCOPED_TRACE(std::string(fieldCaption(field)) + ", channel " +
                             std::to_string(channel + 1) + ", " + MaskBitNames[i].name);
                EXPECT_EQ(cell.text, greyed ? (on ? SheetGreyedOn : SheetGreyedOff)
                                            : (on ? SheetOn : SheetOff));
                EXPECT_EQ(cell.cssClass, greyed ? "greyed" : "");
            }
        }
    }
    for (const RecallField field : AllRecallFields) {
        const auto& row = sheet.rows[2 + SwitchFieldCount + static_cast<std::size_t>(field)];
        EXPECT_EQ(row[0].text, QString("Recall: ") + recallCaption(field));
        ASSERT_EQ(row.size(), 1U + ChannelCount + 1);
        for (int channel = 0; channel < ChannelCount; ++channel) {
            EXPECT_EQ(row[1 + channel].text,
                      *testRecall(config.Recall, channel, field) ? SheetOn : SheetOff);
        }
    }

    // Bits 32 and 64, which have no box, are named in a last column by the
    // channels that have them.
    ChannelConfig unnamed;
    unnamed.Switches.Channels[0].Latching = 32 | SwitchPgm;
    for (const int channel : {2, 3, 4, 7}) {
        unnamed.Switches.Channels[channel].Latching = 64;
    }
    unnamed.Switches.Channels[7].Tb4Delatches = 32;
    const ReadSheet columns = readSheet(configSheet(unnamed, {"u", "t", false}));
    const auto last = [&](SwitchField field) {
        return columns.rows[2 + static_cast<std::size_t>(field)].back().text;
    };
    EXPECT_EQ(last(SwitchField::Latching), "32: 1; 64: 3\u20135, 8");
    EXPECT_EQ(last(SwitchField::Tb4Delatches), "32: 8");
    EXPECT_EQ(last(SwitchField::Momentary), "");
    EXPECT_TRUE(sheet.paragraphs.contains("Printed 2026-12-08 14:05."));
    EXPECT_FALSE(sheet.paragraphs.join(' ').contains("Not saved"));
}

TEST(ConfigSheet, SaysWhatItIsOfAndShowsAnyNameAsItIs) {
    const std::string unit = "/units/<b>Tom & Jerry</b>\x1b]0;owned\x07\n\"x\"";
    const std::string html = configSheet(ChannelConfig{}, {unit, "now", true});
    EXPECT_EQ(html.find('\x1b'), std::string::npos) << "no raw control character";
    const ReadSheet sheet = readSheet(html);
    const QString shown = QString::fromStdString(printable(unit));
    EXPECT_EQ(sheet.title, "Configuration of " + shown);
    EXPECT_EQ(sheet.heading, "Configuration of " + shown);
    EXPECT_TRUE(sheet.paragraphs.join(' ').contains("Not saved"));
    EXPECT_TRUE(sheet.paragraphs.contains("No bit 32 or 64 is set."));
    EXPECT_EQ(sheet.rows[0].size(), 1U + ChannelCount) << "no column for them";
}

} // namespace
} // namespace mx
