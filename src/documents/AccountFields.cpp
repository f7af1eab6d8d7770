#include "documents/AccountFields.h"

const char* FieldLabel(AccountKind kind, AccountField field) {
    switch (field) {
    case AccountField::Name:
        return kind == AccountKind::Web    ? "Web Account: "
               : kind == AccountKind::Mail ? "Email Account: "
                                           : "Account: ";
    case AccountField::Address:
        return kind == AccountKind::Mail ? "Mail Address:" : "Web Address:";
    case AccountField::WebInterface:
        return "WebMail Interface:";
    case AccountField::SmtpServer:
        return "SMTP Server:";
    case AccountField::PopServer:
        return "POP Server:";
    case AccountField::UserId:
        return kind == AccountKind::Other
                   ? "Description (Credit Card No, Bank Account, Location, etc.): "
                   : "User ID:";
    case AccountField::Password:
        return kind == AccountKind::Other ? "PIN (Pass Code, Key, Password, etc.):" : "Password:";
    case AccountField::Notes:
        return "Notes:";
    }
    return "";
}
