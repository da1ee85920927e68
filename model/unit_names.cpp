#include "unit_names.h"

#include "printable_text.h"
#include "text_words.h"

#include <algorithm>

namespace mx {

namespace {

constexpr std::string_view UnitWord = "Unit";
constexpr std::string_view ChannelWord = "Channel";
constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

// The next character of UTF-8 text at i, which moves past it; nothing for
// bytes that are not UTF-8 (overlong forms and surrogates included).
std::optional<char32_t> nextCharacter(std::string_view text, std::size_t& i) {
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
    const unsigned char first = byte(i);
    const int length = first < 0x80           ? 1
                       : (first >> 5) == 0x6  ? 2
                       : (first >> 4) == 0xE  ? 3
                       : (first >> 3) == 0x1E ? 4
                                              : 0;
    if (length == 0 || i + static_cast<std::size_t>(length) > text.size()) {
        return std::nullopt;
    }
    char32_t c = length == 1 ? first : first & (0x7F >> length);
    for (int k = 1; k < length; ++k) {
        if ((byte(i + static_cast<std::size_t>(k)) & 0xC0) != 0x80) {
            return std::nullopt;
        }
        c = (c << 6) | (byte(i + static_cast<std::size_t>(k)) & 0x3F);
    }
    constexpr std::array<char32_t, 5> Least = {0, 0, 0x80, 0x800, 0x10000};
    if (c < Least[static_cast<std::size_t>(length)] || c > 0x10FFFF ||
        (c >= 0xD800 && c <= 0xDFFF)) {
        return std::nullopt;
    }
    i += static_cast<std::size_t>(length);
    return c;
}

// Controls, and the invisible marks that reorder or break what follows: the
// line and paragraph separators and every bidirectional control.
bool isControl(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 || c == 0x061C ||
           (c >= 0x200E && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

// A character as "U+202E": quoted raw, a control would act on the message
// that names it.
std::string codePoint(char32_t c) {
    constexpr std::string_view Digits = "0123456789ABCDEF";
    std::string hex;
    for (int shift = c > 0xFFFF ? 20 : 12; shift >= 0; shift -= 4) {
        hex += Digits[(c >> shift) & 0xF];
    }
    return "U+" + hex;
}

bool startsWithWord(std::string_view line, std::string_view word) {
    return sameText(line.substr(0, word.size()), word, true);
}

} // namespace

bool UnitNames::empty() const {
    return unit.empty() && std::all_of(channels.begin(), channels.end(),
                                       [](const std::string& name) { return name.empty(); });
}

CheckedName checkName(std::string_view typed) {
    const std::string_view name = trimmed(typed);
    std::size_t characters = 0;
    for (std::size_t i = 0; i < name.size(); ++characters) {
        const std::size_t start = i;
        const auto c = nextCharacter(name, i);
        if (!c) {
            return {{}, "it is not UTF-8 text (" + printable(name.substr(start, 1)) + ")"};
        }
        if (isControl(*c)) {
            return {{}, "it holds a control character, " + codePoint(*c)};
        }
    }
    if (characters > LongestName) {
        return {{},
                "it is " + std::to_string(characters) + " characters long; a name has at most " +
                    std::to_string(LongestName)};
    }
    return {std::string(name), {}};
}

std::optional<NameLine> readNameLine(std::string_view line) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view head = trimmed(line.substr(0, colon));
    NameLine named;
    if (head.size() == UnitWord.size() && startsWithWord(head, UnitWord)) {
        named.channel = -1;
    } else if (startsWithWord(head, ChannelWord)) {
        const std::string_view number = trimmed(head.substr(ChannelWord.size()));
        if (number.size() == head.size() - ChannelWord.size() || number.empty() ||
            !std::all_of(number.begin(), number.end(),
                         [](char c) { return c >= '0' && c <= '9'; })) {
            return std::nullopt;
        }
        named.channel = number.size() == 1 ? number[0] - '1' : -1;
        if (!isChannel(named.channel)) {
            named.problem = "there is no channel " + std::string(number) + "; channels are 1 to 8";
            named.column = static_cast<int>(number.data() - line.data()) + 1;
            return named;
        }
    } else {
        return std::nullopt;
    }
    const std::string_view rest = line.substr(colon + 1);
    const std::size_t lead = rest.find_first_not_of(" \t");
    named.column = static_cast<int>(colon + 2 + (lead == std::string_view::npos ? 0 : lead));
    CheckedName checked = checkName(rest);
    named.name = std::move(checked.name);
    if (!checked.problem.empty()) {
        named.problem = "the name cannot be used: " + checked.problem;
    }
    return named;
}

std::string namesToText(const UnitNames& names) {
    std::string text = "# The names of this unit and its channels, kept by MX_config beside\n"
                       "# switches.mx and settings.cmx. \"Unit: <name>\", \"Channel N: <name>\";\n"
                       "# a line starting with # is a comment.\n";
    if (!names.unit.empty()) {
        text += std::string(UnitWord) + ": " + names.unit + "\n";
    }
    for (int channel = 0; channel < ChannelCount; ++channel) {
        const std::string& name = names.channels[static_cast<std::size_t>(channel)];
        if (!name.empty()) {
            text +=
                std::string(ChannelWord) + " " + std::to_string(channel + 1) + ": " + name + "\n";
        }
    }
    return text;
}

std::optional<TextError> namesFromText(std::string_view text, UnitNames& names) {
    if (text.substr(0, ByteOrderMark.size()) == ByteOrderMark) {
        text.remove_prefix(ByteOrderMark.size());
    }
    UnitNames read;
    std::array<int, ChannelCount + 1> namedOn{}; // the line each was named on; the unit last
    int lineNumber = 0;
    for (std::size_t start = 0; start <= text.size(); ++lineNumber) {
        std::size_t end = text.find('\n', start);
        end = end == std::string_view::npos ? text.size() : end;
        std::string_view raw = text.substr(start, end - start);
        start = end + 1;
        if (!raw.empty() && raw.back() == '\r') {
            raw.remove_suffix(1);
        }
        const std::string_view line = trimmed(raw);
        const int indent = static_cast<int>(line.data() - raw.data());
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const auto named = readNameLine(line);
        if (!named) {
            return TextError{lineNumber + 1, indent + 1,
                             "expected \"Unit: <name>\" or \"Channel N: <name>\""};
        }
        if (!named->problem.empty()) {
            return TextError{lineNumber + 1, indent + named->column, named->problem};
        }
        const std::size_t slot =
            named->channel < 0 ? ChannelCount : static_cast<std::size_t>(named->channel);
        if (namedOn[slot] != 0) {
            return TextError{
                lineNumber + 1, indent + 1,
                (named->channel < 0 ? std::string("the unit")
                                    : "channel " + std::to_string(named->channel + 1)) +
                    " is named twice (first on line " + std::to_string(namedOn[slot]) + ")"};
        }
        namedOn[slot] = lineNumber + 1;
        (named->channel < 0 ? read.unit : read.channels[slot]) = named->name;
    }
    names = read;
    return std::nullopt;
}

std::size_t nameLength(std::string_view name) {
    return static_cast<std::size_t>(std::count_if(name.begin(), name.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::string shortenedName(std::string_view name, std::size_t characters) {
    if (characters == 0) {
        return {};
    }
    if (nameLength(name) <= characters) {
        return std::string(name);
    }
    // Cut where a character starts, leaving room for the ellipsis.
    std::size_t kept = 0;
    std::size_t end = 0;
    for (; end < name.size(); ++end) {
        if ((static_cast<unsigned char>(name[end]) & 0xC0) != 0x80 && kept++ == characters - 1) {
            break;
        }
    }
    return std::string(name.substr(0, end)) + "\u2026";
}

std::string namedChannel(const UnitNames& names, int channel) {
    const std::string number = "Channel " + std::to_string(channel + 1);
    if (!isChannel(channel) || names.channels[static_cast<std::size_t>(channel)].empty()) {
        return number;
    }
    return number + " (" + names.channels[static_cast<std::size_t>(channel)] + ")";
}

} // namespace mx
