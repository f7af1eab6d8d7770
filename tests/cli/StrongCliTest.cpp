// The command-line tool with strong protection: what it refuses, and how a file it cannot
// open says why. The independent reader and writer in tests/crypto/strong_oracle.py check
// the bytes it writes.
#include "support/CliFixture.h"

#include <gtest/gtest.h>

namespace {

const std::string kFast = " --kdf-passes 1 --kdf-memory 8";

class StrongCliTest : public CliFixture {
protected:
    void SetUp() override {
        CliFixture::SetUp();
        Write("in.txt", "some text");
        ASSERT_EQ(Run("--password-file pw encrypt --strong" + kFast + " in.txt -o s.ovt").code, 0);
        ASSERT_EQ(Run("--password-file pw encrypt in.txt -o c.ovt").code, 0);
    }

    // s.ovt with the 32-bit header field at `offset` set to `value`, as `name`.
    void Patch(const std::string& name, size_t offset, uint32_t value) {
        std::string bytes = Read("s.ovt");
        for (size_t i = 0; i < 4; ++i) {
            bytes[offset + i] = static_cast<char>(value >> (8 * i));
        }
        Write(name, bytes);
    }
};

TEST_F(StrongCliTest, RefusesWhatWouldNotWorkOrWouldLoseProtection) {
    Write("s.ovs", Read("s.ovt")); // a storage with strong protection, as far as ls can tell
    Write("plain.ovs", "not a storage");
    const struct {
        std::string args;
        int code;
        const char* err;
    } cases[] = {
        {"harden s.ovt" + kFast, 2, "has strong protection already"},
        {"weaken c.ovt -o w.ovt", 2, "has no strong protection"},
        {"weaken s.ovt", 2, "weaken takes FILE and -o OUT"},
        {"weaken s.ovt -o s.ovt", 2, "is the input file"},
        {"weaken s.ovt -o w.etx", 2, "must have the extension of s.ovt"},
        {"harden c.ovt -o h.ovd" + kFast, 2, "must have the extension of c.ovt"},
        {"harden c.ovt --kdf-passes 65", 2, "--kdf-passes takes a number from 1 to 64"},
        {"harden c.ovt --kdf-memory 4097", 2, "--kdf-memory takes a number of MiB"},
        {"harden c.ovt --kdf-memory 7", 2, "--kdf-memory takes a number of MiB"},
        {"harden c.ovt --kdf-memory 8x", 2, "--kdf-memory takes a number of MiB"},
        {"encrypt in.txt -o e.ovt --kdf-passes 2", 2, "go with --strong"},
        {"info in.txt", 2, "is not a .ovs"},
        {"ls s.ovs", 1, "s.ovs"},
        {"add s.ovs in.txt", 1, "s.ovs"},
        {"check s.ovs", 4, "s.ovs"},
        {"harden plain.ovs" + kFast, 1, "plain.ovs"},
    };
    for (const auto& c : cases) {
        const CliResult r = Run("--password-file pw " + c.args);
        EXPECT_EQ(r.code, c.code) << c.args << "\n" << r.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << c.args << "\n" << r.err;
    }
    EXPECT_FALSE(Exists("w.ovt") || Exists("w.etx") || Exists("h.ovd") || Exists("e.ovt"));
    EXPECT_EQ(Read("s.ovs").substr(0, 8), "OVSTRONG");
}

// A file that cannot be tried says why; a wrong password and damage read as for the
// compatible forms. The 64 GiB file is refused from its header: it never gets as far as
// running out of memory.
TEST_F(StrongCliTest, FilesThatCannotBeOpenedSayWhy) {
    Patch("huge.ovt", 16, 64u << 20);
    Patch("passes.ovt", 12, 1000);
    Patch("version.ovt", 8, 2);
    std::string damaged = Read("s.ovt");
    damaged.back() ^= 1;
    Write("damaged.ovt", damaged);
    Write("short.ovt", Read("s.ovt").substr(0, 60));
    const struct {
        const char* args;
        const char* err;
    } cases[] = {
        {"decrypt huge.ovt", "asks for more memory than this program allows"},
        {"check huge.ovt", "asks for more memory than this program allows"},
        {"weaken huge.ovt -o w.ovt", "asks for more memory than this program allows"},
        {"decrypt passes.ovt", "passes outside 1 to 64"},
        {"decrypt version.ovt", "newer version of strong protection"},
        {"decrypt short.ovt", "shorter than the strong protection's header"},
        {"decrypt damaged.ovt", "Failed to decrypt the file: damaged.ovt"},
    };
    for (const auto& c : cases) {
        const CliResult r = Run(std::string("--password-file pw ") + c.args);
        EXPECT_EQ(r.code, 1) << c.args << "\n" << r.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << c.args << "\n" << r.err;
        EXPECT_EQ(r.out, "") << c.args;
    }
    const CliResult wrong = Run("--password-file wrong decrypt s.ovt");
    EXPECT_EQ(wrong.code, 1);
    EXPECT_EQ(wrong.err, "ombrivault-cli: Failed to decrypt the file: s.ovt\n");
    const CliResult info = Run("info huge.ovt");
    EXPECT_EQ(info.code, 1);
    EXPECT_NE(info.err.find("more memory"), std::string::npos) << info.err;
}

TEST_F(StrongCliTest, InfoHardenAndWeakenRoundTrip) {
    CliResult r = Run("info c.ovt");
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("protection: compatible"), std::string::npos) << r.out;
    ASSERT_EQ(Run("--password-file wrong harden c.ovt" + kFast).code, 1);
    EXPECT_EQ(Read("c.ovt").substr(0, 8) == "OVSTRONG", false);
    const std::string compatible = Read("c.ovt");
    ASSERT_EQ(Run("--password-file pw harden c.ovt --kdf-passes 2 --kdf-memory 9").code, 0);
    r = Run("info c.ovt");
    EXPECT_NE(r.out.find("protection: strong"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Argon2id, 2 passes, 9 MiB"), std::string::npos) << r.out;
    EXPECT_EQ(Run("--password-file pw decrypt c.ovt").out, "some text");
    EXPECT_EQ(Run("--password-file wrong weaken c.ovt -o back.ovt").code, 1);
    EXPECT_FALSE(Exists("back.ovt"));
    ASSERT_EQ(Run("--password-file pw weaken c.ovt -o back.ovt").code, 0);
    EXPECT_EQ(Read("back.ovt"), compatible);
}

// A storage with strong protection works with every storage command through its envelope:
// items added keep it strong, listed, exported and checked; a wrong password and damage read
// as for the compatible form.
TEST_F(StrongCliTest, StorageCommandsWorkThroughTheEnvelope) {
    std::string big(300000, '\0');
    for (size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>(i * 7 + (i >> 9));
    }
    Write("big.bin", big);
    ASSERT_EQ(Run("--password-file pw add st.ovs in.txt").code, 0);
    ASSERT_EQ(Run("--password-file pw harden st.ovs" + kFast).code, 0);
    ASSERT_EQ(Run("--password-file pw add st.ovs big.bin").code, 0);
    EXPECT_EQ(Read("st.ovs").substr(0, 8), "OVSTRONG") << "add keeps the storage strong";
    EXPECT_EQ(Read("st.BAK").substr(0, 8), "OVSTRONG") << "the backup is the file before";

    CliResult r = Run("--password-file pw ls st.ovs");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "big.bin\tfile\t300000\nin.txt\ttext\t9\n");
    r = Run("--password-file pw export st.ovs / -o out");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Read("out/big.bin"), big);
    EXPECT_EQ(Read("out/in.txt"), "some text");
    r = Run("--password-file pw check st.ovs");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "st.ovs: 2 items, all decrypt\n");
    r = Run("--password-file wrong ls st.ovs");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "ombrivault-cli: Failed to decrypt the file: st.ovs\n");

    // The chunk in the middle lies inside big.bin: only check, which opens every chunk, sees
    // it; the tables at the end are what the storage is read by.
    const std::string good = Read("st.ovs");
    const size_t chunk = 65536 + 16;
    std::string bytes = good;
    bytes[80 + (good.size() / chunk / 2) * chunk + 9] ^= 1;
    Write("mid.ovs", bytes);
    bytes = good;
    bytes[good.size() - 9] ^= 1;
    Write("end.ovs", bytes);
    const struct {
        const char* args;
        int code;
    } damaged[] = {
        {"ls mid.ovs", 0}, {"check mid.ovs", 4}, {"ls end.ovs", 1}, {"check end.ovs", 4}};
    for (const auto& c : damaged) {
        r = Run(std::string("--password-file pw ") + c.args);
        EXPECT_EQ(r.code, c.code) << c.args << "\n" << r.err;
        if (c.code != 0) {
            EXPECT_NE(r.err.find("damaged"), std::string::npos) << c.args << "\n" << r.err;
        }
    }

    ASSERT_EQ(Run("--password-file pw weaken st.ovs -o w.ovs").code, 0);
    EXPECT_EQ(Run("--password-file pw ls w.ovs").out, "big.bin\tfile\t300000\nin.txt\ttext\t9\n");
}

} // namespace
