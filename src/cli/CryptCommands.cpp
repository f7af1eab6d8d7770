// decrypt and encrypt: a whole-file document to its text and back.
#include "cli/CliCommon.h"

#include "crypto/CodePage.h"
#include "crypto/EncryptedFile.h"

#include <cerrno>
#include <iostream>

namespace {

// The stored form by extension; the content is never inspected.
std::optional<BlobForm> FormOf(const std::string& path) {
    if (HasExtension(path, ".ovt") || HasExtension(path, ".ovd")) {
        return BlobForm::Current;
    }
    if (HasExtension(path, ".etx") || HasExtension(path, ".ovf")) {
        return BlobForm::Legacy;
    }
    return std::nullopt;
}

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
    const auto form = FormOf(path);
    if (!form) {
        return UsageFail(path + " is not " + kKnownTypes);
    }
    uint64_t size = 0;
    if (!GetFileSizeByName(path, size)) {
        return FileFail(path, errno, "open");
    }
    std::string password;
    if (const int code = ReadPassword(options, password); code != kExitOk) {
        return code;
    }
    std::string text;
    int error = 0;
    const LoadTextStatus status = LoadEncryptedText(path, password, *form, text, &error);
    WipePassword(password);
    if (status == LoadTextStatus::Unreadable) {
        return error == 0 ? Fail(kExitFile, "cannot read " + path + ": the file is empty")
                          : FileFail(path, error, "read");
    }
    if (status == LoadTextStatus::DecryptFailed) {
        return Fail(kExitDecryptFailed, "Failed to decrypt the file: " + FileNameOf(path));
    }
    std::string utf8 = CodePage::Program()->ToUtf8(text);
    WipePassword(text);
    if (!out || *out == "-") {
        std::cout << utf8;
        std::cout.flush();
        return std::cout ? kExitOk : Fail(kExitFile, "cannot write to standard output");
    }
    const bool ok =
        WriteWholeFile(*out, reinterpret_cast<const uint8_t*>(utf8.data()), utf8.size(), &error);
    WipePassword(utf8);
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
    const auto form = FormOf(*out);
    if (!form) {
        return UsageFail(*out + " must be " + kKnownTypes);
    }
    std::string password;
    if (const int code = ReadPassword(options, password); code != kExitOk) {
        return code;
    }
    std::string input;
    if (!ReadInput(args[0], input)) {
        WipePassword(password);
        return kExitFile;
    }
    std::string text = CodePage::Program()->FromUtf8(input);
    WipePassword(input);
    if (text.empty()) {
        WipePassword(password);
        return Fail(kExitFile, "nothing to encrypt: " + args[0] + " is empty");
    }
    int error = 0;
    const bool ok = SaveEncryptedText(*out, text, password, *form, &error);
    WipePassword(password);
    WipePassword(text);
    return ok ? kExitOk : FileFail(*out, error, "write");
}

} // namespace

const CliCommand kDecryptCommand = {
    "decrypt", "[--password-file F | --password-stdin] decrypt FILE [-o OUT]", Decrypt};
const CliCommand kEncryptCommand = {
    "encrypt", "[--password-file F | --password-stdin] encrypt IN -o OUT", Encrypt};
