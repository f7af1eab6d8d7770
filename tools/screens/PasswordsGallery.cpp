// Not a test: opens a passwords document with accounts of every kind in the real program and
// writes pictures of each pane, form and context menu into the folder given as its argument.
// Run it under a real (virtual) display so that the menus can be captured with the window.
#include <cstdlib>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "ScreenShots.h"
#include "app/EditorApp.h"
#include "app/MainFrame.h"
#include "controls/EditEx.h"
#include "controls/TreeFinder.h"
#include "dialogs/PasswordFieldTools.h"
#include "framework/DocTemplate.h"
#include "framework/ModalSeam.h"
#include "passwords/AccountForms.h"
#include "passwords/LeftView.h"
#include "passwords/OmbrivaultChildFrame.h"
#include "passwords/OmbrivaultDoc.h"
#include "passwords/RootPanes.h"
#include "support/ScratchFolders.h"

namespace {
QString g_dir;

void SnapScreen(const QString& name, QWidget* window) {
    ::SnapScreen(g_dir, name, window);
}

void Fill(CAccountForm* form, AccountField field, const QString& text) {
    form->Field(field)->SetText(text);
}
} // namespace

int main(int argc, char** argv) {
    PictureToolApp tool(argc, argv);
    g_dir = tool.outputDir;
    ScopedModalSeam seam;

    CEditorApp app;
    CMainFrame* main = StartProgram(app);
    if (main == nullptr) {
        return 1;
    }
    auto* doc = static_cast<COmbrivaultDoc*>(app.PasswordsTemplate()->OpenDocumentFile({}));
    auto* frame = static_cast<COmbrivaultChildFrame*>(doc->GetFrames().front());
    frame->showMaximized();
    CLeftView* tree = frame->LeftView();

    tree->AddWebAccount(QStringLiteral("Mail provider login"));
    tree->AddWebAccount(QStringLiteral("Bank"));
    CAccountForm* web = frame->Form(AccountKind::Web);
    Fill(web, AccountField::Address, QStringLiteral("https://bank.example.com/login  main site"));
    Fill(web, AccountField::UserId, QStringLiteral("jdoe"));
    Fill(web, AccountField::Password, QStringLiteral("c0rrect-h0rse"));
    Fill(web, AccountField::Notes, QStringLiteral("Security question: first pet\nAnswer: Rex"));
    tree->AddMailAccount(QStringLiteral("Work mail"));
    CAccountForm* mail = frame->Form(AccountKind::Mail);
    Fill(mail, AccountField::Address, QStringLiteral("jdoe@example.com"));
    Fill(mail, AccountField::WebInterface, QStringLiteral("https://mail.example.com"));
    Fill(mail, AccountField::UserId, QStringLiteral("jdoe"));
    Fill(mail, AccountField::Password, QStringLiteral("s3cret"));
    Fill(mail, AccountField::SmtpServer, QStringLiteral("smtp.example.com"));
    Fill(mail, AccountField::PopServer, QStringLiteral("pop.example.com"));
    tree->AddOtherAccount(QStringLiteral("Visa card"));
    CAccountForm* other = frame->Form(AccountKind::Other);
    Fill(other, AccountField::UserId, QStringLiteral("4111 1111 1111 1111, expires 12/29"));
    Fill(other, AccountField::Password, QStringLiteral("1234"));
    Fill(other, AccountField::Notes, QStringLiteral("Card of the household account."));
    tree->AddOtherAccount(QStringLiteral("Front door"));

    tree->SelectRoot();
    SnapScreen(QStringLiteral("pane_root"), main);
    for (AccountKind kind : kAccountKinds) {
        tree->SelectCategory(kind);
        const char* names[] = {"pane_add_web", "pane_add_mail", "pane_add_other"};
        if (kind == AccountKind::Mail) {
            frame->AddPaneView(kind)->NameEdit()->SetText(QStringLiteral("Private mail"));
        }
        SnapScreen(QString::fromLatin1(names[static_cast<int>(kind)]), main);
    }
    const char* forms[] = {"form_web", "form_mail", "form_other"};
    for (AccountKind kind : kAccountKinds) {
        // Bank, Work mail and Visa card: the accounts with every field filled.
        QTreeWidgetItem* category = tree->CategoryItem(kind);
        tree->Tree()->setCurrentItem(category->child(kind == AccountKind::Other ? 1 : 0));
        SnapScreen(QString::fromLatin1(forms[static_cast<int>(kind)]), main);
    }

    // The tree's context menu on an account and on a category.
    tree->Tree()->setCurrentItem(tree->CategoryItem(AccountKind::Web)->child(0));
    QMenu* menu = tree->CreateContextMenu(main);
    menu->popup(tree->Tree()->viewport()->mapToGlobal(QPoint(60, 40)));
    SnapScreen(QStringLiteral("menu_tree_account"), main);
    menu->close();
    delete menu;
    tree->SelectCategory(AccountKind::Mail);
    menu = tree->CreateContextMenu(main);
    menu->popup(tree->Tree()->viewport()->mapToGlobal(QPoint(60, 60)));
    SnapScreen(QStringLiteral("menu_tree_category"), main);
    menu->close();
    delete menu;

    // The field menu on the web address, with the caret in it.
    tree->Tree()->setCurrentItem(tree->CategoryItem(AccountKind::Web)->child(0));
    CEditEx* address = web->Field(AccountField::Address);
    address->setFocus();
    main->activateWindow();
    Settle();
    menu = address->CreateContextMenu(main);
    menu->popup(address->mapToGlobal(QPoint(80, 10)));
    SnapScreen(QStringLiteral("menu_field_web"), main);
    menu->close();
    delete menu;

    // Find: the matches of "jdoe" and the folders leading to them, then one picked.
    tree->Finder()->Focus();
    QTest::keyClicks(tree->Finder()->Field(), QStringLiteral("jdoe"));
    SnapScreen(QStringLiteral("find_typed"), main);
    QTest::keyClick(tree->Finder()->Field(), Qt::Key_Down);
    SnapScreen(QStringLiteral("find_picked"), main);
    tree->Finder()->ClearAndReturn();

    // The generator over the web form, opened from the Generate button by the password.
    tree->Tree()->setCurrentItem(tree->CategoryItem(AccountKind::Web)->child(0));
    ModalSeam::Push([main](QDialog& d) {
        SnapScreen(QStringLiteral("generator"), main);
        d.findChild<QRadioButton*>(QStringLiteral("passphrase"))->setChecked(true);
        SnapScreen(QStringLiteral("generator_passphrase"), main);
        d.done(0);
    });
    web->PasswordTools()->GenerateButton()->click();

    // The window at the size a new window opens with.
    frame->showNormal();
    SnapScreen(QStringLiteral("window_normal"), main);

    doc->SetModifiedFlag(false);
    app.DocManager().CloseAllDocuments();
    return 0;
}
