#include "group_line.h"

#include "text_words.h"

#include <span>

namespace mx {

namespace {

std::string quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

struct Piece {
    std::string_view text;
    int column = 1;
};

Piece trimmedPiece(std::string_view text, int column) {
    const std::string_view kept = trimmed(text);
    return {kept, column + static_cast<int>(kept.data() - text.data())};
}

// "PGM, TB 1", "bit 64" or "none": the bits a list names.
std::optional<LineProblem> readList(Piece list, std::span<const BitName> names, const char* what,
                                    bool forgiving, std::uint8_t& value) {
    value = 0;
    if (list.text.empty()) {
        return LineProblem{list.column,
                           std::string("no ") + what + " is named; write \"none\" for none"};
    }
    if (sameText(list.text, NoBits, forgiving)) {
        return std::nullopt;
    }
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = list.text.find(',', start);
        const std::size_t end = comma == std::string_view::npos ? list.text.size() : comma;
        const Piece item = trimmedPiece(list.text.substr(start, end - start),
                                        list.column + static_cast<int>(start));
        if (item.text.empty()) {
            return LineProblem{item.column, std::string("a ") + what + " is missing here"};
        }
        const BitName* found = nullptr;
        for (const BitName& name : names) {
            if (sameText(item.text, name.name, forgiving)) {
                found = &name;
            }
        }
        if (found == nullptr) {
            return LineProblem{item.column,
                               std::string("unknown ") + what + " " + quoted(item.text)};
        }
        if ((value & found->bit) != 0) {
            return LineProblem{item.column, quoted(item.text) + " is named twice"};
        }
        value = static_cast<std::uint8_t>(value | found->bit);
        if (comma == std::string_view::npos) {
            return std::nullopt;
        }
        start = comma + 1;
    }
}

} // namespace

std::optional<LineProblem> readGroupLine(std::string_view text, int column, bool forgiving,
                                         GroupLine& line) {
    const std::size_t colon = text.find(':');
    const Piece caption = trimmedPiece(text.substr(0, colon), column);
    const Piece list =
        trimmedPiece(colon == std::string_view::npos ? std::string_view() : text.substr(colon + 1),
                     column + static_cast<int>(colon + 1));
    std::size_t index = 0;
    while (index < LinesPerBlock && !sameText(caption.text, lineCaption(index), forgiving)) {
        ++index;
    }
    if (index == LinesPerBlock) {
        return LineProblem{caption.column, "unknown group " + quoted(caption.text)};
    }
    line.index = index;
    return index == RecallLine
               ? readList(list, RecallFlagNames, "recall flag", forgiving, line.value)
               : readList(list, MaskBitNames, "switch", forgiving, line.value);
}

std::string_view lineCaption(std::size_t index) {
    return index == RecallLine ? RecallCaption : fieldCaption(AllSwitchFields[index]);
}

void setLine(ChannelSettings& settings, const GroupLine& line) {
    if (line.index == RecallLine) {
        setRecallFlags(settings, line.value);
    } else {
        fieldOf(settings.Switches, AllSwitchFields[line.index]) = line.value;
    }
}

} // namespace mx
