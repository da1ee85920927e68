#pragma once

// The few rules by which the text form and names.txt read words: blanks,
// trimming, and ASCII letters in any case. One definition for both readers.

#include <string_view>

namespace mx {

inline bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

inline char lowerCase(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The text less the blanks before and after it.
inline std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// Equal texts; in any case of ASCII letters when anyCase is set.
inline bool sameText(std::string_view a, std::string_view b, bool anyCase) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && !(anyCase && lowerCase(a[i]) == lowerCase(b[i]))) {
            return false;
        }
    }
    return true;
}

} // namespace mx
