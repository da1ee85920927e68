#include "config_text.h"

#include "group_line.h"
#include "text_words.h"
#include "unit_names.h"

#include <array>
#include <bitset>
#include <cstdint>
#include <span>

namespace mx {

namespace {

constexpr std::string_view HeaderWord = "Channel";
constexpr std::string_view Indent = "  ";
constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view HeaderExpected = "expected \"[Channel 1]\" to \"[Channel 8]\"";
constexpr const char* NulByte = "a NUL byte, which no configuration text holds";

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

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// A part of one line, with the column where it starts.
struct Span {
    std::string_view text;
    int column = 1;

    Span from(std::size_t offset) const {
        return {text.substr(offset), column + static_cast<int>(offset)};
    }
};

Span trimmed(Span span) {
    const std::string_view text = mx::trimmed(span.text);
    return {text, span.column + static_cast<int>(text.data() - span.text.data())};
}

struct Block {
    int channel = 0;
    int headerLine = 0;
    ChannelSettings settings;
    std::bitset<LinesPerBlock> seen;
    std::string name;
};

} // namespace

class ConfigTextReader::Parser {
public:
    explicit Parser(TextReading reading) : forgiving_(reading == TextReading::Forgiving) {}

    std::optional<TextError> feed(std::string_view piece) {
        if (error_) {
            return error_;
        }
        pending_.append(piece);
        if (!startChecked_) {
            // The mark may arrive in more than one piece.
            if (pending_.size() < ByteOrderMark.size() &&
                ByteOrderMark.substr(0, pending_.size()) == pending_) {
                return std::nullopt;
            }
            dropByteOrderMark();
        }
        std::size_t start = 0;
        for (std::size_t newline = pending_.find('\n'); newline != std::string::npos;
             newline = pending_.find('\n', start)) {
            if (auto error = readLine(std::string_view(pending_).substr(start, newline - start))) {
                return fail(*error);
            }
            start = newline + 1;
        }
        pending_.erase(0, start);
        // A NUL byte is reported as soon as it arrives, not only once its
        // line ends: an input of nothing but NUL bytes never ends a line.
        if (const std::size_t nul = pending_.find('\0'); nul != std::string::npos) {
            return fail({lineNumber_ + 1, static_cast<int>(nul) + 1, NulByte});
        }
        return std::nullopt;
    }

    // The text has ended: its last line and its last block are read.
    std::optional<TextError> end() {
        if (error_) {
            return error_;
        }
        dropByteOrderMark();
        if (!pending_.empty()) {
            if (auto error = readLine(pending_)) {
                return fail(*error);
            }
            pending_.clear();
        }
        if (auto error = finishBlock()) {
            return fail(*error);
        }
        return std::nullopt;
    }

    bool sawText() const { return sawText_; }
    const std::vector<Block>& blocks() const { return blocks_; }
    const std::string& unitName() const { return unitName_; }
    bool namesGiven() const { return namesGiven_; }

    // An error about something missing at the end of the text.
    TextError atEnd(std::string message) const { return {lineNumber_ + 1, 1, std::move(message)}; }

private:
    TextError at(int column, std::string message) const {
        return {lineNumber_, column, std::move(message)};
    }

    TextError fail(const TextError& error) {
        error_ = error;
        pending_.clear();
        return error;
    }

    void dropByteOrderMark() {
        if (!startChecked_ && pending_.compare(0, ByteOrderMark.size(), ByteOrderMark) == 0) {
            pending_.erase(0, ByteOrderMark.size());
        }
        startChecked_ = true;
    }

    std::optional<TextError> readLine(std::string_view raw) {
        ++lineNumber_;
        if (!raw.empty() && raw.back() == '\r') {
            raw.remove_suffix(1);
        }
        if (const std::size_t nul = raw.find('\0'); nul != std::string_view::npos) {
            return at(static_cast<int>(nul) + 1, NulByte);
        }
        Span line{raw, 1};
        if (forgiving_) {
            // Quote marks of a mail, one or more, each with a space or not.
            line = trimmed(line);
            while (!line.text.empty() && line.text.front() == '>') {
                line = trimmed(line.from(1));
            }
        }
        // A name may hold a "#", so name lines are read before comments go.
        line = trimmed(line);
        if (auto named = readNameLine(line.text)) {
            sawText_ = true;
            return parseNameLine(line, *named);
        }
        if (const std::size_t hash = line.text.find('#'); hash != std::string_view::npos) {
            line.text = line.text.substr(0, hash);
        }
        line = trimmed(line);
        if (line.text.empty()) {
            return std::nullopt;
        }
        sawText_ = true;
        return parseLine(line);
    }

    // "Unit: Studio A" before the first channel, or "Channel 3: Guest 2".
    std::optional<TextError> parseNameLine(Span line, const NameLine& named) {
        if (!named.problem.empty()) {
            return at(line.column + named.column - 1, named.problem);
        }
        namesGiven_ = true;
        if (named.channel >= 0) {
            if (auto error = startBlock(named.channel, line.column)) {
                return error;
            }
            blocks_.back().name = named.name;
            return std::nullopt;
        }
        if (!blocks_.empty() && !forgiving_) {
            return at(line.column, "the unit's name goes before the first channel");
        }
        unitName_ = named.name;
        return std::nullopt;
    }

    std::optional<TextError> parseLine(Span line) {
        if (line.text.front() == '[') {
            return parseBracketHeader(line);
        }
        const std::size_t colon = line.text.find(':');
        if (colon == std::string_view::npos) {
            return parseHeader(line);
        }
        if (!inBlock_) {
            if (forgiving_) {
                return std::nullopt;
            }
            return at(line.column, "a group line must follow a \"Channel N\" line");
        }
        GroupLine read;
        if (auto problem = readGroupLine(line.text, line.column, forgiving_, read)) {
            return at(problem->column, problem->message);
        }
        Block& block = blocks_.back();
        if (block.seen.test(read.index)) {
            const std::string caption(trimmed(line.text.substr(0, colon)));
            return at(line.column, quoted(caption) + " is given twice for channel " +
                                       std::to_string(block.channel + 1));
        }
        block.seen.set(read.index);
        setLine(block.settings, read);
        // What follows a complete channel in a mail is not part of it.
        if (forgiving_ && block.seen.all()) {
            inBlock_ = false;
        }
        return std::nullopt;
    }

    // "Channel 3", the form written now.
    std::optional<TextError> parseHeader(Span line) {
        const Span word{line.text.substr(0, HeaderWord.size()), line.column};
        const Span number = trimmed(line.from(word.text.size()));
        const bool spaced = number.column > line.column + static_cast<int>(HeaderWord.size());
        bool digits = !number.text.empty();
        for (const char c : number.text) {
            digits = digits && isDigit(c);
        }
        if (!sameText(word.text, HeaderWord, forgiving_) || !spaced || !digits) {
            if (forgiving_ && !inBlock_) {
                return std::nullopt;
            }
            // Text after part of a channel, as a signature after a quote cut
            // short: what is wrong is what the channel lacks.
            if (forgiving_) {
                return missingLines(blocks_.back());
            }
            return at(line.column, "expected \"Channel N\" or \"<group>: <switches>\"");
        }
        const int channel = number.text.size() == 1 ? number.text[0] - '1' : -1;
        if (!isChannel(channel)) {
            return at(number.column,
                      "there is no channel " + std::string(number.text) + "; channels are 1 to 8");
        }
        return startBlock(channel, line.column);
    }

    // "[Channel 3]", the form written before.
    std::optional<TextError> parseBracketHeader(Span line) {
        if (line.text.back() != ']') {
            return at(line.column, std::string(HeaderExpected));
        }
        const Span inside = trimmed({line.text.substr(1, line.text.size() - 2), line.column + 1});
        if (!sameText(inside.text.substr(0, HeaderWord.size()), HeaderWord, forgiving_)) {
            return at(inside.column, std::string(HeaderExpected));
        }
        const Span number = trimmed(inside.from(HeaderWord.size()));
        if (number.text.size() != 1 || !isDigit(number.text[0]) ||
            number.column == inside.column + static_cast<int>(HeaderWord.size())) {
            return at(number.column, std::string(HeaderExpected));
        }
        const int channel = number.text[0] - '1';
        if (!isChannel(channel)) {
            return at(number.column,
                      "there is no channel " + std::string(number.text) + "; channels are 1 to 8");
        }
        return startBlock(channel, line.column);
    }

    std::optional<TextError> startBlock(int channel, int column) {
        if (auto error = finishBlock()) {
            return error;
        }
        for (const Block& block : blocks_) {
            if (block.channel == channel) {
                return at(column, "channel " + std::to_string(channel + 1) +
                                      " is given twice (first on line " +
                                      std::to_string(block.headerLine) + ")");
            }
        }
        blocks_.push_back(Block{channel, lineNumber_, {}, {}, {}});
        inBlock_ = true;
        return std::nullopt;
    }

    // A block ends at the next header or at the end of the text; it must
    // have every line by then.
    std::optional<TextError> finishBlock() {
        if (!inBlock_) {
            return std::nullopt;
        }
        inBlock_ = false;
        const Block& block = blocks_.back();
        if (forgiving_ && !block.seen.all()) {
            return missingLines(block);
        }
        for (std::size_t index = 0; index < LinesPerBlock; ++index) {
            if (!block.seen.test(index)) {
                return TextError{block.headerLine, 1,
                                 "channel " + std::to_string(block.channel + 1) +
                                     " has no line for " + quoted(lineCaption(index))};
            }
        }
        return std::nullopt;
    }

    // "channel 8 lacks 12 of its 15 lines: Disabled (MX only), …", at the
    // channel's header.
    static TextError missingLines(const Block& block) {
        std::string names;
        for (std::size_t index = 0; index < LinesPerBlock; ++index) {
            if (!block.seen.test(index)) {
                names += (names.empty() ? "" : ", ") + quoted(lineCaption(index));
            }
        }
        return TextError{block.headerLine, 1,
                         "channel " + std::to_string(block.channel + 1) + " lacks " +
                             std::to_string(LinesPerBlock - block.seen.count()) + " of its " +
                             std::to_string(LinesPerBlock) + " lines: " + names};
    }

    const bool forgiving_;
    std::string pending_;
    bool startChecked_ = false;
    std::optional<TextError> error_;
    std::vector<Block> blocks_;
    bool inBlock_ = false;
    bool sawText_ = false;
    int lineNumber_ = 0;
    std::string unitName_;
    // Whether any name line was read, an empty one included.
    bool namesGiven_ = false;
};

std::string TextError::describe() const {
    return "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + message;
}

std::string channelToText(int channel, const ChannelSettings& settings, const std::string& name) {
    const std::string number = std::to_string(channel + 1);
    // Three lines between the channel's line and its first mask: git names
    // a hunk by the nearest line above its three lines of context that
    // starts with a letter, so that even a change to the first mask is
    // named by its own channel.
    std::string text = std::string(HeaderWord) + " " + number + (name.empty() ? "" : ": " + name) +
                       "\n" + std::string(Indent) +
                       "# The switches ticked in each group of the window for channel " + number +
                       ",\n" + std::string(Indent) +
                       "# or none; bits 32 and 64 name no switch. Recall: what the channel\n" +
                       std::string(Indent) + "# recalls at start-up.\n";
    for (const SwitchField field : AllSwitchFields) {
        text += std::string(Indent) + fieldCaption(field) + ": " +
                namesOf(fieldOf(settings.Switches, field), MaskBitNames) + "\n";
    }
    return text + std::string(Indent) + RecallCaption + ": " +
           namesOf(recallFlags(settings), RecallFlagNames) + "\n";
}

std::string configToText(const ChannelConfig& config) {
    return configToText(config, UnitNames{});
}

std::string configToText(const ChannelConfig& config, const UnitNames& names) {
    std::string text = "# MX_config configuration\n";
    if (!names.unit.empty()) {
        text += "Unit: " + names.unit + "\n";
    }
    text += "\n";
    for (int channel = 0; channel < ChannelCount; ++channel) {
        text += channelToText(channel, *channelSettings(config, channel),
                              names.channels[static_cast<std::size_t>(channel)]) +
                "\n";
    }
    return text;
}

ConfigTextReader::ConfigTextReader(TextReading reading)
    : parser_(std::make_unique<Parser>(reading)) {}

ConfigTextReader::~ConfigTextReader() = default;

std::optional<TextError> ConfigTextReader::feed(std::string_view piece) {
    return parser_->feed(piece);
}

bool ConfigTextReader::namesGiven() const {
    return parser_->namesGiven();
}

bool ConfigTextReader::sawText() const {
    return parser_->sawText();
}

std::optional<TextError> ConfigTextReader::finish(std::vector<ChannelText>& channels) {
    if (auto error = parser_->end()) {
        return error;
    }
    channels.clear();
    for (const Block& block : parser_->blocks()) {
        channels.push_back({block.channel, block.settings, block.name});
    }
    return std::nullopt;
}

std::optional<TextError> ConfigTextReader::finish(ChannelText& channel) {
    std::vector<ChannelText> channels;
    if (auto error = finish(channels)) {
        return error;
    }
    if (channels.empty()) {
        return parser_->atEnd("the text holds no \"Channel N\" block");
    }
    if (channels.size() > 1) {
        return TextError{parser_->blocks()[1].headerLine, 1, "only one channel was expected"};
    }
    channel = channels.front();
    return std::nullopt;
}

std::optional<TextError> ConfigTextReader::finish(ChannelConfig& config, UnitNames* names) {
    std::vector<ChannelText> channels;
    if (auto error = finish(channels)) {
        return error;
    }
    std::array<const ChannelText*, ChannelCount> byChannel{};
    for (const ChannelText& channel : channels) {
        byChannel[static_cast<std::size_t>(channel.channel)] = &channel;
    }
    ChannelConfig read;
    UnitNames named{parser_->unitName(), {}};
    for (int channel = 0; channel < ChannelCount; ++channel) {
        const ChannelText* block = byChannel[static_cast<std::size_t>(channel)];
        if (block == nullptr) {
            return parser_->atEnd("the text ends without channel " + std::to_string(channel + 1));
        }
        replaceChannel(read, channel, block->settings);
        named.channels[static_cast<std::size_t>(channel)] = block->name;
    }
    config = read;
    if (names != nullptr) {
        *names = named;
    }
    return std::nullopt;
}

std::optional<TextError> channelFromText(std::string_view text, ChannelText& channel,
                                         TextReading reading) {
    ConfigTextReader reader(reading);
    reader.feed(text);
    return reader.finish(channel);
}

std::optional<TextError> configFromText(std::string_view text, ChannelConfig& config,
                                        UnitNames* names) {
    ConfigTextReader reader;
    reader.feed(text);
    return reader.finish(config, names);
}

} // namespace mx
