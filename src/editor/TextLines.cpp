#include "editor/TextLines.h"

#include <cstring>

#if defined(__SSE2__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
#include <emmintrin.h>
#define OV_LINES_SSE2 1
#endif

namespace {

bool IsLineBreak(char16_t c) {
    return c == u'\n' || c == 0x2028 || c == 0x2029;
}

bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

bool IsLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// A unit that is not stored as it is: a line break, a CR or a surrogate.
bool NeedsCare(char16_t c) {
    return c == u'\r' || IsLineBreak(c) || (c & 0xF800) == 0xD800;
}

#ifdef OV_LINES_SSE2
// A bit pair for each of the eight units at `p` that needs care.
int CareMask(__m128i v) {
    const __m128i breaks = _mm_or_si128(_mm_cmpeq_epi16(v, _mm_set1_epi16(0x0D)),
                                        _mm_cmpeq_epi16(v, _mm_set1_epi16(0x0A)));
    const __m128i separators = _mm_cmpeq_epi16(
        _mm_and_si128(v, _mm_set1_epi16(static_cast<short>(0xFFFE))), _mm_set1_epi16(0x2028));
    const __m128i surrogates =
        _mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(static_cast<short>(0xF800))),
                        _mm_set1_epi16(static_cast<short>(0xD800)));
    return _mm_movemask_epi8(_mm_or_si128(_mm_or_si128(breaks, separators), surrogates));
}
#endif

// Copies `text`, writing `separator` for each line break.
std::string ReplaceLineBreaks(std::string_view text, std::string_view separator) {
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
            out.append(separator);
        } else if (c == '\n') {
            out.append(separator);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

} // namespace

std::string LinesFromStoredText(std::string_view stored) {
    return ReplaceLineBreaks(stored, "\n");
}

std::string LinesToStoredText(std::string_view text) {
    return ReplaceLineBreaks(text, "\r\n");
}

size_t StoredUtf16FromLines::Next(uint8_t* out, size_t room) {
    uint8_t* p = out;
    uint8_t* const end = out + room;
    const auto put = [&p](char16_t c) {
        *p++ = static_cast<uint8_t>(c & 0xFF);
        *p++ = static_cast<uint8_t>(c >> 8);
    };
    size_t i = next_;
    while (i < length_ && end - p >= 4) {
#ifdef OV_LINES_SSE2
        // Runs of plain units go eight at a time, stored as they are (the host is little-endian).
        if (i + 8 <= length_ && end - p >= 20) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units_ + i));
            const int mask = CareMask(v);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
            if (mask == 0) {
                p += 16;
                i += 8;
                continue;
            }
            const int plain = __builtin_ctz(static_cast<unsigned>(mask)) / 2;
            p += 2 * plain;
            i += static_cast<size_t>(plain);
        }
#endif
        const char16_t c = units_[i++];
        if (!NeedsCare(c)) {
            put(c);
        } else if (c == u'\r' || IsLineBreak(c)) {
            if (c == u'\r' && i < length_ && IsLineBreak(units_[i])) {
                ++i;
            }
            put(u'\r');
            put(u'\n');
        } else if (IsHighSurrogate(c) && i < length_ && IsLowSurrogate(units_[i])) {
            put(c);
            put(units_[i++]);
        } else {
            put(0xFFFD);
        }
    }
    next_ = i;
    return static_cast<size_t>(p - out);
}

size_t LinesFromStoredUtf16(const uint8_t* stored, size_t bytes, char16_t* out) {
    const size_t length = bytes / 2;
    const auto unit = [stored](size_t i) {
        return static_cast<char16_t>(stored[2 * i] | (stored[2 * i + 1] << 8));
    };
    size_t n = 0;
    for (size_t i = 0; i < length; ++i) {
        const char16_t c = unit(i);
        if (c == 0) {
            break;
        }
        if (c == u'\r') {
            if (i + 1 < length && unit(i + 1) == u'\n') {
                ++i;
            }
            out[n++] = u'\n';
        } else if (IsLineBreak(c)) {
            out[n++] = u'\n';
        } else if (IsHighSurrogate(c) && i + 1 < length && IsLowSurrogate(unit(i + 1))) {
            out[n++] = c;
            out[n++] = unit(++i);
        } else {
            out[n++] = IsHighSurrogate(c) || IsLowSurrogate(c) ? char16_t{0xFFFD} : c;
        }
    }
    return n;
}
