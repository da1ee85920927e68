#include "channel_config.h"

#include <gtest/gtest.h>
#include <numeric>

namespace mx {
namespace {

SwitchBlock countingBlock() {
    SwitchBlock bytes{};
    std::iota(bytes.begin(), bytes.end(), std::uint8_t{0});
    return bytes;
}

TEST(SwitchBits, ChangeExactlyOneBitOfOneByte) {
    SwitchTable table;
    ASSERT_TRUE(setSwitch(table, 3, SwitchField::Latching, SwitchPhPwr, true));

    SwitchBlock expected{};
    expected[14 * 3 + 1] = 0x80;
    EXPECT_EQ(toBlock(table), expected);
}

TEST(SwitchBits, SettingASetBitOrClearingAClearBitChangesNothing) {
    SwitchTable table;
    table.Channels[0].Tb3Delatches = 0x02;
    ASSERT_TRUE(setSwitch(table, 0, SwitchField::Tb3Delatches, SwitchTb1, true));
    EXPECT_EQ(table.Channels[0].Tb3Delatches, 0x02);
    ASSERT_TRUE(setSwitch(table, 0, SwitchField::Tb3Delatches, SwitchTb2, false));
    EXPECT_EQ(table.Channels[0].Tb3Delatches, 0x02);
    ASSERT_TRUE(setSwitch(table, 0, SwitchField::Tb3Delatches, SwitchTb1, false));
    EXPECT_EQ(table.Channels[0].Tb3Delatches, 0x00);
}

TEST(SwitchBits, SetAndClearWorkOnTheByteAsItIs) {
    SwitchTable table;
    table.Channels[3].Latching = 0xE0;
    setSwitch(table, 3, SwitchField::Latching, SwitchPgm, true);
    EXPECT_EQ(table.Channels[3].Latching, 0xE1);
    setSwitch(table, 3, SwitchField::Latching, SwitchPhPwr, false);
    EXPECT_EQ(table.Channels[3].Latching, 0x61);
}

TEST(SwitchBits, UnnamedBitsSurviveEverySetAndClear) {
    SwitchTable table;
    for (ChannelSwitches& record : table.Channels) {
        for (const SwitchField field : AllSwitchFields) {
            fieldOf(record, field) = 0x60;
        }
    }
    for (int channel = 0; channel < ChannelCount; ++channel) {
        for (const SwitchField field : AllSwitchFields) {
            for (const bool on : {true, false, true, false}) {
                for (const SwitchMask s : AllSwitches) {
                    setSwitch(table, channel, field, s, on);
                }
            }
        }
    }
    for (const std::uint8_t byte : toBlock(table)) {
        EXPECT_EQ(byte, 0x60);
    }
}

TEST(SwitchBits, RefuseChannelsOutsideTheTableAndValuesThatAreNoSwitch) {
    SwitchTable table;
    overwriteFromBlock(table, countingBlock());
    const SwitchTable before = table;

    for (const int channel : {-1, 8, 9, -32768, 32767}) {
        EXPECT_FALSE(setSwitch(table, channel, SwitchField::Disabled, SwitchPgm, true));
        EXPECT_FALSE(setSwitch(table, channel, SwitchField::Tb4Delatches, SwitchPhPwr, false));
        EXPECT_EQ(switchEdit(table, channel, SwitchField::Disabled, SwitchPgm, true), std::nullopt);
    }
    for (const int value : {0, 3, 32, 64, 96, 255}) {
        const auto mask = static_cast<SwitchMask>(value);
        EXPECT_FALSE(setSwitch(table, 1, SwitchField::Latching, mask, true));
        EXPECT_FALSE(setSwitch(table, 1, SwitchField::Latching, mask, false));
        EXPECT_EQ(switchEdit(table, 1, SwitchField::Latching, mask, true), std::nullopt);
    }
    EXPECT_EQ(table, before);
}

TEST(RecallBits, ChannelIndexSelectsItsPowerOfTwo) {
    RecallSettings recall;
    ASSERT_TRUE(setRecall(recall, 7, RecallField::Fader, true));
    EXPECT_EQ(recall.FaderRecall, 0x80);
    recall.FaderRecall = 0;
    ASSERT_TRUE(setRecall(recall, 0, RecallField::Fader, true));
    EXPECT_EQ(recall.FaderRecall, 0x01);
    ASSERT_TRUE(setRecall(recall, 5, RecallField::MicGain, true));
    EXPECT_EQ(recall.MicGainRecall, 0x20);
    EXPECT_EQ(recall.FaderRecall, 0x01);

    EXPECT_EQ(testRecall(recall, 5, RecallField::MicGain), true);
    EXPECT_EQ(testRecall(recall, 5, RecallField::Fader), false);
    ASSERT_TRUE(setRecall(recall, 5, RecallField::MicGain, false));
    EXPECT_EQ(recall.MicGainRecall, 0x00);
}

TEST(RecallBits, ChannelsOutsideTheTableChangeNothing) {
    RecallSettings recall{0x81, 0x02};
    for (const int channel : {-1, 8, 100}) {
        EXPECT_FALSE(setRecall(recall, channel, RecallField::MicGain, true));
        EXPECT_FALSE(setRecall(recall, channel, RecallField::Fader, false));
        EXPECT_EQ(testRecall(recall, channel, RecallField::Fader), std::nullopt);
    }
    EXPECT_EQ(recall, (RecallSettings{0x81, 0x02}));
}

TEST(Blocks, FollowTheFileOrderOfRecordsAndFields) {
    SwitchTable table;
    overwriteFromBlock(table, countingBlock());
    EXPECT_EQ(table.Channels[1].Disabled, 0x0E);
    EXPECT_EQ(table.Channels[1].Latching, 0x0F);
    EXPECT_EQ(table.Channels[0].PgmSuppresses, 4);
    EXPECT_EQ(table.Channels[0].PgmDelatches, 9);
    EXPECT_EQ(table.Channels[7].Tb4Delatches, 0x6F);
    EXPECT_EQ(toBlock(table), countingBlock());

    const RecallSettings recall{0x81, 0x02};
    EXPECT_EQ(toBlock(recall), (RecallBlock{0x81, 0x02}));
}

TEST(Blocks, AShortBlockOverwritesOnlyTheBytesItHas) {
    SwitchTable table;
    overwriteFromBlock(table, countingBlock());
    const std::array<std::uint8_t, 3> prefix = {0xAA, 0xBB, 0xCC};
    overwriteFromBlock(table, prefix);

    SwitchBlock expected = countingBlock();
    expected[0] = 0xAA;
    expected[1] = 0xBB;
    expected[2] = 0xCC;
    EXPECT_EQ(toBlock(table), expected);

    RecallSettings recall{0x11, 0x22};
    const std::array<std::uint8_t, 1> oneByte = {0x33};
    overwriteFromBlock(recall, oneByte);
    EXPECT_EQ(recall, (RecallSettings{0x33, 0x22}));
    overwriteFromBlock(recall, std::span<const std::uint8_t>{});
    EXPECT_EQ(recall, (RecallSettings{0x33, 0x22}));
}

} // namespace
} // namespace mx
