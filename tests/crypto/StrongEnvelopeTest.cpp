// The strong envelope with the real libsodium: layout, random access, tampering and the
// bounds a hostile header must not get past.
#include "crypto/StrongEnvelope.h"

#include <gtest/gtest.h>
#include <sodium.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using strong::Status;

// Small parameters keep the tests fast; the header carries them, so it is the same code.
constexpr strong::KdfParams kFast{1, 8192};
constexpr uint32_t kSmallChunk = strong::kMinChunkBytes;

std::vector<uint8_t> Pattern(size_t length) {
    std::vector<uint8_t> data(length);
    for (size_t i = 0; i < length; ++i) {
        data[i] = static_cast<uint8_t>(i * 131 + (i >> 8));
    }
    return data;
}

class StrongEnvelopeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(strong::Init());
        ASSERT_EQ(key_.Derive("pässword", kFast), Status::Ok);
    }

    std::vector<uint8_t> SealOf(const std::vector<uint8_t>& plain, uint32_t chunk) {
        std::vector<uint8_t> sealed;
        EXPECT_EQ(strong::Seal(plain.data(), plain.size(), key_, sealed, chunk), Status::Ok);
        return sealed;
    }

    // Opens with the password, deriving the key from the header as a stranger would.
    Status OpenWithPassword(const std::vector<uint8_t>& file, std::vector<uint8_t>& out,
                            std::string_view password = "pässword") {
        strong::Key fresh;
        return strong::Open(file.data(), file.size(), password, fresh, out);
    }

    strong::Key key_;
};

// Sizes around the chunk boundaries: the number of chunks, the file's length and the bytes
// that come back.
TEST_F(StrongEnvelopeTest, SealsAndOpensEverySizeAroundChunkBoundaries) {
    const struct {
        size_t length;
        uint64_t chunks;
    } cases[] = {{0, 1}, {1, 1}, {65535, 1}, {65536, 1}, {65537, 2}, {200000, 4}, {131072, 2}};
    for (const auto& c : cases) {
        const std::vector<uint8_t> plain = Pattern(c.length);
        const std::vector<uint8_t> sealed = SealOf(plain, strong::kDefaultChunkBytes);
        EXPECT_EQ(sealed.size(), strong::kHeaderBytes + c.length + c.chunks * strong::kTagBytes)
            << c.length;
        strong::MemorySource source(sealed.data(), sealed.size());
        strong::Reader reader;
        ASSERT_EQ(reader.Open(source), Status::Ok);
        EXPECT_EQ(reader.ChunkCount(), c.chunks);
        EXPECT_EQ(reader.PlainSize(), c.length);
        std::vector<uint8_t> back;
        ASSERT_EQ(OpenWithPassword(sealed, back), Status::Ok) << c.length;
        EXPECT_EQ(back, plain) << c.length;
    }
}

// A writer that holds its first chunk back takes changes to it until the end and places it
// last: the file is the one a plain writer makes of the changed plaintext, whatever the
// length and however the pieces arrive; changes outside the first chunk are refused.
TEST_F(StrongEnvelopeTest, HeldFirstChunkTakesChangesUntilTheEnd) {
    for (const size_t length : {size_t{0}, size_t{1}, size_t{4095}, size_t{4096}, size_t{4097},
                                size_t{3 * 4096 + 5}, size_t{200000}}) {
        SCOPED_TRACE(length);
        std::vector<uint8_t> plain = Pattern(length);
        std::vector<uint8_t> file;
        std::vector<uint64_t> order; // the offsets in the order they were written
        strong::Writer writer(
            [&](uint64_t offset, const uint8_t* data, size_t n) {
                order.push_back(offset);
                file.resize(std::max<size_t>(file.size(), offset + n));
                std::memcpy(file.data() + offset, data, n);
                return true;
            },
            strong::Writer::FirstChunk::Held, kSmallChunk);
        ASSERT_EQ(writer.Begin(key_), Status::Ok);
        for (size_t at = 0; at < length; at += 1000) {
            const size_t n = std::min<size_t>(1000, length - at);
            ASSERT_EQ(writer.Append(plain.data() + at, n), Status::Ok);
        }
        if (length > 0) {
            const size_t n = std::min<size_t>(length, 512);
            const std::vector<uint8_t> head(n, 0xA5);
            ASSERT_EQ(writer.Rewrite(0, head.data(), n), Status::Ok);
            std::fill_n(plain.begin(), n, 0xA5);
        }
        const uint8_t byte = 1;
        EXPECT_EQ(writer.Rewrite(std::min<size_t>(length, kSmallChunk), &byte, 1),
                  Status::WriteFailed)
            << "past the first chunk, or past what was appended";
        ASSERT_EQ(writer.Finish(), Status::Ok);
        EXPECT_EQ(writer.FileBytes(), file.size());
        std::vector<uint8_t> back;
        ASSERT_EQ(OpenWithPassword(file, back), Status::Ok);
        EXPECT_EQ(back, plain);
        if (length > kSmallChunk) {
            EXPECT_EQ(order.back(), strong::kHeaderBytes) << "the first chunk goes last";
        }
    }
}

TEST_F(StrongEnvelopeTest, HeaderHoldsTheParametersAndANewNonceEverySave) {
    const std::vector<uint8_t> plain = Pattern(10);
    const std::vector<uint8_t> a = SealOf(plain, strong::kDefaultChunkBytes);
    const std::vector<uint8_t> b = SealOf(plain, strong::kDefaultChunkBytes);
    strong::Header h;
    ASSERT_EQ(strong::ParseHeader(a.data(), a.size(), h), Status::Ok);
    EXPECT_EQ(std::string(a.begin(), a.begin() + 8), "OVSTRONG");
    EXPECT_EQ(h.params, kFast);
    EXPECT_EQ(h.chunkBytes, strong::kDefaultChunkBytes);
    EXPECT_EQ(h.salt, key_.Salt());
    EXPECT_EQ(h.keyCheck, key_.Check());
    EXPECT_EQ(std::memcmp(a.data() + 24, b.data() + 24, 16), 0) << "same key, same salt";
    EXPECT_NE(std::memcmp(a.data() + 40, b.data() + 40, 24), 0) << "nonce base reused";
    EXPECT_NE(std::vector<uint8_t>(a.begin() + 80, a.end()),
              std::vector<uint8_t>(b.begin() + 80, b.end()));
}

// Any range of the plaintext, from any chunk, alone or across boundaries, in any order.
TEST_F(StrongEnvelopeTest, ReadsAnyRangeWithoutTheRest) {
    const std::vector<uint8_t> plain = Pattern(5 * kSmallChunk + 123);
    const std::vector<uint8_t> sealed = SealOf(plain, kSmallChunk);
    strong::MemorySource source(sealed.data(), sealed.size());
    strong::Reader reader;
    ASSERT_EQ(reader.Open(source), Status::Ok);
    ASSERT_EQ(reader.Unlock("pässword"), Status::Ok);
    const struct {
        uint64_t offset;
        size_t length;
    } ranges[] = {{plain.size() - 1, 1},
                  {0, plain.size()},
                  {kSmallChunk - 1, 2},
                  {3 * kSmallChunk, kSmallChunk},
                  {kSmallChunk / 2, 4 * kSmallChunk},
                  {5 * kSmallChunk, 123},
                  {17, 0},
                  {2 * kSmallChunk + 5, 7}};
    for (const auto& r : ranges) {
        std::vector<uint8_t> out(r.length);
        ASSERT_EQ(reader.ReadAt(r.offset, out.data(), out.size()), Status::Ok) << r.offset;
        EXPECT_TRUE(std::equal(out.begin(), out.end(), plain.begin() + r.offset)) << r.offset;
    }
    uint8_t byte = 0;
    EXPECT_EQ(reader.ReadAt(plain.size(), &byte, 1), Status::Damaged);
    EXPECT_EQ(reader.ReadAt(UINT64_MAX, &byte, 1), Status::Damaged);
}

// A chunk damaged on disk fails only the reads that need it.
TEST_F(StrongEnvelopeTest, RandomAccessFailsOnlyWhereTheFileIsDamaged) {
    const std::vector<uint8_t> plain = Pattern(3 * kSmallChunk);
    std::vector<uint8_t> sealed = SealOf(plain, kSmallChunk);
    sealed[strong::kHeaderBytes + (kSmallChunk + strong::kTagBytes) + 10] ^= 1; // chunk 1
    strong::MemorySource source(sealed.data(), sealed.size());
    strong::Reader reader;
    ASSERT_EQ(reader.Open(source), Status::Ok);
    ASSERT_EQ(reader.Unlock("pässword"), Status::Ok);
    std::vector<uint8_t> out(kSmallChunk);
    EXPECT_EQ(reader.ReadAt(0, out.data(), out.size()), Status::Ok);
    EXPECT_EQ(reader.ReadAt(2 * kSmallChunk, out.data(), out.size()), Status::Ok);
    EXPECT_EQ(reader.ReadAt(kSmallChunk + 1, out.data(), 1), Status::Damaged);
    EXPECT_EQ(reader.ReadAt(kSmallChunk - 1, out.data(), 2), Status::Damaged);
}

TEST_F(StrongEnvelopeTest, KeyIsReusedOnlyForItsOwnSaltAndParameters) {
    const std::vector<uint8_t> sealed = SealOf(Pattern(100), kSmallChunk);
    std::vector<uint8_t> out;
    // The document's key opens its file without a derivation, whatever password is given.
    EXPECT_EQ(strong::Open(sealed.data(), sealed.size(), "not used", key_, out), Status::Ok);
    // Another file's key is replaced by one derived from the password.
    strong::Key other;
    ASSERT_EQ(other.Derive("pässword", kFast), Status::Ok);
    EXPECT_FALSE(other.Fits(strong::Header{}));
    EXPECT_EQ(strong::Open(sealed.data(), sealed.size(), "pässword", other, out), Status::Ok);
    EXPECT_EQ(other.Salt(), key_.Salt());
    EXPECT_EQ(OpenWithPassword(sealed, out, "passwörd"), Status::WrongPassword);
    EXPECT_TRUE(out.empty());
    // The password ends at its first NUL, as in the compatible forms.
    EXPECT_EQ(OpenWithPassword(sealed, out, std::string_view("pässword\0tail", 14)), Status::Ok);
}

// Every byte of a small two-chunk file flipped: each must fail, as a wrong password where the
// key check covers the byte (salt, passes, memory, the check itself), as a refusal where the
// header no longer parses, and as damage everywhere else.
TEST_F(StrongEnvelopeTest, EveryFlippedByteFails) {
    const std::vector<uint8_t> sealed = SealOf(Pattern(kSmallChunk + 200), kSmallChunk);
    const auto expected = [](size_t at, std::vector<uint8_t>& file) -> std::vector<Status> {
        if (at < 8) {
            return {Status::NotStrong};
        }
        if (at < 10) {
            return {Status::UnknownVersion};
        }
        if (at < 12) {
            return {Status::BadHeader};
        }
        if (at < 16) {
            return {Status::BadPasses, Status::WrongPassword};
        }
        if (at < 20) {
            return {Status::TooMuchMemory, Status::WrongPassword};
        }
        if (at < 24) {
            return {Status::BadHeader, Status::Damaged};
        }
        if (at < 40 || (at >= 64 && at < 80)) {
            return {Status::WrongPassword};
        }
        return {Status::Damaged};
    };
    for (size_t at = 0; at < sealed.size(); ++at) {
        std::vector<uint8_t> file = sealed;
        file[at] ^= 0xFF;
        std::vector<uint8_t> out;
        // The header is opened as a stranger would, deriving the key from it; the chunks
        // with the key kept from the save (a derivation per byte would take minutes).
        const Status s = at < strong::kHeaderBytes
                             ? OpenWithPassword(file, out)
                             : strong::Open(file.data(), file.size(), "", key_, out);
        const std::vector<Status> allowed = expected(at, file);
        EXPECT_NE(std::find(allowed.begin(), allowed.end(), s), allowed.end())
            << "byte " << at << " gave " << strong::StatusMessage(s);
        EXPECT_TRUE(out.empty());
    }
}

// Whole chunks cut, moved or added, and a last chunk that does not say it is the last.
TEST_F(StrongEnvelopeTest, ChunksCutSwappedAddedOrUnflaggedFail) {
    constexpr size_t kStride = kSmallChunk + strong::kTagBytes;
    const std::vector<uint8_t> plain = Pattern(3 * kSmallChunk + 50);
    const std::vector<uint8_t> sealed = SealOf(plain, kSmallChunk);
    const auto chunkAt = [&](size_t i) { return strong::kHeaderBytes + i * kStride; };
    const auto cut = [&](size_t length) {
        return std::vector<uint8_t>(sealed.begin(), sealed.begin() + static_cast<long>(length));
    };

    std::vector<std::pair<std::string, std::vector<uint8_t>>> cases;
    for (size_t i = 0; i <= 3; ++i) {
        cases.emplace_back("cut at chunk " + std::to_string(i), cut(chunkAt(i)));
        cases.emplace_back("cut inside chunk " + std::to_string(i), cut(chunkAt(i) + 20));
    }
    cases.emplace_back("cut a byte short", cut(sealed.size() - 1));
    {
        std::vector<uint8_t> swapped = sealed;
        std::swap_ranges(swapped.begin() + static_cast<long>(chunkAt(0)),
                         swapped.begin() + static_cast<long>(chunkAt(1)),
                         swapped.begin() + static_cast<long>(chunkAt(1)));
        cases.emplace_back("chunks 0 and 1 swapped", swapped);
    }
    {
        std::vector<uint8_t> longer = sealed;
        longer.insert(longer.end(), sealed.begin() + static_cast<long>(chunkAt(1)),
                      sealed.begin() + static_cast<long>(chunkAt(2)));
        cases.emplace_back("a chunk appended", longer);
        std::vector<uint8_t> trailing = sealed;
        trailing.push_back(0);
        cases.emplace_back("a trailing byte", trailing);
    }
    {
        // The last chunk sealed again, correctly but flagged as not the last: as if the file
        // went on and its end were lost.
        std::vector<uint8_t> unflagged = sealed;
        std::array<uint8_t, strong::kHeaderBytes + 1> ad{};
        std::memcpy(ad.data(), sealed.data(), strong::kHeaderBytes);
        std::array<uint8_t, 24> nonce{};
        std::memcpy(nonce.data(), sealed.data() + 40, 24);
        nonce[0] ^= 3;
        unsigned long long n = 0;
        crypto_aead_xchacha20poly1305_ietf_encrypt(unflagged.data() + chunkAt(3), &n,
                                                   plain.data() + 3 * kSmallChunk, 50, ad.data(),
                                                   ad.size(), nullptr, nonce.data(), key_.Bytes());
        ASSERT_EQ(n, 50 + strong::kTagBytes);
        cases.emplace_back("last chunk without its flag", unflagged);
    }
    {
        // A middle chunk sealed with the last-chunk flag, at its own place.
        std::vector<uint8_t> flagged = sealed;
        std::array<uint8_t, strong::kHeaderBytes + 1> ad{};
        std::memcpy(ad.data(), sealed.data(), strong::kHeaderBytes);
        ad[strong::kHeaderBytes] = 1;
        std::array<uint8_t, 24> nonce{};
        std::memcpy(nonce.data(), sealed.data() + 40, 24);
        nonce[0] ^= 1;
        unsigned long long n = 0;
        crypto_aead_xchacha20poly1305_ietf_encrypt(
            flagged.data() + chunkAt(1), &n, plain.data() + kSmallChunk, kSmallChunk, ad.data(),
            ad.size(), nullptr, nonce.data(), key_.Bytes());
        cases.emplace_back("middle chunk flagged as last", flagged);
    }
    for (const auto& [name, file] : cases) {
        std::vector<uint8_t> out;
        const Status s = strong::Open(file.data(), file.size(), "", key_, out);
        EXPECT_TRUE(s == Status::Damaged || s == Status::Truncated)
            << name << ": " << strong::StatusMessage(s);
        EXPECT_TRUE(out.empty()) << name;
    }
}

// Hostile parameters are refused from the header alone: nothing is derived, nothing
// allocated. A file asking for 64 GiB says so, rather than that memory ran out.
TEST_F(StrongEnvelopeTest, HostileParametersAreRefusedBeforeDerivation) {
    const std::vector<uint8_t> sealed = SealOf(Pattern(10), kSmallChunk);
    const struct {
        size_t offset;
        uint32_t value;
        Status status;
    } cases[] = {
        {12, 0, Status::BadPasses},
        {12, 65, Status::BadPasses},
        {12, UINT32_MAX, Status::BadPasses},
        {16, 64u << 20, Status::TooMuchMemory}, // 64 GiB
        {16, (4u << 20) + 1, Status::TooMuchMemory},
        {16, (8u << 10) - 1, Status::TooMuchMemory},
        {20, 4095, Status::BadHeader},
        {20, (16u << 20) + 1, Status::BadHeader},
        {20, 0, Status::BadHeader},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> file = sealed;
        for (int i = 0; i < 4; ++i) {
            file[c.offset + static_cast<size_t>(i)] = static_cast<uint8_t>(c.value >> (8 * i));
        }
        strong::MemorySource source(file.data(), file.size());
        strong::Reader reader;
        EXPECT_EQ(reader.Open(source), c.status) << c.offset << " = " << c.value;
        strong::Key key;
        std::vector<uint8_t> out;
        EXPECT_EQ(strong::Open(file.data(), file.size(), "pässword", key, out), c.status);
        EXPECT_FALSE(key.IsSet());
    }
    // The writer refuses them too.
    strong::Key key;
    EXPECT_EQ(key.Derive("x", {65, 8192}), Status::BadPasses);
    EXPECT_EQ(key.Derive("x", {1, 64u << 20}), Status::TooMuchMemory);
    EXPECT_FALSE(key.IsSet());
}

TEST_F(StrongEnvelopeTest, OtherVersionsAndShortFilesAreRefused) {
    std::vector<uint8_t> sealed = SealOf(Pattern(10), kSmallChunk);
    strong::Header h;
    EXPECT_EQ(strong::ParseHeader(sealed.data(), 79, h), Status::Truncated);
    EXPECT_EQ(strong::ParseHeader(sealed.data(), 5, h), Status::Truncated);
    const uint8_t plainBytes[] = "not strong at all";
    EXPECT_EQ(strong::ParseHeader(plainBytes, sizeof plainBytes, h), Status::NotStrong);
    std::vector<uint8_t> v2 = sealed;
    v2[8] = 2;
    EXPECT_EQ(strong::ParseHeader(v2.data(), v2.size(), h), Status::UnknownVersion);
    std::vector<uint8_t> kdf2 = sealed;
    kdf2[9] = 2;
    EXPECT_EQ(strong::ParseHeader(kdf2.data(), kdf2.size(), h), Status::UnknownVersion);
    std::vector<uint8_t> headerOnly(sealed.begin(), sealed.begin() + 80);
    std::vector<uint8_t> out;
    EXPECT_EQ(strong::Open(headerOnly.data(), headerOnly.size(), "", key_, out), Status::Damaged);
}

// A derivation that cannot have its memory fails with a clear status instead of ending the
// program: in a child process whose address space is limited below the 256 MiB written by
// default.
TEST_F(StrongEnvelopeTest, DerivationWithoutMemoryFailsCleanly) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer needs more address space than the limit leaves";
#endif
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit limit{128u << 20, 128u << 20};
        ::setrlimit(RLIMIT_DATA, &limit);
        strong::Key key;
        const Status s = key.Derive("x", strong::KdfParams{});
        ::_exit(s == Status::OutOfMemory && !key.IsSet() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

} // namespace
