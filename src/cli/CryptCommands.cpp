// decrypt and encrypt: a whole-file document to its text and back.
#include "cli/CliCommon.h"

#include "crypto/CodePage.h"
#include "crypto/EncryptedFile.h"
#include "documents/DocumentKinds.h"

#include <cerrno>
#include <iostream>

namespace {

const char* const kKnownTypes = "a .ovt, .etx, .ovd or .ovf file";

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
    const auto form = WholeFileFormOf(path);
    if (!form) {
        return UsageFail(path + " is not " + kKnownTypes);
    }
    SecretBuffer password;
    if (const int code = ReadPasswordForFile(options, path, password); code != kExitOk) {
        return code;
    }
    SecretBuffer text;
    int error = 0;
    const LoadTextStatus status =
        LoadEncryptedText(path, password.View(), *form, text.Bytes(), &error);
    password.Clear();
    if (status != LoadTextStatus::Text) {
        return LoadFail(path, status, error);
    }
    const SecretBuffer utf8(CodePage::Program()->ToUtf8(text.View()));
    text.Clear();
    if (!out || *out == "-") {
        std::cout << utf8.View();
        std::cout.flush();
        return std::cout ? kExitOk : Fail(kExitFile, "cannot write to standard output");
    }
    const bool ok =
        WriteWholeFile(*out, reinterpret_cast<const uint8_t*>(utf8.CStr()), utf8.Size(), &error);
    return ok ? kExitOk : FileFail(*out, error, "write");
}

int Encrypt(const CliOptions& options) {
    std::vector<std::string> args = options.args;
    std::optional<std::string> out;
    if (!TakeOption(args, "-o", out)) {
        return kExitUsage;
    }
    if (args.size() != 1 || !out) {
        return UsageFail("encrypt takes IN and -o OUT");
    }
    const auto form = WholeFileFormOf(*out);
    if (!form) {
        return UsageFail(*out + " must be " + kKnownTypes);
    }
    SecretBuffer password;
    if (const int code = ReadPassword(options, password); code != kExitOk) {
        return code;
    }
    SecretBuffer input;
    if (!ReadInput(args[0], input.Bytes())) {
        return kExitFile;
    }
    const SecretBuffer text(CodePage::Program()->FromUtf8(input.View()));
    input.Clear();
    if (text.Empty()) {
        return Fail(kExitFile, "nothing to encrypt: " + args[0] + " is empty");
    }
    int error = 0;
    const bool ok = SaveEncryptedText(*out, text.View(), password.View(), *form, &error);
    return ok ? kExitOk : FileFail(*out, error, "write");
}

} // namespace

const CliCommand kDecryptCommand = {
    "decrypt", "[--password-file F | --password-stdin] decrypt FILE [-o OUT]", Decrypt};
const CliCommand kEncryptCommand = {
    "encrypt", "[--password-file F | --password-stdin] encrypt IN -o OUT", Encrypt};
