#include "crypto/Ciphers.h"
#include "base/CodePage.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>

namespace {

Bytes FromHex(const std::string& hex) {
    Bytes out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return out;
}

template <size_t N> std::string Hex(const std::array<uint8_t, N>& a) {
    static const char* digits = "0123456789abcdef";
    std::string s;
    for (uint8_t b : a) {
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

const uint8_t* U(const std::string& s) {
    return reinterpret_cast<const uint8_t*>(s.data());
}

TEST(Md5Digest, KnownAnswers) {
    // RFC 1321 test suite.
    EXPECT_EQ(Hex(Md5Digest(U(""), 0)), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Hex(Md5Digest(U("abc"), 3)), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Hex(Md5Digest(U("message digest"), 14)), "f96b697d7cb7938d525a2f31aaf161d0");
}

TEST(DeriveKeys, AesKeyIsDigestOfPasswordThenOfItsReversal) {
    const AesKey key = DeriveAesKey("abc", CodePage("CP1252"));
    EXPECT_EQ(Hex(key), "900150983cd24fb0d6963f7d28e17f72"   // md5("abc")
                        "3944b025c9ca7eec3154b44666ae04a0"); // md5("cba")
}

TEST(DeriveKeys, DoubleByteCharactersKeepTheirByteOrderWhenReversed) {
    // "a", then the CP932 character 0x82 0xA0, then "b": reversed "b", 0x82 0xA0, "a".
    const std::string pw = "a\x82\xA0"
                           "b";
    const std::string reversed = "b\x82\xA0"
                                 "a";
    const AesKey key = DeriveAesKey(pw, CodePage("CP932"));
    const Md5Hash back = Md5Digest(U(reversed), reversed.size());
    EXPECT_TRUE(std::equal(back.begin(), back.end(), key.begin() + 16));
}

TEST(DeriveKeys, DesKeyHasOddParityAndMatchesStringToKey) {
    // Reference values computed outside this program (see tests/fixtures/crypto).
    const struct {
        const char* password;
        const char* key;
    } cases[] = {{"secret", "1a19c7759761cd07"},
                 {"a password of more than sixteen bytes", "1c525d73b9cd73df"}};
    for (const auto& c : cases) {
        const DesKey key = DeriveDesKey(c.password);
        EXPECT_EQ(Hex(key), c.key) << c.password;
        for (uint8_t b : key) {
            EXPECT_EQ(__builtin_popcount(b) % 2, 1);
        }
    }
}

TEST(PaddedCiphers, PaddedLengthsAndRoundTrips) {
    const AesKey aes = DeriveAesKey("k");
    const DesKey des = DeriveDesKey("k");
    const struct {
        size_t length, aesLength, desLength;
    } cases[] = {{1, 16, 8}, {7, 16, 8}, {8, 16, 16}, {15, 16, 16}, {16, 32, 24}, {33, 48, 40}};
    for (const auto& c : cases) {
        Bytes plain(c.length);
        std::iota(plain.begin(), plain.end(), uint8_t{1});
        Bytes cipher, back;
        ASSERT_TRUE(AesEncryptPadded(plain.data(), plain.size(), aes, cipher));
        EXPECT_EQ(cipher.size(), c.aesLength);
        ASSERT_TRUE(AesDecryptPadded(cipher.data(), cipher.size(), aes, back));
        EXPECT_EQ(back, plain);
        ASSERT_TRUE(DesEncryptPadded(plain.data(), plain.size(), des, cipher));
        EXPECT_EQ(cipher.size(), c.desLength);
        ASSERT_TRUE(DesDecryptPadded(cipher.data(), cipher.size(), des, back));
        EXPECT_EQ(back, plain);
    }
}

TEST(PaddedCiphers, RejectEmptyAndPartialBlocks) {
    const AesKey aes = DeriveAesKey("k");
    const DesKey des = DeriveDesKey("k");
    Bytes out{1, 2, 3};
    const uint8_t data[24] = {};
    EXPECT_FALSE(AesEncryptPadded(nullptr, 5, aes, out));
    EXPECT_FALSE(AesEncryptPadded(data, 0, aes, out));
    EXPECT_FALSE(DesEncryptPadded(data, 0, des, out));
    for (size_t length : {0, 8, 15, 17}) {
        EXPECT_FALSE(AesDecryptPadded(data, length, aes, out)) << length;
        EXPECT_TRUE(out.empty());
    }
    for (size_t length : {0, 7, 9}) {
        EXPECT_FALSE(DesDecryptPadded(data, length, des, out)) << length;
    }
}

TEST(PaddedCiphers, BadPaddingIsRejected) {
    // Encrypt raw blocks whose last bytes are not valid padding, and check that decryption
    // refuses each of them.
    const AesKey key = DeriveAesKey("k");
    const Bytes tails[] = {FromHex("00"), FromHex("11"), FromHex("0302"), FromHex("0203")};
    for (const Bytes& tail : tails) {
        Bytes block(16, 0x03);
        std::copy(tail.begin(), tail.end(), block.end() - static_cast<long>(tail.size()));
        // Encrypt block plus one padding block, then drop the padding block: ECB blocks are
        // independent, so what remains decrypts to exactly `block`.
        Bytes cipher, out;
        ASSERT_TRUE(AesEncryptPadded(block.data(), block.size(), key, cipher));
        cipher.resize(16);
        EXPECT_FALSE(AesDecryptPadded(cipher.data(), cipher.size(), key, out));
    }
}

TEST(PaddedCiphers, WeakDesKeyIsRejected) {
    const DesKey weak = {0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01};
    const DesKey badParity = {0x00, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x02};
    const uint8_t data[8] = {1};
    Bytes out;
    EXPECT_FALSE(DesEncryptPadded(data, 1, weak, out));
    EXPECT_FALSE(DesDecryptPadded(data, 8, weak, out));
    EXPECT_FALSE(DesEncryptPadded(data, 1, badParity, out));
}

TEST(WordRotation, ExamplesAndInverse) {
    Bytes eight = FromHex("0100000000000080");
    EXPECT_EQ(RotateWordsLeft(eight.data(), eight.size()), 2u);
    EXPECT_EQ(eight, FromHex("0200000002000000"));

    Bytes five = FromHex("0100000077");
    EXPECT_EQ(RotateWordsLeft(five.data(), five.size()), 1u);
    EXPECT_EQ(five, FromHex("0200000077"));

    // Word 31 turns by 0 bits, word 32 by 1 again.
    Bytes big(4 * 40, 0);
    for (size_t i = 0; i < 40; ++i) {
        big[4 * i] = 1;
    }
    RotateWordsLeft(big.data(), big.size());
    EXPECT_EQ(big[4 * 31], 1);
    EXPECT_EQ(big[4 * 32], 2);
    EXPECT_EQ(big[4 * 7 + 1], 1); // word 7: 1 << 8

    // Any length, any content: right undoes left.
    for (size_t length : {0, 3, 4, 127, 128, 129, 1000, 70001}) {
        Bytes data(length);
        for (size_t i = 0; i < length; ++i) {
            data[i] = static_cast<uint8_t>(i * 131 + 7);
        }
        Bytes copy = data;
        EXPECT_EQ(RotateWordsLeft(copy.data(), copy.size()), length / 4);
        if (length >= 8) {
            EXPECT_NE(copy, data);
        }
        RotateWordsRight(copy.data(), copy.size());
        EXPECT_EQ(copy, data) << length;
    }
}

} // namespace
