// The account forms and their fields: loading, write-through, the buttons, Open URL, the
// field context menu, the shared edit commands, the password clipboard and the idle clock.
#include <functional>

#include <QClipboard>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTreeWidget>

#include "WindowFixture.h"
#include "controls/EditEx.h"
#include "controls/MultiViewSplitter.h"
#include "controls/SecretClipboard.h"
#include "framework/CommandActions.h"
#include "framework/CommandIds.h"
#include "framework/LockHost.h"
#include "passwords/AccountForms.h"
#include "passwords/LeftView.h"
#include "passwords/PasswordsFile.h"
#include "passwords/RootPanes.h"

// Receives the addresses the program hands to the desktop.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void open(const QUrl& url) { urls << url.toString(); }
    QStringList urls;
};

namespace {

using Pane = COmbrivaultChildFrame::Pane;

class AccountFormsTest : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        path = Sample("vault.ovd");
        doc = OpenDoc(path, kSamplePassword);
        ASSERT_NE(doc, nullptr);
        frame = FrameOf(doc);
        tree = frame->LeftView();
        QApplication::clipboard()->clear();
        for (const char* scheme : {"http", "https"}) {
            QDesktopServices::setUrlHandler(scheme, &catcher, "open");
        }
    }
    void TearDown() override {
        for (const char* scheme : {"http", "https"}) {
            QDesktopServices::unsetUrlHandler(scheme);
        }
        WindowFixture::TearDown();
    }
    // Selects the account at `row` of its category and returns its form.
    CAccountForm* Show(AccountKind kind, int row = 0) {
        tree->Tree()->setCurrentItem(tree->CategoryItem(kind)->child(row));
        return frame->Form(kind);
    }
    // Puts the keyboard focus into a field, as a click would.
    void Focus(CEditEx* edit) {
        QApplication::setActiveWindow(&Main());
        edit->setFocus(Qt::MouseFocusReason);
        QApplication::processEvents();
        ASSERT_EQ(QApplication::focusWidget(), edit);
    }
    CCmdUI State(int id) {
        Main().UpdateCommandStates();
        return Main().Actions().State(id);
    }
    static QStringList MenuEntries(CEditEx* edit) {
        return ::MenuEntries(edit->CreateContextMenu(nullptr));
    }

    std::string path;
    COmbrivaultDoc* doc = nullptr;
    COmbrivaultChildFrame* frame = nullptr;
    CLeftView* tree = nullptr;
    UrlCatcher catcher;
};

TEST_F(AccountFormsTest, SelectingAnAccountShowsItsFieldsWithoutModifying) {
    CAccountForm* web = Show(AccountKind::Web);
    EXPECT_EQ(web->NameLabel()->text(), "Bank & Co");
    EXPECT_EQ(web->Field(AccountField::Address)->Text(), "https://bank.example/login?a=1&b=2");
    EXPECT_EQ(web->Field(AccountField::Password)->Text(), "p<ss>\"'");
    EXPECT_EQ(web->Field(AccountField::Notes)->Text(), "line one\r\nline two");
    EXPECT_EQ(web->Field(AccountField::Notes)->toPlainText(), "line one\nline two");
    CAccountForm* mail = Show(AccountKind::Mail);
    EXPECT_EQ(mail->Field(AccountField::PopServer)->Text(), "pop.mail.example");
    Show(AccountKind::Other);
    Show(AccountKind::Web, 1);
    EXPECT_EQ(web->Field(AccountField::Address)->Text(), "");
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(AccountFormsTest, FieldsStandInTheirOrderWithTheirLabels) {
    struct Case {
        AccountKind kind;
        QStringList labels;
    };
    const Case cases[] = {
        {AccountKind::Web, {"Web Address:", "User ID:", "Password:", "Notes:"}},
        {AccountKind::Mail,
         {"Mail Address:", "WebMail Interface:", "User ID:", "Password:", "SMTP Server:",
          "POP Server:", "Notes:"}},
        {AccountKind::Other,
         {"Description (Credit Card No, Bank Account, Location, etc.): ",
          "PIN (Pass Code, Key, Password, etc.):", "Notes:"}},
    };
    for (const Case& c : cases) {
        CAccountForm* form = Show(c.kind);
        QStringList labels;
        int lastY = -1;
        for (CEditEx* edit : form->FieldsOnScreen()) {
            const auto* label = form->findChild<QLabel*>(edit->objectName() + "Label");
            ASSERT_NE(label, nullptr);
            labels << label->text();
            EXPECT_GT(edit->y(), lastY) << "top to bottom";
            lastY = edit->y();
            EXPECT_EQ(edit->BackgroundColor(), QColor(255, 255, 200));
            EXPECT_EQ(edit->IsMultiLine(), edit->objectName() == "notes");
        }
        EXPECT_EQ(labels, c.labels);
    }
}

TEST_F(AccountFormsTest, OneKeystrokeWritesThroughAndASaveStoresIt) {
    struct Case {
        AccountKind kind;
        AccountField field;
    };
    const Case cases[] = {
        {AccountKind::Web, AccountField::Address},     {AccountKind::Web, AccountField::Notes},
        {AccountKind::Mail, AccountField::SmtpServer}, {AccountKind::Mail, AccountField::Password},
        {AccountKind::Other, AccountField::UserId},    {AccountKind::Other, AccountField::Password},
    };
    for (const Case& c : cases) {
        CAccountForm* form = Show(c.kind);
        doc->SetModifiedFlag(false);
        CEditEx* edit = form->Field(c.field);
        Focus(edit);
        edit->moveCursor(QTextCursor::End);
        const std::string before = *doc->GetAccount(c.kind, 0)->Field(c.field);
        QTest::keyClick(edit, Qt::Key_X);
        EXPECT_EQ(*doc->GetAccount(c.kind, 0)->Field(c.field), before + "x");
        EXPECT_TRUE(doc->IsModified());
    }
    Main().ExecuteCommand(ID_FILE_SAVE);
    EXPECT_FALSE(doc->IsModified());
    AccountLists saved;
    ASSERT_EQ(LoadPasswordsFile(path, kSamplePassword, saved), PasswordsLoadStatus::Loaded);
    EXPECT_EQ(saved.GetWebAccount(0)->notes, "line one\r\nline twox");
    EXPECT_EQ(saved.GetMailAccount(0)->smtpServer, "smtp.mail.examplex");
    EXPECT_EQ(saved.GetOtherAccount(0)->password, "1234x");
}

TEST_F(AccountFormsTest, OpenUrlTakesTheFirstLineUpToItsFirstBlank) {
    CAccountForm* web = Show(AccountKind::Web);
    CEditEx* address = web->Field(AccountField::Address);
    address->SetText("https://bank.example/login and more words\nsecond line");
    Focus(address);
    EXPECT_TRUE(State(ID_OPEN_URL).enabled);
    QTest::keyClick(address, Qt::Key_G, Qt::ControlModifier);
    EXPECT_EQ(catcher.urls, QStringList{"https://bank.example/login"});

    CEditEx* notes = Show(AccountKind::Mail)->Field(AccountField::Notes);
    notes->SetText("http://mail.example/" + QString(300, 'a'));
    Focus(notes);
    Main().ExecuteCommand(ID_OPEN_URL);
    ASSERT_EQ(catcher.urls.size(), 2);
    EXPECT_EQ(catcher.urls[1], "http://mail.example/" + QString(255 - 20, 'a'));

    // The other-accounts form has no such command.
    CEditEx* pin = Show(AccountKind::Other)->Field(AccountField::Password);
    pin->SetText("https://other.example");
    Focus(pin);
    EXPECT_FALSE(State(ID_OPEN_URL).enabled);
    QTest::keyClick(pin, Qt::Key_G, Qt::ControlModifier);
    EXPECT_EQ(catcher.urls.size(), 2);
}

TEST_F(AccountFormsTest, GoToTheUrlIsOfferedByTheLengthRule) {
    struct Case {
        const char* text;
        bool offered;
    };
    const Case cases[] = {
        {"https://x", true}, {"https://", false},     {"http://a", true},
        {"http://", false},  {"see https://x", true}, {"www.example.com", false},
    };
    CEditEx* address = Show(AccountKind::Web)->Field(AccountField::Address);
    Focus(address);
    for (const Case& c : cases) {
        address->SetText(c.text);
        address->moveCursor(QTextCursor::End);
        EXPECT_EQ(MenuEntries(address).last(),
                  QString(c.offered ? "+" : "x") + "Go to the URL...\tCtrl+G")
            << c.text;
    }
    // In the other-accounts form the entry is there but always disabled.
    CEditEx* description = Show(AccountKind::Other)->Field(AccountField::UserId);
    Focus(description);
    description->SetText("https://x.example");
    EXPECT_EQ(MenuEntries(description).last(), "xGo to the URL...\tCtrl+G");
}

TEST_F(AccountFormsTest, FieldMenuEntriesFollowTheCaretLineAndTheSelection) {
    CEditEx* user = Show(AccountKind::Mail)->Field(AccountField::UserId);
    Focus(user);
    user->SetText("");
    EXPECT_EQ(MenuEntries(user),
              (QStringList{"+&Undo\tCtrl+Z", "-", "xCu&t\tCtrl+X", "x&Copy\tCtrl+C",
                           "x&Paste\tCtrl+V", "x&Delete\tDel", "-", "xSelect A&ll\tCtrl+A", "-",
                           "xGo to the URL...\tCtrl+G"}));
    QApplication::clipboard()->setText("pasted");
    user->SetText("someone");
    user->moveCursor(QTextCursor::End);
    user->moveCursor(QTextCursor::Left, QTextCursor::KeepAnchor);
    EXPECT_EQ(MenuEntries(user),
              (QStringList{"+&Undo\tCtrl+Z", "-", "+Cu&t\tCtrl+X", "+&Copy\tCtrl+C",
                           "+&Paste\tCtrl+V", "+&Delete\tDel", "-", "+Select A&ll\tCtrl+A", "-",
                           "xGo to the URL...\tCtrl+G"}));
}

TEST_F(AccountFormsTest, SharedEditCommandsActOnTheFocusedField) {
    CEditEx* user = Show(AccountKind::Web)->Field(AccountField::UserId);
    Focus(user);
    user->SetText("jdoe");
    EXPECT_FALSE(State(ID_EDIT_COPY).enabled);
    EXPECT_FALSE(State(ID_EDIT_CUT).enabled);
    EXPECT_TRUE(State(ID_EDIT_UNDO).enabled);
    Main().ExecuteCommand(ID_EDIT_SELECT_ALL);
    EXPECT_TRUE(State(ID_EDIT_COPY).enabled);
    Main().ExecuteCommand(ID_EDIT_CUT);
    EXPECT_EQ(QApplication::clipboard()->text(), "jdoe");
    EXPECT_EQ(doc->Lists().GetWebAccount(0)->userId, "");
    EXPECT_TRUE(State(ID_EDIT_PASTE).enabled);
    Main().ExecuteCommand(ID_EDIT_PASTE);
    EXPECT_EQ(doc->Lists().GetWebAccount(0)->userId, "jdoe");
    Main().ExecuteCommand(ID_EDIT_UNDO);
    EXPECT_EQ(doc->Lists().GetWebAccount(0)->userId, "");

    // A single-line field takes the first line of a paste.
    QApplication::clipboard()->setText("first\nsecond");
    Main().ExecuteCommand(ID_EDIT_SELECT_ALL);
    Main().ExecuteCommand(ID_EDIT_PASTE);
    EXPECT_EQ(user->Text(), "first");
    // The tree has no edit commands.
    tree->Tree()->setFocus();
    QApplication::processEvents();
    EXPECT_FALSE(State(ID_EDIT_PASTE).enabled);
}

TEST_F(AccountFormsTest, ButtonsOfTheForms) {
    // Delete answered No: the web form marks the document modified anyway, the others not.
    for (const AccountKind kind : kAccountKinds) {
        CAccountForm* form = Show(kind);
        doc->SetModifiedFlag(false);
        ModalSeam::Push(answer::Click("No"));
        form->findChild<QPushButton*>("delete")->click();
        EXPECT_NE(doc->GetAccount(kind, 0), nullptr);
        EXPECT_EQ(doc->IsModified(), kind == AccountKind::Web) << KindWord(kind);
    }
    // Add More shows the category's add pane.
    Show(AccountKind::Mail)->findChild<QPushButton*>("addMore")->click();
    EXPECT_EQ(frame->ShownPane(), Pane::MailRoot);

    // Save posts the Save command to the main window.
    CAccountForm* other = Show(AccountKind::Other);
    other->Field(AccountField::Notes)->SetText("kept");
    other->findChild<QPushButton*>("save")->click();
    EXPECT_TRUE(doc->IsModified()) << "posted, not run at once";
    QApplication::processEvents();
    EXPECT_FALSE(doc->IsModified());
    AccountLists saved;
    ASSERT_EQ(LoadPasswordsFile(path, kSamplePassword, saved), PasswordsLoadStatus::Loaded);
    EXPECT_EQ(saved.GetOtherAccount(0)->notes, "kept");
}

TEST(EditEx, ColoursFilterAndSingleLineRules) {
    CEditEx field(false);
    const QColor original = field.BackgroundColor();
    EXPECT_EQ(field.SetBackgroundColor(QColor(1, 2, 3)), original);
    EXPECT_EQ(field.SetBackgroundColor(QColor(4, 5, 6)), QColor(1, 2, 3));
    EXPECT_EQ(field.palette().color(QPalette::Base), QColor(4, 5, 6));
    const QColor text = field.TextColor();
    EXPECT_EQ(field.SetTextColor(Qt::red), text);
    EXPECT_EQ(field.palette().color(QPalette::Text), QColor(Qt::red));
    EXPECT_TRUE(field.UrlLaunch()) << "on when created";

    int changes = 0;
    QObject::connect(&field, &CEditEx::Changed, [&] { ++changes; });
    field.SetCharFilter([](QChar c) { return c.isDigit(); });
    QTest::keyClicks(&field, "4a2");
    EXPECT_EQ(field.Text(), "42");
    EXPECT_EQ(changes, 2);
    QTest::keyClick(&field, Qt::Key_Return);
    EXPECT_EQ(field.Text(), "42") << "a single-line field takes no line break";
    field.SetText("42");
    EXPECT_EQ(changes, 2) << "the same text is no change";

    CEditEx notes(true);
    notes.SetText("one\r\ntwo\rthree\nfour");
    EXPECT_EQ(notes.Text(), "one\r\ntwo\r\nthree\r\nfour");
    EXPECT_EQ(notes.FirstLine(), "one");
}

// --- Password clipboard --------------------------------------------------------------------

TEST_F(AccountFormsTest, ACopiedPasswordIsMarkedSecretAndLeavesTheClipboard) {
    CEditEx* password = Show(AccountKind::Mail)->Field(AccountField::Password);
    Focus(password);
    Main().ExecuteCommand(ID_EDIT_SELECT_ALL);
    Main().ExecuteCommand(ID_EDIT_COPY);
    const QMimeData* data = QApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->text(), "mailpw");
    EXPECT_EQ(data->data("x-kde-passwordManagerHint"), "secret");

    clock.Advance(29999);
    SecretClipboard::Instance().Tick();
    EXPECT_EQ(QApplication::clipboard()->text(), "mailpw");
    clock.Advance(1);
    SecretClipboard::Instance().Tick();
    EXPECT_EQ(QApplication::clipboard()->text(), "");
    EXPECT_FALSE(SecretClipboard::Instance().Watching());

    // Ctrl+C in the field does the same; other fields copy as usual.
    QTest::keyClick(password, Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(QApplication::clipboard()->mimeData()->hasFormat("x-kde-passwordManagerHint"));
    CEditEx* user = Show(AccountKind::Mail)->Field(AccountField::UserId);
    Focus(user);
    user->selectAll();
    QTest::keyClick(user, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "me");
    EXPECT_FALSE(QApplication::clipboard()->mimeData()->hasFormat("x-kde-passwordManagerHint"));
}

TEST_F(AccountFormsTest, TheClipboardIsClearedOnLockAndCloseOnlyWhileItHoldsTheSecret) {
    CEditEx* pin = Show(AccountKind::Other)->Field(AccountField::Password);
    Focus(pin);
    pin->selectAll();
    pin->Copy();
    emit LockEvents::Instance().Locked();
    EXPECT_EQ(QApplication::clipboard()->text(), "");

    // Something else copied since: left alone, also when the time is up.
    pin->Copy();
    QApplication::clipboard()->setText("copied elsewhere");
    clock.Advance(SecretClipboard::kClearAfterMs);
    SecretClipboard::Instance().Tick();
    EXPECT_EQ(QApplication::clipboard()->text(), "copied elsewhere");

    // Closing the document takes its secret with it.
    pin->Copy();
    doc->SetModifiedFlag(false);
    FrameOf(doc)->close();
    EXPECT_FALSE(IsOpen(doc));
    EXPECT_EQ(QApplication::clipboard()->text(), "");
}

// --- Idle clock ----------------------------------------------------------------------------

TEST_F(AccountFormsTest, UserActionsInTheWindowRestartTheIdleClock) {
    const auto idleAfter = [&](const std::function<void()>& action) {
        clock.Advance(50000);
        EXPECT_EQ(Main().Lock().IdleSeconds(), 50u);
        action();
        return Main().Lock().IdleSeconds();
    };
    // Moves the mouse over an empty spot of a widget.
    const auto moveOver = [](QWidget* widget) {
        QMouseEvent move(QEvent::MouseMove, QPointF(3, 3), widget->mapToGlobal(QPointF(3, 3)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &move);
    };
    EXPECT_EQ(idleAfter([&] { tree->SelectCategory(AccountKind::Web); }), 0u);
    EXPECT_EQ(idleAfter([&] { moveOver(tree->Tree()->viewport()); }), 0u);
    EXPECT_EQ(idleAfter([&] { moveOver(frame->GetPane(Pane::WebRoot)); }), 0u);
    EXPECT_EQ(idleAfter([&] { Show(AccountKind::Web)->Field(AccountField::UserId)->SetText("a"); }),
              0u);
    EXPECT_EQ(idleAfter([&] { moveOver(frame->Form(AccountKind::Web)); }), 0u);
    EXPECT_EQ(idleAfter([&] { moveOver(frame->Form(AccountKind::Other)); }), 0u);
    EXPECT_EQ(idleAfter([&] {
                  frame->Form(AccountKind::Web)->findChild<QPushButton*>("addMore")->click();
              }),
              0u);
    // The e-mail form does not count mouse movement.
    EXPECT_EQ(idleAfter([&] { moveOver(frame->Form(AccountKind::Mail)); }), 50u);
}

} // namespace

#include "AccountFormsTest.moc"

namespace {

// Every pane lays out whole at the size its window opens with, and that window lies inside
// the document area of the default main window, framed as a window manager frames it.
TEST_F(WindowFixture, EveryPaneFitsAtTheOpeningSize) {
    const WindowPlacement p = AppSettings::DefaultPlacement(QSize(1280, 1024));
    // The placement is the outer size: a title bar and borders take their share of it. (The
    // window first takes its own placement, once shown.)
    QApplication::processEvents();
    Main().resize(p.cx - 2, p.cy - 30);
    QApplication::processEvents();
    COmbrivaultChildFrame* frame = FrameOf(NewDoc());
    ASSERT_NE(frame, nullptr);
    frame->show();
    QApplication::processEvents();
    const QRect area = Main().MdiArea()->viewport()->rect();
    EXPECT_TRUE(area.contains(frame->geometry()))
        << "area " << area.width() << "x" << area.height() << ", window " << frame->width() << "x"
        << frame->height() << "+" << frame->x() << "+" << frame->y();
    using Pane = COmbrivaultChildFrame::Pane;
    for (Pane pane : {Pane::BlankRoot, Pane::WebRoot, Pane::MailRoot, Pane::OtherRoot,
                      Pane::WebForm, Pane::MailForm, Pane::OtherForm}) {
        SCOPED_TRACE(static_cast<int>(pane));
        frame->ShowPane(pane);
        QApplication::processEvents();
        EXPECT_EQ(frame->Splitter()->sizes().value(0), COmbrivaultChildFrame::kTreeWidth);
        const QWidget* view = frame->GetPane(pane);
        EXPECT_GE(view->width(), view->minimumSizeHint().width());
        EXPECT_GE(view->height(), view->minimumSizeHint().height());
        // Nothing to scroll either.
        for (const QScrollArea* scroll : frame->Splitter()->findChildren<QScrollArea*>()) {
            if (scroll->isAncestorOf(view)) {
                EXPECT_FALSE(scroll->verticalScrollBar()->isVisible());
                EXPECT_FALSE(scroll->horizontalScrollBar()->isVisible());
            }
        }
        for (const QWidget* child : view->findChildren<QWidget*>()) {
            if (child->isVisible() && child->minimumSizeHint().isValid()) {
                EXPECT_GE(child->height(), child->minimumSizeHint().height())
                    << child->objectName().toStdString();
            }
        }
    }

    // Made lower than the e-mail form, the window scrolls that form and no smaller pane.
    frame->resize(frame->width(), frame->height() - 60);
    for (Pane pane : {Pane::BlankRoot, Pane::MailRoot, Pane::OtherForm, Pane::MailForm}) {
        SCOPED_TRACE(static_cast<int>(pane));
        frame->ShowPane(pane);
        QApplication::processEvents();
        const auto* scroll = qobject_cast<const QScrollArea*>(frame->Splitter()->widget(1));
        ASSERT_NE(scroll, nullptr);
        EXPECT_EQ(scroll->verticalScrollBar()->isVisible(), pane == Pane::MailForm);
    }
}

// Whichever way a category's add pane is asked for, what the user types next names the new
// account; moving through the tree with the arrow keys leaves the focus in the tree, and Enter
// goes into the pane the selection shows.
TEST_F(AccountFormsTest, TheNameFieldTakesTheFocusWhenAnAddPaneIsAskedFor) {
    QTreeWidget* widget = tree->Tree();
    frame->show();
    QApplication::setActiveWindow(&Main());
    const auto click = [&](QTreeWidgetItem* item) {
        widget->setCurrentItem(item); // the press
        QTest::mouseRelease(widget->viewport(), Qt::LeftButton, {},
                            widget->visualItemRect(item).center());
    };
    struct Case {
        const char* name;
        AccountKind kind;
        std::function<void(QTreeWidgetItem* category)> ask;
        bool focusesName;
    };
    const Case cases[] = {
        {"click", AccountKind::Web, click, true},
        {"enter", AccountKind::Mail,
         [&](QTreeWidgetItem* category) {
             widget->setCurrentItem(category);
             QTest::keyClick(widget, Qt::Key_Return);
         },
         true},
        {"add button", AccountKind::Other,
         [&](QTreeWidgetItem*) {
             tree->SelectRoot();
             frame->GetPane(Pane::BlankRoot)->findChild<QPushButton*>("addOther")->click();
         },
         true},
        {"menu command", AccountKind::Mail,
         [&](QTreeWidgetItem*) { tree->OnCommand(ID_ADD_MAIL_ACCOUNT); }, true},
        {"add more", AccountKind::Web,
         [&](QTreeWidgetItem*) {
             Show(AccountKind::Web)->findChild<QPushButton*>("addMore")->click();
         },
         true},
        {"arrow key", AccountKind::Web,
         [&](QTreeWidgetItem* category) {
             widget->setCurrentItem(tree->RootItem());
             QTest::keyClick(widget, Qt::Key_Down);
             ASSERT_EQ(widget->currentItem(), category);
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        widget->setFocus();
        QApplication::processEvents();
        c.ask(tree->CategoryItem(c.kind));
        QApplication::processEvents();
        EXPECT_EQ(frame->ShownPane(), COmbrivaultChildFrame::AddPane(c.kind));
        EXPECT_EQ(QApplication::focusWidget() == frame->AddPaneView(c.kind)->NameEdit(),
                  c.focusesName);
        if (!c.focusesName) {
            EXPECT_EQ(QApplication::focusWidget(), widget);
        }
    }

    // Enter on an account goes to the first field of its form; the Enter that ends renaming it
    // stays in the tree.
    CAccountForm* form = Show(AccountKind::Web);
    widget->setFocus();
    tree->RenameSelectedAccount();
    auto* label = widget->findChild<QLineEdit*>("labelEdit");
    ASSERT_NE(label, nullptr);
    QTest::keyClick(label, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), widget);
    QTest::keyClick(widget, Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), form->FieldsOnScreen().front());
}

// However the add pane was reached, a name and Enter add the account, and what the user types
// next goes into the new account's first field (after Add More, the button the form last had
// the focus on must not get it back).
TEST_F(AccountFormsTest, AfterAnAddTypingGoesIntoTheNewAccountsFirstField) {
    QTreeWidget* widget = tree->Tree();
    frame->show();
    QApplication::setActiveWindow(&Main());
    const auto addMore = [&](AccountKind kind) {
        return [this, kind] {
            auto* button = Show(kind)->findChild<QPushButton*>("addMore");
            button->setFocus(Qt::MouseFocusReason);
            button->click();
        };
    };
    struct Case {
        const char* name;
        AccountKind kind;
        std::function<void()> ask;
    };
    const Case cases[] = {
        {"category click", AccountKind::Web,
         [&] {
             QTreeWidgetItem* category = tree->CategoryItem(AccountKind::Web);
             widget->setCurrentItem(category);
             QTest::mouseRelease(widget->viewport(), Qt::LeftButton, {},
                                 widget->visualItemRect(category).center());
         }},
        {"add more, web", AccountKind::Web, addMore(AccountKind::Web)},
        {"add more, mail", AccountKind::Mail, addMore(AccountKind::Mail)},
        {"add more, other", AccountKind::Other, addMore(AccountKind::Other)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.ask();
        QApplication::processEvents();
        ASSERT_EQ(QApplication::focusWidget(), frame->AddPaneView(c.kind)->NameEdit());
        QTest::keyClicks(QApplication::focusWidget(), QString::fromLatin1(c.name));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QApplication::processEvents();
        ASSERT_EQ(frame->ShownPane(), COmbrivaultChildFrame::FormPane(c.kind));
        CEditEx* first = frame->Form(c.kind)->FieldsOnScreen().front();
        EXPECT_EQ(QApplication::focusWidget(), first);
        QTest::keyClicks(QApplication::focusWidget(), "typed");
        EXPECT_EQ(first->Text(), "typed");
        EXPECT_EQ(widget->currentItem()->text(0), QString::fromLatin1(c.name));
    }
}

} // namespace
