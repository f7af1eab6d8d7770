// The options both programs answer without a display, a password or a file: --version and
// --help, run on the real binaries.
#include "ProductVersion.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/wait.h>

namespace {

struct Outcome {
    int code;
    std::string out, err;
};

// Runs build/bin/PROGRAM with no display at all: the window system must not be asked, or the
// xcb platform would end the program. Settings and data would go to the scratch folder.
Outcome RunProgram(const ScratchDir& dir, const std::string& program, const std::string& args,
                   const std::string& env = "") {
    const std::string cmd = "cd '" + dir.path().string() +
                            "' && env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb" +
                            " XDG_CONFIG_HOME=. XDG_DATA_HOME=. OMBRIVAULT_COMMON_APPDATA=. " +
                            env + " timeout 60 '" + OV_BINARY_DIR + "/bin/" + program + "' " +
                            args + " >.stdout 2>.stderr";
    const int status = std::system(cmd.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFileBytes(dir / ".stdout"),
            ReadFileBytes(dir / ".stderr")};
}

TEST(ProgramOptions, VersionAndHelpNeedNoDisplay) {
    const ScratchDir dir;
    const std::string version = kProductVersion;
    struct Case {
        const char* program;
        const char* args;
        const char* env;
        std::string out; // the whole output, or (ending in "...") what it starts with
    };
    const Case cases[] = {
        {"ombrivault", "--version", "", "ombrivault " + version + "\n"},
        // A file named before the option is not opened.
        {"ombrivault", "notes.ovt --version", "", "ombrivault " + version + "\n"},
        {"ombrivault", "--help", "", "usage: ombrivault [FILE]\n..."},
        {"ombrivault-cli", "--version", "", "ombrivault-cli " + version + "\n"},
        // A code page the tool refuses for its commands does not stop it naming its version.
        {"ombrivault-cli", "--version", "OMBRIVAULT_CODEPAGE=UTF-16",
         "ombrivault-cli " + version + "\n"},
        {"ombrivault-cli", "--help", "", "usage:\n..."},
    };
    for (const Case& c : cases) {
        const Outcome r = RunProgram(dir, c.program, c.args, c.env);
        const std::string what = std::string(c.program) + " " + c.args;
        EXPECT_EQ(r.code, 0) << what << "\n" << r.err;
        EXPECT_EQ(r.err, "") << what;
        if (c.out.ends_with("...")) {
            EXPECT_TRUE(r.out.starts_with(c.out.substr(0, c.out.size() - 3))) << what << "\n"
                                                                              << r.out;
            // Each help text lists the version option.
            EXPECT_NE(r.out.find("--version"), std::string::npos) << what << "\n" << r.out;
        } else {
            EXPECT_EQ(r.out, c.out) << what;
        }
    }
}

} // namespace
