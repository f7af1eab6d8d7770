#include "crypto/EncryptedFile.h"
#include "base/CodePage.h"
#include "base/FileErrors.h"
#include "base/FileNames.h"
#include "base/WholeFile.h"
#include "crypto/AesSlices.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <span>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

class EncryptedFileTest : public ::testing::Test {
protected:
    void SetUp() override { CodePage::SetProgram("UTF-8"); }

    std::string Path(const std::string& name) const { return dir_ / name; }
    static Bytes Read(const std::string& path) {
        const std::string data = ReadFileBytes(path);
        return Bytes(data.begin(), data.end());
    }
    static void Write(const std::string& path, const std::string& data) {
        WriteFileBytes(path, data);
    }
    size_t FilesInDir() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(dir_.path()), {}));
    }

    ScratchDir dir_;
};

const char* const kFixtureText = "First line\r\nZweite Zeile: \xC3\xA4\xC3\xB6\xC3\xBC "
                                 "\xE2\x82\xAC\r\n\ttab and \xE2\x9C\x93 check";

struct Fixture {
    const char* file;
    const char* password;
    BlobForm form;
    const char* text;
};
const Fixture kFixtures[] = {
    {"current.ovt", "pass word", BlobForm::Current, kFixtureText},
    {"legacy.etx", "secret", BlobForm::Legacy, kFixtureText},
    {"whole-block.ovt", "k", BlobForm::Current, "Exactly "},
    {"utf8-password.ovd", "p\xC3\xA4ss\xE2\x82\xAC", BlobForm::Current, "<x/>"},
    {"long-password.etx", "a password of more than sixteen bytes", BlobForm::Legacy, "long key"},
};

TEST_F(EncryptedFileTest, ReadsAndWritesKnownFilesByteForByte) {
    for (const Fixture& f : kFixtures) {
        const std::string fixture = std::string(OV_TEST_FIXTURES) + "/crypto/" + f.file;
        std::string text;
        ASSERT_EQ(LoadEncryptedText(fixture, f.password, f.form, text), LoadTextStatus::Text)
            << f.file;
        EXPECT_EQ(text, f.text) << f.file;

        const std::string copy = Path(f.file);
        ASSERT_TRUE(SaveEncryptedText(copy, f.text, f.password, f.form)) << f.file;
        EXPECT_EQ(Read(copy), Read(fixture)) << f.file;
    }
}

TEST_F(EncryptedFileTest, WrongPasswordAndEmptyFiles) {
    const std::string fixtures = std::string(OV_TEST_FIXTURES) + "/crypto/";
    std::string text = "stale";
    EXPECT_EQ(LoadEncryptedText(fixtures + "current.ovt", "Pass word", BlobForm::Current, text),
              LoadTextStatus::DecryptFailed);
    EXPECT_TRUE(text.empty());
    EXPECT_EQ(LoadEncryptedText(fixtures + "legacy.etx", "secreT", BlobForm::Legacy, text),
              LoadTextStatus::DecryptFailed);

    Write(Path("empty.ovt"), "");
    Write(Path("empty.etx"), "");
    EXPECT_EQ(LoadEncryptedText(Path("empty.ovt"), "pw", BlobForm::Current, text),
              LoadTextStatus::DecryptFailed);
    EXPECT_EQ(LoadEncryptedText(Path("empty.etx"), "pw", BlobForm::Legacy, text),
              LoadTextStatus::Unreadable);
    EXPECT_EQ(LoadEncryptedText(Path("missing.ovt"), "pw", BlobForm::Current, text),
              LoadTextStatus::Unreadable);
    // Not a whole number of blocks: never decrypts.
    Write(Path("odd.ovt"), std::string(17, 'x'));
    EXPECT_EQ(LoadEncryptedText(Path("odd.ovt"), "pw", BlobForm::Current, text),
              LoadTextStatus::DecryptFailed);
}

TEST_F(EncryptedFileTest, FileSizeFollowsTheTextLength) {
    for (size_t units : {1, 7, 8, 9, 100}) {
        const std::string path = Path("size.ovt");
        ASSERT_TRUE(SaveEncryptedText(path, std::string(units, 'a'), "pw", BlobForm::Current));
        uint64_t size = 0;
        ASSERT_TRUE(GetFileSizeByName(path, size));
        EXPECT_EQ(size, 16 * ((2 * units) / 16 + 1)) << units;
    }
    uint64_t size = 0;
    EXPECT_FALSE(GetFileSizeByName(Path("missing"), size));
}

TEST_F(EncryptedFileTest, EmptyTextWritesNothingAndSameTextGivesSameBytes) {
    const std::string path = Path("doc.ovt");
    ASSERT_TRUE(SaveEncryptedText(path, "same", "pw", BlobForm::Current));
    const Bytes first = Read(path);
    EXPECT_FALSE(SaveEncryptedText(path, "", "pw", BlobForm::Current));
    EXPECT_FALSE(SaveEncryptedText(path, "", "pw", BlobForm::Legacy));
    EXPECT_EQ(Read(path), first);
    ASSERT_TRUE(SaveEncryptedText(path, "same", "pw", BlobForm::Current));
    EXPECT_EQ(Read(path), first);
    // An embedded NUL ends the loaded text, as the stored text is a C string.
    ASSERT_TRUE(SaveEncryptedText(path, std::string("ab\0cd", 5), "pw", BlobForm::Legacy));
    std::string text;
    ASSERT_EQ(LoadEncryptedText(path, "pw", BlobForm::Legacy, text), LoadTextStatus::Text);
    EXPECT_EQ(text, "ab");
}

TEST_F(EncryptedFileTest, FusedBufferOperationsMatchTheComposedPrimitives) {
    // Lengths around the 128-byte scramble period, the slice size and across several slices.
    for (size_t length :
         {1, 15, 16, 111, 112, 127, 128, 129, 255, 65535, 65536, 65537, 3 * 65536 + 100}) {
        Bytes plain(length);
        for (size_t i = 0; i < length; ++i) {
            plain[i] = static_cast<uint8_t>(i * 7 + length);
        }
        const AesKey key = DeriveAesKey("pw");
        Bytes reference;
        ASSERT_TRUE(AesEncryptPadded(plain.data(), plain.size(), key, reference));
        RotateWordsLeft(reference.data(), reference.size());

        Bytes blob, back;
        ASSERT_TRUE(EncryptBuffer(plain.data(), plain.size(), "pw", blob));
        EXPECT_EQ(blob, reference) << length;
        ASSERT_TRUE(DecryptBuffer(blob.data(), blob.size(), "pw", back));
        EXPECT_EQ(back, plain) << length;
        // Both cipher paths, into output buffers that are reused: larger than needed, smaller,
        // or already holding the previous result.
        for (bool vector : {false, true}) {
            for (size_t stale : {size_t{0}, length / 2, length + 300}) {
                Bytes out(stale, 0xA5);
                ASSERT_TRUE(AesEncryptRotated(plain.data(), plain.size(), key, out, vector));
                EXPECT_EQ(out, reference) << length << (vector ? " vector" : " evp");
                out.assign(stale, 0x5A);
                ASSERT_TRUE(AesDecryptRotated(blob.data(), blob.size(), key, out, vector));
                EXPECT_EQ(out, plain) << length << (vector ? " vector" : " evp");
                ASSERT_TRUE(AesDecryptRotated(blob.data(), blob.size(), key, out, vector));
                EXPECT_EQ(out, plain) << length << (vector ? " vector" : " evp");
            }
        }
        ASSERT_TRUE(EncryptBufferLegacy(plain.data(), plain.size(), "pw", blob));
        ASSERT_TRUE(DecryptBufferLegacy(blob.data(), blob.size(), "pw", back));
        EXPECT_EQ(back, plain) << length;
    }
}

TEST_F(EncryptedFileTest, BothCipherPathsRejectWrongKeysAndBrokenLengths) {
    const std::string text(1000, 'x');
    Bytes blob;
    ASSERT_TRUE(
        EncryptBuffer(reinterpret_cast<const uint8_t*>(text.data()), text.size(), "pw", blob));
    const AesKey wrong = DeriveAesKey("other");
    for (bool vector : {false, true}) {
        Bytes out(5, 1);
        EXPECT_FALSE(AesDecryptRotated(blob.data(), blob.size(), wrong, out, vector));
        EXPECT_TRUE(out.empty());
        EXPECT_FALSE(AesDecryptRotated(blob.data(), blob.size() - 1, wrong, out, vector));
        EXPECT_FALSE(AesDecryptRotated(blob.data(), 0, wrong, out, vector));
        EXPECT_FALSE(AesEncryptRotated(blob.data(), 0, wrong, out, vector));
        EXPECT_TRUE(out.empty());
    }
}

TEST_F(EncryptedFileTest, AtomicReplaceKeepsTheOriginalWhenTheWriteFails) {
    const std::string path = Path("keep.ovd");
    Write(path, "original");
    ::chmod(path.c_str(), 0750);

    const Bytes big(5000, 0x5A);
    int error = 0;
    bool saved = true;
    {
        // The save fails half-way, as on a full disk.
        FileSizeLimit limit(1000);
        ASSERT_TRUE(limit.active());
        saved = WriteWholeFile(path, big.data(), big.size(), &error);
    }
    EXPECT_FALSE(saved);
    EXPECT_EQ(error, kErrorDiskFull);
    EXPECT_EQ(Read(path), Bytes({'o', 'r', 'i', 'g', 'i', 'n', 'a', 'l'}));
    EXPECT_EQ(FilesInDir(), 1u) << "the temporary file must be removed";

    // A successful replace keeps the owner's bits of the file it replaces, and no more.
    ASSERT_TRUE(WriteWholeFile(path, big.data(), big.size()));
    EXPECT_EQ(Read(path), big);
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::mask, fs::perms::owner_all);
    EXPECT_EQ(FilesInDir(), 1u);
}

TEST_F(EncryptedFileTest, AStreamedFileEqualsTheWholeBufferSaved) {
    // Lengths around the scramble period and the stream's one-megabyte slice, handed over in
    // pieces that never line up with either.
    constexpr size_t kMiB = size_t{1} << 20;
    for (size_t length : {size_t{1}, size_t{127}, size_t{128}, size_t{129}, kMiB - 64, kMiB - 63,
                          kMiB, kMiB + 1, 2 * kMiB + 300}) {
        Bytes plain(length);
        for (size_t i = 0; i < length; ++i) {
            plain[i] = static_cast<uint8_t>(i * 13 + i / 977);
        }
        Bytes copy = plain;
        ASSERT_TRUE(SaveEncryptedUtf16(Path("whole.ovt"), copy, "pw", BlobForm::Current));

        EncryptedFileStream stream;
        ASSERT_TRUE(stream.Open(Path("streamed.ovt"), "pw"));
        size_t done = 0;
        for (size_t piece = 1; done < length; piece = piece * 3 % 70001 + 1) {
            const std::span<uint8_t> room = stream.Room();
            ASSERT_GE(room.size(), EncryptedFileStream::kMinRoom);
            const size_t n = std::min({piece, room.size(), length - done});
            std::memcpy(room.data(), plain.data() + done, n);
            ASSERT_TRUE(stream.Advance(n));
            done += n;
        }
        ASSERT_TRUE(stream.Commit());
        EXPECT_EQ(Read(Path("streamed.ovt")), Read(Path("whole.ovt"))) << length;
    }
}

TEST_F(EncryptedFileTest, AStreamThatFailsOrHasNothingLeavesTheOldFile) {
    const std::string path = Path("keep.ovt");
    Write(path, "original");
    const Bytes big(3 << 20, 0x5A);
    {
        EncryptedFileStream stream;
        ASSERT_TRUE(stream.Open(path, "pw"));
        EXPECT_FALSE(stream.Commit());
        EXPECT_EQ(stream.LastError(), EINVAL);
    }
    {
        // The disk fills up after the first slice.
        FileSizeLimit limit(1 << 20);
        ASSERT_TRUE(limit.active());
        EncryptedFileStream stream;
        ASSERT_TRUE(stream.Open(path, "pw"));
        EXPECT_FALSE(stream.Append(big.data(), big.size()) && stream.Commit());
        EXPECT_EQ(stream.LastError(), kErrorDiskFull);
    }
    {
        // Dropped before Commit.
        EncryptedFileStream stream;
        ASSERT_TRUE(stream.Open(path, "pw"));
        ASSERT_TRUE(stream.Append(big.data(), big.size()));
    }
    EXPECT_EQ(Read(path), Bytes({'o', 'r', 'i', 'g', 'i', 'n', 'a', 'l'}));
    EXPECT_EQ(FilesInDir(), 1u) << "no temporary file may be left";
}

TEST_F(EncryptedFileTest, NewFilesArePrivateAndLinksStayLinks) {
    const std::string path = Path("new.ovt");
    ASSERT_TRUE(SaveEncryptedText(path, "x", "pw", BlobForm::Current));
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::mask,
              fs::perms::owner_read | fs::perms::owner_write);

    const std::string link = Path("link.ovt");
    fs::create_symlink(path, link);
    ASSERT_TRUE(SaveEncryptedText(link, "changed", "pw", BlobForm::Current));
    EXPECT_TRUE(fs::is_symlink(link));
    std::string text;
    ASSERT_EQ(LoadEncryptedText(path, "pw", BlobForm::Current, text), LoadTextStatus::Text);
    EXPECT_EQ(text, "changed");

    EXPECT_FALSE(WriteWholeFile(Path("no/such/dir/file"), nullptr, 0));
    EXPECT_FALSE(WriteWholeFile(dir_.path().string(), nullptr, 0)) << "a folder is not replaced";
}

TEST(EnvelopeNames, ExtensionsAndFileNames) {
    EXPECT_TRUE(HasExtension("/a/B.OVD", ".ovd"));
    EXPECT_TRUE(HasExtension("x.Etx", ".etx"));
    EXPECT_FALSE(HasExtension("x.ovdx", ".ovd"));
    EXPECT_FALSE(HasExtension("d", ".ovd"));
    EXPECT_EQ(FileNameOf("/home/u/notes.ovt"), "notes.ovt");
    EXPECT_EQ(FileNameOf("C:\\dir\\notes.ovt"), "notes.ovt");
    EXPECT_EQ(FileNameOf("plain"), "plain");
}

} // namespace
