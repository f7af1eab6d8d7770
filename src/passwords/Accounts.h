// The account records of a passwords document and the three slot lists that hold them. A
// deleted account leaves a null slot, so the slot index stays the account's identity.
#pragma once

#include <array>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "documents/AccountFields.h"

// Every field is a byte string in the program's code page. Each kind wipes its fields when it
// is destroyed, since they hold passwords.
struct Account {
    Account() = default;
    Account(const Account&) = default;
    Account& operator=(const Account&) = default;
    virtual ~Account();

    virtual AccountKind Kind() const = 0;
    // The storage of a field; null when records of this kind have no such field.
    virtual std::string* Field(AccountField field) = 0;
    const std::string* Field(AccountField field) const;

    std::string name;
};

struct WebAccount final : Account {
    ~WebAccount() override;
    AccountKind Kind() const override { return AccountKind::Web; }
    std::string* Field(AccountField field) override;
    using Account::Field;

    std::string address;
    std::string userId;
    std::string password;
    std::string notes;
};

struct MailAccount final : Account {
    ~MailAccount() override;
    AccountKind Kind() const override { return AccountKind::Mail; }
    std::string* Field(AccountField field) override;
    using Account::Field;

    std::string address;
    std::string webInterface;
    std::string smtpServer;
    std::string popServer;
    std::string userId;
    std::string password;
    std::string notes;
};

struct OtherAccount final : Account {
    ~OtherAccount() override;
    AccountKind Kind() const override { return AccountKind::Other; }
    std::string* Field(AccountField field) override;
    using Account::Field;

    std::string userId;
    std::string password;
    std::string notes;
};

std::unique_ptr<Account> MakeAccount(AccountKind kind);

// The fields of a kind in the order of its record, name first.
std::span<const AccountField> RecordFields(AccountKind kind);
// "web", "mail" or "other".
const char* KindWord(AccountKind kind);

class AccountLists {
public:
    // Creates a record with the given name and every other field empty in the next slot and
    // returns that slot.
    int AddAccount(AccountKind kind, std::string_view name);
    // Stores a whole record in the next slot of its kind's list and returns that slot.
    int AppendAccount(std::unique_ptr<Account> account);
    // Destroys the record and leaves its slot null; false for a slot that holds none.
    bool DeleteAccount(AccountKind kind, int slot);
    // The record at the slot, or null for a deleted slot or one that does not exist.
    Account* GetAccount(AccountKind kind, int slot) const;
    WebAccount* GetWebAccount(int slot) const;
    MailAccount* GetMailAccount(int slot) const;
    OtherAccount* GetOtherAccount(int slot) const;
    // Slots used so far, deleted ones included: the slot the next record gets.
    int GetSlotCount(AccountKind kind) const;
    void Clear();

private:
    const std::vector<std::unique_ptr<Account>>& List(AccountKind kind) const {
        return lists_[static_cast<size_t>(kind)];
    }
    std::vector<std::unique_ptr<Account>>& List(AccountKind kind) {
        return lists_[static_cast<size_t>(kind)];
    }

    std::array<std::vector<std::unique_ptr<Account>>, 3> lists_;
};
