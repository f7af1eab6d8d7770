// The storage window with its real right-hand views: a storage written by the storage layer,
// opened in the program, its items selected in the tree and shown, edited in the views,
// saved and read back by the command-line tool; the overview's forms adding into the tree;
// the zoom commands through the main frame; deletion, renaming and closing as the views see
// them.
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "app/MainFrame.h"
#include "controls/EditEx.h"
#include "controls/SecretClipboard.h"
#include "controls/ShadeButton.h"
#include "framework/CommandActions.h"
#include "framework/CommandIds.h"
#include "framework/LockHost.h"
#include "storage/CreateFormBase.h"
#include "storage/PdfPane.h"
#include "storage/RightImageView.h"
#include "storage/RightMainView.h"
#include "storage/RightNotepadView.h"
#include "storage/RightPDFView.h"
#include "storage/RightViewDrops.h"
#include "storage/RightWebAccView.h"
#include "storage/StorageViews.h"
#include "storage/StorageWindowFixture.h"
#include "storage/ViewPicture.h"
#include "support/StorageSamples.h"
#include "support/StorageStreams.h"

namespace {

const QString kPw = QStringLiteral("views pw");
using Field = CRightAccountView::Field;

QImage Sky(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(40, 120, 200));
    return image;
}

} // namespace

// A storage made by the storage layer: the folder "Box" holding a photo, a note, both account
// kinds and a two-page PDF; opened in the window.
class StorageWindowViewsTest : public StorageWindowFixture {
public:
    void SetUp() override {
        StorageWindowFixture::SetUp();
        path = dir / "views.ovs";
        SampleStorage made;
        const int32_t folder = made.AddFolder("Box");
        made.AddFile("photo.jpg", JpegBytes(Sky(64, 48)), folder);
        made.AddText(StorageItemType::Text, "Letter.txt", "Dear bank,\r\nline two", folder);
        ItemAccount bank;
        bank.name = "Bank";
        bank.address = "https://bank.example";
        bank.userId = "ann";
        bank.password = "s3cret";
        made.AddAccount(StorageItemType::WebAccount, bank, folder);
        ItemAccount safe;
        safe.name = "Safe";
        safe.userId = "Card 4000";
        safe.password = "1234";
        made.AddAccount(StorageItemType::OtherAccount, safe, folder);
        made.AddFile("paper.pdf", PdfBytes(2), folder);
        ASSERT_TRUE(made.Save(path, kPw.toStdString()));

        doc = OpenStorage(path, kPw);
        ASSERT_NE(doc, nullptr);
        frame = FrameOf(doc);
        view = View(doc);
        box_ = Child(view->RootItem(), QStringLiteral("Box"));
        ASSERT_NE(box_, nullptr);
    }

    QTreeWidgetItem* Item(const char* label) { return Child(box_, QString::fromLatin1(label)); }
    // Selects the item as a click in the tree does.
    void Select(QTreeWidgetItem* item) { view->Tree()->setCurrentItem(item); }
    template <class V> V* Shown() { return frame->StorageView(frame->ShownKind())->ViewAs<V>(); }
    template <class V> V* ViewOf(StorageViewKind kind) {
        return frame->StorageView(kind)->ViewAs<V>();
    }
    QString Export(const QString& item) {
        return RunCli(kPw, {QStringLiteral("export"), QString::fromStdString(path), item,
                            QStringLiteral("-o"), QStringLiteral("-")});
    }

    std::string path;
    CPictureDoc* doc = nullptr;
    CPictureChildFrame* frame = nullptr;
    CPictureLeftView* view = nullptr;
    QTreeWidgetItem* box_ = nullptr;
};

TEST_F(StorageWindowViewsTest, SelectingAnItemShowsItsViewWithItsContent) {
    struct Case {
        const char* label;
        StorageViewKind kind;
        std::function<void(StorageWindowViewsTest&)> check;
    };
    const Case cases[] = {
        {"", StorageViewKind::FolderOverview,
         [](StorageWindowViewsTest& t) {
             EXPECT_EQ(t.Shown<CPictureRigthMainView>()->LocationLabel()->text(),
                       QStringLiteral("$:\\Box\\"));
         }},
        {"photo.jpg", StorageViewKind::ImageViewer,
         [](StorageWindowViewsTest& t) {
             auto* image = t.Shown<CPictureRightImageView>();
             EXPECT_EQ(image->Picture().Width(), 64);
             EXPECT_EQ(image->Picture().Height(), 48);
             EXPECT_TRUE(image->FitMode()) << "images added from files fit the view";
         }},
        {"Letter.txt", StorageViewKind::NoteEditor,
         [](StorageWindowViewsTest& t) {
             EXPECT_EQ(t.Shown<CRightNotepadView>()->Editor()->toPlainText(),
                       QStringLiteral("Dear bank,\nline two"));
         }},
        {"Bank", StorageViewKind::WebAccountEditor,
         [](StorageWindowViewsTest& t) {
             auto* web = t.Shown<CRightAccountView>();
             EXPECT_EQ(web->FieldEdit(Field::Address)->Text(),
                       QStringLiteral("https://bank.example"));
             EXPECT_EQ(web->FieldEdit(Field::Password)->Text(), QStringLiteral("s3cret"));
             EXPECT_EQ(web->NameLabel()->text(), QStringLiteral("Bank"));
             EXPECT_EQ(web->LocationLabel()->text(), QStringLiteral("$:\\Box\\"));
         }},
        {"Safe", StorageViewKind::OtherAccountEditor,
         [](StorageWindowViewsTest& t) {
             auto* other = t.Shown<CRightAccountView>();
             EXPECT_EQ(other->FieldEdit(Field::UserId)->Text(), QStringLiteral("Card 4000"));
             EXPECT_EQ(other->FieldEdit(Field::Password)->Text(), QStringLiteral("1234"));
             EXPECT_EQ(other->FieldEdit(Field::Address), nullptr);
         }},
        {"paper.pdf", StorageViewKind::PdfViewer,
         [](StorageWindowViewsTest& t) {
             auto* pdf = t.Shown<CRightPDFView>();
             EXPECT_FALSE(pdf->NoPreview()) << pdf->Failure().toStdString();
             ASSERT_NE(pdf->Pane(), nullptr);
             EXPECT_EQ(pdf->Pane()->PageCount(), 2);
             EXPECT_EQ(pdf->PageText(), QStringLiteral("Page 1 of 2"));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Select(*c.label == '\0' ? box_ : Item(c.label));
        ASSERT_EQ(frame->ShownKind(), c.kind);
        c.check(*this);
    }
    EXPECT_FALSE(doc->IsModified()) << "showing items changes nothing";
}

namespace {

bool Mapped(const char* library) {
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(library);
}

// Qt PDF is no library of the program: it is mapped, with the module that uses it, only once
// a PDF is shown (the window makes its PDF view up front, empty).
class QtPdfLoadTest : public StorageWindowViewsTest {
public:
    void SetUp() override {
        shownBefore = Mapped(kPdfModuleName);
        StorageWindowViewsTest::SetUp();
    }
    bool shownBefore = false;
};

} // namespace

TEST_F(QtPdfLoadTest, QtPdfIsLoadedOnlyWhenAPdfIsShown) {
    if (shownBefore) {
        GTEST_SKIP() << "an earlier test in this process showed a PDF";
    }
    ASSERT_NE(frame->StorageView(StorageViewKind::PdfViewer), nullptr);
    Select(Item("photo.jpg"));
    Select(Item("Letter.txt"));
    EXPECT_FALSE(Mapped("/libQt6Pdf"));
    EXPECT_FALSE(Mapped(kPdfModuleName));
    Select(Item("paper.pdf"));
    ASSERT_EQ(frame->ShownKind(), StorageViewKind::PdfViewer);
    EXPECT_FALSE(Shown<CRightPDFView>()->NoPreview())
        << Shown<CRightPDFView>()->Failure().toStdString();
    EXPECT_TRUE(Mapped(kPdfModuleName));
    EXPECT_TRUE(Mapped("/libQt6Pdf.so"));
    EXPECT_TRUE(Mapped("/libQt6PdfWidgets.so"));
}

TEST_F(StorageWindowViewsTest, EditsInTheViewsMarkModifiedAskOnCloseAndReachTheFile) {
    QApplication::setActiveWindow(&Frame());
    Select(Item("Letter.txt"));
    QPlainTextEdit* note = Shown<CRightNotepadView>()->Editor();
    note->moveCursor(QTextCursor::End);
    QTest::keyClicks(note, QStringLiteral("!"));
    EXPECT_TRUE(doc->IsModified());

    Select(Item("Bank"));
    CEditEx* password = Shown<CRightAccountView>()->FieldEdit(Field::Password);
    password->setFocus();
    password->moveCursor(QTextCursor::End);
    QTest::keyClicks(password, QStringLiteral("42"));

    // Closing asks; Cancel keeps the window and the edits.
    QString question;
    ModalSeam::Push(Message(question, QStringLiteral("cancel")));
    frame->close();
    EXPECT_TRUE(question.contains(QStringLiteral("views.ovs"))) << question.toStdString();
    ASSERT_TRUE(IsOpen(doc));

    ASSERT_TRUE(SaveAndWait(doc));
    EXPECT_FALSE(doc->IsModified());
    doc->OnCloseDocument(); // the window's lock keeps other readers out
    EXPECT_EQ(Export(QStringLiteral("Box/Letter.txt")), QStringLiteral("Dear bank,\r\nline two!"));
    const ItemAccount saved =
        ReadItemXml(StorageItemType::WebAccount, Export(QStringLiteral("Box/Bank")).toStdString());
    EXPECT_EQ(saved.password, "s3cret42");
    EXPECT_EQ(saved.address, "https://bank.example");
    EXPECT_EQ(saved.name, "Bank");
}

TEST_F(StorageWindowViewsTest, OverviewButtonsShowFormsAndFormsAddIntoTheFolder) {
    QApplication::setActiveWindow(&Frame());
    Select(box_);
    const StorageViewKind forms[] = {
        StorageViewKind::CreateFolder,       StorageViewKind::AddPicture,
        StorageViewKind::CreateNote,         StorageViewKind::CreateWebAccount,
        StorageViewKind::CreateOtherAccount, StorageViewKind::AddPdf,
    };
    for (size_t i = 0; i < std::size(forms); ++i) {
        SCOPED_TRACE(StorageViewName(forms[i]));
        ASSERT_EQ(frame->ShownKind(), StorageViewKind::FolderOverview);
        Shown<CPictureRigthMainView>()->Buttons()[i]->click();
        ASSERT_EQ(frame->ShownKind(), forms[i]);
        auto* form = Shown<CCreateFormBase>();
        EXPECT_EQ(form->Location(), QStringLiteral("$:\\Box\\"));
        form->CancelButton()->click();
    }

    // Two folders in a row stay in Box and leave the form up; a web account is selected
    // and its editor replaces the form.
    frame->ShowForm(StorageForm::NewFolder, QStringLiteral("$:\\Box\\"));
    auto* folderForm = Shown<CCreateFormBase>();
    for (const char* name : {"Inner", "Other"}) {
        QTest::keyClicks(folderForm->Edit(), QString::fromLatin1(name));
        QTest::keyClick(folderForm->Edit(), Qt::Key_Return);
    }
    EXPECT_EQ(frame->ShownKind(), StorageViewKind::CreateFolder);
    EXPECT_NE(Item("Inner"), nullptr);
    EXPECT_NE(Item("Other"), nullptr);

    frame->ShowForm(StorageForm::NewWebAccount, QStringLiteral("$:\\Box\\"));
    QTest::keyClicks(Shown<CCreateFormBase>()->Edit(), QStringLiteral("Shop"));
    Shown<CCreateFormBase>()->ActionButton()->click();
    QTreeWidgetItem* shop = Item("Shop");
    ASSERT_NE(shop, nullptr);
    EXPECT_EQ(view->Tree()->currentItem(), shop);
    ASSERT_EQ(frame->ShownKind(), StorageViewKind::WebAccountEditor);
    EXPECT_EQ(Shown<CRightAccountView>()->NameLabel()->text(), QStringLiteral("Shop"));
    EXPECT_TRUE(doc->IsModified());
}

TEST_F(StorageWindowViewsTest, ZoomCommandsOfTheMainFrameReachTheImageView) {
    Select(Item("photo.jpg"));
    auto* image = ViewOf<CPictureRightImageView>(StorageViewKind::ImageViewer);
    // The commands come through the tree, as when it has the focus, and straight to the
    // image view when it has.
    for (CView* active : std::initializer_list<CView*>{view, image}) {
        SCOPED_TRACE(active == view ? "tree" : "image view");
        frame->SetActiveView(active);
        Frame().ExecuteCommand(ID_ZOOM_FIT);
        EXPECT_EQ(Frame().Actions().State(ID_ZOOM_FIT).checked, std::optional<bool>(true));
        Frame().ExecuteCommand(ID_ZOOM_ACTUAL);
        EXPECT_FALSE(image->FitMode());
        EXPECT_EQ(Frame().Actions().State(ID_ZOOM_ACTUAL).checked, std::optional<bool>(true));
        EXPECT_EQ(Frame().Actions().State(ID_ZOOM_FIT).checked, std::optional<bool>(false));
        Frame().ExecuteCommand(ID_ZOOM_IN);
        Frame().ExecuteCommand(ID_ZOOM_IN);
        EXPECT_EQ(doc->GetScale(), 3) << "the zoom is the document's";
        EXPECT_EQ(image->ScrollRange(), QSize(64 * 3, 48 * 3));
        Frame().ExecuteCommand(ID_ZOOM_OUT);
        EXPECT_EQ(doc->GetScale(), 2);
    }
    // Away from images the tree turns them off.
    frame->SetActiveView(view);
    Select(Item("Letter.txt"));
    EXPECT_FALSE(Frame().Actions().State(ID_ZOOM_IN).enabled);
    EXPECT_EQ(Frame().Actions().State(ID_ZOOM_FIT).checked, std::optional<bool>(false))
        << "no button stays pressed for a note";
    Select(Item("paper.pdf"));
    EXPECT_TRUE(Frame().Actions().State(ID_ZOOM_IN).enabled) << "the PDF viewer zooms too";
}

TEST_F(StorageWindowViewsTest, DeletedItemLeavesItsViewEmptyAndIsNeverWritten) {
    QApplication::setActiveWindow(&Frame());
    Select(Item("Bank"));
    CStorageRightView* slot = frame->StorageView(StorageViewKind::WebAccountEditor);
    auto* editor = slot->ViewAs<CRightAccountView>();
    const int32_t index = slot->ShownIndex();
    ASSERT_NE(slot->ShownItem(), nullptr);
    // The editor's own Delete goes through the tree's question.
    QString question;
    ModalSeam::Push(Message(question, QStringLiteral("Yes")));
    editor->DeleteButton()->click();
    EXPECT_TRUE(question.contains(QStringLiteral("\"Bank\""))) << question.toStdString();
    EXPECT_EQ(Item("Bank"), nullptr);
    EXPECT_EQ(doc->Items().Get(index), nullptr);
    EXPECT_EQ(slot->ShownIndex(), -1);
    EXPECT_EQ(slot->ShownItem(), nullptr);
    EXPECT_TRUE(editor->FieldEdit(Field::Password)->Text().isEmpty());
    // Typing into the editor that showed it writes nowhere.
    QTest::keyClicks(editor->FieldEdit(Field::Password), QStringLiteral("late"));
    EXPECT_EQ(doc->Items().Get(index), nullptr);

    ASSERT_TRUE(SaveAndWait(doc));
    const auto stored = StorageContents(path, kPw.toStdString());
    EXPECT_EQ(stored.count("Box/Bank"), 0u);
    EXPECT_EQ(stored.count("Box/Safe"), 1u);
}

TEST_F(StorageWindowViewsTest, RenameInTheTreeShowsInTheAccountEditor) {
    Select(Item("Safe"));
    view->EndLabelEdit(Item("Safe"), QStringLiteral("Vault"));
    ASSERT_EQ(frame->ShownKind(), StorageViewKind::OtherAccountEditor);
    EXPECT_EQ(Shown<CRightAccountView>()->NameLabel()->text(), QStringLiteral("Vault"));
    EXPECT_EQ(frame->StorageView(StorageViewKind::OtherAccountEditor)->ShownLabel(),
              QStringLiteral("Vault"));
}

// Whatever is copied from a storage is as secret as the storage: marked for the desktop's
// clipboard managers, and gone with the next lock unless something else was copied since.
TEST_F(StorageWindowViewsTest, EveryCopyIsASecretThatTheLockTakesBackUnlessReplaced) {
    QApplication::setActiveWindow(&Frame());
    const auto selectAll = [](QPlainTextEdit* edit) {
        edit->setFocus();
        edit->selectAll();
        return edit;
    };
    struct Case {
        const char* name;
        const char* item;
        std::function<void(StorageWindowViewsTest&)> copy;
        QString text; // empty: a picture
    };
    const Case cases[] = {
        {"note, Copy command", "Letter.txt",
         [&](StorageWindowViewsTest& t) {
             selectAll(t.Shown<CRightNotepadView>()->Editor());
             t.Shown<CRightNotepadView>()->OnCommand(ID_EDIT_COPY);
         },
         QStringLiteral("Dear bank,\nline two")},
        {"note, Ctrl+C", "Letter.txt",
         [&](StorageWindowViewsTest& t) {
             QTest::keyClick(selectAll(t.Shown<CRightNotepadView>()->Editor()), Qt::Key_C,
                             Qt::ControlModifier);
         },
         QStringLiteral("Dear bank,\nline two")},
        {"note, Cut command", "Letter.txt",
         [&](StorageWindowViewsTest& t) {
             selectAll(t.Shown<CRightNotepadView>()->Editor());
             t.Shown<CRightNotepadView>()->OnCommand(ID_EDIT_CUT);
             t.Shown<CRightNotepadView>()->OnCommand(ID_EDIT_UNDO);
         },
         QStringLiteral("Dear bank,\nline two")},
        {"picture", "photo.jpg",
         [](StorageWindowViewsTest& t) {
             t.Shown<CPictureRightImageView>()->OnCommand(ID_EDIT_COPY);
         },
         QString()},
        {"web account's user id", "Bank",
         [&](StorageWindowViewsTest& t) {
             QTest::keyClick(selectAll(t.Shown<CRightAccountView>()->FieldEdit(Field::UserId)),
                             Qt::Key_C, Qt::ControlModifier);
         },
         QStringLiteral("ann")},
        {"other account's password", "Safe",
         [&](StorageWindowViewsTest& t) {
             static_cast<CEditEx*>(
                 selectAll(t.Shown<CRightAccountView>()->FieldEdit(Field::Password)))
                 ->Copy();
         },
         QStringLiteral("1234")},
    };
    QClipboard* clipboard = QApplication::clipboard();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Select(Item(c.item));
        c.copy(*this);
        const QMimeData* data = clipboard->mimeData();
        ASSERT_NE(data, nullptr);
        EXPECT_TRUE(SecretClipboard::IsMarkedSecret(data));
        if (c.text.isEmpty()) {
            EXPECT_EQ(qvariant_cast<QImage>(data->imageData()).size(), QSize(64, 48));
        } else {
            EXPECT_EQ(data->text(), c.text);
        }
        emit LockEvents::Instance().Locked();
        const QMimeData* left = clipboard->mimeData();
        EXPECT_TRUE(left == nullptr || !(left->hasText() || left->hasImage()));

        c.copy(*this);
        clipboard->setText(QStringLiteral("copied elsewhere"));
        emit LockEvents::Instance().Locked();
        EXPECT_EQ(clipboard->text(), QStringLiteral("copied elsewhere"));
    }
}

TEST_F(StorageWindowViewsTest, CopiedPasswordLeavesTheClipboardWhenTheWindowCloses) {
    QApplication::setActiveWindow(&Frame());
    Select(Item("Bank"));
    CEditEx* password = Shown<CRightAccountView>()->FieldEdit(Field::Password);
    password->setFocus();
    password->selectAll();
    password->Copy();
    ASSERT_EQ(QApplication::clipboard()->text(), QStringLiteral("s3cret"));
    frame->close();
    EXPECT_FALSE(IsOpen(doc));
    EXPECT_TRUE(QApplication::clipboard()->text().isEmpty());
    EXPECT_FALSE(SecretClipboard::Instance().Watching());
}

TEST_F(StorageWindowViewsTest, LoneDocumentDroppedOnAViewOpensInItsOwnWindow) {
    const std::string other = dir / "other.ovs"; // missing: opens empty, without a prompt
    HandleStorageDrop(*frame, {QString::fromStdString(other)});
    QCoreApplication::processEvents();
    const auto docs = app->DocManager().GetDocuments();
    ASSERT_EQ(docs.size(), 2u);
    EXPECT_EQ(docs.back()->GetPathName(), QString::fromStdString(other));
    EXPECT_EQ(Item("other.ovs"), nullptr) << "not added as an item";
}

TEST_F(StorageWindowViewsTest, ArrowKeysWalkTheTreeWhileAClickFocusesTheView) {
    QApplication::setActiveWindow(&Frame());
    QTreeWidget* tree = view->Tree();
    Select(Item("Bank"));
    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_Down);
    ASSERT_EQ(tree->currentItem(), Item("Letter.txt"));
    EXPECT_EQ(frame->ShownKind(), StorageViewKind::NoteEditor);
    EXPECT_TRUE(tree->hasFocus());
    QTest::keyClick(tree, Qt::Key_Down);
    EXPECT_EQ(tree->currentItem(), Item("paper.pdf"));

    const QRect bank = tree->visualItemRect(Item("Bank"));
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, bank.center());
    ASSERT_EQ(frame->ShownKind(), StorageViewKind::WebAccountEditor);
    EXPECT_TRUE(Shown<CRightAccountView>()->FieldEdit(Field::Address)->hasFocus());
}

// A photo is damaged on disk after the load: showing it says so once, by name, however often
// it is shown; the other items show as before, and a save keeps the damaged stream.
TEST_F(StorageWindowViewsTest, DataDamagedAfterTheLoadIsReportedOnceAndKeptBySave) {
    const std::string big = dir / "big.ovs";
    SampleStorage made;
    made.AddFile("sky.jpg", JpegBytes(Sky(1500, 1200)));
    made.AddText(StorageItemType::Text, "note.txt", "still here");
    ASSERT_TRUE(made.Save(big, kPw.toStdString()));
    CPictureDoc* other = OpenStorage(big, kPw);
    ASSERT_NE(other, nullptr);
    CPictureLeftView* tree = View(other);
    ASSERT_TRUE(DamageItemOnDisk(big, kPw.toStdString(), "sky.jpg"));
    const auto damaged = ItemStreams(big, kPw.toStdString()).at("sky.jpg");
    // The one report expected: its text is kept. A second one would come unanswered.
    QStringList reported;
    ModalSeam::Push([&](QDialog& dialog) {
        for (const QLabel* label : dialog.findChildren<QLabel*>()) {
            reported << label->text();
        }
        dialog.accept();
    });
    auto show = [&](const char* label) {
        tree->Tree()->setCurrentItem(Child(tree->RootItem(), QString::fromLatin1(label)));
    };
    auto* image =
        FrameOf(other)->StorageView(StorageViewKind::ImageViewer)->ViewAs<CPictureRightImageView>();
    for (int round = 0; round < 2; ++round) {
        show("sky.jpg");
        EXPECT_EQ(image->Picture().Width(), PlaceholderPicture(Placeholder::Image).Width());
        show("note.txt");
        EXPECT_EQ(ModalSeam::Pending(), 0) << "reported at the first showing";
    }
    EXPECT_TRUE(
        reported.contains(QStringLiteral("The item sky.jpg is damaged and cannot be shown.")))
        << reported.join(QLatin1Char('|')).toStdString();
    ASSERT_TRUE(other->OnSaveDocument(QString::fromStdString(big)));
    ASSERT_TRUE(WaitForStorageSave(other));
    EXPECT_EQ(ItemStreams(big, kPw.toStdString()).at("sky.jpg"), damaged);
    // After the save the window reads the new file, where the item is as damaged: no second
    // report (the fixture checks that no dialog came unanswered).
    show("sky.jpg");
    show("note.txt");
}
