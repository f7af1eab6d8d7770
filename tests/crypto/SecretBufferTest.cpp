#include "crypto/SecretBuffer.h"
#include "base/CodePage.h"
#include "crypto/Ciphers.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "support/CaseNames.h"

namespace {

// True when every byte `s` owns, its unused capacity included, is zero. Reads the memory as
// it is (growing the string would write zeros itself).
bool AllZero(const std::string& s) {
    const char* data = s.data();
    for (size_t i = 0; i < s.capacity(); ++i) {
        if (data[i] != '\0') {
            return false;
        }
    }
    return true;
}

TEST(SecretBuffer, TakingAShortStringOverLeavesNoCopyBehind) {
    std::string typed = "hunter2"; // short enough to live inside the string object
    SecretBuffer secret(std::move(typed));
    EXPECT_EQ(secret.View(), "hunter2");
    EXPECT_TRUE(AllZero(typed));

    SecretBuffer moved(std::move(secret));
    EXPECT_EQ(moved.View(), "hunter2");
    EXPECT_TRUE(secret.Empty());
    EXPECT_TRUE(AllZero(secret.Bytes()));

    SecretBuffer assigned;
    assigned = std::move(moved);
    EXPECT_EQ(assigned.View(), "hunter2");
    EXPECT_TRUE(AllZero(moved.Bytes()));
}

TEST(SecretBuffer, ClearAndAssignWipeTheOldBytesInPlace) {
    SecretBuffer secret(std::string_view("a password long enough to be on the heap"));
    const char* storage = secret.CStr();
    secret.Assign("x");
    EXPECT_EQ(secret.View(), "x");
    ASSERT_EQ(secret.CStr(), storage) << "a shorter secret reuses the allocation";
    EXPECT_EQ(std::string_view(storage + 1, 8), std::string_view("\0\0\0\0\0\0\0\0", 8))
        << "the rest of the old password is gone";
    secret.Clear();
    EXPECT_TRUE(secret.Empty());
    EXPECT_TRUE(AllZero(secret.Bytes()));
}

TEST(SecretBuffer, ReserveKeepsTheBytesAndFillingStaysInPlace) {
    SecretBuffer secret(std::string_view("abc"));
    secret.Reserve(300);
    EXPECT_EQ(secret.View(), "abc");
    const char* storage = secret.CStr();
    secret.Bytes().append(250, 'x');
    EXPECT_EQ(secret.CStr(), storage) << "no reallocation below the reserved size";
}

struct CutCase {
    const char* name;
    const char* codePage;
    std::string bytes;
    size_t maxBytes;
    std::string kept;
};

class SecretBufferCut : public testing::TestWithParam<CutCase> {};

TEST_P(SecretBufferCut, KeepsWholeCharactersOnly) {
    const CutCase& c = GetParam();
    const CodePage page(c.codePage);
    SecretBuffer secret{std::string_view(c.bytes)};
    secret.CutAtMost(c.maxBytes, page);
    EXPECT_EQ(secret.View(), c.kept);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SecretBufferCut,
    testing::Values(CutCase{"short text stays", "UTF-8", "abc", 5, "abc"},
                    CutCase{"ascii cut at the limit", "UTF-8", "abcdef", 4, "abcd"},
                    CutCase{"utf8 character not split", "UTF-8", "ab\xe2\x82\xac", 4, "ab"},
                    CutCase{"utf8 character fits", "UTF-8",
                            "a\xe2\x82\xac"
                            "b",
                            4, "a\xe2\x82\xac"},
                    CutCase{"double byte not split", "CP932", "a\x82\xa0\x82\xa0", 4, "a\x82\xa0"},
                    CutCase{"single byte page cuts anywhere", "CP1252", "\xe9\xe9\xe9", 2,
                            "\xe9\xe9"}),
    NameByField<&CutCase::name>());

TEST(SecretBuffer, PasswordsEndAtTheFirstNulAndAtTheDocumentLimit) {
    SecretBuffer secret(std::string("before\0after", 12));
    secret.CutAtNul();
    EXPECT_EQ(secret.View(), "before");

    SecretBuffer longPassword(std::string(kMaxPasswordBytes + 10, 'p'));
    longPassword.CutToPasswordLength();
    EXPECT_EQ(longPassword.Size(), kMaxPasswordBytes);
}

} // namespace
