#include "channel_config.h"

#include <algorithm>
#include <bit>

namespace mx {

namespace {

// Field order of a record, as it is stored; indexed by SwitchField.
constexpr std::array<SwitchMask ChannelSwitches::*, SwitchFieldCount> FieldMembers = {
    &ChannelSwitches::Disabled,      &ChannelSwitches::Latching,
    &ChannelSwitches::Momentary,     &ChannelSwitches::AlwaysOn,
    &ChannelSwitches::PgmSuppresses, &ChannelSwitches::Tb1Suppresses,
    &ChannelSwitches::Tb2Suppresses, &ChannelSwitches::Tb3Suppresses,
    &ChannelSwitches::Tb4Suppresses, &ChannelSwitches::PgmDelatches,
    &ChannelSwitches::Tb1Delatches,  &ChannelSwitches::Tb2Delatches,
    &ChannelSwitches::Tb3Delatches,  &ChannelSwitches::Tb4Delatches,
};

constexpr std::size_t indexOf(SwitchField field) {
    return static_cast<std::size_t>(field);
}

struct FieldText {
    const char* name;
    const char* caption;
};

// Indexed by SwitchField.
constexpr std::array<FieldText, SwitchFieldCount> FieldTexts = {{
    {"Disabled", "Disabled (MX only)"},
    {"Latching", "Latching"},
    {"Momentary", "Momentary"},
    {"AlwaysOn", "Always on"},
    {"PgmSuppresses", "PGM Suppresses (latched)"},
    {"Tb1Suppresses", "TB 1 Suppresses (latched)"},
    {"Tb2Suppresses", "TB 2 Suppresses (latched)"},
    {"Tb3Suppresses", "TB 3 Suppresses (latched)"},
    {"Tb4Suppresses", "TB 4 Suppresses (latched)"},
    {"PgmDelatches", "PGM Delatches"},
    {"Tb1Delatches", "TB 1 Delatches"},
    {"Tb2Delatches", "TB 2 Delatches"},
    {"Tb3Delatches", "TB 3 Delatches"},
    {"Tb4Delatches", "TB 4 Delatches"},
}};

constexpr SwitchMask AllSwitchBits =
    SwitchPgm | SwitchTb1 | SwitchTb2 | SwitchTb3 | SwitchTb4 | SwitchPhPwr;

} // namespace

std::uint8_t channelBit(int channel) {
    return isChannel(channel) ? static_cast<std::uint8_t>(1U << channel) : 0;
}

std::uint8_t& recallMask(RecallSettings& recall, RecallField field) {
    return field == RecallField::MicGain ? recall.MicGainRecall : recall.FaderRecall;
}

SwitchMask* maskByte(SwitchTable& table, int channel, SwitchField field) {
    if (!isChannel(channel)) {
        return nullptr;
    }
    return &fieldOf(table.Channels[static_cast<std::size_t>(channel)], field);
}

SwitchMask& fieldOf(ChannelSwitches& record, SwitchField field) {
    return record.*FieldMembers.at(indexOf(field));
}

SwitchMask fieldOf(const ChannelSwitches& record, SwitchField field) {
    return record.*FieldMembers.at(indexOf(field));
}

const char* fieldName(SwitchField field) {
    return FieldTexts.at(indexOf(field)).name;
}

const char* fieldCaption(SwitchField field) {
    return FieldTexts.at(indexOf(field)).caption;
}

const char* switchCaption(SwitchMask switchValue) {
    if (!isSwitch(switchValue)) {
        return nullptr;
    }
    for (const BitName& name : MaskBitNames) {
        if (name.bit == switchValue) {
            return name.name;
        }
    }
    return nullptr;
}

const char* recallCaption(RecallField field) {
    return RecallFlagNames.at(static_cast<std::size_t>(field)).name;
}

std::uint8_t recallFlags(const ChannelSettings& settings) {
    return static_cast<std::uint8_t>((settings.MicGainRecall ? RecallFlagNames[0].bit : 0) |
                                     (settings.FaderRecall ? RecallFlagNames[1].bit : 0));
}

void setRecallFlags(ChannelSettings& settings, std::uint8_t flags) {
    settings.MicGainRecall = (flags & RecallFlagNames[0].bit) != 0;
    settings.FaderRecall = (flags & RecallFlagNames[1].bit) != 0;
}

SwitchMask editableSwitches(SwitchField field) {
    // The switch that acts in a suppress or delatch mask; none for the modes.
    constexpr std::array<SwitchMask, SwitchFieldCount> Actor = {
        0,         0,         0,         0,         SwitchPgm, SwitchTb1, SwitchTb2,
        SwitchTb3, SwitchTb4, SwitchPgm, SwitchTb1, SwitchTb2, SwitchTb3, SwitchTb4,
    };
    const SwitchMask actor = Actor.at(indexOf(field));
    if (actor != 0) {
        return static_cast<SwitchMask>(AllSwitchBits & ~(actor | SwitchPhPwr));
    }
    if (field == SwitchField::Momentary) {
        return static_cast<SwitchMask>(AllSwitchBits & ~SwitchPhPwr);
    }
    return AllSwitchBits;
}

std::optional<ByteEdit> switchEdit(SwitchTable& table, int channel, SwitchField field,
                                   SwitchMask switchValue, bool on) {
    SwitchMask* byte = maskByte(table, channel, field);
    if (byte == nullptr || !isSwitch(switchValue)) {
        return std::nullopt;
    }
    return ByteEdit{byte, withBit(*byte, switchValue, on)};
}

std::optional<ByteEdit> recallEdit(RecallSettings& recall, int channel, RecallField field,
                                   bool on) {
    if (!isChannel(channel)) {
        return std::nullopt;
    }
    std::uint8_t& mask = recallMask(recall, field);
    return ByteEdit{&mask, withBit(mask, channelBit(channel), on)};
}

namespace {

bool made(const std::optional<ByteEdit>& edit) {
    if (edit) {
        *edit->byte = edit->after;
    }
    return edit.has_value();
}

} // namespace

bool setSwitch(SwitchTable& table, int channel, SwitchField field, SwitchMask switchValue,
               bool on) {
    return made(switchEdit(table, channel, field, switchValue, on));
}

bool setRecall(RecallSettings& recall, int channel, RecallField field, bool on) {
    return made(recallEdit(recall, channel, field, on));
}

std::optional<bool> testRecall(const RecallSettings& recall, int channel, RecallField field) {
    if (!isChannel(channel)) {
        return std::nullopt;
    }
    const std::uint8_t mask =
        field == RecallField::MicGain ? recall.MicGainRecall : recall.FaderRecall;
    return (mask & channelBit(channel)) != 0;
}

std::optional<ChannelSettings> channelSettings(const ChannelConfig& config, int channel) {
    if (!isChannel(channel)) {
        return std::nullopt;
    }
    return ChannelSettings{config.Switches.Channels[static_cast<std::size_t>(channel)],
                           *testRecall(config.Recall, channel, RecallField::MicGain),
                           *testRecall(config.Recall, channel, RecallField::Fader)};
}

bool replaceChannel(ChannelConfig& config, int channel, const ChannelSettings& source) {
    if (!isChannel(channel)) {
        return false;
    }
    config.Switches.Channels[static_cast<std::size_t>(channel)] = source.Switches;
    setRecall(config.Recall, channel, RecallField::MicGain, source.MicGainRecall);
    setRecall(config.Recall, channel, RecallField::Fader, source.FaderRecall);
    return true;
}

bool pasteChannel(ChannelConfig& config, int channel, const ChannelSettings& source) {
    if (!isChannel(channel)) {
        return false;
    }
    ChannelSwitches& record = config.Switches.Channels[static_cast<std::size_t>(channel)];
    for (const SwitchField field : AllSwitchFields) {
        const SwitchMask editable = editableSwitches(field);
        SwitchMask& byte = fieldOf(record, field);
        byte = static_cast<SwitchMask>((byte & ~editable) |
                                       (fieldOf(source.Switches, field) & editable));
    }
    setRecall(config.Recall, channel, RecallField::MicGain, source.MicGainRecall);
    setRecall(config.Recall, channel, RecallField::Fader, source.FaderRecall);
    return true;
}

ConfigChanges changesBetween(const ChannelConfig& a, const ChannelConfig& b) {
    ConfigChanges changes;
    for (int channel = 0; channel < ChannelCount; ++channel) {
        const ChannelDifference difference = channelDifference(a, b, channel);
        if (!difference.any()) {
            continue;
        }
        for (const SwitchField field : AllSwitchFields) {
            changes.switches += std::popcount(fieldOf(difference.masks, field));
        }
        changes.recallFlags += (difference.micGain ? 1 : 0) + (difference.fader ? 1 : 0);
        changes.channels = static_cast<ChannelSet>(changes.channels | channelSetOf(channel));
    }
    return changes;
}

int ConfigChanges::firstChannel() const {
    return channels == 0 ? 0 : std::countr_zero(static_cast<unsigned>(channels));
}

std::string ConfigChanges::describe() const {
    if (!any()) {
        return {};
    }
    const auto counted = [](int count, const char* one, const char* many) {
        return std::to_string(count) + " " + (count == 1 ? one : many);
    };
    std::string text;
    if (switches > 0) {
        text = counted(switches, "switch", "switches");
    }
    if (recallFlags > 0) {
        text += (text.empty() ? "" : " and ") + counted(recallFlags, "recall flag", "recall flags");
    }
    std::vector<std::string> numbers;
    for (int channel = 0; channel < ChannelCount; ++channel) {
        if (holdsChannel(channels, channel)) {
            numbers.push_back(std::to_string(channel + 1));
        }
    }
    text += numbers.size() == 1 ? " on channel " : " on channels ";
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == numbers.size() ? " and " : ", ") + numbers[i];
    }
    return text;
}

bool ChannelDifference::any() const {
    return masks != ChannelSwitches{} || micGain || fader;
}

ChannelDifference channelDifference(const ChannelConfig& a, const ChannelConfig& b, int channel) {
    const auto first = channelSettings(a, channel);
    const auto second = channelSettings(b, channel);
    if (!first || !second) {
        return {};
    }
    ChannelDifference difference;
    for (const SwitchField field : AllSwitchFields) {
        fieldOf(difference.masks, field) = static_cast<SwitchMask>(
            fieldOf(first->Switches, field) ^ fieldOf(second->Switches, field));
    }
    difference.micGain = first->MicGainRecall != second->MicGainRecall;
    difference.fader = first->FaderRecall != second->FaderRecall;
    return difference;
}

std::vector<std::string> describeDifference(const ChannelDifference& difference) {
    std::vector<std::string> lines;
    const auto line = [&lines](const char* caption, const auto& names, std::uint8_t bits) {
        std::string text;
        for (const BitName& name : names) {
            if ((bits & name.bit) != 0) {
                text += (text.empty() ? std::string(caption) + ": " : ", ") + name.name;
            }
        }
        if (!text.empty()) {
            lines.push_back(text);
        }
    };
    for (const SwitchField field : AllSwitchFields) {
        line(fieldCaption(field), MaskBitNames, fieldOf(difference.masks, field));
    }
    line(RecallCaption, RecallFlagNames,
         static_cast<std::uint8_t>((difference.micGain ? 1 : 0) | (difference.fader ? 2 : 0)));
    return lines;
}

SwitchBlock toBlock(const SwitchTable& table) {
    SwitchBlock block{};
    std::size_t offset = 0;
    for (const ChannelSwitches& record : table.Channels) {
        for (const SwitchField field : AllSwitchFields) {
            block[offset++] = fieldOf(record, field);
        }
    }
    return block;
}

RecallBlock toBlock(const RecallSettings& recall) {
    return {recall.MicGainRecall, recall.FaderRecall};
}

void overwriteFromBlock(SwitchTable& table, std::span<const std::uint8_t> bytes) {
    const std::size_t count = std::min(bytes.size(), SwitchBlockSize);
    for (std::size_t offset = 0; offset < count; ++offset) {
        ChannelSwitches& record = table.Channels[offset / SwitchFieldCount];
        fieldOf(record, AllSwitchFields[offset % SwitchFieldCount]) = bytes[offset];
    }
}

void overwriteFromBlock(RecallSettings& recall, std::span<const std::uint8_t> bytes) {
    if (!bytes.empty()) {
        recall.MicGainRecall = bytes[0];
    }
    if (bytes.size() > 1) {
        recall.FaderRecall = bytes[1];
    }
}

StoredBlocks blocksOf(const ChannelConfig& config) {
    const SwitchBlock switches = toBlock(config.Switches);
    const RecallBlock settings = toBlock(config.Recall);
    return {{switches.begin(), switches.end()}, {settings.begin(), settings.end()}};
}

bool holdsExactly(const StoredBlocks& stored, const ChannelConfig& config) {
    const SwitchBlock switches = toBlock(config.Switches);
    const RecallBlock settings = toBlock(config.Recall);
    return std::equal(switches.begin(), switches.end(), stored.switches.begin(),
                      stored.switches.end()) &&
           std::equal(settings.begin(), settings.end(), stored.settings.begin(),
                      stored.settings.end());
}

void applyStoredBlocks(const StoredBlocks& blocks, ChannelConfig& config) {
    overwriteFromBlock(config.Switches, blocks.switches);
    overwriteFromBlock(config.Recall, blocks.settings);
}

} // namespace mx
