#include "passwords/Accounts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

TEST(AccountLists, SlotsKeepTheirIndexesWhenAccountsAreDeleted) {
    for (AccountKind kind : kAccountKinds) {
        SCOPED_TRACE(KindWord(kind));
        AccountLists lists;
        EXPECT_EQ(lists.GetSlotCount(kind), 0);
        EXPECT_EQ(lists.AddAccount(kind, "a"), 0);
        EXPECT_EQ(lists.AddAccount(kind, "b"), 1);
        EXPECT_EQ(lists.AddAccount(kind, "c"), 2);

        EXPECT_TRUE(lists.DeleteAccount(kind, 1));
        EXPECT_EQ(lists.GetAccount(kind, 1), nullptr);
        EXPECT_EQ(lists.GetSlotCount(kind), 3);
        EXPECT_EQ(lists.GetAccount(kind, 2)->name, "c");
        // The next account goes after the deleted slot, never into it.
        EXPECT_EQ(lists.AddAccount(kind, "d"), 3);
        EXPECT_EQ(lists.GetAccount(kind, 1), nullptr);

        // A deleted, negative or unused slot holds nothing and cannot be deleted.
        for (int slot : {1, -1, 4, 1000}) {
            EXPECT_EQ(lists.GetAccount(kind, slot), nullptr) << slot;
            EXPECT_FALSE(lists.DeleteAccount(kind, slot)) << slot;
        }
        // The other kinds' lists are untouched.
        for (AccountKind other : kAccountKinds) {
            if (other != kind) {
                EXPECT_EQ(lists.GetSlotCount(other), 0);
            }
        }
    }
}

TEST(AccountLists, NewAccountHasOnlyItsName) {
    AccountLists lists;
    const int slot = lists.AddAccount(AccountKind::Mail, "Mail box");
    const MailAccount* mail = lists.GetMailAccount(slot);
    ASSERT_NE(mail, nullptr);
    EXPECT_EQ(mail->Kind(), AccountKind::Mail);
    for (AccountField field : RecordFields(AccountKind::Mail)) {
        EXPECT_EQ(*mail->Field(field), field == AccountField::Name ? "Mail box" : "");
    }
}

TEST(Accounts, FieldsOfEachKind) {
    struct Case {
        AccountKind kind;
        std::vector<AccountField> fields;
        std::vector<std::string> labels;
    };
    const Case cases[] = {
        {AccountKind::Web,
         {AccountField::Name, AccountField::Address, AccountField::UserId, AccountField::Password,
          AccountField::Notes},
         {"Web Account: ", "Web Address:", "User ID:", "Password:", "Notes:"}},
        {AccountKind::Mail,
         {AccountField::Name, AccountField::Address, AccountField::WebInterface,
          AccountField::SmtpServer, AccountField::PopServer, AccountField::UserId,
          AccountField::Password, AccountField::Notes},
         {"Email Account: ", "Mail Address:", "WebMail Interface:", "SMTP Server:", "POP Server:",
          "User ID:", "Password:", "Notes:"}},
        {AccountKind::Other,
         {AccountField::Name, AccountField::UserId, AccountField::Password, AccountField::Notes},
         {"Account: ", "Description (Credit Card No, Bank Account, Location, etc.): ",
          "PIN (Pass Code, Key, Password, etc.):", "Notes:"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(KindWord(c.kind));
        auto span = RecordFields(c.kind);
        ASSERT_EQ(std::vector<AccountField>(span.begin(), span.end()), c.fields);
        std::unique_ptr<Account> account = MakeAccount(c.kind);
        ASSERT_EQ(account->Kind(), c.kind);
        // Each field has storage of its own; fields of other kinds have none.
        std::set<const std::string*> storage;
        for (size_t i = 0; i < c.fields.size(); ++i) {
            EXPECT_EQ(FieldLabel(c.kind, c.fields[i]), c.labels[i]);
            std::string* field = account->Field(c.fields[i]);
            ASSERT_NE(field, nullptr);
            EXPECT_TRUE(storage.insert(field).second);
        }
        for (int f = 0; f <= static_cast<int>(AccountField::Notes); ++f) {
            auto field = static_cast<AccountField>(f);
            if (std::find(c.fields.begin(), c.fields.end(), field) == c.fields.end()) {
                EXPECT_EQ(account->Field(field), nullptr);
            }
        }
    }
}
