// decrypt and encrypt: a whole-file document to its text and back.
#include "cli/CliCommon.h"

#include "base/CodePage.h"
#include "base/FileNames.h"
#include "base/WholeFile.h"
#include "crypto/EncryptedFile.h"
#include "crypto/StrongEnvelope.h"
#include "documents/DocumentKinds.h"
#include "passwords/AccountsXml.h"
#include "passwords/PasswordsFile.h"

#include <cerrno>
#include <iostream>

namespace {

// The stored form by extension, from the table of document kinds; the content is never
// inspected.
std::optional<BlobForm> FormOf(const std::string& path) {
    return WholeFileFormOf(path);
}

const char* const kKnownTypes = "a .ovt, .etx, .ovd or .ovf file";

// The text to encrypt must be UTF-8: anything else would be changed silently. Reports the
// first bad byte and returns kExitUsage, or returns kExitOk.
int CheckUtf8Input(const std::string& name, std::string_view input) {
    const size_t bad = FirstInvalidUtf8(input);
    if (bad == std::string_view::npos) {
        return kExitOk;
    }
    return Fail(kExitUsage, name + " is not UTF-8 text: invalid byte sequence at byte offset " +
                                std::to_string(bad));
}

// A passwords file must hold a passwords document, or it will not open as one.
int CheckPasswordsInput(const std::string& name, const std::string& out, std::string_view text) {
    if (!PasswordsFormOf(out) || IsAccountsXml(text)) {
        return kExitOk;
    }
    return Fail(kExitUsage, name +
                                " is not a passwords document (the XML of a .ovd or .ovf "
                                "file), so it cannot be encrypted to " +
                                FileNameOf(out));
}

int Decrypt(const CliOptions& options) {
    std::vector<std::string> args = options.args;
    std::optional<std::string> out;
    if (!TakeOption(args, "-o", out)) {
        return kExitUsage;
    }
    if (args.size() != 1) {
        return UsageFail("decrypt takes one FILE");
    }
    const std::string& path = args[0];
    const auto form = FormOf(path);
    if (!form) {
        return UsageFail(path + " is not " + kKnownTypes);
    }
    if (out && *out != "-" && SameFile(path, *out)) {
        return UsageFail("the output " + *out + " is the input file; write to another file");
    }
    SecretBuffer password;
    if (const int code = ReadPasswordForFile(options, path, password); code != kExitOk) {
        return code;
    }
    std::string text;
    int error = 0;
    const LoadTextStatus status = LoadEncryptedText(path, password.View(), *form, text, &error);
    password.Clear();
    if (status != LoadTextStatus::Text) {
        return LoadFail(path, status, error);
    }
    // The text is UTF-8 already unless the program's code page is another.
    if (const auto page = CodePage::Program(); !page->IsUtf8()) {
        std::string utf8 = page->ToUtf8(text);
        WipeSecret(text);
        text.swap(utf8);
    }
    if (!out || *out == "-") {
        std::cout << text;
        std::cout.flush();
        WipeSecret(text);
        return std::cout ? kExitOk : Fail(kExitFile, "cannot write to standard output");
    }
    const bool ok =
        WriteWholeFile(*out, reinterpret_cast<const uint8_t*>(text.data()), text.size(), &error);
    WipeSecret(text);
    return ok ? kExitOk : FileFail(*out, error, "write");
}

int Encrypt(const CliOptions& options) {
    std::vector<std::string> args = options.args;
    std::optional<std::string> out;
    if (!TakeOption(args, "-o", out)) {
        return kExitUsage;
    }
    const bool strongProtection = TakeFlag(args, "--strong");
    strong::KdfParams params;
    const size_t argsBefore = args.size();
    if (const int code = TakeKdfOptions(args, params); code != kExitOk) {
        return code;
    }
    if (args.size() != argsBefore && !strongProtection) {
        return UsageFail("--kdf-passes and --kdf-memory go with --strong");
    }
    if (args.size() != 1 || !out) {
        return UsageFail("encrypt takes IN and -o OUT");
    }
    const auto form = FormOf(*out);
    if (!form) {
        return UsageFail(*out + " must be " + kKnownTypes);
    }
    if (args[0] != "-" && SameFile(args[0], *out)) {
        return UsageFail("the output " + *out + " is the input file; write to another file");
    }
    SecretBuffer password;
    if (const int code = ReadPassword(options, password); code != kExitOk) {
        return code;
    }
    Bytes input;
    if (!ReadInput(args[0], input)) {
        return kExitFile;
    }
    // The input is UTF-8; it is already text in the program's code page unless that is
    // another, and goes from there to the stored form in one conversion.
    std::string_view text(reinterpret_cast<const char*>(input.data()), input.size());
    std::string converted;
    const auto wipeAll = [&] {
        WipeSecret(converted);
        SecureWipe(input.data(), input.size());
    };
    if (const int code = CheckUtf8Input(args[0], text); code != kExitOk) {
        wipeAll();
        return code;
    }
    if (const auto page = CodePage::Program(); !page->IsUtf8()) {
        converted = page->FromUtf8(text);
        SecureWipe(input.data(), input.size());
        text = converted;
    }
    if (text.empty()) {
        wipeAll();
        return Fail(kExitFile, "nothing to encrypt: " + args[0] + " is empty");
    }
    if (const int code = CheckPasswordsInput(args[0], *out, text); code != kExitOk) {
        wipeAll();
        return code;
    }
    strong::Key key;
    if (strongProtection) {
        if (const strong::Status s = key.Derive(password.View(), params); s != strong::Status::Ok) {
            wipeAll();
            return Fail(kExitDecryptFailed, strong::StatusMessage(s));
        }
    }
    int error = 0;
    const bool ok = SaveEncryptedText(*out, text, password.View(), *form, &error,
                                      strongProtection ? &key : nullptr);
    password.Clear();
    wipeAll();
    return ok ? kExitOk : FileFail(*out, error, "write");
}

} // namespace

const CliCommand kDecryptCommand = {
    "decrypt", "[--password-file F | --password-stdin] decrypt FILE [-o OUT]", Decrypt};
const CliCommand kEncryptCommand = {
    "encrypt",
    "[--password-file F | --password-stdin] encrypt IN -o OUT [--strong [--kdf-passes N] "
    "[--kdf-memory MiB]]",
    Encrypt};
