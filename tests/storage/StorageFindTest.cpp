// Find in the storage tree: names, the text of notes and the fields of accounts with the box
// ticked (never a password), picking a match, the tree as it was after clearing, Ctrl+F from
// any view and Escape, edits followed, and a document the search never changes.
#include <QCheckBox>
#include <QLineEdit>
#include <QTest>
#include <QTreeView>

#include "controls/TreeFinder.h"
#include "framework/CommandIds.h"
#include "storage/ItemXml.h"
#include "storage/StorageWindowFixture.h"
#include "support/FindCases.h"

namespace {

class StorageFindTest : public StorageWindowFixture {
protected:
    void SetUp() override {
        StorageWindowFixture::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        doc = NewStorage();
        ASSERT_NE(doc, nullptr);
        view = View(doc);
        finder = view->Finder();
        ASSERT_NE(finder, nullptr);
        letters = view->AddFolder(QStringLiteral("Letters"), true);
        Note(QStringLiteral("To Müller"), "the garage code is behind the door");
        view->Tree()->setCurrentItem(view->RootItem());
        Account(QStringLiteral("Bank"), "https://bank.example", "hans", "bank-secret");
        view->AddFolder(QStringLiteral("Photos"), false);
        doc->SetModifiedFlag(false);
        QApplication::setActiveWindow(&Frame()); // the focus moves as on a desktop
    }
    QTreeWidgetItem* Note(const QString& label, const char* text) {
        QTreeWidgetItem* item = view->AddItem(label, StorageItemType::Text, false);
        Change(item, [&](StorageItem& record) { record.text = text; });
        return item;
    }
    QTreeWidgetItem* Account(const QString& label, const char* address, const char* user,
                             const char* password) {
        QTreeWidgetItem* item = view->AddItem(label, StorageItemType::WebAccount, false);
        ItemAccount fields;
        fields.name = label.toStdString();
        fields.address = address;
        fields.userId = user;
        fields.password = password;
        Change(item, [&](StorageItem& record) {
            record.text = WriteItemXml(StorageItemType::WebAccount, fields);
        });
        return item;
    }
    void Change(QTreeWidgetItem* item, const std::function<void(StorageItem&)>& change) {
        ASSERT_NE(item, nullptr);
        ASSERT_TRUE(FrameOf(doc)->ChangeItem(CPictureLeftView::IndexOf(item), change));
    }
    QStringList Shown() const { return ShownLabels(*finder); }
    QTreeWidgetItem* Item(const QString& label) const {
        return view->Tree()->findItems(label, Qt::MatchExactly | Qt::MatchRecursive).value(0);
    }

    CPictureDoc* doc = nullptr;
    CPictureLeftView* view = nullptr;
    TreeFinder* finder = nullptr;
    QTreeWidgetItem* letters = nullptr;
};

TEST_F(StorageFindTest, FindsByNameAndWithTheBoxByNotesAndAccountFields) {
    const QString root = view->RootItem()->text(0);
    ExpectFindCases(*finder,
                    {
                        {"MULLER", false, {root, "Letters", "To Müller"}},
                        {"letters", false, {root, "Letters"}}, // a folder is found by its name
                        {"garage", false, {}},
                        {"garage", true, {root, "Letters", "To Müller"}},
                        {"bank", false, {root, "Bank"}},
                        {"bank.example", false, {}}, // an address only with the box
                        {"bank.example", true, {root, "Bank"}},
                        {"hans", false, {}},
                        {"hans", true, {root, "Bank"}},
                        {"secret", true, {}}, // a password never
                        {"o", false, {root, "Letters", "To Müller", "Photos"}},
                    });
    EXPECT_FALSE(doc->IsModified()) << "searching is not editing";
}

TEST_F(StorageFindTest, PickingAMatchShowsItAndClearingKeepsTheTreesState) {
    letters->setExpanded(false);
    view->Tree()->setCurrentItem(Item(QStringLiteral("Photos")));
    finder->Field()->setText(QStringLiteral("müller"));
    ASSERT_EQ(Shown().size(), 3);
    EXPECT_EQ(view->Tree()->currentItem(), Item(QStringLiteral("Photos")))
        << "typing selects nothing";
    finder->ClearAndReturn();
    EXPECT_FALSE(letters->isExpanded());
    EXPECT_EQ(view->Tree()->currentItem(), Item(QStringLiteral("Photos")));
    EXPECT_EQ(QApplication::focusWidget(), view->Tree());

    finder->Field()->setText(QStringLiteral("müller"));
    finder->Results()->setCurrentIndex(finder->Results()->model()->index(2, 0));
    EXPECT_EQ(view->Tree()->currentItem(), Item(QStringLiteral("To Müller")));
    EXPECT_EQ(FrameOf(doc)->ShownKind(), StorageViewKind::NoteEditor);
    finder->ClearAndReturn();
    EXPECT_TRUE(letters->isExpanded()) << "the picked item is shown in its folder";
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(StorageFindTest, CtrlFFromAnyViewAndEscapeReturnsToTheTree) {
    view->Tree()->setCurrentItem(Item(QStringLiteral("To Müller")));
    ASSERT_EQ(FrameOf(doc)->ShownKind(), StorageViewKind::NoteEditor);
    FrameOf(doc)->StorageView(StorageViewKind::NoteEditor)->View()->setFocus();
    Frame().ExecuteCommand(ID_EDIT_FIND);
    EXPECT_EQ(QApplication::focusWidget(), finder->Field());
    QTest::keyClicks(finder->Field(), QStringLiteral("bank"));
    EXPECT_EQ(Shown(), (QStringList{view->RootItem()->text(0), "Bank"}));
    QTest::keyClick(finder->Field(), Qt::Key_Down);
    EXPECT_EQ(view->Tree()->currentItem(), Item(QStringLiteral("Bank")));
    QTest::keyClick(finder->Results(), Qt::Key_Escape);
    EXPECT_TRUE(finder->Field()->text().isEmpty());
    EXPECT_EQ(QApplication::focusWidget(), view->Tree());
}

TEST_F(StorageFindTest, EditsRenamesAndDeletionsWhileFilteredAreFollowed) {
    finder->NotesBox()->setChecked(true);
    finder->Field()->setText(QStringLiteral("gate"));
    EXPECT_EQ(Shown(), QStringList{});
    // A note's new text is found from the next keystroke on.
    Change(Item(QStringLiteral("To Müller")), [](StorageItem& r) { r.text = "the gate code"; });
    finder->Apply();
    EXPECT_EQ(Shown(), (QStringList{view->RootItem()->text(0), "Letters", "To Müller"}));

    view->EndLabelEdit(Item(QStringLiteral("Photos")), QStringLiteral("Gate photos"));
    finder->Apply();
    EXPECT_EQ(Shown(),
              (QStringList{view->RootItem()->text(0), "Letters", "To Müller", "Gate photos"}));

    view->Tree()->setCurrentItem(Item(QStringLiteral("Letters")));
    QString question;
    ModalSeam::Push(Message(question, QStringLiteral("Yes")));
    view->DeleteSelected();
    finder->Apply();
    EXPECT_EQ(Shown(), (QStringList{view->RootItem()->text(0), "Gate photos"}));
}

} // namespace
