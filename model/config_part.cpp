#include "config_part.h"

#include "text_words.h"

#include <algorithm>
#include <vector>

namespace mx {

namespace {

constexpr std::string_view ChannelsWord = "Channels";
constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

std::string quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

bool isNumber(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// One channel's number as written, at column; nothing when it is no channel.
std::optional<int> channelNumber(std::string_view text, int column, LineProblem& problem) {
    if (!isNumber(text)) {
        problem = {column, "expected a channel's number, 1 to 8, not " + quoted(text)};
        return std::nullopt;
    }
    const int channel = text.size() == 1 ? text[0] - '1' : -1;
    if (!isChannel(channel)) {
        problem = {column, "there is no channel " + std::string(text) + "; channels are 1 to 8"};
        return std::nullopt;
    }
    return channel;
}

// "1-8", "1, 3, 5" or "2, 4-6": the channels a "Channels" line lists.
std::optional<LineProblem> readChannelList(std::string_view list, int column,
                                           std::vector<int>& channels) {
    if (trimmed(list).empty()) {
        return LineProblem{column, "no channel is listed; write \"Channels 1-8\" or \"Channels "
                                   "1, 3\""};
    }
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t comma = std::min(list.find(',', start), list.size());
        const std::string_view item = list.substr(start, comma - start);
        const std::string_view kept = trimmed(item);
        const int at = column + static_cast<int>(start + (kept.data() - item.data()));
        const std::size_t dash = kept.find('-');
        LineProblem problem;
        const auto first = channelNumber(trimmed(kept.substr(0, dash)), at, problem);
        const auto last = dash == std::string_view::npos
                              ? first
                              : channelNumber(trimmed(kept.substr(dash + 1)),
                                              at + static_cast<int>(dash + 1), problem);
        if (!first || !last) {
            return problem;
        }
        if (*last < *first) {
            return LineProblem{at, "a range runs upwards, as \"1-8\""};
        }
        for (int channel = *first; channel <= *last; ++channel) {
            if (std::find(channels.begin(), channels.end(), channel) != channels.end()) {
                return LineProblem{at,
                                   "channel " + std::to_string(channel + 1) + " is listed twice"};
            }
            channels.push_back(channel);
        }
        start = comma + 1;
    }
    return std::nullopt;
}

class PartReader {
public:
    std::optional<TextError> readLine(std::string_view raw) {
        ++line_;
        if (!raw.empty() && raw.back() == '\r') {
            raw.remove_suffix(1);
        }
        if (const std::size_t nul = raw.find('\0'); nul != std::string_view::npos) {
            return at(static_cast<int>(nul) + 1, "a NUL byte, which no configuration text holds");
        }
        const std::string_view text = trimmed(raw);
        const int column = 1 + static_cast<int>(text.data() - raw.data());
        // A name may hold a "#": name lines are read before comments go.
        if (const auto named = readNameLine(text)) {
            return nameLine(*named, column);
        }
        const std::string_view uncommented = trimmed(text.substr(0, text.find('#')));
        if (uncommented.empty()) {
            return std::nullopt;
        }
        if (startsWith(uncommented, ChannelsWord) && (uncommented.size() == ChannelsWord.size() ||
                                                      isBlank(uncommented[ChannelsWord.size()]))) {
            return channelsLine(uncommented.substr(ChannelsWord.size()),
                                column + static_cast<int>(ChannelsWord.size()), column);
        }
        if (uncommented.find(':') == std::string_view::npos) {
            return channelLine(uncommented, column);
        }
        return groupLine(uncommented, column);
    }

    std::optional<TextError> finish(ConfigPart& part) {
        if (auto error = closeHeader()) {
            return error;
        }
        if (!setsAnything_) {
            return TextError{line_ + 1, 1,
                             "the part sets nothing: give a \"Channel N\" line "
                             "and the lines to set under it"};
        }
        part = part_;
        return std::nullopt;
    }

private:
    static bool startsWith(std::string_view text, std::string_view word) {
        return text.size() >= word.size() && sameText(text.substr(0, word.size()), word, false);
    }

    TextError at(int column, std::string message) const {
        return {line_, column, std::move(message)};
    }

    std::optional<TextError> nameLine(const NameLine& named, int column) {
        if (!named.problem.empty()) {
            return at(column + named.column - 1, named.problem);
        }
        if (named.channel < 0) {
            if (headerLine_ != 0 || !channels_.empty()) {
                return at(column, "the unit's name goes before the first channel");
            }
            part_.unit = named.name;
            setsAnything_ = true;
            return std::nullopt;
        }
        if (auto error = openHeader({named.channel}, column)) {
            return error;
        }
        part_.channels[static_cast<std::size_t>(named.channel)].name = named.name;
        headerSets_ = setsAnything_ = true;
        return std::nullopt;
    }

    std::optional<TextError> channelLine(std::string_view text, int column) {
        constexpr std::string_view Word = "Channel";
        if (!startsWith(text, Word) || text.size() == Word.size() || !isBlank(text[Word.size()])) {
            return at(column,
                      "expected \"Channel N\", \"Channels 1-8\" or \"<group>: <switches>\"");
        }
        const std::string_view rest = text.substr(Word.size());
        const std::string_view number = trimmed(rest);
        LineProblem problem;
        const auto channel = channelNumber(
            number, column + static_cast<int>(Word.size() + (number.data() - rest.data())),
            problem);
        if (!channel) {
            return at(problem.column, problem.message);
        }
        return openHeader({*channel}, column);
    }

    std::optional<TextError> channelsLine(std::string_view list, int listColumn, int column) {
        std::vector<int> channels;
        if (auto problem = readChannelList(list, listColumn, channels)) {
            return at(problem->column, problem->message);
        }
        return openHeader(channels, column);
    }

    std::optional<TextError> openHeader(std::vector<int> channels, int column) {
        if (auto error = closeHeader()) {
            return error;
        }
        channels_ = std::move(channels);
        headerLine_ = line_;
        headerColumn_ = column;
        headerSets_ = false;
        return std::nullopt;
    }

    // A channel's line with nothing under it is a mistake, not a no-op.
    std::optional<TextError> closeHeader() const {
        if (headerLine_ != 0 && !headerSets_) {
            return TextError{headerLine_, headerColumn_,
                             "nothing is set under this line: give the lines to set under it"};
        }
        return std::nullopt;
    }

    std::optional<TextError> groupLine(std::string_view text, int column) {
        if (channels_.empty()) {
            return at(column, "a group line must follow a \"Channel N\" line");
        }
        GroupLine read;
        if (auto problem = readGroupLine(text, column, false, read)) {
            return at(problem->column, problem->message);
        }
        for (const int channel : channels_) {
            ConfigPart::Channel& target = part_.channels[static_cast<std::size_t>(channel)];
            if (target.given.test(read.index)) {
                return at(column, quoted(trimmed(text.substr(0, text.find(':')))) +
                                      " is given twice for channel " + std::to_string(channel + 1));
            }
            target.given.set(read.index);
            setLine(target.settings, read);
        }
        headerSets_ = setsAnything_ = true;
        return std::nullopt;
    }

    ConfigPart part_;
    std::vector<int> channels_;
    int line_ = 0;
    int headerLine_ = 0;
    int headerColumn_ = 1;
    bool headerSets_ = false;
    bool setsAnything_ = false;
};

} // namespace

bool ConfigPart::namesGiven() const {
    if (unit) {
        return true;
    }
    return std::any_of(channels.begin(), channels.end(),
                       [](const Channel& channel) { return channel.name.has_value(); });
}

void ConfigPart::applyTo(ChannelConfig& config, UnitNames& names, bool keepNames) const {
    for (int index = 0; index < ChannelCount; ++index) {
        const Channel& part = channels[static_cast<std::size_t>(index)];
        ChannelSettings settings = *channelSettings(config, index);
        for (std::size_t line = 0; line < LinesPerBlock; ++line) {
            if (part.given.test(line)) {
                const GroupLine set{line, line == RecallLine ? recallFlags(part.settings)
                                                             : fieldOf(part.settings.Switches,
                                                                       AllSwitchFields[line])};
                setLine(settings, set);
            }
        }
        replaceChannel(config, index, settings);
        if (part.name && !keepNames) {
            names.channels[static_cast<std::size_t>(index)] = *part.name;
        }
    }
    if (unit && !keepNames) {
        names.unit = *unit;
    }
}

std::optional<TextError> partFromText(std::string_view text, ConfigPart& part) {
    if (text.substr(0, ByteOrderMark.size()) == ByteOrderMark) {
        text.remove_prefix(ByteOrderMark.size());
    }
    PartReader reader;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        if (auto error = reader.readLine(text.substr(start, end - start))) {
            return error;
        }
        start = end + 1;
    }
    return reader.finish(part);
}

} // namespace mx
