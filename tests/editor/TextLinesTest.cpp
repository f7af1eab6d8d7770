#include <gtest/gtest.h>

#include "editor/TextLines.h"

#include <vector>

TEST(TextLines, EveryLineBreakIsReadAndWrittenAsCrLf) {
    struct Case {
        const char* stored;
        const char* lines;
        const char* written;
    };
    const Case cases[] = {
        {"", "", ""},
        {"one line", "one line", "one line"},
        {"a\r\nb\r\n", "a\nb\n", "a\r\nb\r\n"},
        {"a\nb", "a\nb", "a\r\nb"},
        {"a\rb", "a\nb", "a\r\nb"},
        // Mixed breaks, empty lines, and a CR LF pair never read as two breaks.
        {"a\r\n\r\nb\n\nc\r\rd", "a\n\nb\n\nc\n\nd", "a\r\n\r\nb\r\n\r\nc\r\n\r\nd"},
        {"\n\r\r\n", "\n\n\n", "\r\n\r\n\r\n"},
        {"\xC3\xA9t\xC3\xA9\r\n\xE2\x82\xAC", "\xC3\xA9t\xC3\xA9\n\xE2\x82\xAC",
         "\xC3\xA9t\xC3\xA9\r\n\xE2\x82\xAC"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LinesFromStoredText(c.stored), c.lines) << c.stored;
        EXPECT_EQ(LinesToStoredText(c.lines), c.written) << c.stored;
        // What is written reads back as the same lines.
        EXPECT_EQ(LinesFromStoredText(LinesToStoredText(c.lines)), c.lines) << c.stored;
    }
}

TEST(TextLines, NulBytesInsideTheTextSurvive) {
    const std::string stored("a\0b\r\nc", 6);
    EXPECT_EQ(LinesFromStoredText(stored), std::string("a\0b\nc", 5));
}

namespace {

// The view's lines as stored, converted into pieces of at most `room` bytes.
std::u16string StoreInPieces(const std::u16string& lines, size_t room) {
    StoredUtf16FromLines converter(lines.data(), lines.size());
    std::vector<uint8_t> stored;
    std::vector<uint8_t> piece(room);
    while (!converter.Done()) {
        const size_t n = converter.Next(piece.data(), piece.size());
        EXPECT_GT(n, 0u) << "room " << room;
        if (n == 0) {
            break;
        }
        stored.insert(stored.end(), piece.begin(), piece.begin() + static_cast<ptrdiff_t>(n));
    }
    std::u16string units;
    for (size_t i = 0; i + 1 < stored.size(); i += 2) {
        units += static_cast<char16_t>(stored[i] | (stored[i + 1] << 8));
    }
    return units;
}

} // namespace

TEST(TextLines, Utf16LinesAreStoredWithCrLfWhateverThePieceSize) {
    struct Case {
        std::u16string lines;
        std::u16string stored;
        std::u16string readBack;
    };
    const std::u16string lone = u"\xFFFD";
    const std::u16string pair = u"\xD83D\xDE00";
    const Case cases[] = {
        {u"one line", u"one line", u"one line"},
        {u"a\nb\rc\r\nd", u"a\r\nb\r\nc\r\nd", u"a\nb\nc\nd"},
        // The line and paragraph separators are line breaks; a CR before one is part of it.
        {u"a\u2028b\u2029c\r\u2028d", u"a\r\nb\r\nc\r\nd", u"a\nb\nc\nd"},
        {u"\n\n", u"\r\n\r\n", u"\n\n"},
        // Breaks and surrogates on both sides of each eight-unit run.
        {u"1234567\r\n89012345\n" + pair + u"x", u"1234567\r\n89012345\r\n" + pair + u"x",
         u"1234567\n89012345\n" + pair + u"x"},
        {u"abcdefgh" + pair + u"abcdef\xD800xyzabcdefgh\xDC00",
         u"abcdefgh" + pair + u"abcdef" + lone + u"xyzabcdefgh" + lone,
         u"abcdefgh" + pair + u"abcdef" + lone + u"xyzabcdefgh" + lone},
        // A high surrogate at the very end has no partner.
        {u"abcdefghijklmnop\xD83D", u"abcdefghijklmnop" + lone, u"abcdefghijklmnop" + lone},
    };
    for (const Case& c : cases) {
        for (size_t room : {4, 5, 19, 20, 21, 64, 4096}) {
            EXPECT_EQ(StoreInPieces(c.lines, room), c.stored) << "room " << room;
        }
        std::vector<uint8_t> bytes;
        for (char16_t u : c.stored) {
            bytes.push_back(static_cast<uint8_t>(u & 0xFF));
            bytes.push_back(static_cast<uint8_t>(u >> 8));
        }
        std::u16string back(c.stored.size(), u'?');
        back.resize(LinesFromStoredUtf16(bytes.data(), bytes.size(), back.data()));
        EXPECT_EQ(back, c.readBack);
    }
}

TEST(TextLines, StoredUtf16EndsAtItsFirstNulAndReadsEveryBreak) {
    const uint8_t stored[] = {'a', 0, '\r', 0, 'b', 0, '\n', 0, 0x28, 0x20, 'c', 0, 0, 0, 'd', 0};
    char16_t lines[sizeof stored / 2] = {};
    ASSERT_EQ(LinesFromStoredUtf16(stored, sizeof stored, lines), 6u);
    EXPECT_EQ(std::u16string(lines, 6), u"a\nb\n\nc");
    // An odd last byte is not half a unit.
    EXPECT_EQ(LinesFromStoredUtf16(stored, 3, lines), 1u);
}
