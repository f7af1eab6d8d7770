#include "cli/CliCommon.h"

#include "crypto/Ciphers.h"
#include "crypto/CodePage.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <iterator>
#include <termios.h>
#include <unistd.h>

namespace {

void StripLineEnd(std::string& line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.pop_back();
    }
}

// Reads one line from the terminal with echo switched off.
bool PromptOnTerminal(std::string& line) {
    const int tty = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (tty < 0) {
        return false;
    }
    static const char kPrompt[] = "Password: ";
    (void)!::write(tty, kPrompt, sizeof kPrompt - 1);
    termios old{};
    const bool haveTermios = ::tcgetattr(tty, &old) == 0;
    if (haveTermios) {
        termios quiet = old;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(tty, TCSAFLUSH, &quiet);
    }
    char c;
    bool gotAny = false;
    while (::read(tty, &c, 1) == 1) {
        gotAny = true;
        if (c == '\n') {
            break;
        }
        line.push_back(c);
    }
    if (haveTermios) {
        ::tcsetattr(tty, TCSAFLUSH, &old);
    }
    (void)!::write(tty, "\n", 1);
    ::close(tty);
    SecureWipe(&c, sizeof c);
    return gotAny;
}

} // namespace

int Fail(int code, const std::string& message) {
    std::cerr << "ombrivault-cli: " << message << '\n';
    return code;
}

int FileFail(const std::string& path, int error, const char* doing) {
    return Fail(kExitFile, std::string("cannot ") + doing + " " + path + ": " +
                               (error != 0 ? std::strerror(error) : "unknown error"));
}

int LoadFail(const std::string& path, LoadTextStatus status, int error) {
    if (status == LoadTextStatus::DecryptFailed) {
        return Fail(kExitDecryptFailed, "Failed to decrypt the file: " + FileNameOf(path));
    }
    return error == 0 ? Fail(kExitFile, "cannot read " + path + ": the file is empty")
                      : FileFail(path, error, "read");
}

int ReadPassword(const CliOptions& options, SecretBuffer& password) {
    SecretBuffer typed;
    std::string& line = typed.Bytes();
    if (options.passwordFile) {
        std::ifstream in(*options.passwordFile, std::ios::binary);
        if (!in) {
            return FileFail(*options.passwordFile, errno, "read the password file");
        }
        std::getline(in, line);
    } else if (options.passwordStdin) {
        std::getline(std::cin, line);
    } else if (!PromptOnTerminal(line)) {
        return Fail(kExitUsage, "no password: give --password-file F or --password-stdin, or "
                                "run it on a terminal");
    }
    StripLineEnd(line);
    if (line.empty()) {
        return Fail(kExitUsage, "the password is empty");
    }
    password = SecretBuffer(CodePage::Program()->FromUtf8(line));
    password.CutToPasswordLength();
    return kExitOk;
}

int ReadPasswordForFile(const CliOptions& options, const std::string& path,
                        SecretBuffer& password) {
    uint64_t size = 0;
    if (!GetFileSizeByName(path, size)) {
        return FileFail(path, errno, "open");
    }
    return ReadPassword(options, password);
}

bool ReadInput(const std::string& path, std::string& data) {
    if (path == "-") {
        data.assign(std::istreambuf_iterator<char>(std::cin), {});
        return true;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        FileFail(path, errno, "read");
        return false;
    }
    data.assign(std::istreambuf_iterator<char>(in), {});
    if (in.bad()) {
        FileFail(path, errno, "read");
        return false;
    }
    return true;
}

bool TakeOption(std::vector<std::string>& args, const std::string& flag,
                std::optional<std::string>& value) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] != flag) {
            continue;
        }
        if (i + 1 >= args.size()) {
            UsageFail(flag + " needs a value");
            return false;
        }
        value = args[i + 1];
        args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
        return true;
    }
    return true;
}
