// Loading and saving a passwords file: the account lists as XML text inside the encrypted
// envelope, in the form that the file's extension names.
#pragma once

#include "crypto/EncryptedFile.h"
#include "passwords/Accounts.h"

#include <optional>
#include <string>
#include <string_view>

// The form of a passwords file by its extension, from the table of document kinds: ".ovd"
// (any case) is the current form, ".ovf" the legacy form; any other name has none.
std::optional<BlobForm> PasswordsFormOf(std::string_view path);

// NotPasswords: the file decrypted, but its text is not a passwords document (the file is
// damaged, or a wrong password happened to decrypt it).
enum class PasswordsLoadStatus {
    Loaded,
    UnknownExtension,
    Unreadable,
    DecryptFailed,
    NotPasswords
};
enum class PasswordsSaveStatus { Saved, UnknownExtension, WriteFailed };

// On success the lists hold exactly the accounts of the file; on failure they are unchanged.
// `error`, when given, receives the errno of a file that could not be read or written. A file
// with strong protection opens through it; `strong` is as for LoadEncryptedText.
PasswordsLoadStatus LoadPasswordsFile(const std::string& path, std::string_view password,
                                      AccountLists& lists, int* error = nullptr,
                                      strong::Key* strong = nullptr);
// The file is replaced atomically; on failure the previous file is untouched. With a strong
// key it is written with strong protection under that key.
PasswordsSaveStatus SavePasswordsFile(const std::string& path, std::string_view password,
                                      const AccountLists& lists, int* error = nullptr,
                                      const strong::Key* strong = nullptr);
