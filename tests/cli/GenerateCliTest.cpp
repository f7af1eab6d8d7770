// ombrivault-cli generate: one password per line by the options given, and its refusals.
#include "crypto/PassphraseWords.h"
#include "crypto/PasswordGenerator.h"
#include "support/CliFixture.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

using GenerateCliTest = CliFixture;

TEST_F(GenerateCliTest, PrintsOnePasswordPerLineByTheOptions) {
    struct Case {
        const char* args;
        size_t length;           // of each line; 0 for passphrases
        const char* mustNotHold; // characters no line may contain
    };
    const Case cases[] = {
        {"generate --count 50", 20, ""},
        {"generate --length 8 --count 50 --no-symbols", 8, "!#$%&*+-./:;<=>?@[]^_{|}~"},
        {"generate --count 50 --length 128 --avoid-look-alikes", 128, "Il1|O0o"},
        {"generate --count 50 --no-lower --no-upper --no-symbols", 20,
         "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ!#"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const CliResult r = Run(c.args);
        ASSERT_EQ(r.code, 0) << r.err;
        const auto lines = Lines(r.out);
        ASSERT_EQ(lines.size(), 50u);
        EXPECT_EQ(std::set<std::string>(lines.begin(), lines.end()).size(), 50u);
        for (const std::string& line : lines) {
            EXPECT_EQ(line.size(), c.length) << line;
            EXPECT_EQ(line.find_first_of(c.mustNotHold), std::string::npos) << line;
        }
    }
}

TEST_F(GenerateCliTest, PassphrasesAreWordsOfTheList) {
    const auto list = PassphraseWords();
    const std::set<std::string_view> words(list.begin(), list.end());
    const CliResult r = Run("generate --words 7 --separator . --count 3 --entropy");
    ASSERT_EQ(r.code, 0) << r.err;
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 3u);
    for (const std::string& line : lines) {
        std::istringstream parts(line);
        int count = 0;
        for (std::string word; std::getline(parts, word, '.'); ++count) {
            EXPECT_TRUE(words.count(word)) << word;
        }
        EXPECT_EQ(count, 7) << line;
    }
    EXPECT_EQ(r.err, "entropy: 90 bits per password\n");
}

TEST_F(GenerateCliTest, RefusesOptionsOutOfRange) {
    for (const char* args :
         {"generate --length 7", "generate --length 129", "generate --words 3",
          "generate --words 13", "generate --length 20 --words 6", "generate --separator -",
          "generate --no-lower --no-upper --no-digits --no-symbols", "generate --count 0",
          "generate extra", "--password-file pw generate", "generate --length"}) {
        SCOPED_TRACE(args);
        const CliResult r = Run(args);
        EXPECT_EQ(r.code, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("usage:"), std::string::npos);
    }
}

} // namespace
