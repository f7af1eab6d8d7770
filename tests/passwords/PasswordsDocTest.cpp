// The passwords document in the real program: opening and saving real files in both forms,
// Save As, the close check, and files exchanged with ombrivault-cli.
#include <QFileDialog>
#include <QSplitter>
#include <QTreeWidget>

#include "WindowFixture.h"
#include "controls/EditEx.h"
#include "controls/MultiViewSplitter.h"
#include "crypto/StrongFile.h"
#include "framework/CommandIds.h"
#include "passwords/AccountForms.h"
#include "passwords/LeftView.h"
#include "passwords/PasswordsFile.h"
#include "support/StrongSupport.h"

namespace {

// The labels of a category's items, top to bottom.
QStringList Labels(const CLeftView* tree, AccountKind kind) {
    QStringList labels;
    const QTreeWidgetItem* category = tree->CategoryItem(kind);
    for (int i = 0; i < category->childCount(); ++i) {
        labels << category->child(i)->text(0);
    }
    return labels;
}

AccountLists Load(const std::string& path, std::string_view password) {
    AccountLists lists;
    EXPECT_EQ(LoadPasswordsFile(path, password, lists), PasswordsLoadStatus::Loaded) << path;
    return lists;
}

using PasswordsDocTest = WindowFixture;

TEST_F(PasswordsDocTest, AKnownFileOpensIntoTheTreeUnmodified) {
    const std::string path = Sample("vault.ovd");
    COmbrivaultDoc* doc = OpenDoc(path, kSamplePassword);
    ASSERT_NE(doc, nullptr);
    COmbrivaultChildFrame* frame = FrameOf(doc);
    ASSERT_NE(frame, nullptr);
    CLeftView* tree = frame->LeftView();
    EXPECT_EQ(tree->RootItem()->text(0).toStdString(), path);
    EXPECT_EQ(Labels(tree, AccountKind::Web), (QStringList{"Bank & Co", "Empty"}));
    EXPECT_EQ(Labels(tree, AccountKind::Mail), QStringList{"Mail"});
    EXPECT_EQ(Labels(tree, AccountKind::Other), QStringList{"Card"});
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(frame->ShownPane(), COmbrivaultChildFrame::Pane::BlankRoot);
    EXPECT_EQ(doc->GetTitle(), "vault.ovd");

    // The tree column keeps its width; a pane made narrower than its form scrolls and never
    // squeezes the form below its minimum.
    frame->ShowPane(COmbrivaultChildFrame::Pane::MailForm);
    for (const int width : {900, 400, 950}) {
        frame->resize(width, 300);
        QApplication::processEvents();
        EXPECT_EQ(frame->Splitter()->sizes().value(0), COmbrivaultChildFrame::kTreeWidth) << width;
        const CAccountForm* form = frame->Form(AccountKind::Mail);
        EXPECT_GE(form->width(), form->minimumSizeHint().width()) << width;
        EXPECT_GE(form->height(), form->minimumSizeHint().height()) << width;
    }
}

TEST_F(PasswordsDocTest, AWrongPasswordOpensNoWindow) {
    const std::string path = Sample("vault.ovd");
    QString failure;
    ModalSeam::Push(EnterPassword("not it"));
    ModalSeam::Push(Message(failure));
    EXPECT_EQ(app->OpenDocumentFile(QString::fromStdString(path)), nullptr);
    EXPECT_EQ(failure, "Failed to decrypt the file: vault.ovd");
    EXPECT_TRUE(app->DocManager().GetDocuments().empty());
}

// The window reads through the same route as the command-line tool: text that decrypts but
// is no passwords document is a failed decryption, never an empty document to save over it.
TEST_F(PasswordsDocTest, TextThatIsNoPasswordsDocumentOpensNoWindow) {
    const std::string path = dir / "notes.ovd";
    ASSERT_TRUE(SaveEncryptedText(path, "plain notes, not accounts", "pw", BlobForm::Current));
    const std::string before = ReadFileBytes(path);
    QString failure;
    ModalSeam::Push(EnterPassword("pw"));
    ModalSeam::Push(Message(failure));
    EXPECT_EQ(app->OpenDocumentFile(QString::fromStdString(path)), nullptr);
    EXPECT_EQ(failure, "Failed to decrypt the file: notes.ovd");
    EXPECT_TRUE(app->DocManager().GetDocuments().empty());
    EXPECT_EQ(ReadFileBytes(path), before);
}

TEST_F(PasswordsDocTest, ALegacyNameInCapitalsIsReadAndWrittenInTheLegacyForm) {
    const std::string path = Sample("OLD.OVF", "sample.ovf");
    COmbrivaultDoc* doc = OpenDoc(path, kSamplePassword);
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->GetDocTemplate()->GetResourceId(), 140);
    FrameOf(doc)->LeftView()->AddOtherAccount("Locker");
    Main().ExecuteCommand(ID_FILE_SAVE);
    EXPECT_FALSE(doc->IsModified());
    std::string text;
    ASSERT_EQ(LoadEncryptedText(path, kSamplePassword, BlobForm::Legacy, text),
              LoadTextStatus::Text);
    EXPECT_NE(text.find("<NAME>Locker</NAME>"), std::string::npos);
    EXPECT_NE(LoadEncryptedText(path, kSamplePassword, BlobForm::Current, text),
              LoadTextStatus::Text);
}

TEST_F(PasswordsDocTest, SaveAsWithoutADotWritesTheCurrentFormAndAlwaysAsksANewPassword) {
    COmbrivaultDoc* doc = OpenDoc(Sample("vault.ovd"), kSamplePassword);
    ASSERT_NE(doc, nullptr);
    QString proposed;
    QStringList filters;
    ModalSeam::Push([&](QDialog& d) {
        proposed = static_cast<QFileDialog&>(d).selectedFiles().value(0);
        filters = static_cast<QFileDialog&>(d).nameFilters();
        answer::Files({QString::fromStdString(dir / "copy")})(d);
    });
    ModalSeam::Push(SetPassword("new pw"));
    Main().ExecuteCommand(ID_FILE_SAVE_AS);
    EXPECT_EQ(proposed.toStdString(), dir / "vault.ovd");
    EXPECT_EQ(filters, QStringList{"Ombrivault Encrypted Data Files (*.ovd)"});
    EXPECT_EQ(ModalSeam::Shown().last(), "Set File Password") << "asked although one was known";
    const AccountLists lists = Load(dir / "copy.ovd", "new pw");
    EXPECT_EQ(lists.GetSlotCount(AccountKind::Web), 2);
    EXPECT_EQ(doc->GetTitle(), "copy.ovd");
    EXPECT_EQ(FrameOf(doc)->LeftView()->RootItem()->text(0).toStdString(), dir / "copy.ovd");
    EXPECT_EQ(app->DocManager().RecentFiles().At(0).toStdString(), dir / "copy.ovd");
}

TEST_F(PasswordsDocTest, CloseCheckOfANewDocumentNamesTheTitleWithTheExtension) {
    COmbrivaultDoc* doc = NewDoc();
    ASSERT_NE(doc, nullptr);
    EXPECT_FALSE(doc->IsModified());
    FrameOf(doc)->LeftView()->AddWebAccount("Shop");
    EXPECT_TRUE(doc->IsModified());
    QString question;
    ModalSeam::Push(Message(question, "cancel"));
    FrameOf(doc)->close();
    EXPECT_EQ(question, QStringLiteral("Save changes to %1.ovd?").arg(doc->GetTitle()));
    EXPECT_TRUE(IsOpen(doc));
    ModalSeam::Push(Message(question, "no"));
    FrameOf(doc)->close();
    EXPECT_FALSE(IsOpen(doc));
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST_F(PasswordsDocTest, SetPasswordThroughTheMenuDoesNotModify) {
    const std::string path = Sample("vault.ovd");
    COmbrivaultDoc* doc = OpenDoc(path, kSamplePassword);
    ASSERT_NE(doc, nullptr);
    ModalSeam::Push(SetPassword("changed"));
    Main().ExecuteCommand(ID_SET_FILE_PASSWORD);
    EXPECT_EQ(doc->Password(), "changed");
    EXPECT_FALSE(doc->IsModified());
    const int shown = ModalSeam::Shown().size();
    FrameOf(doc)->close();
    EXPECT_FALSE(IsOpen(doc));
    EXPECT_EQ(ModalSeam::Shown().size(), shown) << "no question for an unchanged document";
    Load(path, kSamplePassword);
}

// --- Files shared with ombrivault-cli ------------------------------------------------------

struct CliResult {
    int code;
    std::string out;
};

CliResult RunCli(const ScratchDir& dir, const std::string& args) {
    const std::string cmd = "cd '" + dir.path().string() + "' && OMBRIVAULT_CODEPAGE= '" +
                            std::string(OV_BINARY_DIR) + "/bin/ombrivault-cli' " + args +
                            " >.stdout 2>.stderr";
    const int status = std::system(cmd.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFileBytes(dir / ".stdout")};
}

TEST_F(PasswordsDocTest, TheCommandLineToolReadsWhatTheWindowWrites) {
    COmbrivaultDoc* doc = NewDoc();
    ASSERT_NE(doc, nullptr);
    COmbrivaultChildFrame* frame = FrameOf(doc);
    frame->LeftView()->AddWebAccount("Shop");
    frame->Form(AccountKind::Web)->Field(AccountField::Address)->SetText("https://shop.example");
    frame->Form(AccountKind::Web)->Field(AccountField::UserId)->SetText("me");
    frame->Form(AccountKind::Web)->Field(AccountField::Password)->SetText("pa<ss&");
    frame->LeftView()->AddMailAccount("Post");
    frame->Form(AccountKind::Mail)->Field(AccountField::Address)->SetText("me@post.example");
    frame->LeftView()->AddOtherAccount("Safe");
    frame->Form(AccountKind::Other)->Field(AccountField::Password)->SetText("0042");
    ModalSeam::Push(answer::Files({QString::fromStdString(dir / "made.ovd")}));
    ModalSeam::Push(SetPassword("secret"));
    Main().ExecuteCommand(ID_FILE_SAVE);
    ASSERT_FALSE(doc->IsModified());

    WriteFileBytes(dir / "pw", "secret\n");
    const CliResult listed = RunCli(dir, "--password-file pw list --show-passwords made.ovd");
    EXPECT_EQ(listed.code, 0);
    EXPECT_EQ(listed.out, "web\tShop\thttps://shop.example\tme\tpa<ss&\n"
                          "mail\tPost\tme@post.example\t\t\n"
                          "other\tSafe\t\t\t0042\n");
}

TEST_F(PasswordsDocTest, TheWindowReadsWhatTheCommandLineToolWrites) {
    WriteFileBytes(dir / "plain.xml", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n"
                                      "<DOC>\r\n<WEB_ACCOUNTS>\r\n<ACCOUNT>\r\n"
                                      "<NAME>zeta</NAME>\r\n<ADDRESS>z.example</ADDRESS>\r\n"
                                      "<USERID/>\r\n<PASSWORD>zz</PASSWORD>\r\n<NOTES/>\r\n"
                                      "</ACCOUNT>\r\n<ACCOUNT>\r\n<NAME>Alpha</NAME>\r\n"
                                      "<ADDRESS/>\r\n<USERID/>\r\n<PASSWORD/>\r\n<NOTES/>\r\n"
                                      "</ACCOUNT>\r\n</WEB_ACCOUNTS>\r\n<MAIL_ACCOUNTS/>\r\n"
                                      "<OTHER_ACCOUNTS/>\r\n</DOC>\r\n");
    WriteFileBytes(dir / "pw", "secret\n");
    ASSERT_EQ(RunCli(dir, "--password-file pw encrypt plain.xml -o cli.ovd").code, 0);
    COmbrivaultDoc* doc = OpenDoc(dir / "cli.ovd", "secret");
    ASSERT_NE(doc, nullptr);
    CLeftView* tree = FrameOf(doc)->LeftView();
    EXPECT_EQ(Labels(tree, AccountKind::Web), (QStringList{"Alpha", "zeta"}));
    tree->Tree()->setCurrentItem(tree->CategoryItem(AccountKind::Web)->child(1));
    const CAccountForm* form = FrameOf(doc)->Form(AccountKind::Web);
    EXPECT_EQ(form->CurrentSlot(), 0);
    EXPECT_EQ(form->Field(AccountField::Address)->Text(), "z.example");
    EXPECT_EQ(form->Field(AccountField::Password)->Text(), "zz");
}

} // namespace

namespace {

// A strong passwords file fills the tree once its key is derived; a save stays strong and
// keeps every account.
TEST_F(PasswordsDocTest, AStrongFileOpensIntoTheTreeAndSavesStrong) {
    const std::string source = Sample("vault.ovd");
    const AccountLists lists = Load(source, kSamplePassword);
    const std::string path = dir / "strong.ovd";
    strong::Key key;
    ASSERT_EQ(key.Derive(kSamplePassword, {1, 8192}), strong::Status::Ok);
    ASSERT_EQ(SavePasswordsFile(path, kSamplePassword, lists, nullptr, &key),
              PasswordsSaveStatus::Saved);
    COmbrivaultDoc* doc = OpenDoc(path, QString::fromLatin1(kSamplePassword));
    ASSERT_NE(doc, nullptr);
    ASSERT_TRUE(ProcessEventsUntil([&] { return !doc->IsDerivingKey(); }));
    CLeftView* tree = FrameOf(doc)->LeftView();
    EXPECT_EQ(Labels(tree, AccountKind::Web), (QStringList{"Bank & Co", "Empty"}));
    EXPECT_EQ(Labels(tree, AccountKind::Other), QStringList{"Card"});
    EXPECT_FALSE(doc->IsModified());

    doc->SetModifiedFlag(true);
    Frame().ExecuteCommand(ID_FILE_SAVE);
    EXPECT_FALSE(doc->IsModified());
    EXPECT_TRUE(strong::FileHasMagic(path));
    for (const AccountKind kind : {AccountKind::Web, AccountKind::Mail, AccountKind::Other}) {
        EXPECT_EQ(Load(path, kSamplePassword).GetSlotCount(kind), lists.GetSlotCount(kind));
    }
}

} // namespace
