#include "base/Utf.h"

#include "base/Bytes.h"

#include <cstring>

namespace {

void AppendUtf16(std::u16string& out, char32_t c) {
    if (c >= 0x10000) {
        c -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(c));
    }
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// The one-pass conversions work in chunks: each is converted into a small buffer that stays
// in cache and then appended, so the large output is written once and never cleared first.
constexpr size_t kChunkUnits = 16 * 1024;

inline void PutLe(uint8_t*& p, char16_t unit) {
    *p++ = static_cast<uint8_t>(unit & 0xFF);
    *p++ = static_cast<uint8_t>(unit >> 8);
}

inline uint64_t Load64(const char* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

} // namespace

// Length of the well-formed UTF-8 sequence at `pos`, or 0 when the bytes there are not one.
size_t Utf8SequenceLength(std::string_view s, size_t pos, char32_t* value) {
    const auto b0 = static_cast<uint8_t>(s[pos]);
    size_t len;
    char32_t c;
    if (b0 < 0x80) {
        if (value) {
            *value = b0;
        }
        return 1;
    } else if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
        c = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        c = b0 & 0x0F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        c = b0 & 0x07;
    } else {
        return 0;
    }
    if (pos + len > s.size()) {
        return 0;
    }
    for (size_t i = 1; i < len; ++i) {
        const auto b = static_cast<uint8_t>(s[pos + i]);
        if ((b & 0xC0) != 0x80) {
            return 0;
        }
        c = (c << 6) | (b & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not characters.
    if ((len == 3 && c < 0x800) || (len == 4 && (c < 0x10000 || c > 0x10FFFF)) ||
        (c >= 0xD800 && c <= 0xDFFF)) {
        return 0;
    }
    if (value) {
        *value = c;
    }
    return len;
}

std::u16string Utf8ToUtf16(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    for (size_t pos = 0; pos < s.size();) {
        char32_t c;
        const size_t len = Utf8SequenceLength(s, pos, &c);
        if (len == 0) {
            out.push_back(kReplacement);
            ++pos;
        } else {
            AppendUtf16(out, c);
            pos += len;
        }
    }
    return out;
}

// A lone surrogate has no UTF-8 form; it becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        AppendUtf8(out, c);
    }
    return out;
}

void AppendUtf8AsUtf16Le(std::string_view s, std::vector<uint8_t>& out) {
    // Each input byte gives at most one unit; a sequence may run past the chunk's end.
    uint8_t chunk[2 * (kChunkUnits + 4)];
    size_t pos = 0;
    while (pos < s.size()) {
        const size_t end = std::min(s.size(), pos + kChunkUnits);
        uint8_t* p = chunk;
        while (pos < end) {
            // Eight ASCII bytes at a time, the common case of text.
            if (pos + 8 <= end && (Load64(s.data() + pos) & 0x8080808080808080ull) == 0) {
                for (int i = 0; i < 8; ++i) {
                    *p++ = static_cast<uint8_t>(s[pos + i]);
                    *p++ = 0;
                }
                pos += 8;
                continue;
            }
            char32_t c;
            const size_t len = Utf8SequenceLength(s, pos, &c);
            if (len == 0) {
                PutLe(p, kReplacement);
                ++pos;
            } else if (c >= 0x10000) {
                c -= 0x10000;
                PutLe(p, static_cast<char16_t>(0xD800 + (c >> 10)));
                PutLe(p, static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
                pos += len;
            } else {
                PutLe(p, static_cast<char16_t>(c));
                pos += len;
            }
        }
        out.insert(out.end(), chunk, p);
    }
    SecureWipe(chunk, sizeof chunk);
}

// Units up to the first NUL; a lone surrogate has no UTF-8 form and becomes U+FFFD.
void AppendUtf16LeAsUtf8(const uint8_t* data, size_t units, std::string& out) {
    auto unitAt = [data](size_t i) {
        return static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    };
    char chunk[3 * kChunkUnits + 4];
    size_t i = 0;
    while (i < units) {
        const size_t end = std::min(units, i + kChunkUnits);
        char* p = chunk;
        bool nul = false;
        while (i < end) {
            // Four ASCII units at a time.
            if (i + 4 <= end) {
                uint64_t v;
                std::memcpy(&v, data + 2 * i, sizeof v);
                if ((v & 0xFF80FF80FF80FF80ull) == 0 && (v & 0x007F) != 0 &&
                    (v & 0x007F0000) != 0 && (v & 0x007F00000000ull) != 0 &&
                    (v & 0x007F000000000000ull) != 0) {
                    *p++ = static_cast<char>(v);
                    *p++ = static_cast<char>(v >> 16);
                    *p++ = static_cast<char>(v >> 32);
                    *p++ = static_cast<char>(v >> 48);
                    i += 4;
                    continue;
                }
            }
            char32_t c = unitAt(i);
            if (c == 0) {
                nul = true;
                break;
            }
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units && unitAt(i + 1) >= 0xDC00 &&
                unitAt(i + 1) <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (unitAt(i + 1) - 0xDC00);
                ++i;
            } else if (c >= 0xD800 && c <= 0xDFFF) {
                c = kReplacement;
            }
            ++i;
            if (c < 0x80) {
                *p++ = static_cast<char>(c);
            } else if (c < 0x800) {
                *p++ = static_cast<char>(0xC0 | (c >> 6));
                *p++ = static_cast<char>(0x80 | (c & 0x3F));
            } else if (c < 0x10000) {
                *p++ = static_cast<char>(0xE0 | (c >> 12));
                *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                *p++ = static_cast<char>(0x80 | (c & 0x3F));
            } else {
                *p++ = static_cast<char>(0xF0 | (c >> 18));
                *p++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
                *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                *p++ = static_cast<char>(0x80 | (c & 0x3F));
            }
        }
        out.append(chunk, static_cast<size_t>(p - chunk));
        if (nul) {
            break;
        }
    }
    SecureWipe(chunk, sizeof chunk);
}

size_t FirstInvalidUtf8(std::string_view text) {
    for (size_t pos = 0; pos < text.size();) {
        // Eight ASCII bytes at a time, the common case of text.
        if (pos + 8 <= text.size() && (Load64(text.data() + pos) & 0x8080808080808080ull) == 0) {
            pos += 8;
            continue;
        }
        const size_t len = Utf8SequenceLength(text, pos, nullptr);
        if (len == 0) {
            return pos;
        }
        pos += len;
    }
    return std::string_view::npos;
}

std::vector<uint8_t> Utf16ToLeBytes(std::u16string_view text) {
    std::vector<uint8_t> out(text.size() * 2);
    for (size_t i = 0; i < text.size(); ++i) {
        out[2 * i] = static_cast<uint8_t>(text[i] & 0xFF);
        out[2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
    }
    return out;
}

std::u16string Utf16FromLeBytes(const uint8_t* data, size_t length) {
    std::u16string out(length / 2, u'\0');
    for (size_t i = 0; i < out.size(); ++i) {
        out[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    }
    return out;
}
