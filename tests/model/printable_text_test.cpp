#include "printable_text.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <string>

namespace mx {
namespace {

TEST(PrintableText, EscapesWhatATerminalWouldObeyAndKeepsText) {
    struct Case {
        const char* what;
        std::string bytes;
        std::string shown;
    };
    const Case cases[] = {
        {"printable ASCII", " unit-04/A~z", " unit-04/A~z"},
        {"line breaks and tabs", "a\nb\rc\td", "a\\nb\\rc\\td"},
        {"DEL", "a\x7f", "a\\x7f"},
#if defined(_WIN32)
        {"a backslash separates folders", "C:\\units\\u1", "C:\\units\\u1"},
#else
        {"a backslash is doubled, so an escape cannot be faked", "\\x1b", "\\\\x1b"},
#endif
        {"C1 controls, one-byte CSI included", "\xc2\x80\xc2\x9b\xc2\x9f",
         "\\xc2\\x80\\xc2\\x9b\\xc2\\x9f"},
        {"the first character past C1", "\xc2\xa0", "\xc2\xa0"},
        {"multi-byte characters", "Gr\xc3\xbc\xc3\x9f\x65 \xe2\x82\xac \xf0\x9d\x84\x9e",
         "Gr\xc3\xbc\xc3\x9f\x65 \xe2\x82\xac \xf0\x9d\x84\x9e"},
        {"bytes that are no UTF-8", "\xff\xfe", "\\xff\\xfe"},
        {"a sequence cut short", "a\xe2\x82", "a\\xe2\\x82"},
        {"an overlong slash", "\xc0\xaf", "\\xc0\\xaf"},
        {"a surrogate", "\xed\xa0\x80", "\\xed\\xa0\\x80"},
        {"past U+10FFFF", "\xf4\x90\x80\x80", "\\xf4\\x90\\x80\\x80"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(printable(c.bytes), c.shown) << c.what;
    }
    // Every C0 control but the three named ones as a hex escape.
    for (int byte = 0; byte < 0x20; ++byte) {
        if (byte == '\n' || byte == '\r' || byte == '\t') {
            continue;
        }
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02x", byte);
        EXPECT_EQ(printable(std::string(1, static_cast<char>(byte))), hex) << byte;
    }
}

} // namespace
} // namespace mx
