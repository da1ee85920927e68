#include "printable_text.h"

#include <array>
#include <cstdint>

namespace mx {

namespace {

// A backslash is doubled, so that no text can fake an escape; on Windows,
// where it separates a path's folders and no name holds one, it is shown as
// it is, so that "C:\units\u1" reads as the user wrote it.
#if defined(_WIN32)
constexpr std::string_view BackslashShown = "\\";
#else
constexpr std::string_view BackslashShown = "\\\\";
#endif

std::string hexEscape(unsigned char byte) {
    constexpr std::array<char, 16> Digits = {'0', '1', '2', '3', '4', '5', '6', '7',
                                             '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};
    return {'\\', 'x', Digits[byte >> 4], Digits[byte & 0x0F]};
}

// The length of the valid UTF-8 sequence that starts at text[at], or 0.
std::size_t sequenceLength(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    std::uint32_t lowest = 0;
    std::uint32_t value = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        lowest = 0x80;
        value = lead & 0x1FU;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        lowest = 0x800;
        value = lead & 0x0FU;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        lowest = 0x10000;
        value = lead & 0x07U;
    } else {
        return 0;
    }
    if (at + length > text.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return 0;
        }
        value = (value << 6) | (byte(i) & 0x3FU);
    }
    const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
    // U+0080 to U+009F are control characters as well.
    const bool control = value <= 0x9F;
    return value < lowest || value > 0x10FFFF || surrogate || control ? 0 : length;
}

} // namespace

std::string printable(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte >= 0x80) {
            if (const std::size_t length = sequenceLength(bytes, i); length != 0) {
                text.append(bytes.substr(i, length));
                i += length;
            } else {
                text += hexEscape(byte);
                ++i;
            }
            continue;
        }
        switch (byte) {
        case '\n':
            text += "\\n";
            break;
        case '\r':
            text += "\\r";
            break;
        case '\t':
            text += "\\t";
            break;
        case '\\':
            text += BackslashShown;
            break;
        default:
            if (byte < 0x20 || byte == 0x7F) {
                text += hexEscape(byte);
            } else {
                text += static_cast<char>(byte);
            }
        }
        ++i;
    }
    return text;
}

} // namespace mx
