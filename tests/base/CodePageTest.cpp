#include "base/CodePage.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

TEST(CodePage, ConvertsBothWays) {
    const struct {
        const char* page;
        std::string text;
        std::u16string wide;
    } cases[] = {
        {"UTF-8", "plain", u"plain"},
        {"UTF-8", "\xC3\xA4\xE2\x82\xAC", u"\u00E4\u20AC"}, // ä €
        {"UTF-8", "\xF0\x9F\x94\x91", u"\U0001F511"},       // a key, as a pair
        {"CP1252", "\xE4\x80", u"\u00E4\u20AC"},            // ä €
        {"1252", "\xE9", u"\u00E9"},                        // numbers name pages
        {"CP932", "\x82\xA0\x41", u"\u3042A"},              // hiragana a, A
    };
    for (const auto& c : cases) {
        const CodePage page(c.page);
        EXPECT_EQ(page.ToUtf16(c.text), c.wide) << c.page;
        EXPECT_EQ(page.FromUtf16(c.wide), c.text) << c.page;
    }
}

TEST(CodePage, SubstitutesWhatItCannotConvert) {
    EXPECT_EQ(CodePage("UTF-8").ToUtf16("a\xFF"
                                        "b"),
              u"a\uFFFDb");
    EXPECT_EQ(CodePage("UTF-8").FromUtf16(std::u16string(u"x") + char16_t(0xD800)),
              "x\xEF\xBF\xBD");
    EXPECT_EQ(CodePage("CP1252").FromUtf16(u"a\u3042\U0001F511b"), "a??b");
    EXPECT_EQ(CodePage("CP1252").ToUtf8("\xE4"), "\xC3\xA4");
    EXPECT_EQ(CodePage("CP1252").FromUtf8("\xC3\xA4"), "\xE4");
}

TEST(CodePage, ReversesCharactersNotBytes) {
    const struct {
        const char* page;
        std::string text, reversed;
    } cases[] = {
        {"CP1252", "ab\xE4",
         "\xE4"
         "ba"},
        {"UTF-8", "a\xC3\xA4\xE2\x82\xAC",
         "\xE2\x82\xAC\xC3\xA4"
         "a"},
        // An invalid sequence is reversed byte by byte.
        {"UTF-8", "a\xC3",
         "\xC3"
         "a"},
        {"CP932", "x\x82\xA0y", "y\x82\xA0x"},
        // A lead byte with nothing after it stands alone.
        {"CP936", "x\x81", "\x81x"},
        {"CP950", "\xA4\x40z", "z\xA4\x40"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CodePage(c.page).ReverseCharacters(c.text), c.reversed) << c.page;
    }
}

TEST(CodePage, BoundaryNeverSplitsACharacter) {
    const CodePage utf8("UTF-8");
    const std::string text = "ab\xE2\x82\xAC"
                             "c";
    EXPECT_EQ(utf8.CharacterBoundaryAtMost(text, 2), 2u);
    EXPECT_EQ(utf8.CharacterBoundaryAtMost(text, 4), 2u);
    EXPECT_EQ(utf8.CharacterBoundaryAtMost(text, 5), 5u);
    EXPECT_EQ(utf8.CharacterBoundaryAtMost(text, 99), 6u);
    EXPECT_EQ(CodePage("CP932").CharacterBoundaryAtMost("\x82\xA0\x82\xA0", 3), 2u);
}

TEST(CodePage, ProgramPageIsSettableAndValidated) {
    EXPECT_FALSE(CodePage::SetProgram("NO-SUCH-PAGE"));
    EXPECT_TRUE(CodePage::SetProgram("CP1252"));
    EXPECT_EQ(CodePage::Program()->Name(), "CP1252");
    EXPECT_TRUE(CodePage::SetProgram("UTF-8"));
    EXPECT_TRUE(CodePage::Program()->IsUtf8());
}

// The one-pass stored-form conversions must agree with the composed ones on every input,
// including characters that straddle the boundaries of the chunks they work in and text
// that is long enough for several chunks.
TEST(CodePage, OnePassStoredFormMatchesTheComposedConversions) {
    std::string mixed;
    for (int i = 0; i < 9000; ++i) {
        mixed += i % 7 == 0 ? "\xE2\x82\xAC" : i % 11 == 0 ? "\xF0\x9F\x94\x91" : "abc";
        if (i % 13 == 0) {
            mixed += "\xFF"; // not UTF-8
        }
    }
    const struct {
        const char* page;
        std::string text;
    } cases[] = {
        {"UTF-8", ""},
        {"UTF-8", "plain ascii that fills eight-byte words"},
        {"UTF-8", mixed},
        {"UTF-8", std::string(70000, 'x') + "\xC3\xA4"},
        {"UTF-8", "cut \xE2\x82"}, // a sequence cut short at the end
        {"CP1252", "\xE4\x80 and more"},
        {"CP932", "\x82\xA0\x41"},
    };
    for (const auto& c : cases) {
        const CodePage page(c.page);
        const std::vector<uint8_t> expected = Utf16ToLeBytes(page.ToUtf16(c.text));
        std::vector<uint8_t> stored = {0x11, 0x22}; // appended to, not replaced
        page.AppendUtf16Le(c.text, stored);
        ASSERT_EQ(stored.size(), expected.size() + 2) << c.page;
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), stored.begin() + 2)) << c.page;
        EXPECT_EQ(page.FromUtf16Le(expected.data(), expected.size()),
                  page.FromUtf16(page.ToUtf16(c.text)))
            << c.page;
    }
}

TEST(CodePage, StoredFormEndsAtNulAndSubstitutesLoneSurrogates) {
    const std::u16string wide = std::u16string(u"ab") + char16_t(0xDC00) + u"c\U0001F511" +
                                char16_t(0xD800) + u"d" + char16_t(0) + u"after";
    std::vector<uint8_t> bytes = Utf16ToLeBytes(wide);
    bytes.push_back(0x41); // an odd last byte
    EXPECT_EQ(CodePage("UTF-8").FromUtf16Le(bytes.data(), bytes.size()),
              "ab\xEF\xBF\xBD"
              "c\xF0\x9F\x94\x91\xEF\xBF\xBD"
              "d");
    EXPECT_EQ(CodePage("CP1252").FromUtf16Le(bytes.data(), bytes.size()), "ab?c??d");
    // A NUL in the middle of a run of ASCII, where units are taken four at a time.
    const std::vector<uint8_t> run = Utf16ToLeBytes(std::u16string(u"abcdefg\0hijklmn", 15));
    EXPECT_EQ(CodePage("UTF-8").FromUtf16Le(run.data(), run.size()), "abcdefg");
}

TEST(CodePage, LittleEndianBytesIgnoreAnOddLastByte) {
    const uint8_t bytes[] = {0x41, 0x00, 0xAC, 0x20, 0x7F};
    EXPECT_EQ(Utf16FromLeBytes(bytes, sizeof bytes), u"A\u20AC");
    EXPECT_EQ(Utf16ToLeBytes(u"A\u20AC"), std::vector<uint8_t>(bytes, bytes + 4));
}

} // namespace

// Only code pages that keep ASCII as single bytes are usable: in the others a password
// would end at the NUL byte after its first character.
TEST(CodePage, OnlyPagesWithSingleByteAsciiAreKnown) {
    for (const char* name : {"UTF-8", "utf8", "65001", "CP1252", "1252", "CP932", "CP936",
                             "ISO-8859-1", "ISO-8859-15"}) {
        EXPECT_TRUE(CodePage::IsKnown(name)) << name;
    }
    for (const char* name : {"UTF-16", "UTF-16LE", "UTF-16BE", "UTF-32LE", "UCS-2LE", "UCS-4",
                             "UTF-7", "CP037", "NO-SUCH-PAGE", ""}) {
        EXPECT_FALSE(CodePage::IsKnown(name)) << name;
        EXPECT_FALSE(CodePage::SetProgram(name)) << name;
    }
}

TEST(CodePage, FirstInvalidUtf8IsFoundByOffset) {
    const struct {
        std::string text;
        size_t offset;
    } cases[] = {
        {"", std::string::npos},
        {"plain \xC3\xA4 \xE2\x82\xAC \xF0\x9F\x98\x80", std::string::npos},
        {"ab\x80", 2},                 // a lone continuation byte
        {"a\xC3", 1},                  // cut short at the end
        {"a\xE2\x82z", 1},             // cut short in the middle
        {"\xC0\xAF", 0},               // overlong
        {"x\xED\xA0\x80", 1},          // a surrogate
        {"xy\xF4\x90\x80\x80", 2},     // past U+10FFFF
        {std::string("n\0\xFF", 3), 2} // NUL is valid, 0xFF never is
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FirstInvalidUtf8(c.text), c.offset) << c.text;
    }
}
