#include "config_document.h"

#include <QUndoStack>
#include <gtest/gtest.h>
#include <vector>

namespace mx {
namespace {

// A restored signal: the channel edited, and the channels changed.
using Restored = std::pair<int, ChannelSet>;

class ConfigDocumentTest : public ::testing::Test {
protected:
    void SetUp() override {
        QObject::connect(&document_, &ConfigDocument::restored,
                         [this](int channel, ChannelSet changed) {
                             restored_.push_back({channel, changed});
                         });
        QObject::connect(&document_, &ConfigDocument::replaced, [this] { ++savedSignals_; });
    }
    QUndoStack& history() { return *document_.undoStack(); }

    ConfigDocument document_;
    std::vector<Restored> restored_;
    int savedSignals_ = 0;
};

TEST_F(ConfigDocumentTest, EveryEditIsOneStepThatUndoAndRedoPutBack) {
    ChannelSettings source;
    source.Switches.Latching = 0xFF;
    source.FaderRecall = true;
    struct Case {
        const char* text;
        std::function<bool(ConfigDocument&)> edit;
        std::size_t offset; // the byte of the switch block the edit sets, then its value
        std::uint8_t value;
        RecallSettings recall;
        Restored undone;
    };
    const std::vector<Case> cases = {
        {"TB 3 Delatches: TB 4 (channel 3)",
         [](ConfigDocument& d) {
             return d.setSwitch(2, SwitchField::Tb3Delatches, SwitchTb4, true);
         },
         14 * 2 + 12,
         0x10,
         {0, 0},
         {2, 0x04}},
        {"Recall: Fader (channel 8)",
         [](ConfigDocument& d) { return d.setRecall(7, RecallField::Fader, true); },
         0,
         0,
         {0, 0x80},
         {7, 0x80}},
        {"paste to channel 6",
         [&](ConfigDocument& d) { return d.pasteChannel(5, source); },
         14 * 5 + 1,
         0x9F,
         {0, 0x20},
         {5, 0x20}},
        {"paste to all channels",
         [&](ConfigDocument& d) { return d.pasteToAllChannels(1, source); },
         14 * 7 + 1,
         0x9F,
         {0, 0xFF},
         {1, 0xFF}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        document_.load({}, blocksOf({}));
        restored_.clear();
        ASSERT_TRUE(c.edit(document_));
        EXPECT_EQ(toBlock(document_.config().Switches)[c.offset], c.value);
        EXPECT_EQ(document_.config().Recall, c.recall);
        EXPECT_TRUE(document_.isModified());
        EXPECT_EQ(history().count(), 1);
        EXPECT_EQ(document_.undoText(), c.text);
        EXPECT_TRUE(restored_.empty()) << "the edit itself is shown by its maker";

        const ChannelConfig edited = document_.config();
        history().undo();
        EXPECT_EQ(document_.config(), ChannelConfig{});
        EXPECT_FALSE(document_.isModified());
        EXPECT_EQ(document_.redoText(), c.text);
        history().redo();
        EXPECT_EQ(document_.config(), edited);
        EXPECT_EQ(restored_, std::vector<Restored>(2, c.undone));

        // The same edit again changes no byte: no step.
        EXPECT_FALSE(c.edit(document_));
        EXPECT_EQ(history().count(), 1);
    }
    EXPECT_FALSE(document_.setSwitch(-1, SwitchField::Latching, SwitchPgm, true));
    EXPECT_FALSE(document_.setRecall(8, RecallField::MicGain, true));
    EXPECT_FALSE(document_.pasteChannel(8, source));
}

TEST_F(ConfigDocumentTest, ModifiedMeansOtherBytesThanLastLoadedOrSaved) {
    ChannelConfig loaded;
    loaded.Switches.Channels[1].Momentary = 0x60;
    document_.load(loaded, blocksOf(loaded));
    document_.setSwitch(1, SwitchField::Momentary, SwitchPgm, true);
    document_.setSwitch(1, SwitchField::Momentary, SwitchPgm, false);
    EXPECT_FALSE(document_.isModified()) << "clicked back by hand";
    EXPECT_EQ(history().count(), 2);

    document_.setRecall(0, RecallField::MicGain, true);
    document_.markSaved(blocksOf(document_.config()));
    EXPECT_FALSE(document_.isModified());
    EXPECT_EQ(document_.storedBlocks().settings, (std::vector<std::uint8_t>{0x01, 0x00}));
    history().undo();
    EXPECT_TRUE(document_.isModified()) << "undone past the save";

    document_.load(loaded, blocksOf(loaded));
    EXPECT_EQ(history().count(), 0);
    EXPECT_FALSE(document_.isModified());
    EXPECT_EQ(savedSignals_, 3);
}

TEST_F(ConfigDocumentTest, ComparingFindsEveryDifferingBitAndTakesExactlyWhatItNames) {
    ChannelConfig ours;
    ours.Switches.Channels[2].Latching = SwitchTb2;
    ChannelConfig theirs = ours;
    theirs.Switches.Channels[2].Latching = SwitchTb4 | 64; // a click's bit and an unnamed one
    theirs.Switches.Channels[2].PgmSuppresses = SwitchPgm; // greyed in the window
    theirs.Switches.Channels[5].Momentary = SwitchPhPwr;   // greyed
    theirs.Recall.FaderRecall = 0x04;
    document_.load(ours, blocksOf(ours));
    EXPECT_FALSE(document_.takeChannel(2)) << "nothing is compared";
    document_.compareWith(theirs, "unitA");
    EXPECT_EQ(document_.channelsDiffering(), 0x24);
    ChannelDifference expected;
    expected.masks.Latching = SwitchTb2 | SwitchTb4 | 64;
    expected.masks.PgmSuppresses = SwitchPgm;
    expected.fader = true;
    EXPECT_EQ(document_.differenceInChannel(2), expected);
    EXPECT_EQ(describeDifference(expected),
              (std::vector<std::string>{"Latching: TB 2, TB 4, bit 64",
                                        "PGM Suppresses (latched): PGM", "Recall: Fader"}));

    struct Case {
        const char* text;
        std::function<bool()> take;
        ChannelConfig after;
    };
    ChannelConfig bit = ours;
    bit.Switches.Channels[2].PgmSuppresses = SwitchPgm;
    ChannelConfig recall = ours;
    recall.Recall.FaderRecall = 0x04;
    ChannelConfig channel = theirs;
    channel.Switches.Channels[5] = ours.Switches.Channels[5];
    const std::vector<Case> cases = {
        {"taking PGM Suppresses (latched): PGM (channel 3)",
         [&] { return document_.takeSwitch(2, SwitchField::PgmSuppresses, SwitchPgm); }, bit},
        {"taking Recall: Fader (channel 3)",
         [&] { return document_.takeRecall(2, RecallField::Fader); }, recall},
        {"taking channel 3", [&] { return document_.takeChannel(2); }, channel},
        {"taking everything", [&] { return document_.takeEverything(0); }, theirs},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ASSERT_TRUE(c.take());
        EXPECT_EQ(document_.config(), c.after);
        EXPECT_EQ(history().count(), 1);
        EXPECT_EQ(document_.undoText(), c.text);
        EXPECT_FALSE(c.take()) << "taken already: no second step";
        history().undo();
        EXPECT_EQ(document_.config(), ours);
        history().clear();
    }

    // Compared with the saved files, the comparison follows every save.
    document_.compareWithSaved();
    EXPECT_EQ(document_.reference()->name, Reference::SavedFilesName);
    EXPECT_EQ(document_.channelsDiffering(), 0);
    document_.setSwitch(6, SwitchField::AlwaysOn, SwitchTb1, true);
    EXPECT_EQ(document_.channelsDiffering(), 0x40);
    document_.markSaved(blocksOf(document_.config()));
    EXPECT_EQ(document_.channelsDiffering(), 0);
    document_.stopComparing();
    EXPECT_EQ(document_.reference(), nullptr);
    EXPECT_EQ(document_.differenceInChannel(6), ChannelDifference{});
}

} // namespace
} // namespace mx
