#include "cli/CliCommon.h"

#include "base/CodePage.h"
#include "base/FileErrors.h"
#include "base/FileNames.h"
#include "base/SimpleFile.h"
#include "base/WholeFile.h"
#include "crypto/Ciphers.h"
#include "crypto/StrongFile.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

void StripLineEnd(std::string& line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.pop_back();
    }
}

// Reads one line of at most kMaxPasswordLineBytes through `next` (a byte, or -1 at the end),
// without its LF. Returns false when the line is longer: the rest is not read.
template <typename Next> bool ReadBoundedLine(Next next, std::string& line, bool& gotAny) {
    gotAny = false;
    for (;;) {
        const int c = next();
        if (c < 0) {
            return true;
        }
        gotAny = true;
        if (c == '\n') {
            return true;
        }
        if (line.size() >= kMaxPasswordLineBytes) {
            return false;
        }
        line.push_back(static_cast<char>(c));
    }
}

// The terminal whose echo a prompt switched off, for the signal handler to restore.
int g_promptTty = -1;
termios g_promptSaved{};

extern "C" void RestoreEchoAndDie(int sig) {
    if (g_promptTty >= 0) {
        ::tcsetattr(g_promptTty, TCSAFLUSH, &g_promptSaved);
        (void)!::write(g_promptTty, "\n", 1);
    }
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

constexpr int kPromptSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// Reads one line from the terminal with echo switched off; a signal that ends the program
// meanwhile switches it back on first.
bool PromptOnTerminal(std::string& line, bool& tooLong) {
    const int tty = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (tty < 0) {
        return false;
    }
    termios old{};
    const bool haveTermios = ::tcgetattr(tty, &old) == 0;
    struct sigaction previous[std::size(kPromptSignals)] = {};
    if (haveTermios) {
        g_promptSaved = old;
        g_promptTty = tty;
        struct sigaction restore {};
        restore.sa_handler = RestoreEchoAndDie;
        sigemptyset(&restore.sa_mask);
        for (size_t i = 0; i < std::size(kPromptSignals); ++i) {
            ::sigaction(kPromptSignals[i], &restore, &previous[i]);
        }
        termios quiet = old;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(tty, TCSAFLUSH, &quiet);
    }
    static const char kPrompt[] = "Password: ";
    (void)!::write(tty, kPrompt, sizeof kPrompt - 1);
    char c = 0;
    bool gotAny = false;
    tooLong = !ReadBoundedLine(
        [&] {
            ssize_t n;
            while ((n = ::read(tty, &c, 1)) < 0 && errno == EINTR) {
            }
            return n == 1 ? static_cast<unsigned char>(c) : -1;
        },
        line, gotAny);
    if (haveTermios) {
        ::tcsetattr(tty, TCSAFLUSH, &old);
        for (size_t i = 0; i < std::size(kPromptSignals); ++i) {
            ::sigaction(kPromptSignals[i], &previous[i], nullptr);
        }
        g_promptTty = -1;
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
    return Fail(kExitFile,
                std::string("cannot ") + doing + " " + path + ": " + FileErrorMessage(error));
}

int LoadFail(const std::string& path, LoadTextStatus status, int error) {
    // Strong protection that cannot even be tried says why; a wrong password and a damaged
    // file read as for every other form.
    const strong::Status why = strong::StatusOfError(error);
    if (status == LoadTextStatus::DecryptFailed && why != strong::Status::Ok &&
        why != strong::Status::WrongPassword && why != strong::Status::Damaged) {
        return Fail(kExitDecryptFailed, "Failed to decrypt the file: " + FileNameOf(path) + ": " +
                                            strong::StatusMessage(why));
    }
    if (status == LoadTextStatus::DecryptFailed) {
        return Fail(kExitDecryptFailed, "Failed to decrypt the file: " + FileNameOf(path));
    }
    return error == 0 ? Fail(kExitFile, "cannot read " + path + ": the file is empty")
                      : FileFail(path, error, "read");
}

namespace {

// Checks and converts the line read as a password: refused when it was cut short or is empty
// after its line end and everything from its first NUL are gone.
int TakePassword(std::string& line, bool complete, SecretBuffer& password) {
    if (!complete) {
        WipeSecret(line);
        return Fail(kExitUsage, "the password is longer than " +
                                    std::to_string(kMaxPasswordLineBytes) + " bytes");
    }
    StripLineEnd(line);
    // A password ends at its first NUL byte, so one that starts with it would be empty.
    const size_t nul = line.find('\0');
    if (nul == 0) {
        WipeSecret(line);
        return Fail(kExitUsage, "the password is empty: it starts with a NUL byte");
    }
    if (nul != std::string::npos) {
        SecureWipe(line.data() + nul, line.size() - nul);
        line.resize(nul);
    }
    if (line.empty()) {
        return Fail(kExitUsage, "the password is empty");
    }
    SecretBuffer converted(CodePage::Program()->FromUtf8(line));
    WipeSecret(line);
    converted.CutToPasswordLength();
    password = std::move(converted);
    return kExitOk;
}

} // namespace

int ReadPassword(const CliOptions& options, SecretBuffer& password) {
    // Room for the longest line up front: the line never moves while it grows, so no copy of
    // a part of it is left behind unwiped, and it is wiped on every way out.
    SecretBuffer buffer;
    buffer.Reserve(kMaxPasswordLineBytes + 1);
    std::string& line = buffer.Bytes();
    bool gotAny = false;
    bool complete = true;
    if (options.passwordFile) {
        struct stat st {};
        if (::stat(options.passwordFile->c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            return FileFail(*options.passwordFile, EISDIR, "read the password file");
        }
        std::ifstream in(*options.passwordFile, std::ios::binary);
        if (!in) {
            return FileFail(*options.passwordFile, errno, "read the password file");
        }
        complete = ReadBoundedLine([&] { return in.get(); }, line, gotAny);
    } else if (options.passwordStdin) {
        complete = ReadBoundedLine([] { return std::cin.get(); }, line, gotAny);
    } else {
        bool tooLong = false;
        if (!PromptOnTerminal(line, tooLong)) {
            return Fail(kExitUsage, "no password: give --password-file F or --password-stdin, "
                                    "or run it on a terminal");
        }
        complete = !tooLong;
    }
    return TakePassword(line, complete, password);
}

int ReadPasswordForFile(const CliOptions& options, const std::string& path,
                        SecretBuffer& password) {
    SimpleFile file;
    if (!file.Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL)) {
        return FileFail(path, file.LastError(), "open");
    }
    file.Close();
    return ReadPassword(options, password);
}

bool ReadInput(const std::string& path, Bytes& data) {
    data.clear();
    if (path != "-") {
        int error = 0;
        if (!ReadWholeFile(path, data, &error)) {
            FileFail(path, error, "read");
            return false;
        }
        return true;
    }
    // Standard input in large reads through the stream, which may hold the password line's
    // neighbours already; its length is not known in advance.
    constexpr size_t kStep = size_t{1} << 20;
    while (std::cin) {
        const size_t done = data.size();
        data.resize(done + kStep);
        std::cin.read(reinterpret_cast<char*>(data.data() + done), kStep);
        data.resize(done + static_cast<size_t>(std::cin.gcount()));
    }
    if (std::cin.bad()) {
        FileFail("standard input", errno, "read");
        return false;
    }
    return true;
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {};
    struct stat sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

bool TakeFlag(std::vector<std::string>& args, const std::string& flag) {
    const auto at = std::find(args.begin(), args.end(), flag);
    if (at == args.end()) {
        return false;
    }
    args.erase(at);
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

// A value for one line of output: UTF-8, with tabs and line breaks (CR LF, CR or LF) written
// as \t and \n so that every account and every field keeps to its line. Other control
// characters are written as \xNN (C1 controls as \u00NN), so a document cannot send the
// terminal escape sequences, and a backslash as \\ so that a literal "\n" stays apart from
// a line break.
std::string OneLine(const std::string& value) {
    static const char kHex[] = "0123456789ABCDEF";
    const std::string utf8 = CodePage::Program()->ToUtf8(value);
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c == '\t') {
            out += "\\t";
        } else if (c == '\r' || c == '\n') {
            out += "\\n";
            if (c == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') {
                ++i;
            }
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c < 0x20 || c == 0x7F) {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else if (c == 0xC2 && i + 1 < utf8.size() &&
                   static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
            const auto code = static_cast<unsigned char>(utf8[++i]);
            out += "\\u00";
            out += kHex[code >> 4];
            out += kHex[code & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}
