#include "passwords/PasswordsFile.h"
#include "passwords/AccountsXml.h"

#include "base/CodePage.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

const char* const kFixturePassword = "fixture pw";

class PasswordsFileTest : public ::testing::Test {
protected:
    void SetUp() override { CodePage::SetProgram("UTF-8"); }

    std::string Path(const std::string& name) const { return dir_ / name; }
    static std::string Fixture(const std::string& name) {
        return std::string(OV_TEST_FIXTURES) + "/passwords/" + name;
    }

    ScratchDir dir_;
};

} // namespace

TEST(PasswordsFormOf, ChosenByExtensionAlone) {
    const std::pair<const char*, std::optional<BlobForm>> cases[] = {
        {"a.ovd", BlobForm::Current}, {"/x/A.OVD", BlobForm::Current}, {"b.ovf", BlobForm::Legacy},
        {"B.Ovf", BlobForm::Legacy},  {"a.ovt", std::nullopt},         {"a.etx", std::nullopt},
        {"ovd", std::nullopt},        {"a.ovd.bak", std::nullopt},     {"a", std::nullopt},
    };
    for (const auto& [path, form] : cases) {
        EXPECT_EQ(PasswordsFormOf(path), form) << path;
    }
}

// The known files were made with the openssl tool from hand-written XML: reading them gives
// the accounts, and writing those accounts again gives the same bytes.
TEST_F(PasswordsFileTest, KnownFilesLoadAndSaveByteForByte) {
    for (const char* name : {"sample.ovd", "sample.ovf"}) {
        SCOPED_TRACE(name);
        AccountLists lists;
        ASSERT_EQ(LoadPasswordsFile(Fixture(name), kFixturePassword, lists),
                  PasswordsLoadStatus::Loaded);
        ASSERT_EQ(lists.GetSlotCount(AccountKind::Web), 2);
        ASSERT_EQ(lists.GetSlotCount(AccountKind::Mail), 1);
        ASSERT_EQ(lists.GetSlotCount(AccountKind::Other), 1);
        const WebAccount* bank = lists.GetWebAccount(0);
        EXPECT_EQ(bank->name, "Bank & Co");
        EXPECT_EQ(bank->address, "https://bank.example/login?a=1&b=2");
        EXPECT_EQ(bank->password, "p<ss>\"'");
        EXPECT_EQ(bank->notes, "line one\r\nline two");
        EXPECT_EQ(lists.GetWebAccount(1)->address, "");
        const MailAccount* mail = lists.GetMailAccount(0);
        EXPECT_EQ(mail->webInterface, "https://mail.example");
        EXPECT_EQ(mail->userId, "me");
        EXPECT_EQ(mail->smtpServer, "smtp.mail.example");
        EXPECT_EQ(mail->popServer, "pop.mail.example");
        EXPECT_EQ(mail->notes, "Gr\xc3\xbc\xc3\x9f\x65 \xe2\x82\xac");
        EXPECT_EQ(lists.GetOtherAccount(0)->userId, "4111 1111 1111 1111");

        const std::string copy = Path(name);
        ASSERT_EQ(SavePasswordsFile(copy, kFixturePassword, lists), PasswordsSaveStatus::Saved);
        EXPECT_EQ(ReadFileBytes(copy), ReadFileBytes(Fixture(name)));
    }
}

TEST_F(PasswordsFileTest, SaveThenLoadInBothForms) {
    AccountLists lists;
    lists.AddAccount(AccountKind::Web, "deleted");
    const int slot = lists.AddAccount(AccountKind::Web, "kept");
    lists.GetWebAccount(slot)->notes = "two\r\nlines & <tags>";
    lists.DeleteAccount(AccountKind::Web, 0);
    lists.AddAccount(AccountKind::Other, "card");

    for (const auto& [name, form, other] :
         {std::tuple{"new.OVF", BlobForm::Legacy, BlobForm::Current},
          std::tuple{"new.ovd", BlobForm::Current, BlobForm::Legacy}}) {
        SCOPED_TRACE(name);
        const std::string path = Path(name);
        ASSERT_EQ(SavePasswordsFile(path, "pw", lists), PasswordsSaveStatus::Saved);

        // The envelope's form follows the extension, and the plaintext is the account XML.
        std::string text;
        ASSERT_EQ(LoadEncryptedText(path, "pw", form, text), LoadTextStatus::Text);
        EXPECT_EQ(text, WriteAccountsXml(lists));
        EXPECT_NE(LoadEncryptedText(path, "pw", other, text), LoadTextStatus::Text);

        AccountLists read;
        ASSERT_EQ(LoadPasswordsFile(path, "pw", read), PasswordsLoadStatus::Loaded);
        ASSERT_EQ(read.GetSlotCount(AccountKind::Web), 1);
        EXPECT_EQ(read.GetWebAccount(0)->name, "kept");
        EXPECT_EQ(read.GetWebAccount(0)->notes, "two\r\nlines & <tags>");
        EXPECT_EQ(read.GetOtherAccount(0)->name, "card");
    }
}

TEST_F(PasswordsFileTest, FailuresLeaveListsAndFilesAlone) {
    AccountLists lists;
    lists.AddAccount(AccountKind::Web, "unchanged");
    const std::string path = Path("doc.ovd");
    ASSERT_EQ(SavePasswordsFile(path, "right", lists), PasswordsSaveStatus::Saved);
    const std::string saved = ReadFileBytes(path);

    AccountLists target;
    target.AddAccount(AccountKind::Mail, "before");
    EXPECT_EQ(LoadPasswordsFile(path, "wrong", target), PasswordsLoadStatus::DecryptFailed);
    EXPECT_EQ(LoadPasswordsFile(Path("missing.ovd"), "right", target),
              PasswordsLoadStatus::Unreadable);
    fs::copy_file(path, Path("doc.txt"));
    EXPECT_EQ(LoadPasswordsFile(Path("doc.txt"), "right", target),
              PasswordsLoadStatus::UnknownExtension);
    EXPECT_EQ(target.GetSlotCount(AccountKind::Web), 0);
    ASSERT_EQ(target.GetSlotCount(AccountKind::Mail), 1);
    EXPECT_EQ(target.GetMailAccount(0)->name, "before");

    // An unknown extension writes nothing; a folder that does not exist cannot be written.
    EXPECT_EQ(SavePasswordsFile(Path("doc.ovt"), "right", lists),
              PasswordsSaveStatus::UnknownExtension);
    EXPECT_FALSE(fs::exists(Path("doc.ovt")));
    int error = 0;
    EXPECT_EQ(SavePasswordsFile(Path("no/such/dir.ovd"), "right", lists, &error),
              PasswordsSaveStatus::WriteFailed);
    EXPECT_NE(error, 0);
    EXPECT_EQ(ReadFileBytes(path), saved);
}

TEST_F(PasswordsFileTest, DecryptedTextThatIsNotXmlIsNotAPasswordsDocument) {
    for (const char* text : {"not xml at all", "<DOC><WEB_ACCOUNTS>", "<a></b>"}) {
        const std::string path = Path("garbage.ovd");
        ASSERT_TRUE(SaveEncryptedText(path, text, "pw", BlobForm::Current));
        AccountLists lists;
        lists.AddAccount(AccountKind::Web, "kept");
        EXPECT_EQ(LoadPasswordsFile(path, "pw", lists), PasswordsLoadStatus::NotPasswords) << text;
        EXPECT_EQ(lists.GetSlotCount(AccountKind::Web), 1) << "the lists stay as they were";
    }
}
