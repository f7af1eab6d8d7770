// The note editor and the account editors on real items: write-through into the item, the
// modified mark, the label from the tree, and what a saved storage file then holds as the
// command-line tool exports it.
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "ViewTestSite.h"
#include "controls/EditEx.h"
#include "controls/SecretClipboard.h"
#include "framework/CommandIds.h"
#include "framework/ModalSeam.h"
#include "framework/ResultCodes.h"
#include "storage/ItemXml.h"
#include "storage/RightNotepadView.h"
#include "storage/RightOtherAccView.h"
#include "storage/RightWebAccView.h"
#include "support/TestFiles.h"

namespace {

std::string CliExport(const ScratchDir& dir, const std::string& storage, const std::string& item) {
    WriteFileBytes(dir / "pw", "pw\n");
    const std::string cmd = "cd '" + dir.path().string() + "' && OMBRIVAULT_CODEPAGE= '" +
                            std::string(OV_BINARY_DIR) +
                            "/bin/ombrivault-cli' --password-file pw export " + storage + " '" +
                            item + "' -o - >out 2>err";
    if (std::system(cmd.c_str()) != 0) {
        return "failed: " + ReadFileBytes(dir / "err");
    }
    return ReadFileBytes(dir / "out");
}

TEST(AccountViews, EmptyWebAccountTakesItsLabelAndGetsCompleteXmlOnTheFirstKey) {
    ScratchDir dir;
    ViewTestSite site;
    const int32_t index = site.AddNamed(StorageItemType::WebAccount, "Bank");
    CRightWebAccView view(&site.document, &site);
    view.resize(500, 600);
    view.show();
    view.ShowAccount(index, QStringLiteral("Bank"), QStringLiteral("$:\\Money\\"));
    for (auto field : {CRightAccountView::Field::Address, CRightAccountView::Field::UserId,
                       CRightAccountView::Field::Password, CRightAccountView::Field::Notes}) {
        EXPECT_TRUE(view.FieldEdit(field)->Text().isEmpty());
    }
    EXPECT_EQ(view.NameLabel()->text(), QStringLiteral("Bank"));
    EXPECT_EQ(view.LocationLabel()->text(), QStringLiteral("$:\\Money\\"));
    EXPECT_FALSE(site.document.IsModified());
    EXPECT_TRUE(site.table.Get(index)->text.empty());

    QApplication::setActiveWindow(&view);
    QTest::keyClick(view.FieldEdit(CRightAccountView::Field::UserId), Qt::Key_J);
    EXPECT_TRUE(site.document.IsModified());
    const std::string xml = site.table.Get(index)->text;
    const ItemAccount account = ReadItemXml(StorageItemType::WebAccount, xml);
    EXPECT_EQ(account.name, "Bank");
    EXPECT_EQ(account.userId, "j");
    for (const char* tag : {"<NAME>", "<ADDRESS", "<USERID>", "<PASSWORD", "<NOTES"}) {
        EXPECT_NE(xml.find(tag), std::string::npos) << tag << " in " << xml;
    }
    ASSERT_TRUE(site.Save(dir / "s.ovs", "pw"));
    EXPECT_EQ(CliExport(dir, "s.ovs", "Bank"), xml);
}

TEST(AccountViews, TheTreeLabelWinsAndARenameReachesTheStoredNameOnlyWithTheNextEdit) {
    ViewTestSite site;
    ItemAccount stored;
    stored.name = "Old";
    stored.userId = "card";
    stored.password = "1234";
    stored.notes = "line one\r\nline two";
    auto item = std::make_unique<StorageItem>();
    item->type = static_cast<int32_t>(StorageItemType::OtherAccount);
    item->name = "Old";
    item->text = WriteItemXml(StorageItemType::OtherAccount, stored);
    const int32_t index = site.Add(std::move(item));
    CRightOtherAccView view(&site.document, &site);
    view.ShowAccount(index, QStringLiteral("Old"), QStringLiteral("$:\\"));
    EXPECT_EQ(view.FieldEdit(CRightAccountView::Field::UserId)->Text(), QStringLiteral("card"));
    EXPECT_EQ(view.FieldEdit(CRightAccountView::Field::Password)->Text(), QStringLiteral("1234"));
    EXPECT_EQ(view.FieldEdit(CRightAccountView::Field::Notes)->Text(),
              QStringLiteral("line one\r\nline two"));
    EXPECT_EQ(view.FieldEdit(CRightAccountView::Field::Address), nullptr);

    // The tree renamed the item and shows the editor again.
    const std::string before = site.table.Get(index)->text;
    view.ShowAccount(index, QStringLiteral("New"), QStringLiteral("$:\\"));
    EXPECT_EQ(view.NameLabel()->text(), QStringLiteral("New"));
    EXPECT_EQ(site.table.Get(index)->text, before);
    view.FieldEdit(CRightAccountView::Field::Password)->SetText(QStringLiteral("9999"));
    const ItemAccount after =
        ReadItemXml(StorageItemType::OtherAccount, site.table.Get(index)->text);
    EXPECT_EQ(after.name, "New");
    EXPECT_EQ(after.password, "9999");
    EXPECT_EQ(after.notes, "line one\r\nline two");
}

TEST(AccountViews, DeletedItemIsNotWrittenAndButtonsReachTheTree) {
    ViewTestSite site;
    const int32_t index = site.AddNamed(StorageItemType::WebAccount, "Gone");
    CRightWebAccView view(&site.document, &site);
    view.ShowAccount(index, QStringLiteral("Gone"), QStringLiteral("$:\\A\\"));
    site.selected = index;
    view.DeleteButton()->click();
    EXPECT_EQ(site.table.Get(index), nullptr);
    view.FieldEdit(CRightAccountView::Field::Notes)->SetText(QStringLiteral("after"));
    EXPECT_FALSE(site.document.IsModified());

    view.AddMoreButton()->click();
    EXPECT_EQ(site.shownForm, StorageForm::NewWebAccount);
    EXPECT_EQ(site.shownLocation, QStringLiteral("$:\\A\\"));
}

TEST(AccountViews, OpenUrlTakesTheFocusedFieldsFirstLineTrimmed) {
    ViewTestSite site;
    const int32_t index = site.AddNamed(StorageItemType::WebAccount, "Site");
    CRightWebAccView view(&site.document, &site);
    view.show();
    QApplication::setActiveWindow(&view);
    view.ShowAccount(index, QStringLiteral("Site"), QStringLiteral("$:\\"));
    CEditEx* notes = view.FieldEdit(CRightAccountView::Field::Notes);
    notes->SetText(QStringLiteral("  https://example.test/login  \r\nsecond line"));
    notes->setFocus();
    EXPECT_EQ(view.UrlTarget(), QStringLiteral("https://example.test/login"));
    const QString longLine(300, QLatin1Char('a'));
    notes->SetText(longLine);
    EXPECT_EQ(view.UrlTarget().size(), 255);
}

TEST(AccountViews, ACopiedPasswordIsASecretClearedWhenItsDocumentCloses) {
    ViewTestSite site;
    const int32_t index = site.AddNamed(StorageItemType::WebAccount, "Site");
    CRightWebAccView view(&site.document, &site);
    view.ShowAccount(index, QStringLiteral("Site"), QStringLiteral("$:\\"));
    CEditEx* password = view.FieldEdit(CRightAccountView::Field::Password);
    password->SetText(QStringLiteral("hunter2"));
    password->SelectAllText();
    password->Copy();
    const QMimeData* data = QApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->text(), QStringLiteral("hunter2"));
    EXPECT_EQ(data->data(QString::fromLatin1(SecretClipboard::kHintType)),
              QByteArray(SecretClipboard::kHintValue));
    SecretClipboard::Instance().OwnerClosed(&site.document);
    EXPECT_NE(QApplication::clipboard()->text(), QStringLiteral("hunter2"));
}

TEST(NotepadView, EditsWriteThroughMarkModifiedAndShowTheCaret) {
    ScratchDir dir;
    ViewTestSite site;
    auto item = std::make_unique<StorageItem>();
    item->type = static_cast<int32_t>(StorageItemType::Text);
    item->name = "Letter.txt";
    item->text = "Dear all,\r\nhello";
    const int32_t index = site.Add(std::move(item));
    StatusWindow window;
    CRightNotepadView view(&site.document, &site, &window);
    view.resize(400, 300);
    window.show();
    QApplication::setActiveWindow(&window);
    view.ShowNote(index);
    EXPECT_EQ(view.Editor()->toPlainText(), QStringLiteral("Dear all,\nhello"));
    EXPECT_FALSE(site.document.IsModified());
    EXPECT_EQ(view.Editor()->font().family(), QStringLiteral("Courier New"));

    view.Editor()->moveCursor(QTextCursor::End);
    QTest::keyClicks(view.Editor(), QStringLiteral("!"));
    QTest::keyClick(view.Editor(), Qt::Key_Return);
    QTest::keyClicks(view.Editor(), QStringLiteral("ab"));
    QApplication::processEvents();
    EXPECT_TRUE(site.document.IsModified());
    EXPECT_EQ(site.table.Get(index)->text, "Dear all,\r\nhello!\r\nab");
    EXPECT_EQ(window.panes[kStatusCaret], QStringLiteral(" Ln 3, Col 3"));
    ASSERT_TRUE(site.Save(dir / "s.ovs", "pw"));
    EXPECT_EQ(CliExport(dir, "s.ovs", "Letter.txt"), "Dear all,\r\nhello!\r\nab");

    // Rich text offered by a paste arrives as its plain text; a file list is refused.
    auto* rich = new QMimeData;
    rich->setHtml(QStringLiteral("<b>bold</b>"));
    rich->setText(QStringLiteral("bold"));
    QApplication::clipboard()->setMimeData(rich);
    view.OnCommand(ID_EDIT_PASTE);
    EXPECT_TRUE(view.Editor()->toPlainText().endsWith(QStringLiteral("abbold")));
    auto* files = new QMimeData;
    files->setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/x.txt"))});
    QApplication::clipboard()->setMimeData(files);
    EXPECT_FALSE(view.Editor()->canPaste());
}

TEST(NotepadView, AnEditBringsTheSaveQuestionWhenTheDocumentCloses) {
    ScopedModalSeam seam;
    ViewTestSite site;
    site.document.SetTitle(QStringLiteral("safe.ovs"));
    const int32_t index = site.AddNamed(StorageItemType::Text, "n");
    CRightNotepadView view(&site.document, &site);
    view.ShowNote(index);
    EXPECT_TRUE(site.document.SaveModified());
    EXPECT_TRUE(ModalSeam::Shown().isEmpty());
    view.Editor()->insertPlainText(QStringLiteral("changed"));
    // Cancel keeps the document open.
    ModalSeam::Push(answer::Result(IDCANCEL));
    EXPECT_FALSE(site.document.SaveModified());
    ASSERT_EQ(ModalSeam::Shown().size(), 1);
}

TEST(NotepadView, ADeletedNoteIsNotWrittenTo) {
    ViewTestSite site;
    const int32_t index = site.AddNamed(StorageItemType::Text, "n");
    CRightNotepadView view(&site.document, &site);
    view.ShowNote(index);
    site.table.Delete(index);
    view.Editor()->setPlainText(QStringLiteral("typed after the delete"));
    EXPECT_FALSE(site.document.IsModified());
}

TEST(NotepadView, LineBreaksOfEveryKindLoadAsLinesWithNothingToUndo) {
    ViewTestSite site;
    const struct {
        std::string stored;
        QString shown;
    } cases[] = {
        {"a\r\nb\rc\nd", QStringLiteral("a\nb\nc\nd")},
        {"\r\r\n\n", QStringLiteral("\n\n\n")},
        {"end\r", QStringLiteral("end\n")},
        {"plain", QStringLiteral("plain")},
    };
    CRightNotepadView view(&site.document, &site);
    for (const auto& c : cases) {
        const int32_t index = site.AddNamed(StorageItemType::Text, "n");
        site.table.Get(index)->text = c.stored;
        view.ShowNote(index);
        EXPECT_EQ(view.Editor()->toPlainText(), c.shown) << c.stored;
        EXPECT_FALSE(view.Editor()->document()->isUndoAvailable()) << c.stored;
    }
    EXPECT_FALSE(site.document.IsModified());
    view.Editor()->moveCursor(QTextCursor::End);
    view.Editor()->insertPlainText(QStringLiteral("\nx"));
    EXPECT_EQ(site.table.Get(view.ItemIndex())->text, "plain\r\nx");
}

TEST(NotepadView, ANoteTooLongToOpenSaysSoAndTakesNoTyping) {
    ViewTestSite site;
    const int32_t index = site.AddNamed(StorageItemType::Text, "huge");
    site.table.Get(index)->text.assign(kLongestNoteShown + 1, 'x');
    const int32_t small = site.AddNamed(StorageItemType::Text, "small");
    CRightNotepadView view(&site.document, &site);
    view.ShowNote(index);
    EXPECT_TRUE(view.Editor()->document()->isEmpty());
    EXPECT_TRUE(view.Editor()->isReadOnly());
    EXPECT_TRUE(view.Editor()->placeholderText().contains(QStringLiteral("64 MB")))
        << view.Editor()->placeholderText().toStdString();
    QTest::keyClicks(view.Editor(), QStringLiteral("typed"));
    view.OnCommand(ID_EDIT_PASTE);
    EXPECT_EQ(site.table.Get(index)->text.size(), kLongestNoteShown + 1);
    EXPECT_FALSE(site.document.IsModified());

    view.ShowNote(small);
    EXPECT_FALSE(view.Editor()->isReadOnly());
    EXPECT_TRUE(view.Editor()->placeholderText().isEmpty());
    QTest::keyClicks(view.Editor(), QStringLiteral("ok"));
    EXPECT_EQ(site.table.Get(small)->text, "ok");
}

} // namespace
