// The password generator: lengths, the classes in each password, look-alikes, passphrases,
// the entropy shown beside them, and the uniformity of the draws.
#include "crypto/PasswordGenerator.h"
#include "crypto/PassphraseWords.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>

namespace {

using passgen::CharacterRules;
using passgen::PassphraseRules;

bool HasAny(std::string_view text, std::string_view chars) {
    return text.find_first_of(chars) != std::string_view::npos;
}

// The chi-square value above which a uniform source lands once in a million runs
// (Wilson-Hilferty approximation), for `cells` equally likely outcomes.
double ChiSquareLimit(int cells) {
    const double k = cells - 1;
    const double z = 4.75; // one-sided 1e-6
    const double t = 1 - 2 / (9 * k) + z * std::sqrt(2 / (9 * k));
    return k * t * t * t;
}

double ChiSquare(const std::vector<int>& counts, int draws) {
    const double expected = static_cast<double>(draws) / counts.size();
    double chi = 0;
    for (int c : counts) {
        chi += (c - expected) * (c - expected) / expected;
    }
    return chi;
}

struct RulesCase {
    const char* name;
    CharacterRules rules;
};

TEST(PasswordGenerator, PasswordsHaveTheLengthAndEveryChosenClass) {
    const RulesCase cases[] = {
        {"default", {}},
        {"shortest", {.length = 8}},
        {"longest", {.length = 128}},
        {"no symbols", {.length = 12, .symbols = false}},
        {"digits only", {.length = 8, .lower = false, .upper = false, .symbols = false}},
        {"letters, no look-alikes",
         {.length = 30, .digits = false, .symbols = false, .avoidLookAlikes = true}},
        {"all, no look-alikes", {.length = 40, .avoidLookAlikes = true}},
    };
    for (const RulesCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto classes = passgen::CharacterClasses(c.rules);
        for (int run = 0; run < 200; ++run) {
            SecretBuffer password;
            ASSERT_TRUE(passgen::GeneratePassword(c.rules, password));
            const std::string_view text = password.View();
            ASSERT_EQ(text.size(), static_cast<size_t>(c.rules.length));
            std::string alphabet;
            for (const std::string& chars : classes) {
                EXPECT_TRUE(HasAny(text, chars)) << text;
                alphabet += chars;
            }
            EXPECT_EQ(text.find_first_not_of(alphabet), std::string_view::npos) << text;
            if (c.rules.avoidLookAlikes) {
                EXPECT_FALSE(HasAny(text, passgen::kLookAlikes)) << text;
            }
        }
    }
}

TEST(PasswordGenerator, RefusesRulesThatMakeNoPassword) {
    const RulesCase cases[] = {
        {"too short", {.length = 7}},
        {"too long", {.length = 129}},
        {"no class", {.lower = false, .upper = false, .digits = false, .symbols = false}},
    };
    for (const RulesCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(passgen::CheckRules(c.rules).empty());
        SecretBuffer password(std::string_view("left over"));
        EXPECT_FALSE(passgen::GeneratePassword(c.rules, password));
        EXPECT_TRUE(password.Empty());
        EXPECT_EQ(passgen::PasswordEntropyBits(c.rules), 0);
    }
}

TEST(PasswordGenerator, EntropyCountsThePasswordsTheRulesAllow) {
    // One class: every string of the alphabet is allowed.
    EXPECT_NEAR(passgen::PasswordEntropyBits(
                    {.length = 10, .upper = false, .digits = false, .symbols = false}),
                10 * std::log2(26.0), 1e-9);
    // Two classes of 10 digits and 26 letters, 8 long: 36^8 - 26^8 - 10^8 strings hold both.
    const double both = std::pow(36.0, 8) - std::pow(26.0, 8) - std::pow(10.0, 8);
    EXPECT_NEAR(passgen::PasswordEntropyBits({.length = 8, .upper = false, .symbols = false}),
                std::log2(both), 1e-6);
    // The default: 94 printable characters, 20 long, a little under 20 * log2(94).
    const double full = passgen::PasswordEntropyBits({});
    EXPECT_LT(full, 20 * std::log2(94.0));
    EXPECT_GT(full, 20 * std::log2(94.0) - 1);
    // Leaving out look-alikes costs bits.
    EXPECT_LT(passgen::PasswordEntropyBits({.avoidLookAlikes = true}), full);
}

TEST(PasswordGenerator, PassphrasesHaveTheWordCountFromTheList) {
    const auto words = PassphraseWords();
    const std::set<std::string_view> list(words.begin(), words.end());
    for (const PassphraseRules& rules :
         {PassphraseRules{4, "-"}, PassphraseRules{6, " "}, PassphraseRules{12, "::"}}) {
        SecretBuffer phrase;
        ASSERT_TRUE(passgen::GeneratePassphrase(rules, words, phrase));
        std::string_view rest = phrase.View();
        int count = 0;
        for (;;) {
            const size_t at = rest.find(rules.separator);
            EXPECT_TRUE(list.count(rest.substr(0, at))) << rest.substr(0, at);
            ++count;
            if (at == std::string_view::npos) {
                break;
            }
            rest = rest.substr(at + rules.separator.size());
        }
        EXPECT_EQ(count, rules.words) << phrase.View();
    }
    SecretBuffer phrase;
    EXPECT_FALSE(passgen::GeneratePassphrase({3, "-"}, words, phrase));
    EXPECT_FALSE(passgen::GeneratePassphrase({13, "-"}, words, phrase));
    EXPECT_NEAR(passgen::PassphraseEntropyBits(6, words.size()), 6 * std::log2(7776.0), 1e-9);
}

TEST(PasswordGenerator, WordListHasDistinctWordsOfLettersAndDashes) {
    const auto words = PassphraseWords();
    ASSERT_GE(words.size(), 7776u);
    EXPECT_EQ(words.front(), "abacus");
    EXPECT_EQ(std::set<std::string_view>(words.begin(), words.end()).size(), words.size());
    for (std::string_view word : words) {
        ASSERT_FALSE(word.empty());
        EXPECT_EQ(word.find_first_not_of("abcdefghijklmnopqrstuvwxyz-"), std::string_view::npos)
            << word;
    }
}

TEST(PasswordGenerator, DrawsHaveNoModuloBias) {
    // 94 does not divide 2^32, so a plain remainder would favour the low values; and a
    // remainder of single bytes would favour them by half (3 in 256 against 2 in 256).
    for (uint32_t bound : {94u, 10u, 200u}) {
        SCOPED_TRACE(bound);
        constexpr int kDraws = 100000;
        std::vector<int> counts(bound);
        for (int i = 0; i < kDraws; ++i) {
            uint32_t value = bound;
            ASSERT_TRUE(passgen::RandomBelow(bound, value));
            ASSERT_LT(value, bound);
            ++counts[value];
        }
        EXPECT_LT(ChiSquare(counts, kDraws), ChiSquareLimit(static_cast<int>(bound)));
    }
    uint32_t value = 7;
    EXPECT_TRUE(passgen::RandomBelow(1, value));
    EXPECT_EQ(value, 0u);
    EXPECT_FALSE(passgen::RandomBelow(0, value));
}

TEST(PasswordGenerator, CharactersOfOneClassAreEquallyLikely) {
    // Only lower-case letters, no look-alikes: 25 letters, so every password is allowed and
    // each character is one uniform draw.
    const CharacterRules rules{
        .length = 8, .upper = false, .digits = false, .symbols = false, .avoidLookAlikes = true};
    const std::string alphabet = passgen::CharacterClasses(rules).front();
    ASSERT_EQ(alphabet.size(), 24u); // without l and o
    std::vector<int> counts(alphabet.size());
    constexpr int kPasswords = 12500;
    for (int i = 0; i < kPasswords; ++i) {
        SecretBuffer password;
        ASSERT_TRUE(passgen::GeneratePassword(rules, password));
        for (char c : password.View()) {
            ++counts[alphabet.find(c)];
        }
    }
    EXPECT_LT(ChiSquare(counts, kPasswords * 8), ChiSquareLimit(static_cast<int>(alphabet.size())));
}

} // namespace
