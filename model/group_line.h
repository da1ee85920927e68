#pragma once

// One line of a channel's block in the text form, "Latching: PGM, TB 1" or
// "Recall: Mic gain": read alike by the whole text and by a part of it.

#include "channel_config.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mx {

// What a line says when it names no bit.
inline constexpr std::string_view NoBits = "none";

// The fourteen groups, then the recall line.
inline constexpr std::size_t LinesPerBlock = SwitchFieldCount + 1;
inline constexpr std::size_t RecallLine = SwitchFieldCount;

struct GroupLine {
    std::size_t index = 0;  // which of the block's lines
    std::uint8_t value = 0; // the bits it names
};

// Why a line is not one, at a column of it (counting from 1).
struct LineProblem {
    int column = 1;
    std::string message;
};

// Reads "<group>: <switches>" (text starts at column). Forgiving reading
// takes captions and names in any case.
std::optional<LineProblem> readGroupLine(std::string_view text, int column, bool forgiving,
                                         GroupLine& line);

// The caption of a block's line: a group's, or "Recall".
std::string_view lineCaption(std::size_t index);

// Sets one line of a channel's settings: a group's mask, or the recall flags.
void setLine(ChannelSettings& settings, const GroupLine& line);

} // namespace mx
