// Find in the account tree: the fields an account is found by, the notes box, picking a
// match, the tree as it was after clearing, Ctrl+F and Escape, and a document the search
// never changes.
#include <QCheckBox>
#include <QLineEdit>
#include <QTreeView>
#include <QTreeWidget>

#include "WindowFixture.h"
#include "controls/EditEx.h"
#include "controls/TreeFinder.h"
#include "framework/CommandIds.h"
#include "passwords/AccountForms.h"
#include "passwords/LeftView.h"
#include "support/FindCases.h"

namespace {

using Pane = COmbrivaultChildFrame::Pane;

class AccountFindTest : public NewDocumentFixture {
protected:
    void SetUp() override {
        NewDocumentFixture::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        finder = tree->Finder();
        Add(AccountKind::Web, "Müller Bank",
            {{AccountField::Address, "https://bank.example"}, {AccountField::UserId, "hans"}});
        Add(AccountKind::Web, "Shop",
            {{AccountField::UserId, "shopper@example.org"},
             {AccountField::Password, "bank-secret"}});
        Add(AccountKind::Mail, "Work mail",
            {{AccountField::Address, "imap.example.com"}, {AccountField::UserId, "MULLER@work"}});
        Add(AccountKind::Other, "Door code",
            {{AccountField::Password, "1234"}, {AccountField::Notes, "garage behind Müller's"}});
        doc->SetModifiedFlag(false);
    }
    void Add(AccountKind kind, const char* name,
             std::vector<std::pair<AccountField, const char*>> fields) {
        QTreeWidgetItem* item = tree->AddAccount(kind, QString::fromUtf8(name));
        Account* account = doc->GetAccount(kind, CLeftView::SlotOf(item));
        for (const auto& [field, value] : fields) {
            *account->Field(field) = value; // UTF-8 is the program's code page here
        }
    }
    QStringList Shown() const { return ShownLabels(*finder); }
    QTreeWidgetItem* Item(const char* label) const {
        return tree->Tree()
            ->findItems(QString::fromUtf8(label), Qt::MatchExactly | Qt::MatchRecursive)
            .value(0);
    }

    TreeFinder* finder = nullptr;
};

TEST_F(AccountFindTest, FindsByNameAddressAndUserIdButNeverByPassword) {
    ExpectFindCases(
        *finder, {
                     {"muller",
                      false,
                      {"Untitled", "Web Accounts", "Müller Bank", "Email Accounts", "Work mail"}},
                     {"BANK.EXAMPLE", false, {"Untitled", "Web Accounts", "Müller Bank"}},
                     {"shopper", false, {"Untitled", "Web Accounts", "Shop"}},
                     {"imap", false, {"Untitled", "Email Accounts", "Work mail"}},
                     {"secret", false, {}}, // a password
                     {"1234", true, {}},    // a password, notes or not
                     {"garage", false, {}},
                     {"garage", true, {"Untitled", "Other Accounts", "Door code"}},
                     {"muller's", true, {"Untitled", "Other Accounts", "Door code"}},
                     {"accounts", false, {}}, // categories only lead to accounts
                 });
    EXPECT_FALSE(doc->IsModified()) << "searching is not editing";
}

TEST_F(AccountFindTest, PickingAMatchShowsItsFormAndClearingKeepsTheTreesState) {
    tree->CategoryItem(AccountKind::Mail)->setExpanded(false);
    tree->Tree()->setCurrentItem(Item("Shop"));
    doc->SetModifiedFlag(false);

    finder->Field()->setText(QStringLiteral("work"));
    ASSERT_EQ(Shown(), (QStringList{"Untitled", "Email Accounts", "Work mail"}));
    EXPECT_EQ(tree->Tree()->currentItem(), Item("Shop")) << "typing selects nothing";
    EXPECT_FALSE(tree->CategoryItem(AccountKind::Mail)->isExpanded());

    finder->ClearAndReturn();
    EXPECT_TRUE(tree->Tree()->isVisible());
    EXPECT_EQ(tree->Tree()->currentItem(), Item("Shop"));
    EXPECT_FALSE(tree->CategoryItem(AccountKind::Mail)->isExpanded());
    EXPECT_EQ(QApplication::focusWidget(), tree->Tree());

    finder->Field()->setText(QStringLiteral("work"));
    finder->Results()->setCurrentIndex(finder->Results()->model()->index(2, 0));
    EXPECT_EQ(tree->Tree()->currentItem(), Item("Work mail"));
    EXPECT_EQ(frame->ShownPane(), Pane::MailForm);
    EXPECT_EQ(frame->Form(AccountKind::Mail)->NameLabel()->text(), "Work mail");
    finder->ClearAndReturn();
    EXPECT_EQ(tree->Tree()->currentItem(), Item("Work mail"));
    EXPECT_TRUE(tree->CategoryItem(AccountKind::Mail)->isExpanded());
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(AccountFindTest, CtrlFFocusesTheFieldAndEscapeReturnsToTheTree) {
    tree->Tree()->setCurrentItem(Item("Shop"));
    frame->Form(AccountKind::Web)->Field(AccountField::UserId)->setFocus();
    // Edit > Find goes to the window's panes, whichever has the focus.
    EXPECT_TRUE(frame->Form(AccountKind::Web)->OnCommand(ID_EDIT_FIND));
    EXPECT_EQ(QApplication::focusWidget(), finder->Field());
    QTest::keyClicks(finder->Field(), "door");
    EXPECT_EQ(Shown(), (QStringList{"Untitled", "Other Accounts", "Door code"}));
    QTest::keyClick(finder->Field(), Qt::Key_Down);
    EXPECT_EQ(QApplication::focusWidget(), finder->Results());
    EXPECT_EQ(tree->Tree()->currentItem(), Item("Door code")) << "the first match, not its folders";
    EXPECT_EQ(frame->ShownPane(), Pane::OtherForm);
    QTest::keyClick(finder->Results(), Qt::Key_Escape);
    EXPECT_TRUE(finder->Field()->text().isEmpty());
    EXPECT_EQ(QApplication::focusWidget(), tree->Tree());
}

TEST_F(AccountFindTest, EditsAndDeletionsWhileFilteredAreFollowed) {
    finder->Field()->setText(QStringLiteral("example"));
    ASSERT_EQ(Shown(), (QStringList{"Untitled", "Web Accounts", "Müller Bank", "Shop",
                                    "Email Accounts", "Work mail"}));
    // An address typed into a form is found from the next keystroke on.
    tree->Tree()->setCurrentItem(Item("Door code"));
    finder->Field()->setText(QStringLiteral("gate"));
    EXPECT_EQ(Shown(), QStringList{});
    frame->Form(AccountKind::Other)->Field(AccountField::UserId)->SetText("gatekeeper");
    finder->Apply();
    EXPECT_EQ(Shown(), (QStringList{"Untitled", "Other Accounts", "Door code"}));

    // Deleting a shown account takes it out of the matches.
    tree->Tree()->setCurrentItem(Item("Door code"));
    QString question;
    ModalSeam::Push(Message(question, "Yes"));
    tree->DeleteSelectedAccount();
    finder->Apply();
    EXPECT_EQ(Shown(), QStringList{});
}

} // namespace
