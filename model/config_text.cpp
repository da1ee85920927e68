#include "config_text.h"

#include <array>
#include <bitset>
#include <cstdint>
#include <span>
#include <vector>

namespace mx {

namespace {

constexpr std::string_view NoBits = "none";
constexpr std::string_view HeaderWord = "Channel";

// The fourteen masks and the recall line of a block.
constexpr std::size_t LinesPerBlock = SwitchFieldCount + 1;
constexpr std::size_t RecallLine = SwitchFieldCount;

std::string namesOf(std::uint8_t value, std::span<const BitName> names) {
    std::string text;
    for (const BitName& name : names) {
        if ((value & name.bit) != 0) {
            text += text.empty() ? "" : ", ";
            text += name.name;
        }
    }
    return text.empty() ? std::string(NoBits) : text;
}

std::string quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// A part of one line, with the column where it starts.
struct Span {
    std::string_view text;
    int column = 1;
};

Span trimmed(Span span) {
    std::size_t begin = 0;
    std::size_t end = span.text.size();
    while (begin < end && isBlank(span.text[begin])) {
        ++begin;
    }
    while (end > begin && isBlank(span.text[end - 1])) {
        --end;
    }
    return {span.text.substr(begin, end - begin), span.column + static_cast<int>(begin)};
}

struct Block {
    int channel = 0;
    int headerLine = 0;
    ChannelSettings settings;
    std::bitset<LinesPerBlock> seen;
};

class Parser {
public:
    // Reads every block of the text; returns an error for the first thing
    // not understood.
    std::optional<TextError> parse(std::string_view text) {
        std::size_t start = 0;
        // The end of a text that ends with a newline starts no further line.
        while (start < text.size() || start == 0) {
            const std::size_t newline = text.find('\n', start);
            std::string_view line =
                text.substr(start, newline == std::string_view::npos ? std::string_view::npos
                                                                     : newline - start);
            ++lineNumber_;
            if (!line.empty() && line.back() == '\r') {
                line.remove_suffix(1);
            }
            if (const std::size_t hash = line.find('#'); hash != std::string_view::npos) {
                line = line.substr(0, hash);
            }
            if (auto error = parseLine(trimmed({line, 1}))) {
                return error;
            }
            if (newline == std::string_view::npos) {
                break;
            }
            start = newline + 1;
        }
        return finishBlock();
    }

    const std::vector<Block>& blocks() const { return blocks_; }

    // An error about something missing at the end of the text.
    TextError atEnd(std::string message) const { return {lineNumber_ + 1, 1, std::move(message)}; }

private:
    TextError at(int column, std::string message) const {
        return {lineNumber_, column, std::move(message)};
    }

    std::optional<TextError> parseLine(Span line) {
        if (line.text.empty()) {
            return std::nullopt;
        }
        if (line.text.front() == '[') {
            return parseHeader(line);
        }
        const std::size_t colon = line.text.find(':');
        if (colon == std::string_view::npos) {
            return at(line.column, "expected \"[Channel N]\" or \"<group>: <switches>\"");
        }
        const Span caption = trimmed({line.text.substr(0, colon), line.column});
        const Span list =
            trimmed({line.text.substr(colon + 1), line.column + static_cast<int>(colon) + 1});
        if (!inBlock_) {
            return at(caption.column, "a group line must follow a \"[Channel N]\" line");
        }
        Block& block = blocks_.back();
        std::size_t index = 0;
        while (index < SwitchFieldCount && caption.text != fieldCaption(AllSwitchFields[index])) {
            ++index;
        }
        if (index == SwitchFieldCount && caption.text != std::string_view(RecallCaption)) {
            return at(caption.column, "unknown group " + quoted(caption.text));
        }
        if (block.seen.test(index)) {
            return at(caption.column, quoted(caption.text) + " is given twice for channel " +
                                          std::to_string(block.channel + 1));
        }
        block.seen.set(index);
        std::uint8_t value = 0;
        if (index == RecallLine) {
            if (auto error = parseList(list, RecallFlagNames, "recall flag", value)) {
                return error;
            }
            setRecallFlags(block.settings, value);
            return std::nullopt;
        }
        if (auto error = parseList(list, MaskBitNames, "switch", value)) {
            return error;
        }
        fieldOf(block.settings.Switches, AllSwitchFields[index]) = value;
        return std::nullopt;
    }

    std::optional<TextError> parseHeader(Span line) {
        const std::string_view expected = "expected \"[Channel 1]\" to \"[Channel 8]\"";
        if (line.text.back() != ']') {
            return at(line.column, std::string(expected));
        }
        const Span inside = trimmed({line.text.substr(1, line.text.size() - 2), line.column + 1});
        if (inside.text.substr(0, HeaderWord.size()) != HeaderWord) {
            return at(inside.column, std::string(expected));
        }
        const Span number = trimmed({inside.text.substr(HeaderWord.size()),
                                     inside.column + static_cast<int>(HeaderWord.size())});
        if (number.text.size() != 1 || number.text[0] < '0' || number.text[0] > '9' ||
            number.column == inside.column + static_cast<int>(HeaderWord.size())) {
            return at(number.column, std::string(expected));
        }
        const int channel = number.text[0] - '1';
        if (!isChannel(channel)) {
            return at(number.column,
                      "there is no channel " + std::string(number.text) + "; channels are 1 to 8");
        }
        if (auto error = finishBlock()) {
            return error;
        }
        for (const Block& block : blocks_) {
            if (block.channel == channel) {
                return at(line.column, "channel " + std::to_string(channel + 1) +
                                           " is given twice (first on line " +
                                           std::to_string(block.headerLine) + ")");
            }
        }
        blocks_.push_back(Block{channel, lineNumber_, {}, {}});
        inBlock_ = true;
        return std::nullopt;
    }

    std::optional<TextError> parseList(Span list, std::span<const BitName> names, const char* what,
                                       std::uint8_t& value) {
        value = 0;
        if (list.text.empty()) {
            return at(list.column,
                      std::string("no ") + what + " is named; write \"none\" for none");
        }
        if (list.text == NoBits) {
            return std::nullopt;
        }
        std::size_t start = 0;
        while (true) {
            const std::size_t comma = list.text.find(',', start);
            const Span item = trimmed(
                {list.text.substr(start, comma == std::string_view::npos ? std::string_view::npos
                                                                         : comma - start),
                 list.column + static_cast<int>(start)});
            if (item.text.empty()) {
                return at(item.column, std::string("a ") + what + " is missing here");
            }
            const BitName* found = nullptr;
            for (const BitName& name : names) {
                if (item.text == std::string_view(name.name)) {
                    found = &name;
                }
            }
            if (found == nullptr) {
                return at(item.column, std::string("unknown ") + what + " " + quoted(item.text));
            }
            if ((value & found->bit) != 0) {
                return at(item.column, quoted(item.text) + " is named twice");
            }
            value = static_cast<std::uint8_t>(value | found->bit);
            if (comma == std::string_view::npos) {
                return std::nullopt;
            }
            start = comma + 1;
        }
    }

    // A block ends at the next header or at the end of the text; it must
    // have every line by then.
    std::optional<TextError> finishBlock() {
        if (!inBlock_) {
            return std::nullopt;
        }
        inBlock_ = false;
        const Block& block = blocks_.back();
        for (std::size_t index = 0; index < LinesPerBlock; ++index) {
            if (!block.seen.test(index)) {
                const std::string caption = index == RecallLine
                                                ? std::string(RecallCaption)
                                                : std::string(fieldCaption(AllSwitchFields[index]));
                return TextError{block.headerLine, 1,
                                 "channel " + std::to_string(block.channel + 1) +
                                     " has no line for " + quoted(caption)};
            }
        }
        return std::nullopt;
    }

    std::vector<Block> blocks_;
    bool inBlock_ = false;
    int lineNumber_ = 0;
};

} // namespace

std::string TextError::describe() const {
    return "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + message;
}

std::string channelToText(int channel, const ChannelSettings& settings) {
    std::string text = "[Channel " + std::to_string(channel + 1) + "]\n";
    for (const SwitchField field : AllSwitchFields) {
        text += std::string(fieldCaption(field)) + ": " +
                namesOf(fieldOf(settings.Switches, field), MaskBitNames) + "\n";
    }
    return text + RecallCaption + ": " + namesOf(recallFlags(settings), RecallFlagNames) + "\n";
}

std::string configToText(const ChannelConfig& config) {
    std::string text = "# MX_config configuration\n\n";
    for (int channel = 0; channel < ChannelCount; ++channel) {
        text += channelToText(channel, *channelSettings(config, channel)) + "\n";
    }
    return text;
}

std::optional<TextError> channelFromText(std::string_view text, ChannelText& channel) {
    Parser parser;
    if (auto error = parser.parse(text)) {
        return error;
    }
    const std::vector<Block>& blocks = parser.blocks();
    if (blocks.empty()) {
        return parser.atEnd("the text holds no \"[Channel N]\" block");
    }
    if (blocks.size() > 1) {
        return TextError{blocks[1].headerLine, 1, "only one channel was expected"};
    }
    channel = {blocks[0].channel, blocks[0].settings};
    return std::nullopt;
}

std::optional<TextError> configFromText(std::string_view text, ChannelConfig& config) {
    Parser parser;
    if (auto error = parser.parse(text)) {
        return error;
    }
    std::array<const Block*, ChannelCount> byChannel{};
    for (const Block& block : parser.blocks()) {
        byChannel[static_cast<std::size_t>(block.channel)] = &block;
    }
    ChannelConfig read;
    for (int channel = 0; channel < ChannelCount; ++channel) {
        const Block* block = byChannel[static_cast<std::size_t>(channel)];
        if (block == nullptr) {
            return parser.atEnd("the text ends without channel " + std::to_string(channel + 1));
        }
        read.Switches.Channels[static_cast<std::size_t>(channel)] = block->settings.Switches;
        setRecall(read.Recall, channel, RecallField::MicGain, block->settings.MicGainRecall);
        setRecall(read.Recall, channel, RecallField::Fader, block->settings.FaderRecall);
    }
    config = read;
    return std::nullopt;
}

} // namespace mx
