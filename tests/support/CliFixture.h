// The real ombrivault-cli binary, run in a scratch folder by the tests of its commands.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>
#include <sys/wait.h>

#include "support/TestFiles.h"

struct CliResult {
    int code;
    std::string out, err;
};

class CliFixture : public ::testing::Test {
protected:
    // The right password, and one that differs only in case.
    void SetUp() override {
        Write("pw", "secret\n");
        Write("wrong", "Secret\n");
    }

    // Files in the scratch folder, by their path relative to it.
    void Write(const std::string& name, const std::string& data) {
        std::filesystem::create_directories((dir_.path() / name).parent_path());
        WriteFileBytes(dir_ / name, data);
    }
    std::string Read(const std::string& name) { return ReadFileBytes(dir_ / name); }
    bool Exists(const std::string& name) { return std::filesystem::exists(dir_.path() / name); }

    // Runs the tool in the scratch folder with `input` on standard input and the code page
    // setting cleared. `env` is put before the command ("NAME=value "); a command that blocks
    // is stopped.
    CliResult Run(const std::string& args, const std::string& input = "",
                  const std::string& env = "") {
        Write(".stdin", input);
        const std::string cmd = "cd '" + dir_.path().string() + "' && OMBRIVAULT_CODEPAGE= " + env +
                                "timeout 60 '" + std::string(OV_BINARY_DIR) +
                                "/bin/ombrivault-cli' " + args + " <.stdin >.stdout 2>.stderr";
        const int status = std::system(cmd.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Read(".stdout"), Read(".stderr")};
    }

    ScratchDir dir_;
};
