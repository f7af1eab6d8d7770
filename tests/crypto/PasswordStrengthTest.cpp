// The strength estimate: known weak passwords, the hint for each kind of weakness, and
// passwords and passphrases from the generator.
#include "crypto/PasswordStrength.h"
#include "crypto/PassphraseWords.h"
#include "crypto/PasswordGenerator.h"

#include <gtest/gtest.h>

namespace {

TEST(PasswordStrength, KnownWeakPasswordsAreVeryWeakWithAHint) {
    struct Case {
        const char* password;
        const char* hint;
    };
    const Case cases[] = {
        {"password", "common word"}, {"123456", "common word"}, {"abcdefgh", "Sequences"},
        {"kkkkkkkkkk", "Repeats"},   {"xqxqxqxqxq", "Repeats"}, {"P@ssw0rd", "look-alike"},
        {"19841231", "Dates"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.password);
        const StrengthEstimate estimate = EstimateStrength(c.password);
        EXPECT_EQ(estimate.level, StrengthLevel::VeryWeak) << estimate.entropyBits;
        EXPECT_NE(estimate.feedback.find(c.hint), std::string::npos) << estimate.feedback;
        EXPECT_NE(estimate.feedback.find("another word or two"), std::string::npos);
    }
    EXPECT_STREQ(StrengthWord(EstimateStrength("password").level), "very weak");
}

TEST(PasswordStrength, GeneratedPasswordsAreStrongWithoutHints) {
    SecretBuffer phrase;
    ASSERT_TRUE(passgen::GeneratePassphrase({6, "-"}, PassphraseWords(), phrase));
    const StrengthEstimate passphrase = EstimateStrength(phrase.View());
    EXPECT_GE(passphrase.level, StrengthLevel::Strong) << phrase.View();
    EXPECT_TRUE(passphrase.feedback.empty());

    SecretBuffer password;
    ASSERT_TRUE(passgen::GeneratePassword({}, password));
    EXPECT_EQ(EstimateStrength(password.View()).level, StrengthLevel::VeryStrong)
        << password.View();
}

TEST(PasswordStrength, LevelsFollowTheEstimatedBits) {
    for (const char* password :
         {"monkey", "Tr0ub4dor&3", "xK9#mq2!Lp", "correct horse battery staple"}) {
        const StrengthEstimate e = EstimateStrength(password);
        int expected = 0;
        for (double threshold : kStrengthThresholdBits) {
            expected += e.entropyBits >= threshold;
        }
        EXPECT_EQ(static_cast<int>(e.level), expected) << password;
    }
    // Longer and less predictable is never weaker.
    EXPECT_LT(EstimateStrength("monkey").entropyBits,
              EstimateStrength("monkey-gravel-tulip").entropyBits);
}

TEST(PasswordStrength, TheOwnersWordsCountAsGuessable) {
    const StrengthEstimate plain = EstimateStrength("ombrivault77");
    const StrengthEstimate known = EstimateStrength("ombrivault77", {"ombrivault"});
    EXPECT_LT(known.entropyBits, plain.entropyBits);
    EXPECT_NE(known.feedback.find("name or user id"), std::string::npos) << known.feedback;
}

TEST(PasswordStrength, EmptyAndEmbeddedNul) {
    EXPECT_EQ(EstimateStrength("").level, StrengthLevel::VeryWeak);
    EXPECT_FALSE(EstimateStrength("").feedback.empty());
    // The estimator sees the text up to the NUL, never past the view.
    EXPECT_EQ(EstimateStrength(std::string_view("password\0xK9#mq2!Lp", 19)).level,
              StrengthLevel::VeryWeak);
}

} // namespace
