// The byte classes CMarkup's reader and writer share: whitespace, the delimiters that end a
// token, quotes, and the largest text the index can address. Internal to markup/.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

namespace markup_detail {

inline constexpr size_t kMaxText = static_cast<size_t>(std::numeric_limits<int32_t>::max());
inline constexpr size_t kNpos = std::string::npos;

// Byte classes of the tokenizer: whitespace, and the delimiters that end a token (whitespace
// among them).
inline constexpr uint8_t kSpace = 1;
inline constexpr uint8_t kDelimiter = 2;
inline constexpr std::array<uint8_t, 256> kClasses = [] {
    std::array<uint8_t, 256> classes{};
    for (char c : std::string_view(" \t\n\r")) {
        classes[static_cast<uint8_t>(c)] = kSpace | kDelimiter;
    }
    for (char c : std::string_view("<>=\\/?!")) {
        classes[static_cast<uint8_t>(c)] = kDelimiter;
    }
    return classes;
}();

inline bool IsSpace(uint8_t c) {
    return (kClasses[c] & kSpace) != 0;
}

inline bool IsDelimiter(uint8_t c) {
    return (kClasses[c] & kDelimiter) != 0;
}

inline bool IsQuote(uint8_t c) {
    return c == '"' || c == '\'';
}

} // namespace markup_detail
