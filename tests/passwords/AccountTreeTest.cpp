// The account tree of a passwords window: building, sorted insertion with stable slots,
// deletion, renaming in place, the selection table, the context menu and the item styles.
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include "WindowFixture.h"
#include "controls/EditEx.h"
#include "controls/MultiViewSplitter.h"
#include "framework/CommandIds.h"
#include "passwords/AccountForms.h"
#include "passwords/LeftView.h"
#include "passwords/RootPanes.h"

namespace {

using Pane = COmbrivaultChildFrame::Pane;

class AccountTreeTest : public NewDocumentFixture {
protected:
    // The slots of a category's items, top to bottom.
    std::vector<int> Slots(AccountKind kind) const {
        std::vector<int> result;
        const QTreeWidgetItem* category = tree->CategoryItem(kind);
        for (int i = 0; i < category->childCount(); ++i) {
            result.push_back(CLeftView::SlotOf(category->child(i)));
        }
        return result;
    }
    QStringList MenuEntries() { return ::MenuEntries(tree->CreateContextMenu(nullptr)); }
};

TEST_F(AccountTreeTest, ANewDocumentShowsAnUntitledRootAndThreeEmptyCategories) {
    QTreeWidgetItem* root = tree->RootItem();
    ASSERT_EQ(tree->Tree()->topLevelItemCount(), 1);
    EXPECT_EQ(root->text(0), "Untitled");
    EXPECT_TRUE(root->font(0).bold());
    EXPECT_EQ(root->foreground(0).color(), QColor(0, 0, 155));
    ASSERT_EQ(root->childCount(), 3);
    const char* labels[] = {"Web Accounts", "Email Accounts", "Other Accounts"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(root->child(i)->text(0), labels[i]);
        EXPECT_EQ(root->child(i)->childCount(), 0);
        EXPECT_TRUE(root->child(i)->isExpanded());
        EXPECT_EQ(tree->ItemStyleOf(root->child(i)), nullptr) << "the tree's own font";
        EXPECT_FALSE(root->child(i)->flags() & Qt::ItemIsEditable);
    }
    EXPECT_TRUE(root->isExpanded());
    EXPECT_FALSE(root->flags() & Qt::ItemIsEditable);
    EXPECT_EQ(frame->ShownPane(), Pane::BlankRoot);
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(AccountTreeTest, AccountsAreSortedAmongTheirSiblingsAndKeepTheirSlots) {
    tree->AddWebAccount("zeta");
    QTreeWidgetItem* alpha = tree->AddWebAccount("Alpha");
    tree->AddWebAccount("beta");
    const QTreeWidgetItem* web = tree->CategoryItem(AccountKind::Web);
    EXPECT_EQ(web->child(0)->text(0), "Alpha");
    EXPECT_EQ(web->child(1)->text(0), "beta");
    EXPECT_EQ(web->child(2)->text(0), "zeta");
    EXPECT_EQ(Slots(AccountKind::Web), (std::vector<int>{1, 2, 0}));
    EXPECT_TRUE(alpha->font(0).italic());
    EXPECT_EQ(alpha->foreground(0).color(), QColor(0, 0, 192));
    // The last one added is selected and shown in its form.
    EXPECT_EQ(tree->Tree()->currentItem()->text(0), "beta");
    EXPECT_EQ(frame->ShownPane(), Pane::WebForm);
    EXPECT_EQ(frame->Form(AccountKind::Web)->NameLabel()->text(), "beta");
    EXPECT_TRUE(doc->IsModified());
}

TEST_F(AccountTreeTest, DeletingLeavesTheSlotEmptyAndTheNextAccountGetsANewOne) {
    tree->AddWebAccount("first");
    tree->AddWebAccount("second");
    tree->Tree()->setCurrentItem(tree->CategoryItem(AccountKind::Web)->child(0));
    doc->SetModifiedFlag(false);
    QString question;
    ModalSeam::Push(Message(question, "Yes"));
    tree->DeleteSelectedAccount();
    EXPECT_EQ(question, "Are you sure you want to delete \"first\" Web Account?");
    EXPECT_EQ(doc->GetAccount(AccountKind::Web, 0), nullptr);
    EXPECT_NE(doc->GetAccount(AccountKind::Web, 1), nullptr);
    EXPECT_TRUE(doc->IsModified());
    tree->AddWebAccount("third");
    EXPECT_EQ(Slots(AccountKind::Web), (std::vector<int>{1, 2}));
    EXPECT_EQ(doc->GetSlotCount(AccountKind::Web), 3);
}

TEST_F(AccountTreeTest, DeleteAsksWithTheKindOfTheAccountAndNoChangesNothing) {
    struct Case {
        AccountKind kind;
        const char* question;
    };
    const Case cases[] = {
        {AccountKind::Web, "Are you sure you want to delete \"Acc\" Web Account?"},
        {AccountKind::Mail, "Are you sure you want to delete \"Acc\" Email Account?"},
        {AccountKind::Other, "Are you sure you want to delete \"Acc\" Other Account?"},
    };
    for (const Case& c : cases) {
        tree->AddAccount(c.kind, "Acc");
        doc->SetModifiedFlag(false);
        QString question;
        ModalSeam::Push(Message(question, "No"));
        EXPECT_TRUE(tree->OnCommand(ID_DELETE_ACCOUNT));
        EXPECT_EQ(question, c.question);
        EXPECT_NE(doc->GetAccount(c.kind, 0), nullptr);
        EXPECT_EQ(tree->CategoryItem(c.kind)->childCount(), 1);
        EXPECT_FALSE(doc->IsModified());
    }
    // The root and a category are no accounts: nothing is asked.
    const int shown = ModalSeam::Shown().size();
    tree->SelectRoot();
    tree->DeleteSelectedAccount();
    tree->SelectCategory(AccountKind::Mail);
    tree->DeleteSelectedAccount();
    EXPECT_EQ(ModalSeam::Shown().size(), shown);
}

TEST_F(AccountTreeTest, SelectionShowsThePaneByLabelTestingTheItemsOwnLabelFirst) {
    tree->AddWebAccount("Shop");
    QTreeWidgetItem* namedLikeACategory = tree->AddWebAccount("eMAIL accounts");
    tree->AddOtherAccount("Card");
    struct Case {
        QTreeWidgetItem* item;
        Pane pane;
    };
    const Case cases[] = {
        {tree->RootItem(), Pane::BlankRoot},
        {tree->CategoryItem(AccountKind::Web), Pane::WebRoot},
        {tree->CategoryItem(AccountKind::Mail), Pane::MailRoot},
        {tree->CategoryItem(AccountKind::Other), Pane::OtherRoot},
        {tree->CategoryItem(AccountKind::Web)->child(1), Pane::WebForm},
        {namedLikeACategory, Pane::MailRoot},
        {tree->CategoryItem(AccountKind::Other)->child(0), Pane::OtherForm},
    };
    for (const Case& c : cases) {
        tree->Tree()->setCurrentItem(c.item);
        EXPECT_EQ(frame->ShownPane(), c.pane) << c.item->text(0).toStdString();
    }
    EXPECT_EQ(frame->Form(AccountKind::Web)->NameLabel()->text(), "Shop");
    EXPECT_EQ(frame->Form(AccountKind::Other)->NameLabel()->text(), "Card");
}

TEST_F(AccountTreeTest, ContextMenuOffersDeleteAndRenameOnlyForAccounts) {
    tree->AddMailAccount("Post");
    const QStringList forStructure = {"+Add new Web Account",        "+Add new Email Account",
                                      "+Add new Other Account",      "-",
                                      "xDelete Selected Account...", "-",
                                      "xRename Selected Account"};
    tree->SelectRoot();
    EXPECT_EQ(MenuEntries(), forStructure);
    tree->SelectCategory(AccountKind::Other);
    EXPECT_EQ(MenuEntries(), forStructure);
    tree->Tree()->setCurrentItem(tree->CategoryItem(AccountKind::Mail)->child(0));
    EXPECT_EQ(
        MenuEntries(),
        (QStringList{"+Add new Web Account", "+Add new Email Account", "+Add new Other Account",
                     "-", "+Delete Selected Account...", "-", "+Rename Selected Account"}));
    tree->Tree()->setCurrentItem(nullptr);
    EXPECT_EQ(MenuEntries(), (QStringList{"+Add new Web Account", "+Add new Email Account",
                                          "+Add new Other Account", "-"}));

    // The add entries select the category, which shows its add pane.
    for (const auto& [id, pane] : {std::pair{ID_ADD_WEB_ACCOUNT, Pane::WebRoot},
                                   std::pair{ID_ADD_MAIL_ACCOUNT, Pane::MailRoot},
                                   std::pair{ID_ADD_OTHER_ACCOUNT, Pane::OtherRoot}}) {
        EXPECT_TRUE(tree->OnCommand(id));
        EXPECT_EQ(frame->ShownPane(), pane);
    }
}

TEST_F(AccountTreeTest, ARightClickActsOnTheSelectionWithoutChangingIt) {
    QTreeWidgetItem* first = tree->AddWebAccount("first");
    QTreeWidgetItem* second = tree->AddWebAccount("second");
    tree->Tree()->setCurrentItem(first);
    clock.Advance(50000);
    bool menuShown = false;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        menuShown = menu != nullptr;
        if (menu != nullptr) {
            // Down to "Delete Selected Account...", the fourth entry, and choose it.
            for (int i = 0; i < 4; ++i) {
                QTest::keyClick(menu, Qt::Key_Down);
            }
            QTest::keyClick(menu, Qt::Key_Return);
        }
    });
    QString question;
    ModalSeam::Push(Message(question, "No"));
    QTest::mouseClick(tree->Tree()->viewport(), Qt::RightButton, {},
                      tree->Tree()->visualItemRect(second).center());
    EXPECT_TRUE(menuShown);
    EXPECT_EQ(question, "Are you sure you want to delete \"first\" Web Account?");
    EXPECT_EQ(tree->Tree()->currentItem(), first);
    EXPECT_EQ(Main().Lock().IdleSeconds(), 0u);
}

TEST_F(AccountTreeTest, RenameInPlaceTakesAtMost127CharactersAndShowsTheForm) {
    QTreeWidgetItem* item = tree->AddOtherAccount("Old");
    tree->SelectRoot();
    tree->Tree()->setCurrentItem(item);
    doc->SetModifiedFlag(false);
    tree->OnCommand(ID_RENAME_ACCOUNT);
    auto* editor = tree->Tree()->findChild<QLineEdit*>("labelEdit");
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->maxLength(), 127);
    editor->selectAll();
    QTest::keyClicks(editor, QString(130, 'n'));
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents(); // the editor hands its text over once the key is done
    EXPECT_EQ(item->text(0), QString(127, 'n'));
    EXPECT_EQ(doc->GetAccount(AccountKind::Other, 0)->name, std::string(127, 'n'));
    EXPECT_EQ(frame->ShownPane(), Pane::OtherForm);
    EXPECT_EQ(frame->Form(AccountKind::Other)->NameLabel()->text(), QString(127, 'n'));
    EXPECT_TRUE(doc->IsModified());

    // Escape keeps the name.
    doc->SetModifiedFlag(false);
    tree->RenameSelectedAccount();
    editor = tree->Tree()->findChild<QLineEdit*>("labelEdit");
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, "typed");
    QTest::keyClick(editor, Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_EQ(doc->GetAccount(AccountKind::Other, 0)->name, std::string(127, 'n'));
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(AccountTreeTest, TypingIntoAnAddPaneMarksTheDocumentModified) {
    tree->SelectCategory(AccountKind::Mail);
    auto* pane = frame->AddPaneView(AccountKind::Mail);
    EXPECT_EQ(pane->AddButton()->text(), "Add");
    EXPECT_FALSE(pane->AddButton()->isEnabled());
    pane->NameEdit()->setFocus();
    QTest::keyClicks(pane->NameEdit(), "Inbox");
    EXPECT_TRUE(doc->IsModified()) << "even before Add is pressed";
    EXPECT_TRUE(pane->AddButton()->isEnabled());

    QTest::keyClick(pane->NameEdit(), Qt::Key_Return);
    EXPECT_EQ(doc->GetAccount(AccountKind::Mail, 0)->name, "Inbox");
    EXPECT_EQ(frame->ShownPane(), Pane::MailForm);
    EXPECT_EQ(pane->NameEdit()->Text(), "");
    EXPECT_FALSE(pane->AddButton()->isEnabled());

    tree->SelectCategory(AccountKind::Mail);
    pane->NameEdit()->SetText("never added");
    pane->CancelButton()->click();
    EXPECT_EQ(pane->NameEdit()->Text(), "");
    EXPECT_EQ(frame->ShownPane(), Pane::BlankRoot);
    EXPECT_EQ(doc->GetSlotCount(AccountKind::Mail), 1);
}

TEST_F(AccountTreeTest, TheRootPaneButtonsSelectTheirCategories) {
    const QWidget* blank = frame->GetPane(Pane::BlankRoot);
    const std::pair<const char*, Pane> buttons[] = {
        {"addWeb", Pane::WebRoot}, {"addMail", Pane::MailRoot}, {"addOther", Pane::OtherRoot}};
    for (const auto& [name, pane] : buttons) {
        tree->SelectRoot();
        blank->findChild<QPushButton*>(name)->click();
        EXPECT_EQ(frame->ShownPane(), pane) << name;
    }
    EXPECT_EQ(blank->findChild<QPushButton*>("addMail")->toolTip(), "Add new Mail Account...");
}

TEST_F(AccountTreeTest, ItemStyles) {
    QTreeWidgetItem* item = tree->AddWebAccount("styled");
    struct Case {
        int style;
        bool underline, italic, bold;
    };
    for (const Case c : {Case{0, true, false, false}, Case{1, false, true, false},
                         Case{2, false, false, true}, Case{3, false, false, false}}) {
        tree->SetItemStyle(item, c.style, QColor(10, 20, 30));
        EXPECT_EQ(item->font(0).underline(), c.underline) << c.style;
        EXPECT_EQ(item->font(0).italic(), c.italic) << c.style;
        EXPECT_EQ(item->font(0).bold(), c.bold) << c.style;
        EXPECT_EQ(item->foreground(0).color(), QColor(10, 20, 30));
    }
    tree->SetItemStyle(item, 2, QColor());
    EXPECT_FALSE(tree->ItemStyleOf(item)->color.isValid());
    EXPECT_EQ(item->data(0, Qt::ForegroundRole), QVariant()) << "the tree's own colour";
}

TEST_F(AccountTreeTest, ALoadedDocumentIsBuiltSortedWithItsSlotsAndStaysSortedAfterward) {
    // Slots in the order of the file, equal names in any case, a deleted slot between them.
    const char* names[] = {"mail", "Bank", "MAIL", "gone", "alpha", "Mail", "zeta"};
    for (const char* name : names) {
        doc->AddAccount(AccountKind::Other, name);
    }
    doc->DeleteAccount(AccountKind::Other, 3);
    CLeftView loaded(doc);
    loaded.OnInitialUpdate();
    QTreeWidgetItem* other = loaded.CategoryItem(AccountKind::Other);
    QStringList shown;
    for (int i = 0; i < other->childCount(); ++i) {
        shown << QStringLiteral("%1@%2")
                     .arg(other->child(i)->text(0))
                     .arg(CLeftView::SlotOf(other->child(i)));
    }
    EXPECT_EQ(shown, (QStringList{"alpha@4", "Bank@1", "mail@0", "MAIL@2", "Mail@5", "zeta@6"}));
    EXPECT_TRUE(other->child(0)->font(0).italic());
    EXPECT_TRUE(other->isExpanded());
    // Accounts added later land among them; one renamed keeps its place; deleting works on
    // what the tree now holds.
    EXPECT_EQ(other->indexOfChild(loaded.AddAccount(AccountKind::Other, "MAIL")), 5);
    EXPECT_EQ(other->indexOfChild(loaded.AddAccount(AccountKind::Other, "")), 0);
    loaded.EndLabelEdit(other->child(1), "yy"); // alpha
    EXPECT_EQ(other->child(1)->text(0), "yy");
    // The walk over the siblings would stop at the first that sorts after "b": "yy".
    EXPECT_EQ(other->indexOfChild(loaded.AddAccount(AccountKind::Other, "b")), 1);
    loaded.Tree()->setCurrentItem(other->child(2)); // yy
    QString question;
    ModalSeam::Push(Message(question, "Yes"));
    loaded.DeleteSelectedAccount();
    EXPECT_EQ(other->child(2)->text(0), "Bank");
    EXPECT_EQ(other->indexOfChild(loaded.AddAccount(AccountKind::Other, "c")), 3);
    // The column is wide enough for the longest label, without measuring every row.
    const QString longName(100, QChar('w'));
    QTreeWidgetItem* wide = loaded.AddAccount(AccountKind::Other, longName);
    EXPECT_GE(loaded.Tree()->header()->sectionSize(0),
              QFontMetrics(wide->font(0)).horizontalAdvance(longName));
}

TEST_F(AccountTreeTest, RenamingTheDocumentRenamesTheRoot) {
    ModalSeam::Push(answer::Files({QString::fromStdString(dir / "named")}));
    ModalSeam::Push(SetPassword("pw"));
    EXPECT_TRUE(doc->SaveCommand());
    EXPECT_EQ(tree->RootItem()->text(0).toStdString(), dir / "named.ovd");
}

} // namespace

namespace {

TEST(MultiViewSplitter, ViewsShareAPaneAndAFailedViewLeavesItAsItWas) {
    CMultiViewSplitter splitter(1, 2);
    QLabel tree("tree");
    splitter.SetPaneWidget(0, 0, &tree);
    const int first = splitter.AddView(0, 1, [](QWidget* pane) { return new QLabel("1", pane); });
    const int second = splitter.AddView(0, 1, [](QWidget* pane) { return new QLabel("2", pane); });
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 2);
    EXPECT_EQ(splitter.ShownViewId(0, 1), second);
    EXPECT_EQ(splitter.AddView(0, 1, [](QWidget*) { return nullptr; }), -1);
    EXPECT_EQ(splitter.AddView(3, 0, [](QWidget* pane) { return new QLabel(pane); }), -1);
    EXPECT_EQ(splitter.ShownViewId(0, 1), second);
    EXPECT_TRUE(splitter.ShowView(first));
    EXPECT_EQ(splitter.ShownViewId(0, 1), first);
    EXPECT_FALSE(splitter.ShowView(99));
    EXPECT_EQ(static_cast<QLabel*>(splitter.GetView(second))->text(), "2");
    EXPECT_EQ(splitter.GetView(99), nullptr);

    // The first column gets its width once the splitter is shown wide enough, and keeps it
    // when the splitter grows.
    splitter.SetColumnWidth(0, 180);
    splitter.resize(700, 300);
    splitter.show();
    EXPECT_EQ(splitter.sizes().value(0), 180);
    splitter.resize(900, 300);
    EXPECT_EQ(splitter.sizes().value(0), 180);
}

} // namespace
