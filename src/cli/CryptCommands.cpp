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
    std::string password;
    if (const int code = ReadPasswordForFile(options, path, password); code != kExitOk) {
        return code;
    }
    std::string text;
    int error = 0;
    const LoadTextStatus status = LoadEncryptedText(path, password, *form, text, &error);
    WipePassword(password);
    if (status != LoadTextStatus::Text) {
        return LoadFail(path, status, error);
    }
    // The text is UTF-8 already unless the program's code page is another.
    if (const auto page = CodePage::Program(); !page->IsUtf8()) {
        std::string utf8 = page->ToUtf8(text);
        WipePassword(text);
        text.swap(utf8);
    }
    if (!out || *out == "-") {
        std::cout << text;
        std::cout.flush();
        WipePassword(text);
        return std::cout ? kExitOk : Fail(kExitFile, "cannot write to standard output");
    }
    const bool ok =
        WriteWholeFile(*out, reinterpret_cast<const uint8_t*>(text.data()), text.size(), &error);
    WipePassword(text);
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
    Bytes input;
    if (!ReadInput(args[0], input)) {
        WipePassword(password);
        return kExitFile;
    }
    // The input is UTF-8; it is already text in the program's code page unless that is
    // another, and goes from there to the stored form in one conversion.
    std::string_view text(reinterpret_cast<const char*>(input.data()), input.size());
    std::string converted;
    if (const auto page = CodePage::Program(); !page->IsUtf8()) {
        converted = page->FromUtf8(text);
        SecureWipe(input.data(), input.size());
        text = converted;
    }
    int error = 0;
    const bool empty = text.empty();
    const bool ok = !empty && SaveEncryptedText(*out, text, password, *form, &error);
    WipePassword(password);
    WipePassword(converted);
    SecureWipe(input.data(), input.size());
    if (empty) {
        return Fail(kExitFile, "nothing to encrypt: " + args[0] + " is empty");
    }
    return ok ? kExitOk : FileFail(*out, error, "write");
}

} // namespace

const CliCommand kDecryptCommand = {
    "decrypt", "[--password-file F | --password-stdin] decrypt FILE [-o OUT]", Decrypt};
const CliCommand kEncryptCommand = {
    "encrypt", "[--password-file F | --password-stdin] encrypt IN -o OUT", Encrypt};
