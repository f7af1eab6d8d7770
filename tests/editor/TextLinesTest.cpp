#include <gtest/gtest.h>

#include "editor/TextLines.h"

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
