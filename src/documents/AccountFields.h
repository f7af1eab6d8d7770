// The kinds of account and their fields, shared by the passwords document and the account
// items of a storage, with the labels under which the forms of both windows show them.
#pragma once

#include <array>

enum class AccountKind { Web = 0, Mail = 1, Other = 2 };
inline constexpr std::array<AccountKind, 3> kAccountKinds = {AccountKind::Web, AccountKind::Mail,
                                                             AccountKind::Other};

enum class AccountField {
    Name,
    Address,
    WebInterface,
    SmtpServer,
    PopServer,
    UserId,
    Password,
    Notes,
};

// The label under which the account forms show a field; for the name, the form's heading.
// Labels are shown exactly as given, trailing blanks included.
const char* FieldLabel(AccountKind kind, AccountField field);
