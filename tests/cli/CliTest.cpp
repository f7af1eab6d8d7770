// Runs the real ombrivault-cli binary against real files.
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

struct Result {
    int code;
    std::string out, err;
};

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        Write("pw", "secret\n");
        Write("wrong", "Secret\n");
    }

    void Write(const std::string& name, const std::string& data) {
        WriteFileBytes(dir_ / name, data);
    }
    std::string Read(const std::string& name) { return ReadFileBytes(dir_ / name); }
    bool Exists(const std::string& name) { return fs::exists(dir_ / name); }

    // Runs the tool in the scratch folder with `input` on standard input.
    Result Run(const std::string& args, const std::string& input = "") {
        Write(".stdin", input);
        const std::string cmd = "cd '" + dir_.path().string() + "' && OMBRIVAULT_CODEPAGE= '" +
                                std::string(OV_BINARY_DIR) + "/bin/ombrivault-cli' " + args +
                                " <.stdin >.stdout 2>.stderr";
        const int status = std::system(cmd.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Read(".stdout"), Read(".stderr")};
    }

    ScratchDir dir_;
};

TEST_F(CliTest, EncryptThenDecryptEveryForm) {
    const std::string text = "line one\r\nline two: \xC3\xA4\xE2\x82\xAC\n";
    Write("in.txt", text);
    for (const char* name : {"a.ovt", "b.ETX", "c.ovd", "d.ovf"}) {
        Result r = Run(std::string("--password-file pw encrypt in.txt -o ") + name);
        ASSERT_EQ(r.code, 0) << name << r.err;
        r = Run(std::string("--password-stdin decrypt ") + name, "secret\n");
        EXPECT_EQ(r.code, 0) << name << r.err;
        EXPECT_EQ(r.out, text) << name;
        r = Run(std::string("decrypt ") + name + " -o out.txt --password-file pw");
        EXPECT_EQ(r.code, 0) << name;
        EXPECT_EQ(Read("out.txt"), text) << name;
    }
    // Standard input carries the password on its first line and the text after it.
    Result r = Run("--password-stdin encrypt - -o e.ovt", "secret\nfrom stdin");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Run("--password-file pw decrypt e.ovt").out, "from stdin");
}

TEST_F(CliTest, DecryptsAFileMadeElsewhere) {
    fs::copy_file(std::string(OV_TEST_FIXTURES) + "/crypto/legacy.etx", dir_.path() / "known.etx");
    const Result r = Run("--password-file pw decrypt known.etx");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 12), "First line\r\n");
}

TEST_F(CliTest, FailuresHaveTheirExitCodesAndLeaveNoOutput) {
    Write("in.txt", "text");
    ASSERT_EQ(Run("--password-file pw encrypt in.txt -o doc.ovt").code, 0);
    const std::string before = Read("doc.ovt");
    Write("empty.txt", "");
    Write("empty.etx", "");

    const struct {
        const char* args;
        int code;
        const char* err;
    } cases[] = {
        {"--password-file wrong decrypt doc.ovt -o out.txt", 1,
         "Failed to decrypt the file: doc.ovt"},
        {"--password-file pw decrypt missing.ovt", 3, "missing.ovt"},
        {"--password-file nofile decrypt doc.ovt", 3, "nofile"},
        {"--password-file pw decrypt empty.etx", 3, "empty"},
        {"--password-file pw encrypt missing.txt -o doc.ovt", 3, "missing.txt"},
        {"--password-file pw encrypt empty.txt -o doc.ovt", 3, "empty"},
        {"--password-file pw encrypt in.txt -o no/such/dir/x.ovt", 3, "x.ovt"},
        {"--password-file pw decrypt doc.txt", 2, "usage:"},
        {"--password-file pw encrypt in.txt -o out.txt", 2, "usage:"},
        {"--password-file pw encrypt in.txt", 2, "usage:"},
        {"--password-file pw --password-stdin decrypt doc.ovt", 2, "not both"},
        {"frobnicate", 2, "unknown command"},
        {"", 2, "no command"},
        {"decrypt doc.ovt", 2, "no password"},
    };
    for (const auto& c : cases) {
        const Result r = Run(c.args);
        EXPECT_EQ(r.code, c.code) << c.args << "\n" << r.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << c.args << "\n" << r.err;
    }
    EXPECT_FALSE(Exists("out.txt"));
    EXPECT_EQ(Read("doc.ovt"), before);
    EXPECT_EQ(Run("--help").code, 0);
}

} // namespace
