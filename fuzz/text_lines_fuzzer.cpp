// Arbitrary decrypted text through the line-break rules of the text document, as code-page
// bytes and as UTF-16: what is read holds no CR (nor NUL, nor a lone surrogate), what is
// written has a CR before every LF and none elsewhere, and writing then reading gives back the
// same lines, whatever the size of the pieces the UTF-16 is written in.
#include "editor/TextLines.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

bool IsSurrogate(char16_t c, char16_t base) {
    return (c & 0xFC00) == base;
}

void CheckUtf16(const uint8_t* data, size_t size) {
    std::vector<char16_t> lines(size / 2 + 1);
    const size_t n = LinesFromStoredUtf16(data, size, lines.data());
    if (n > size / 2) {
        std::abort();
    }
    lines.resize(n);
    for (size_t i = 0; i < n; ++i) {
        const char16_t c = lines[i];
        const bool high = IsSurrogate(c, 0xD800);
        const bool low = IsSurrogate(c, 0xDC00);
        if (c == u'\r' || c == 0 || c == 0x2028 || c == 0x2029 ||
            (high && (i + 1 == n || !IsSurrogate(lines[i + 1], 0xDC00))) ||
            (low && (i == 0 || !IsSurrogate(lines[i - 1], 0xD800)))) {
            std::abort();
        }
    }
    // Written in pieces of a size the input picks, at least the four bytes one step needs.
    const size_t room = 4 + (size > 0 ? data[0] : 0);
    StoredUtf16FromLines writer(lines.data(), lines.size());
    std::vector<uint8_t> stored;
    while (!writer.Done()) {
        const size_t at = stored.size();
        stored.resize(at + room);
        const size_t written = writer.Next(stored.data() + at, room);
        if (written == 0 || written > room) {
            std::abort();
        }
        stored.resize(at + written);
    }
    std::vector<char16_t> back(stored.size() / 2 + 1);
    back.resize(LinesFromStoredUtf16(stored.data(), stored.size(), back.data()));
    if (back != lines) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view stored(reinterpret_cast<const char*>(data), size);
    const std::string lines = LinesFromStoredText(stored);
    if (lines.find('\r') != std::string::npos || lines.size() > stored.size()) {
        std::abort();
    }
    const std::string written = LinesToStoredText(lines);
    for (size_t i = 0; i < written.size(); ++i) {
        const bool cr = written[i] == '\r';
        const bool lf = written[i] == '\n';
        if ((cr && (i + 1 == written.size() || written[i + 1] != '\n')) ||
            (lf && (i == 0 || written[i - 1] != '\r'))) {
            std::abort();
        }
    }
    if (LinesFromStoredText(written) != lines) {
        std::abort();
    }
    CheckUtf16(data, size);
    return 0;
}
