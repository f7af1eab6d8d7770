// ombrivault-cli generate: new passwords or passphrases, one per line, from the same
// generator as the program's Generate dialog.
#include "cli/CliCommon.h"

#include "crypto/PassphraseWords.h"
#include "crypto/PasswordGenerator.h"

#include <iostream>

namespace {

constexpr uint32_t kMaxCount = 10000;

int Generate(const CliOptions& options) {
    std::vector<std::string> args = options.args;
    std::optional<std::string> length;
    std::optional<std::string> words;
    std::optional<std::string> separator;
    std::optional<std::string> count;
    if (!TakeOption(args, "--length", length) || !TakeOption(args, "--words", words) ||
        !TakeOption(args, "--separator", separator) || !TakeOption(args, "--count", count)) {
        return kExitUsage;
    }
    passgen::CharacterRules rules;
    rules.lower = !TakeFlag(args, "--no-lower");
    rules.upper = !TakeFlag(args, "--no-upper");
    rules.digits = !TakeFlag(args, "--no-digits");
    rules.symbols = !TakeFlag(args, "--no-symbols");
    rules.avoidLookAlikes = TakeFlag(args, "--avoid-look-alikes");
    const bool showEntropy = TakeFlag(args, "--entropy");
    if (!args.empty()) {
        return UsageFail("generate does not take " + args.front());
    }
    if (options.passwordFile || options.passwordStdin) {
        return UsageFail("generate reads no password");
    }
    uint32_t value = 0;
    if (length) {
        if (words) {
            return UsageFail("give either --length or --words, not both");
        }
        if (!ParseBounded(*length, passgen::kMinLength, passgen::kMaxLength, value)) {
            return UsageFail("--length takes a number from 8 to 128");
        }
        rules.length = static_cast<int>(value);
    }
    passgen::PassphraseRules phrase;
    if (words) {
        if (!ParseBounded(*words, passgen::kMinWords, passgen::kMaxWords, value)) {
            return UsageFail("--words takes a number from 4 to 12");
        }
        phrase.words = static_cast<int>(value);
    }
    if (separator) {
        if (!words) {
            return UsageFail("--separator goes with --words");
        }
        phrase.separator = *separator;
        if (phrase.separator.find_first_of("\r\n") != std::string::npos) {
            return UsageFail("the separator may not hold a line break");
        }
    }
    uint32_t passwords = 1;
    if (count && !ParseBounded(*count, 1, kMaxCount, passwords)) {
        return UsageFail("--count takes a number from 1 to 10000");
    }
    const std::string_view problem =
        words ? passgen::CheckRules(phrase) : passgen::CheckRules(rules);
    if (!problem.empty()) {
        return UsageFail(std::string(problem));
    }
    const auto list = PassphraseWords();
    const double bits = words ? passgen::PassphraseEntropyBits(phrase.words, list.size())
                              : passgen::PasswordEntropyBits(rules);
    for (uint32_t i = 0; i < passwords; ++i) {
        SecretBuffer password;
        const bool made = words ? passgen::GeneratePassphrase(phrase, list, password)
                                : passgen::GeneratePassword(rules, password);
        if (!made) {
            return Fail(kExitFile, "the random source failed");
        }
        std::cout << password.View() << '\n';
    }
    if (showEntropy) {
        std::cerr << "entropy: " << static_cast<int>(bits) << " bits per password\n";
    }
    std::cout.flush();
    return std::cout ? kExitOk : Fail(kExitFile, "could not write the passwords");
}

} // namespace

const CliCommand kGenerateCommand = {
    "generate",
    "generate [--length N] [--no-lower] [--no-upper] [--no-digits] [--no-symbols] "
    "[--avoid-look-alikes] | [--words N [--separator S]] [--count N] [--entropy]",
    Generate};
