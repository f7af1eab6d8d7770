#include "passwords/PasswordsFile.h"

#include "crypto/SecretBuffer.h"
#include "documents/DocumentKinds.h"
#include "passwords/AccountsXml.h"

std::optional<BlobForm> PasswordsFormOf(std::string_view path) {
    return BlobFormOf(DocumentClass::Passwords, path);
}

PasswordsLoadStatus LoadPasswordsFile(const std::string& path, std::string_view password,
                                      AccountLists& lists, int* error, strong::Key* strong) {
    std::optional<BlobForm> form = PasswordsFormOf(path);
    if (!form) {
        return PasswordsLoadStatus::UnknownExtension;
    }
    SecretBuffer plain;
    switch (LoadEncryptedText(path, password, *form, plain.Bytes(), error, strong)) {
    case LoadTextStatus::Text:
        break;
    case LoadTextStatus::Unreadable:
        return PasswordsLoadStatus::Unreadable;
    case LoadTextStatus::DecryptFailed:
        return PasswordsLoadStatus::DecryptFailed;
    }
    AccountLists read;
    if (!ReadAccountsXml(plain.View(), read)) {
        return PasswordsLoadStatus::NotPasswords;
    }
    lists = std::move(read);
    return PasswordsLoadStatus::Loaded;
}

PasswordsSaveStatus SavePasswordsFile(const std::string& path, std::string_view password,
                                      const AccountLists& lists, int* error,
                                      const strong::Key* strong) {
    std::optional<BlobForm> form = PasswordsFormOf(path);
    if (!form) {
        return PasswordsSaveStatus::UnknownExtension;
    }
    const SecretBuffer plain(WriteAccountsXml(lists));
    if (!SaveEncryptedText(path, plain.View(), password, *form, error, strong)) {
        return PasswordsSaveStatus::WriteFailed;
    }
    return PasswordsSaveStatus::Saved;
}
