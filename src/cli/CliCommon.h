// What every command of ombrivault-cli shares: the exit codes, the password options and the
// messages for unreadable files.
#pragma once

#include "crypto/EncryptedFile.h"
#include "crypto/SecretBuffer.h"
#include "crypto/StrongEnvelope.h"

#include <optional>
#include <string>
#include <vector>

enum CliExit {
    kExitOk = 0,
    kExitDecryptFailed = 1, // wrong password or a damaged file
    kExitUsage = 2,
    kExitFile = 3,    // a file missing, unreadable or unwritable
    kExitDamaged = 4, // part of a file does not decrypt although the password is right
};

struct CliOptions {
    std::optional<std::string> passwordFile;
    bool passwordStdin = false;
    std::vector<std::string> args; // the command's own arguments, password options removed
};

struct CliCommand {
    const char* name;
    const char* usage; // the line shown in the usage text, after the program name
    int (*run)(const CliOptions& options);
};

// The longest password line read: a longer one is refused rather than read without end.
inline constexpr size_t kMaxPasswordLineBytes = 4096;

// The password from the first line of the password file, of standard input, or typed at the
// terminal without echo; converted to the program's code page and cut to the longest length
// a document keeps. A line longer than kMaxPasswordLineBytes, or one that is empty once cut at
// its first NUL byte, is refused. Returns kExitOk, or prints why there is none and returns
// the exit code.
int ReadPassword(const CliOptions& options, SecretBuffer& password);
// Checks that FILE can be opened before the password is asked for, so that a mistyped name
// costs no typing; then reads the password as ReadPassword does.
int ReadPasswordForFile(const CliOptions& options, const std::string& path, SecretBuffer& password);

// True when both names lead to one existing file, so writing one would destroy the other.
bool SameFile(const std::string& a, const std::string& b);

// Reads all of a file, or of standard input for "-". Prints the reason and returns false.
bool ReadInput(const std::string& path, Bytes& data);

// A code-page value for one line of output: UTF-8 with tabs, line breaks, backslashes and
// control characters escaped (\t, \n, \\, \xNN, \u00NN).
std::string OneLine(const std::string& value);

// Prints "ombrivault-cli: MESSAGE" on standard error and returns `code`.
int Fail(int code, const std::string& message);
// Prints a message naming the file and the reason for `error` (an errno value or a file-layer
// code, see FileErrors.h).
int FileFail(const std::string& path, int error, const char* doing);
// Reports a whole-file load that gave no text (an unreadable file or a failed decryption)
// and returns its exit code.
int LoadFail(const std::string& path, LoadTextStatus status, int error);
// Takes "--kdf-passes N" and "--kdf-memory MiB" off `args` into `params` (which keep their
// values for options not given). Returns kExitOk, or prints why not and returns kExitUsage.
int TakeKdfOptions(std::vector<std::string>& args, strong::KdfParams& params);
// Takes a flag without a value ("--strong") off `args`; true when it was there.
bool TakeFlag(std::vector<std::string>& args, const std::string& flag);

// Prints the usage text and returns kExitUsage.
int UsageFail(const std::string& message);

// Splits "-o OUT" style options off `args`: returns false (and prints why) on a missing value.
bool TakeOption(std::vector<std::string>& args, const std::string& flag,
                std::optional<std::string>& value);

extern const CliCommand kDecryptCommand;
extern const CliCommand kEncryptCommand;
extern const CliCommand kListCommand;
extern const CliCommand kShowCommand;
extern const CliCommand kLsCommand;
extern const CliCommand kExportCommand;
extern const CliCommand kAddCommand;
extern const CliCommand kCheckCommand;
extern const CliCommand kHardenCommand;
extern const CliCommand kWeakenCommand;
extern const CliCommand kInfoCommand;
