// Line separators of the stored text. Files are written with CR LF between lines, as the
// Windows program writes them; files from anywhere else may use LF or a lone CR, and all
// three are read as line breaks. The separators are single bytes in every code page the
// program supports, so the text is handled as code-page bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Every CR LF, lone CR and lone LF becomes LF.
std::string LinesFromStoredText(std::string_view stored);
// Every line break (CR LF, CR or LF) becomes CR LF.
std::string LinesToStoredText(std::string_view text);

// The same rules for text held as UTF-16, as the text window holds it and the current form
// stores it: on disk UTF-16LE with CR LF between lines; in the window one LF per line break.
// The line and paragraph separators count as line breaks too, and a surrogate without its
// partner, which UTF-8 cannot carry, becomes U+FFFD both ways.

// Turns the window's text into the stored UTF-16LE piece by piece, for a caller that writes
// it out as it goes.
class StoredUtf16FromLines {
public:
    StoredUtf16FromLines(const char16_t* units, size_t length) : units_(units), length_(length) {}
    // Converts as much as fits into `room` bytes at `out` and returns the bytes written; a
    // room of four bytes or more always takes some.
    size_t Next(uint8_t* out, size_t room);
    bool Done() const { return next_ == length_; }

private:
    const char16_t* units_;
    size_t length_;
    size_t next_ = 0;
};

// The stored UTF-16LE text up to its first NUL as the window's lines, into `out`, which has
// room for `bytes` / 2 units. Returns the units written.
size_t LinesFromStoredUtf16(const uint8_t* stored, size_t bytes, char16_t* out);
