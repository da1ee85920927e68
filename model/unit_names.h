#pragma once

// Names for a unit and its channels, as a person gives them ("Studio A",
// "Guest 2"). They are kept beside the unit's two files, in "names.txt", and
// never in them: the unit's bytes are the same whether it is named or not.
//
//   # comments
//   Unit: Studio A
//   Channel 3: Guest 2
//
// A name is at most 40 characters of printable UTF-8 text, without the
// spaces around it; control characters are refused.

#include "channel_config.h"
#include "config_text.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace mx {

inline constexpr const char* NamesFileName = "names.txt";
inline constexpr std::size_t LongestName = 40;

struct UnitNames {
    std::string unit;
    std::array<std::string, ChannelCount> channels;

    bool empty() const;
    friend bool operator==(const UnitNames&, const UnitNames&) = default;
};

// A name as typed, its surrounding spaces taken off, or why it cannot be
// one ("it holds a control character, \x1b").
struct CheckedName {
    std::string name;
    std::string problem;
};
CheckedName checkName(std::string_view typed);

// A line "Unit: <name>" (channel -1) or "Channel N: <name>" (channel 0 to
// 7), its blanks around it taken off already; nothing when the line is
// neither. problem says why it names nothing, at column (counting from 1).
struct NameLine {
    int channel = -1;
    std::string name;
    std::string problem;
    int column = 1;
};
std::optional<NameLine> readNameLine(std::string_view line);

// The text of names.txt, with a comment that says what it is.
std::string namesToText(const UnitNames& names);

// Reads the text of names.txt; on failure names is left as it was.
std::optional<TextError> namesFromText(std::string_view text, UnitNames& names);

// A name cut to at most `characters` characters, its end then "…", for
// columns of a fixed width.
std::string shortenedName(std::string_view name, std::size_t characters);
// How many characters a name has.
std::size_t nameLength(std::string_view name);

// The channel as people read it: "Channel 3", or "Channel 3 (Guest 2)".
std::string namedChannel(const UnitNames& names, int channel);

} // namespace mx
