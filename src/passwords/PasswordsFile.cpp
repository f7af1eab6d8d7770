#include "passwords/PasswordsFile.h"

#include "passwords/AccountsXml.h"

std::optional<BlobForm> PasswordsFormOf(std::string_view path) {
    if (HasExtension(path, ".ovd")) {
        return BlobForm::Current;
    }
    if (HasExtension(path, ".ovf")) {
        return BlobForm::Legacy;
    }
    return std::nullopt;
}

namespace {

// The plaintext holds every password of the file.
struct WipedText {
    std::string text;
    ~WipedText() { SecureWipe(text.data(), text.size()); }
};

} // namespace

PasswordsLoadStatus LoadPasswordsFile(const std::string& path, std::string_view password,
                                      AccountLists& lists, int* error) {
    std::optional<BlobForm> form = PasswordsFormOf(path);
    if (!form) {
        return PasswordsLoadStatus::UnknownExtension;
    }
    WipedText plain;
    switch (LoadEncryptedText(path, password, *form, plain.text, error)) {
    case LoadTextStatus::Text:
        break;
    case LoadTextStatus::Unreadable:
        return PasswordsLoadStatus::Unreadable;
    case LoadTextStatus::DecryptFailed:
        return PasswordsLoadStatus::DecryptFailed;
    }
    AccountLists read;
    if (!ReadAccountsXml(plain.text, read)) {
        return PasswordsLoadStatus::NotPasswords;
    }
    lists = std::move(read);
    return PasswordsLoadStatus::Loaded;
}

PasswordsSaveStatus SavePasswordsFile(const std::string& path, std::string_view password,
                                      const AccountLists& lists, int* error) {
    std::optional<BlobForm> form = PasswordsFormOf(path);
    if (!form) {
        return PasswordsSaveStatus::UnknownExtension;
    }
    WipedText plain{WriteAccountsXml(lists)};
    if (!SaveEncryptedText(path, plain.text, password, *form, error)) {
        return PasswordsSaveStatus::WriteFailed;
    }
    return PasswordsSaveStatus::Saved;
}
