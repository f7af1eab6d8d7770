#include "passwords/Accounts.h"

#include "crypto/Ciphers.h"

namespace {

constexpr AccountField kWebFields[] = {AccountField::Name, AccountField::Address,
                                       AccountField::UserId, AccountField::Password,
                                       AccountField::Notes};
constexpr AccountField kMailFields[] = {AccountField::Name,         AccountField::Address,
                                        AccountField::WebInterface, AccountField::SmtpServer,
                                        AccountField::PopServer,    AccountField::UserId,
                                        AccountField::Password,     AccountField::Notes};
constexpr AccountField kOtherFields[] = {AccountField::Name, AccountField::UserId,
                                         AccountField::Password, AccountField::Notes};

} // namespace

Account::~Account() {
    Wipe({&name});
}

const std::string* Account::Field(AccountField field) const {
    return const_cast<Account*>(this)->Field(field);
}

void Account::Wipe(std::initializer_list<std::string*> fields) {
    for (std::string* field : fields) {
        SecureWipe(field->data(), field->size());
    }
}

WebAccount::~WebAccount() {
    Wipe({&address, &userId, &password, &notes});
}

std::string* WebAccount::Field(AccountField field) {
    switch (field) {
    case AccountField::Name:
        return &name;
    case AccountField::Address:
        return &address;
    case AccountField::UserId:
        return &userId;
    case AccountField::Password:
        return &password;
    case AccountField::Notes:
        return &notes;
    default:
        return nullptr;
    }
}

MailAccount::~MailAccount() {
    Wipe({&address, &webInterface, &smtpServer, &popServer, &userId, &password, &notes});
}

std::string* MailAccount::Field(AccountField field) {
    switch (field) {
    case AccountField::Name:
        return &name;
    case AccountField::Address:
        return &address;
    case AccountField::WebInterface:
        return &webInterface;
    case AccountField::SmtpServer:
        return &smtpServer;
    case AccountField::PopServer:
        return &popServer;
    case AccountField::UserId:
        return &userId;
    case AccountField::Password:
        return &password;
    case AccountField::Notes:
        return &notes;
    }
    return nullptr;
}

OtherAccount::~OtherAccount() {
    Wipe({&userId, &password, &notes});
}

std::string* OtherAccount::Field(AccountField field) {
    switch (field) {
    case AccountField::Name:
        return &name;
    case AccountField::UserId:
        return &userId;
    case AccountField::Password:
        return &password;
    case AccountField::Notes:
        return &notes;
    default:
        return nullptr;
    }
}

std::unique_ptr<Account> MakeAccount(AccountKind kind) {
    switch (kind) {
    case AccountKind::Web:
        return std::make_unique<WebAccount>();
    case AccountKind::Mail:
        return std::make_unique<MailAccount>();
    case AccountKind::Other:
        return std::make_unique<OtherAccount>();
    }
    return nullptr;
}

std::span<const AccountField> RecordFields(AccountKind kind) {
    switch (kind) {
    case AccountKind::Web:
        return kWebFields;
    case AccountKind::Mail:
        return kMailFields;
    case AccountKind::Other:
        return kOtherFields;
    }
    return {};
}

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

const char* KindWord(AccountKind kind) {
    switch (kind) {
    case AccountKind::Web:
        return "web";
    case AccountKind::Mail:
        return "mail";
    case AccountKind::Other:
        return "other";
    }
    return "";
}

int AccountLists::AddAccount(AccountKind kind, std::string_view name) {
    std::unique_ptr<Account> account = MakeAccount(kind);
    account->name.assign(name);
    return AppendAccount(std::move(account));
}

int AccountLists::AppendAccount(std::unique_ptr<Account> account) {
    if (!account) {
        return -1;
    }
    auto& list = List(account->Kind());
    list.push_back(std::move(account));
    return static_cast<int>(list.size()) - 1;
}

bool AccountLists::DeleteAccount(AccountKind kind, int slot) {
    auto& list = List(kind);
    if (slot < 0 || static_cast<size_t>(slot) >= list.size() || !list[slot]) {
        return false;
    }
    list[slot].reset();
    return true;
}

Account* AccountLists::GetAccount(AccountKind kind, int slot) const {
    const auto& list = List(kind);
    if (slot < 0 || static_cast<size_t>(slot) >= list.size()) {
        return nullptr;
    }
    return list[slot].get();
}

WebAccount* AccountLists::GetWebAccount(int slot) const {
    return static_cast<WebAccount*>(GetAccount(AccountKind::Web, slot));
}

MailAccount* AccountLists::GetMailAccount(int slot) const {
    return static_cast<MailAccount*>(GetAccount(AccountKind::Mail, slot));
}

OtherAccount* AccountLists::GetOtherAccount(int slot) const {
    return static_cast<OtherAccount*>(GetAccount(AccountKind::Other, slot));
}

int AccountLists::GetSlotCount(AccountKind kind) const {
    return static_cast<int>(List(kind).size());
}

void AccountLists::Clear() {
    for (auto& list : lists_) {
        list.clear();
    }
}
