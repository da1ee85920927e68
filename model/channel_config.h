#pragma once

// The configuration of the control unit's eight microphone channels: for each
// channel fourteen switch masks, plus two channel masks for what is recalled
// at start-up. Plain data; every bit change goes through the functions below,
// which check the channel index and never touch the unnamed bits 32 and 64.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace mx {

// One bit per switch of a channel. Bits 32 and 64 name no switch: whatever a
// file holds there is kept and written back unchanged.
using SwitchMask = std::uint8_t;

inline constexpr SwitchMask SwitchPgm = 1;
inline constexpr SwitchMask SwitchTb1 = 2;
inline constexpr SwitchMask SwitchTb2 = 4;
inline constexpr SwitchMask SwitchTb3 = 8;
inline constexpr SwitchMask SwitchTb4 = 16;
inline constexpr SwitchMask SwitchPhPwr = 128;

// The six switches in their display order; each value is also the index of
// the switch's check box in every group of the window.
inline constexpr std::array<SwitchMask, 6> AllSwitches = {SwitchPgm, SwitchTb1, SwitchTb2,
                                                          SwitchTb3, SwitchTb4, SwitchPhPwr};

constexpr bool isSwitch(int value) {
    for (const SwitchMask s : AllSwitches) {
        if (value == s) {
            return true;
        }
    }
    return false;
}

inline constexpr int ChannelCount = 8;

constexpr bool isChannel(int channel) {
    return channel >= 0 && channel < ChannelCount;
}

// The fourteen switch masks of one channel, in file order.
struct ChannelSwitches {
    SwitchMask Disabled = 0;
    SwitchMask Latching = 0;
    SwitchMask Momentary = 0;
    SwitchMask AlwaysOn = 0;
    SwitchMask PgmSuppresses = 0;
    SwitchMask Tb1Suppresses = 0;
    SwitchMask Tb2Suppresses = 0;
    SwitchMask Tb3Suppresses = 0;
    SwitchMask Tb4Suppresses = 0;
    SwitchMask PgmDelatches = 0;
    SwitchMask Tb1Delatches = 0;
    SwitchMask Tb2Delatches = 0;
    SwitchMask Tb3Delatches = 0;
    SwitchMask Tb4Delatches = 0;

    friend bool operator==(const ChannelSwitches&, const ChannelSwitches&) = default;
};

// Names one of the fourteen masks; the value is the mask's byte offset within
// its channel's record.
enum class SwitchField : std::uint8_t {
    Disabled,
    Latching,
    Momentary,
    AlwaysOn,
    PgmSuppresses,
    Tb1Suppresses,
    Tb2Suppresses,
    Tb3Suppresses,
    Tb4Suppresses,
    PgmDelatches,
    Tb1Delatches,
    Tb2Delatches,
    Tb3Delatches,
    Tb4Delatches,
};

inline constexpr std::size_t SwitchFieldCount = 14;

inline constexpr std::array<SwitchField, SwitchFieldCount> AllSwitchFields = {
    SwitchField::Disabled,      SwitchField::Latching,      SwitchField::Momentary,
    SwitchField::AlwaysOn,      SwitchField::PgmSuppresses, SwitchField::Tb1Suppresses,
    SwitchField::Tb2Suppresses, SwitchField::Tb3Suppresses, SwitchField::Tb4Suppresses,
    SwitchField::PgmDelatches,  SwitchField::Tb1Delatches,  SwitchField::Tb2Delatches,
    SwitchField::Tb3Delatches,  SwitchField::Tb4Delatches,
};

SwitchMask& fieldOf(ChannelSwitches& record, SwitchField field);
SwitchMask fieldOf(const ChannelSwitches& record, SwitchField field);

// The mask's name in code and data ("Tb1Suppresses"), and its caption in the
// window ("TB 1 Suppresses (latched)").
const char* fieldName(SwitchField field);
const char* fieldCaption(SwitchField field);

// A bit of a byte and what the window, the text form and mxcfg call it.
struct BitName {
    std::uint8_t bit;
    const char* name;
};

// Bits 32 and 64 of a mask name no switch.
inline constexpr SwitchMask UnnamedBits = 32 | 64;

// Every bit of a mask: the six switches in the window's order with their
// captions, then the two bits that name no switch.
inline constexpr std::array<BitName, 8> MaskBitNames = {{
    {SwitchPgm, "PGM"},
    {SwitchTb1, "TB 1"},
    {SwitchTb2, "TB 2"},
    {SwitchTb3, "TB 3"},
    {SwitchTb4, "TB 4"},
    {SwitchPhPwr, "PH PWR"},
    {32, "bit 32"},
    {64, "bit 64"},
}};

// One character for each bit of MaskBitNames, where a table has no room for
// a name: "P", "1" … "4", "H", and "+" for the two unnamed bits.
inline constexpr std::array<char, MaskBitNames.size()> MaskBitSymbols = {'P', '1', '2', '3',
                                                                         '4', 'H', '+', '+'};

// A switch's caption ("PGM", "TB 1" … "PH PWR"), or nullptr for a value that
// is no switch.
const char* switchCaption(SwitchMask switchValue);

// The switches of a mask that the editor lets the user change. The rest (the
// acting switch and PH PWR of a suppress or delatch mask, PH PWR of Momentary,
// and the unnamed bits 32 and 64 everywhere) only ever come from a file.
SwitchMask editableSwitches(SwitchField field);

// The switch masks of all eight channels; index 0 is "Channel 1".
struct SwitchTable {
    std::array<ChannelSwitches, ChannelCount> Channels{};

    // The editor compares the whole table on every click; the records are
    // plain bytes without gaps (asserted below), so one memcmp serves.
    friend bool operator==(const SwitchTable& a, const SwitchTable& b) {
        return std::memcmp(a.Channels.data(), b.Channels.data(), sizeof(a.Channels)) == 0;
    }
};

static_assert(sizeof(ChannelSwitches) == SwitchFieldCount, "a record is fourteen bytes");
static_assert(sizeof(SwitchTable) == ChannelCount * SwitchFieldCount, "the table has no gaps");

// Which channels recall their settings at start-up: channel index n is bit
// value 2 to the power n.
struct RecallSettings {
    std::uint8_t MicGainRecall = 0;
    std::uint8_t FaderRecall = 0;

    friend bool operator==(const RecallSettings&, const RecallSettings&) = default;
};

enum class RecallField : std::uint8_t { MicGain, Fader };

inline constexpr std::array<RecallField, 2> AllRecallFields = {RecallField::MicGain,
                                                               RecallField::Fader};

// The caption of the window's recall group ("Recall"), and of its two boxes.
inline constexpr const char* RecallCaption = "Recall";
const char* recallCaption(RecallField field);

// The whole model that is loaded, edited and saved together.
struct ChannelConfig {
    SwitchTable Switches;
    RecallSettings Recall;

    friend bool operator==(const ChannelConfig&, const ChannelConfig&) = default;
};

// Where the bits live, for editing a byte in place: a channel's mask (nullptr
// for a channel outside 0..7), a recall mask and a channel's bit in it (0 for
// a channel outside 0..7), and a byte with one bit set or cleared.
SwitchMask* maskByte(SwitchTable& table, int channel, SwitchField field);
std::uint8_t& recallMask(RecallSettings& recall, RecallField field);
std::uint8_t channelBit(int channel);
constexpr std::uint8_t withBit(std::uint8_t byte, std::uint8_t bit, bool on) {
    return on ? static_cast<std::uint8_t>(byte | bit) : static_cast<std::uint8_t>(byte & ~bit);
}

// Bit operations. A channel outside 0..7, or a switch value that is not one of
// the six switches, is refused: an edit is nothing, a test gives no answer and
// a change reports false and leaves every byte as it was, so a caller with no
// channel selected can simply ignore the result.

// What setting or clearing one bit does: the byte it changes and the value
// the byte has after it. The editor's document records it as an undo step
// before it makes it.
struct ByteEdit {
    std::uint8_t* byte = nullptr;
    std::uint8_t after = 0;
};
std::optional<ByteEdit> switchEdit(SwitchTable& table, int channel, SwitchField field,
                                   SwitchMask switchValue, bool on);
std::optional<ByteEdit> recallEdit(RecallSettings& recall, int channel, RecallField field, bool on);
// The edit, made at once.
bool setSwitch(SwitchTable& table, int channel, SwitchField field, SwitchMask switchValue, bool on);
bool setRecall(RecallSettings& recall, int channel, RecallField field, bool on);

std::optional<bool> testRecall(const RecallSettings& recall, int channel, RecallField field);

// Everything the window shows of one channel: its fourteen masks and its two
// recall flags.
struct ChannelSettings {
    ChannelSwitches Switches;
    bool MicGainRecall = false;
    bool FaderRecall = false;

    friend bool operator==(const ChannelSettings&, const ChannelSettings&) = default;
};

// The settings of one channel, or nothing for a channel outside 0..7.
std::optional<ChannelSettings> channelSettings(const ChannelConfig& config, int channel);

// One channel's two recall flags as the bits of one byte, as the text form
// names them and the clipboard stores them: mic gain 1, fader 2.
inline constexpr std::array<BitName, 2> RecallFlagNames = {{{1, "Mic gain"}, {2, "Fader"}}};
std::uint8_t recallFlags(const ChannelSettings& settings);
void setRecallFlags(ChannelSettings& settings, std::uint8_t flags);

// Gives the channel exactly the source's values, every bit of its masks
// included, as a load does. Returns false, changing nothing, for a channel
// outside 0..7.
bool replaceChannel(ChannelConfig& config, int channel, const ChannelSettings& source);

// Gives the channel the source's values in exactly the bits a user could
// change by clicking: the editable switches of every mask and the two recall
// flags. Greyed and unnamed bits keep their values. Returns false, changing
// nothing, for a channel outside 0..7.
bool pasteChannel(ChannelConfig& config, int channel, const ChannelSettings& source);

// How two configurations differ in one channel: in each mask the bits that
// differ (greyed and unnamed ones included), and whether each recall flag
// differs.
struct ChannelDifference {
    ChannelSwitches masks;
    bool micGain = false;
    bool fader = false;

    bool any() const;
    friend bool operator==(const ChannelDifference&, const ChannelDifference&) = default;
};

// The difference in one channel, or none for a channel outside 0..7.
ChannelDifference channelDifference(const ChannelConfig& a, const ChannelConfig& b, int channel);

// A set of channels: channel index n is bit value 2 to the power n.
using ChannelSet = std::uint8_t;

// The set that holds one channel (index 0..7).
constexpr ChannelSet channelSetOf(int channel) {
    return static_cast<ChannelSet>(1U << channel);
}
constexpr bool holdsChannel(ChannelSet set, int channel) {
    return (set & channelSetOf(channel)) != 0;
}

// How much two configurations differ, and where: switch bits (greyed and
// unnamed ones included) and recall flags, and the channels they are on.
struct ConfigChanges {
    int switches = 0;
    int recallFlags = 0;
    ChannelSet channels = 0;

    bool any() const { return channels != 0; }
    // The first channel that differs, or 0 when none does.
    int firstChannel() const;
    // "1 switch on channel 4", "3 switches and 1 recall flag on channels 2
    // and 5"; empty when nothing differs.
    std::string describe() const;
};
ConfigChanges changesBetween(const ChannelConfig& a, const ChannelConfig& b);

// The bits a difference holds, one line for each mask that has any, e.g.
// "Latching: TB 2, bit 64" and "Recall: Fader".
std::vector<std::string> describeDifference(const ChannelDifference& difference);

// Whole-model blocks in file order: records for channel 0 to 7, each its
// fourteen masks in field order; then the two recall masks.
inline constexpr std::size_t SwitchBlockSize = ChannelCount * SwitchFieldCount;
inline constexpr std::size_t RecallBlockSize = 2;
using SwitchBlock = std::array<std::uint8_t, SwitchBlockSize>;
using RecallBlock = std::array<std::uint8_t, RecallBlockSize>;

SwitchBlock toBlock(const SwitchTable& table);
RecallBlock toBlock(const RecallSettings& recall);

// Copies bytes over the block from offset 0. Bytes beyond the end of a shorter
// input keep their values, and any input beyond the block is ignored.
void overwriteFromBlock(SwitchTable& table, std::span<const std::uint8_t> bytes);
void overwriteFromBlock(RecallSettings& recall, std::span<const std::uint8_t> bytes);

// The first bytes of the two files, at most one block each: what a load
// found there, or what a save left there. Either may be shorter than its
// block, or empty.
struct StoredBlocks {
    std::vector<std::uint8_t> switches;
    std::vector<std::uint8_t> settings;

    friend bool operator==(const StoredBlocks&, const StoredBlocks&) = default;
};

// The blocks that saving the configuration writes.
StoredBlocks blocksOf(const ChannelConfig& config);

// Whether the stored blocks are exactly what saving the configuration would
// write, so that a save would change nothing.
bool holdsExactly(const StoredBlocks& stored, const ChannelConfig& config);

// Overwrites the model with the bytes present, from offset 0; the rest keep
// their values (an empty file keeps its whole part of the model).
void applyStoredBlocks(const StoredBlocks& blocks, ChannelConfig& config);

} // namespace mx
