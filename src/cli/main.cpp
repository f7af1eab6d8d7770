// ombrivault-cli: scripted access to the program's encrypted files.
#include "cli/CliCommon.h"

#include "ProductVersion.h"
#include "base/CodePage.h"

#include <sys/prctl.h>
#include <sys/resource.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <iostream>

namespace {

// Commands in the order the usage text lists them.
const CliCommand* const kCommands[] = {
    &kDecryptCommand, &kEncryptCommand, &kListCommand, &kShowCommand,
    &kLsCommand,      &kExportCommand,  &kAddCommand,  &kCheckCommand,
    &kHardenCommand,  &kWeakenCommand,  &kInfoCommand,
};

void PrintUsage(std::ostream& out) {
    out << "usage:\n";
    for (const CliCommand* command : kCommands) {
        out << "  ombrivault-cli " << command->usage << '\n';
    }
    out << "  ombrivault-cli --help | --version\n";
    out << "\nThe password is the first line of F, or of standard input with --password-stdin;\n"
           "without either it is asked for on the terminal.\n"
           "Exit codes: 0 done, 1 wrong password or damaged file, 2 usage error,\n"
           "3 file missing, unreadable or unwritable, or no account of the name given,\n"
           "4 part of a storage does not decrypt.\n"
           "\nStrong protection (opens only in this program): encrypt --strong, harden and\n"
           "weaken; --kdf-passes N (1-64, 3 by default) and --kdf-memory MiB (8-4096, 256 by\n"
           "default) set its key derivation. decrypt, list, show and check read it as they\n"
           "find it; ls, export, add and check refuse a storage with it (exit code 3).\n";
}

// An option we do not know whose name suggests a password ("--password", "-pw", ...): its
// value may be the password itself, so it must never be echoed back.
bool LooksLikePasswordOption(const std::string& arg) {
    if (!arg.starts_with("-")) {
        return false;
    }
    std::string name = arg.substr(0, arg.find('='));
    for (char& c : name) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return name == "-p" || name.find("pass") != std::string::npos ||
           name.find("pw") != std::string::npos || name.find("secret") != std::string::npos;
}

// $OMBRIVAULT_CODEPAGE, when set, must name a code page the program can work in.
bool CodePageUsable() {
    const char* env = std::getenv("OMBRIVAULT_CODEPAGE");
    return env == nullptr || *env == '\0' || CodePage::IsKnown(env);
}

} // namespace

int UsageFail(const std::string& message) {
    std::cerr << "ombrivault-cli: " << message << "\n\n";
    PrintUsage(std::cerr);
    return kExitUsage;
}

int main(int argc, char** argv) {
    // Decrypted secrets must never end up in a core file.
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    // Nor may another process of the same user read them from our memory.
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);

    CliOptions options;
    std::string commandName;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            PrintUsage(std::cout);
            return kExitOk;
        } else if (arg == "--version") {
            std::cout << "ombrivault-cli " << kProductVersion << '\n';
            return kExitOk;
        } else if (arg == "--password-file") {
            if (i + 1 >= argc) {
                return UsageFail("--password-file needs a file name");
            }
            options.passwordFile = argv[++i];
        } else if (arg == "--password-stdin") {
            options.passwordStdin = true;
        } else if (arg != "--show-passwords" && arg != "--kdf-passes" &&
                   LooksLikePasswordOption(arg)) {
            return UsageFail("unknown option " + arg.substr(0, arg.find('=')) +
                             " (its value is not repeated here); give the password with "
                             "--password-file F or --password-stdin, never as an argument");
        } else if (commandName.empty() && !arg.starts_with("-")) {
            commandName = arg;
        } else {
            options.args.push_back(arg);
        }
    }
    if (options.passwordFile && options.passwordStdin) {
        return UsageFail("give either --password-file or --password-stdin, not both");
    }
    if (!CodePageUsable()) {
        return Fail(kExitUsage, "OMBRIVAULT_CODEPAGE names a code page that cannot be used: "
                                "it must be one in which every ASCII character is a single "
                                "byte, such as UTF-8, CP1252, CP932 or ISO-8859-1");
    }
    for (const CliCommand* command : kCommands) {
        if (commandName == command->name) {
            return command->run(options);
        }
    }
    return UsageFail(commandName.empty() ? "no command given" : "unknown command " + commandName);
}
