// UTF-8 and UTF-16 among themselves: the transcoding every code page's text goes through, and
// the little-endian bytes of the stored form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Undecodable UTF-8 and lone surrogates become this character.
inline constexpr char16_t kReplacement = 0xFFFD;

// Length of the well-formed UTF-8 sequence at `pos` (its value in `value` when given), or 0
// when the bytes there are not one.
size_t Utf8SequenceLength(std::string_view s, size_t pos, char32_t* value);
// Undecodable bytes become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view s);
// A lone surrogate has no UTF-8 form; it becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view s);

// The stored form in one pass, in chunks that stay in cache: appends the UTF-16LE bytes of
// UTF-8 text to `out` (which should have room reserved), or the UTF-8 text of `units`
// UTF-16LE code units up to the first NUL character.
void AppendUtf8AsUtf16Le(std::string_view s, std::vector<uint8_t>& out);
void AppendUtf16LeAsUtf8(const uint8_t* data, size_t units, std::string& out);

// The byte offset of the first sequence in `text` that is not UTF-8 (overlong forms,
// surrogates and values past U+10FFFF included), or npos when all of it is.
size_t FirstInvalidUtf8(std::string_view text);

// UTF-16 code units to and from their little-endian bytes; an odd last byte is ignored.
std::vector<uint8_t> Utf16ToLeBytes(std::u16string_view text);
std::u16string Utf16FromLeBytes(const uint8_t* data, size_t length);
