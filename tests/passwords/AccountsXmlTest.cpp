#include "passwords/AccountsXml.h"
#include "markup/CMarkup.h"

#include <gtest/gtest.h>

#include "support/CaseNames.h"

#include <string>
#include <vector>

namespace {

const std::string kHeader(kAccountsXmlHeader);

std::string Lines(std::initializer_list<const char*> lines) {
    std::string text;
    for (const char* line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

std::vector<std::string> Names(const AccountLists& lists, AccountKind kind) {
    std::vector<std::string> names;
    for (int slot = 0; slot < lists.GetSlotCount(kind); ++slot) {
        const Account* account = lists.GetAccount(kind, slot);
        names.push_back(account ? account->name : "(deleted)");
    }
    return names;
}

void SetFields(Account& account, std::initializer_list<std::pair<AccountField, std::string>> f) {
    for (const auto& [field, value] : f) {
        *account.Field(field) = value;
    }
}

void ExpectSameAccounts(const AccountLists& a, const AccountLists& b) {
    for (AccountKind kind : kAccountKinds) {
        ASSERT_EQ(a.GetSlotCount(kind), b.GetSlotCount(kind)) << KindWord(kind);
        for (int slot = 0; slot < a.GetSlotCount(kind); ++slot) {
            for (AccountField field : RecordFields(kind)) {
                EXPECT_EQ(*a.GetAccount(kind, slot)->Field(field),
                          *b.GetAccount(kind, slot)->Field(field))
                    << KindWord(kind) << " slot " << slot << " field " << static_cast<int>(field);
            }
        }
    }
}

} // namespace

TEST(AccountsXmlWrite, EmptyDocument) {
    AccountLists lists;
    EXPECT_EQ(WriteAccountsXml(lists),
              kHeader + Lines({"<DOC>", "<WEB_ACCOUNTS/>", "<MAIL_ACCOUNTS/>", "<OTHER_ACCOUNTS/>",
                               "</DOC>"}));
}

TEST(AccountsXmlWrite, OneWebAccount) {
    AccountLists lists;
    lists.AddAccount(AccountKind::Web, "N");
    EXPECT_EQ(WriteAccountsXml(lists),
              kHeader +
                  Lines({"<DOC>", "<WEB_ACCOUNTS>", "<ACCOUNT>", "<NAME>N</NAME>", "<ADDRESS/>",
                         "<USERID/>", "<PASSWORD/>", "<NOTES/>", "</ACCOUNT>", "</WEB_ACCOUNTS>",
                         "<MAIL_ACCOUNTS/>", "<OTHER_ACCOUNTS/>", "</DOC>"}));
}

TEST(AccountsXmlWrite, EveryKindInStoredOrderWithoutDeletedSlots) {
    AccountLists lists;
    lists.AddAccount(AccountKind::Web, "gone");
    SetFields(*lists.GetAccount(AccountKind::Web, lists.AddAccount(AccountKind::Web, "W")),
              {{AccountField::Address, "a"},
               {AccountField::UserId, "u"},
               {AccountField::Password, "p"},
               {AccountField::Notes, "n"}});
    lists.DeleteAccount(AccountKind::Web, 0);
    // The mail record's field order differs from the stored one.
    SetFields(*lists.GetAccount(AccountKind::Mail, lists.AddAccount(AccountKind::Mail, "M")),
              {{AccountField::Address, "1"},
               {AccountField::WebInterface, "2"},
               {AccountField::SmtpServer, "3"},
               {AccountField::PopServer, "4"},
               {AccountField::UserId, "5"},
               {AccountField::Password, "6"},
               {AccountField::Notes, "7"}});
    SetFields(*lists.GetAccount(AccountKind::Other, lists.AddAccount(AccountKind::Other, "O")),
              {{AccountField::UserId, "u"}, {AccountField::Password, "p"}});
    const std::string text = WriteAccountsXml(lists);
    EXPECT_EQ(text, kHeader + Lines({"<DOC>",
                                     "<WEB_ACCOUNTS>",
                                     "<ACCOUNT>",
                                     "<NAME>W</NAME>",
                                     "<ADDRESS>a</ADDRESS>",
                                     "<USERID>u</USERID>",
                                     "<PASSWORD>p</PASSWORD>",
                                     "<NOTES>n</NOTES>",
                                     "</ACCOUNT>",
                                     "</WEB_ACCOUNTS>",
                                     "<MAIL_ACCOUNTS>",
                                     "<ACCOUNT>",
                                     "<NAME>M</NAME>",
                                     "<ADDRESS>1</ADDRESS>",
                                     "<WEBINTERFACE>2</WEBINTERFACE>",
                                     "<USERID>5</USERID>",
                                     "<PASSWORD>6</PASSWORD>",
                                     "<SMTPSERVER>3</SMTPSERVER>",
                                     "<POPSERVER>4</POPSERVER>",
                                     "<NOTES>7</NOTES>",
                                     "</ACCOUNT>",
                                     "</MAIL_ACCOUNTS>",
                                     "<OTHER_ACCOUNTS>",
                                     "<ACCOUNT>",
                                     "<NAME>O</NAME>",
                                     "<USERID>u</USERID>",
                                     "<PASSWORD>p</PASSWORD>",
                                     "<NOTES/>",
                                     "</ACCOUNT>",
                                     "</OTHER_ACCOUNTS>",
                                     "</DOC>"}));

    // Read back, the remaining accounts sit in consecutive slots from 0.
    AccountLists read;
    ReadAccountsXml(text, read);
    EXPECT_EQ(Names(read, AccountKind::Web), std::vector<std::string>{"W"});
    EXPECT_EQ(read.GetMailAccount(0)->smtpServer, "3");
    EXPECT_EQ(read.GetMailAccount(0)->userId, "5");
}

// Values that must survive a write and a read unchanged, in every field of every kind.
TEST(AccountsXmlRoundTrip, ValuesSurviveUnchanged) {
    const std::string values[] = {
        "a < b & c > d",
        "&lt; is already an entity &amp;",
        "quotes \" and apostrophes '",
        "line one\r\nline two\r\n\r\nline four",
        "  blanks around  ",
        "\t",
        "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x94\x91",
        "<![CDATA[not a section]]>",
        "<NAME>x</NAME>",
        "]]>",
        "",
    };
    AccountLists lists;
    int n = 0;
    for (const std::string& value : values) {
        for (AccountKind kind : kAccountKinds) {
            Account* account = lists.GetAccount(kind, lists.AddAccount(kind, ""));
            for (AccountField field : RecordFields(kind)) {
                // Every other field gets a suffix, so neighbouring fields differ.
                *account->Field(field) = (n++ % 2 == 0) ? value : value + "#" + std::to_string(n);
            }
        }
    }
    AccountLists read;
    ReadAccountsXml(WriteAccountsXml(lists), read);
    ExpectSameAccounts(lists, read);
}

struct ReadCase {
    const char* what;
    std::string text;
    std::vector<std::string> web, mail, other;
};

class AccountsXmlRead : public testing::TestWithParam<ReadCase> {};

TEST_P(AccountsXmlRead, FollowsTheReadingWalk) {
    const ReadCase& c = GetParam();
    AccountLists lists;
    lists.AddAccount(AccountKind::Other, "left over from before");
    ReadAccountsXml(c.text, lists);
    EXPECT_EQ(Names(lists, AccountKind::Web), c.web);
    EXPECT_EQ(Names(lists, AccountKind::Mail), c.mail);
    EXPECT_EQ(Names(lists, AccountKind::Other), c.other);
}

#define ACC(name) "<ACCOUNT><NAME>" name "</NAME></ACCOUNT>"

INSTANTIATE_TEST_SUITE_P(
    Cases, AccountsXmlRead,
    testing::Values(
        ReadCase{"all three lists",
                 "<DOC><WEB_ACCOUNTS>" ACC("w1") ACC("w2") "</WEB_ACCOUNTS><MAIL_ACCOUNTS>" ACC(
                     "m1") "</MAIL_ACCOUNTS><OTHER_ACCOUNTS>" ACC("o1") "</OTHER_ACCOUNTS></DOC>",
                 {"w1", "w2"},
                 {"m1"},
                 {"o1"}},
        ReadCase{"mail before web: the mail list is not seen",
                 "<DOC><MAIL_ACCOUNTS>" ACC("m1") "</MAIL_ACCOUNTS><WEB_ACCOUNTS>" ACC(
                     "w1") "</WEB_ACCOUNTS></DOC>",
                 {"w1"},
                 {},
                 {}},
        ReadCase{
            "several lists of a kind in a row are all read",
            "<DOC><WEB_ACCOUNTS>" ACC("w1") "</WEB_ACCOUNTS><WEB_ACCOUNTS>" ACC(
                "w2") "</WEB_ACCOUNTS><OTHER_ACCOUNTS>" ACC("o1") "</OTHER_ACCOUNTS>"
                                                                  "<OTHER_ACCOUNTS>" ACC(
                                                                      "o2") "</OTHER_ACCOUNTS></"
                                                                            "DOC>",
            {"w1", "w2"},
            {},
            {"o1", "o2"}},
        ReadCase{"unknown elements are skipped at every level",
                 "<DOC><EXTRA/><WEB_ACCOUNTS><NOTE>x</NOTE>" ACC(
                     "w1") "<ACCT/><ACCOUNT><COLOR>red</COLOR><NAME>w2</NAME></ACCOUNT>"
                           "</WEB_ACCOUNTS><UNKNOWN><ACCOUNT><NAME>hidden</NAME></ACCOUNT>"
                           "</UNKNOWN></DOC>",
                 {"w1", "w2"},
                 {},
                 {}},
        ReadCase{"the root's name is not checked",
                 "<ROOT><OTHER_ACCOUNTS>" ACC("o1") "</OTHER_ACCOUNTS></ROOT>",
                 {},
                 {},
                 {"o1"}},
        ReadCase{"empty lists", kHeader + "<DOC><WEB_ACCOUNTS/><MAIL_ACCOUNTS/></DOC>", {}, {}, {}},
        ReadCase{"text that does not parse gives empty lists",
                 "<DOC><WEB_ACCOUNTS>" ACC("w1") "</WEB_ACCOUNTS></DOX>",
                 {},
                 {},
                 {}},
        ReadCase{"not XML at all", "\x01\x02 garbage from a wrong password", {}, {}, {}},
        ReadCase{"empty text", "", {}, {}, {}}),
    NameByField<&ReadCase::what>());

TEST(AccountsXmlRead, FieldsAreReadInStoredOrder) {
    const std::string text =
        "<DOC><WEB_ACCOUNTS>"
        // ADDRESS before NAME is passed over; fields after NAME are found.
        "<ACCOUNT><ADDRESS>early</ADDRESS><NAME>n</NAME><USERID>u</USERID>"
        "<PASSWORD>p</PASSWORD><NOTES>x</NOTES></ACCOUNT>"
        // A missing field reads as empty, not as the field before it.
        "<ACCOUNT><NAME>n2</NAME><ADDRESS>a2</ADDRESS><PASSWORD>p2</PASSWORD></ACCOUNT>"
        "</WEB_ACCOUNTS><OTHER_ACCOUNTS>"
        // Elements of another kind's schema mean nothing here.
        "<ACCOUNT><NAME>o</NAME><ADDRESS>ignored</ADDRESS><USERID>4111</USERID></ACCOUNT>"
        "</OTHER_ACCOUNTS></DOC>";
    AccountLists lists;
    ReadAccountsXml(text, lists);
    ASSERT_EQ(lists.GetSlotCount(AccountKind::Web), 2);
    const WebAccount* first = lists.GetWebAccount(0);
    EXPECT_EQ(first->name, "n");
    EXPECT_EQ(first->address, "");
    EXPECT_EQ(first->userId, "u");
    EXPECT_EQ(first->notes, "x");
    const WebAccount* second = lists.GetWebAccount(1);
    EXPECT_EQ(second->address, "a2");
    EXPECT_EQ(second->userId, "");
    EXPECT_EQ(second->password, "p2");
    EXPECT_EQ(second->notes, "");
    const OtherAccount* other = lists.GetOtherAccount(0);
    EXPECT_EQ(other->userId, "4111");
    EXPECT_EQ(other->password, "");
}
