#include "passwords/Accounts.h"

#include "crypto/Ciphers.h"

namespace {

// Where each field of a record kind lives, in the order of the record.
template <class T> struct FieldSlot {
    AccountField field;
    std::string T::*member;
};

constexpr FieldSlot<WebAccount> kWebSlots[] = {
    {AccountField::Name, &WebAccount::name},     {AccountField::Address, &WebAccount::address},
    {AccountField::UserId, &WebAccount::userId}, {AccountField::Password, &WebAccount::password},
    {AccountField::Notes, &WebAccount::notes},
};
constexpr FieldSlot<MailAccount> kMailSlots[] = {
    {AccountField::Name, &MailAccount::name},
    {AccountField::Address, &MailAccount::address},
    {AccountField::WebInterface, &MailAccount::webInterface},
    {AccountField::SmtpServer, &MailAccount::smtpServer},
    {AccountField::PopServer, &MailAccount::popServer},
    {AccountField::UserId, &MailAccount::userId},
    {AccountField::Password, &MailAccount::password},
    {AccountField::Notes, &MailAccount::notes},
};
constexpr FieldSlot<OtherAccount> kOtherSlots[] = {
    {AccountField::Name, &OtherAccount::name},
    {AccountField::UserId, &OtherAccount::userId},
    {AccountField::Password, &OtherAccount::password},
    {AccountField::Notes, &OtherAccount::notes},
};

template <class T, size_t N>
constexpr std::array<AccountField, N> FieldsOf(const FieldSlot<T> (&slots)[N]) {
    std::array<AccountField, N> fields{};
    for (size_t i = 0; i < N; ++i) {
        fields[i] = slots[i].field;
    }
    return fields;
}

constexpr auto kWebFields = FieldsOf(kWebSlots);
constexpr auto kMailFields = FieldsOf(kMailSlots);
constexpr auto kOtherFields = FieldsOf(kOtherSlots);

template <class T, size_t N>
std::string* FieldOf(T& account, const FieldSlot<T> (&slots)[N], AccountField field) {
    for (const FieldSlot<T>& slot : slots) {
        if (slot.field == field) {
            return &(account.*slot.member);
        }
    }
    return nullptr;
}

// The records hold passwords: their contents are overwritten before the memory is freed.
template <class T, size_t N> void WipeFields(T& account, const FieldSlot<T> (&slots)[N]) {
    for (const FieldSlot<T>& slot : slots) {
        std::string& value = account.*slot.member;
        SecureWipe(value.data(), value.size());
    }
}

} // namespace

Account::~Account() = default;

const std::string* Account::Field(AccountField field) const {
    return const_cast<Account*>(this)->Field(field);
}

WebAccount::~WebAccount() {
    WipeFields(*this, kWebSlots);
}

std::string* WebAccount::Field(AccountField field) {
    return FieldOf(*this, kWebSlots, field);
}

MailAccount::~MailAccount() {
    WipeFields(*this, kMailSlots);
}

std::string* MailAccount::Field(AccountField field) {
    return FieldOf(*this, kMailSlots, field);
}

OtherAccount::~OtherAccount() {
    WipeFields(*this, kOtherSlots);
}

std::string* OtherAccount::Field(AccountField field) {
    return FieldOf(*this, kOtherSlots, field);
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
