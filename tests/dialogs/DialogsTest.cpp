#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "base/CodePage.h"
#include "dialogs/DialogLook.h"
#include "dialogs/DialogWidgets.h"
#include "dialogs/ExistingPasswordDlg.h"
#include "dialogs/MessageDialogs.h"
#include "dialogs/PasswordBuffer.h"
#include "dialogs/PasswordDlg.h"
#include "framework/DialogPolish.h"
#include "framework/MessageBox.h"
#include "framework/ModalSeam.h"
#include "framework/ResultCodes.h"
#include "support/FakeLockHost.h"
#include "support/GuiFixture.h"

namespace {

QPushButton* Button(QDialog& d, const char* name) {
    return d.findChild<QPushButton*>(name);
}
QLineEdit* Edit(QDialog& d, const char* name) {
    return d.findChild<QLineEdit*>(name);
}

class DialogTest : public GuiFixture {
protected:
    FakeLockHost host;
};

// --- Enter Password ------------------------------------------------------------------

TEST_F(DialogTest, EnterPasswordNeedsTextAndRestartsTheIdleClock) {
    CExistingPasswordDlg dlg;
    ModalSeam::Push([&](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), "Enter Password");
        EXPECT_EQ(d.findChild<QLabel*>("label")->text(), "File Password:");
        EXPECT_EQ(Edit(d, "password")->echoMode(), QLineEdit::Password);
        EXPECT_FALSE(Button(d, "ok")->isEnabled());
        answer::Click("ok")(d); // disabled: nothing happens
        EXPECT_TRUE(d.isVisible());
        host.idle = 40;
        answer::Type("password", "s3cret")(d);
        EXPECT_EQ(host.idle, 0u);
        EXPECT_TRUE(Button(d, "ok")->isEnabled());
        answer::Type("password", "")(d);
        EXPECT_FALSE(Button(d, "ok")->isEnabled());
        answer::Type("password", "s3cret", answer::Click("ok"))(d);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.Password(), "s3cret");
}

TEST_F(DialogTest, EnterPasswordScreenModeAndAutoClose) {
    struct Case {
        bool autoClose;
        int result;
    };
    for (const Case c : {Case{true, IDCANCEL}, Case{false, IDOK}}) {
        CExistingPasswordDlg dlg;
        dlg.SetScreenPasswordMode(true);
        dlg.SetAutoClose(c.autoClose);
        ModalSeam::Push([&](QDialog& d) {
            EXPECT_EQ(d.findChild<QLabel*>("label")->text(), "Screen Password:");
            host.Lock();
            if (!dlg.LockTick()) {
                answer::Type("password", "x", answer::Click("ok"))(d);
            }
        });
        EXPECT_EQ(dlg.DoModal(), c.result) << c.autoClose;
        host.locked = false;
    }
}

TEST(PasswordBuffer, CodePageAndCutAtACharacterBoundary) {
    ASSERT_TRUE(CodePage::SetProgram("UTF-8"));
    PasswordBuffer buffer;
    // 258 ASCII bytes then a two-byte character: cutting at 259 would split it.
    buffer.SetText(QString(258, 'a') + QString::fromUtf8("\xC3\xA9"));
    EXPECT_EQ(buffer.View().size(), 258u);
    buffer.SetText(QString(300, 'b'));
    EXPECT_EQ(buffer.View(), std::string(259, 'b'));
    EXPECT_EQ(buffer.CStr()[259], '\0');
    buffer.SetText(QString::fromUtf8("pa\xC3\x9F"));
    EXPECT_EQ(buffer.View(), "pa\xC3\x9F");
    EXPECT_EQ(buffer.ToText(), QString::fromUtf8("pa\xC3\x9F"));

    ASSERT_TRUE(CodePage::SetProgram("CP1252"));
    buffer.SetText(QString::fromUtf8("pa\xC3\x9F"));
    EXPECT_EQ(buffer.View(), "pa\xDF");
    EXPECT_EQ(buffer.ToText(), QString::fromUtf8("pa\xC3\x9F"));
    ASSERT_TRUE(CodePage::SetProgram("UTF-8"));
    buffer.Clear();
    EXPECT_TRUE(buffer.Empty());
    EXPECT_EQ(buffer.CStr()[0], '\0');
}

// --- Set File Password ---------------------------------------------------------------

TEST_F(DialogTest, SetPasswordShowsAKnownPasswordInBothEdits) {
    CPasswordDlg dlg;
    dlg.SetCurrentPassword("known");
    ModalSeam::Push([&](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), "Set File Password");
        EXPECT_EQ(Edit(d, "password")->text(), "known");
        EXPECT_EQ(Edit(d, "confirm")->text(), "known");
        EXPECT_EQ(Button(d, "save")->text(), "Save");
        EXPECT_TRUE(Button(d, "save")->isEnabled());
        answer::Click("save")(d);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.Password(), "known");
}

TEST_F(DialogTest, SetPasswordEnablingRules) {
    CPasswordDlg dlg;
    dlg.SetChangeMode(true);
    ModalSeam::Push([&](QDialog& d) {
        QPushButton* set = Button(d, "save");
        EXPECT_EQ(set->text(), "Set");
        EXPECT_FALSE(set->isEnabled()) << "no known password";
        answer::Type("password", "abc")(d);
        EXPECT_TRUE(set->isEnabled());
        answer::Type("confirm", "abc")(d);
        EXPECT_TRUE(set->isEnabled());
        // Typing in the first edit again clears the confirmation.
        answer::Type("password", "abcd")(d);
        EXPECT_EQ(Edit(d, "confirm")->text(), "");
        EXPECT_TRUE(set->isEnabled()) << "the edit typed into last holds text";
        answer::Type("confirm", "x")(d);
        answer::Type("confirm", "")(d);
        EXPECT_FALSE(set->isEnabled()) << "the edit typed into last is empty";
        answer::Type("confirm", "abcd", answer::Click("save"))(d);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.Password(), "abcd");
}

TEST_F(DialogTest, SetPasswordMismatchWarnsClearsAndStaysOpen) {
    CPasswordDlg dlg;
    ModalSeam::Push([&](QDialog& d) {
        answer::Type("password", "one")(d);
        answer::Type("confirm", "One")(d);
        ModalSeam::Push([](QDialog& box) {
            auto& message = static_cast<QMessageBox&>(box);
            EXPECT_EQ(message.text(), "The passwords you typed do not match. Type the password "
                                      "in both text boxes.");
            EXPECT_EQ(message.windowTitle(), "Set Password");
            EXPECT_EQ(message.icon(), QMessageBox::Warning);
            answer::Click("OK")(box);
        });
        answer::Click("save")(d);
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(Edit(d, "password")->text(), "");
        EXPECT_EQ(Edit(d, "confirm")->text(), "");
        EXPECT_FALSE(Button(d, "save")->isEnabled());
        answer::Click("cancel")(d);
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
}

TEST_F(DialogTest, SetPasswordClosesAsCancelOnLock) {
    CPasswordDlg dlg;
    ModalSeam::Push([&](QDialog& d) {
        answer::Type("password", "abc")(d);
        host.Lock();
        EXPECT_TRUE(dlg.LockTick());
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
}

TEST_F(DialogTest, SetPasswordTextsFontsAndColours) {
    CPasswordDlg dlg;
    ModalSeam::Push([](QDialog& d) {
        auto* advice = d.findChild<QLabel*>("advice");
        auto* note = d.findChild<QLabel*>("note");
        EXPECT_EQ(advice->text(),
                  "Please select your File Password long enough (at least 8 characters). Use a "
                  "combination of uppercase, lowercase, numbers and special characters (e.g. !, "
                  "$, #, %).");
        EXPECT_EQ(note->text(),
                  "NOTE: This password is NOT written to a file, but it is used as an encryption "
                  "key. If you forget your password, it cannot be recovered. Please remember it!");
        EXPECT_EQ(advice->font().family(), "Times New Roman");
        EXPECT_EQ(advice->font().pointSize(), 12);
        EXPECT_EQ(advice->palette().color(QPalette::WindowText), kDarkBlue);
        EXPECT_EQ(note->palette().color(QPalette::WindowText), kDarkRed);
        answer::Click("cancel")(d);
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
}

// --- Message dialogs -----------------------------------------------------------------

TEST_F(DialogTest, FailedDecryptNamesTheFile) {
    EXPECT_EQ(FileNamePart("/home/u/vault.ovd"), "vault.ovd");
    EXPECT_EQ(FileNamePart("vault.ovd"), "vault.ovd");
    EXPECT_EQ(FileNamePart("C:\\docs\\vault.ovd"), "vault.ovd");
    CFailedDecrypt dlg(FileNamePart("plain.ovt"));
    ModalSeam::Push([&](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), "Ombrivault Storage");
        EXPECT_EQ(dlg.Text(), "Failed to decrypt the file: plain.ovt");
        answer::Click("OK")(d);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
}

TEST_F(DialogTest, ResultsOfEveryButtonAndOfTheLock) {
    struct Case {
        const char* name;
        std::function<std::unique_ptr<CLockAwareDialog>()> make;
        const char* button; // nullptr: the lock ends it
        int result;
    };
    const auto exists = [] { return std::make_unique<CFileExistsDlg>(); };
    const auto save = [] { return std::make_unique<SaveModifiedDlg>("/a/b.ovd"); };
    const auto error = [] { return std::make_unique<CErrorDlg>("Bad"); };
    const auto failed = [] { return std::make_unique<CFailedDecrypt>("x"); };
    const std::vector<Case> cases = {
        {"exists yes", exists, "Yes", 1},    {"exists no", exists, "No", 2},
        {"exists lock", exists, nullptr, 2}, {"save yes", save, "Yes", 6},
        {"save no", save, "No", 7},          {"save cancel", save, "Cancel", 2},
        {"save lock", save, nullptr, 2},     {"error ok", error, "OK", 1},
        {"error lock", error, nullptr, 2},   {"failed lock", failed, nullptr, 2},
    };
    for (const Case& c : cases) {
        auto dlg = c.make();
        ModalSeam::Push([&](QDialog& d) {
            if (c.button != nullptr) {
                answer::Click(c.button)(d);
            } else {
                host.Lock();
                dlg->LockTick();
            }
        });
        EXPECT_EQ(dlg->DoModal(), c.result) << c.name;
        host.locked = false;
    }
}

TEST_F(DialogTest, SaveChangesShortensPaths) {
    const std::pair<const char*, const char*> cases[] = {
        {"/home/u/vault.ovd", "vault.ovd"},
        {"C:\\docs\\vault.ovd", "vault.ovd"},
        {"Untitled1.ovd", "Untitled1.ovd"},
        {"/vault.ovd", "/vault.ovd"}, // the only separator is the first character
        {"folder/", "folder/"},       // the only separator is the last character
        {"a/b/", "a/b/"},             // nothing after the last separator: keep it whole
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(SaveModifiedDlg::ShortName(in), out) << in;
    }
    SaveModifiedDlg dlg("/home/u/vault.ovd");
    ModalSeam::Push([&](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), "Ombrivault Storage");
        EXPECT_EQ(dlg.Text(), "Save changes to vault.ovd?");
        d.reject(); // Escape
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
}

TEST_F(DialogTest, ErrorBoxTextFontAndTitle) {
    CErrorDlg dlg("Something failed.");
    ModalSeam::Push([&](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), "Ombrivault Error...");
        auto* text = d.findChild<QLabel*>("text");
        EXPECT_EQ(text->text(), "Something failed.");
        EXPECT_EQ(text->font().family(), "Times New Roman");
        EXPECT_EQ(text->palette().color(QPalette::WindowText), kDarkBlue);
        answer::Click("OK")(d);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
}

TEST_F(DialogTest, FileExistsText) {
    CFileExistsDlg dlg;
    ModalSeam::Push([](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), "Ombrivault Storage");
        bool found = false;
        for (QLabel* l : d.findChildren<QLabel*>()) {
            found = found || l->text() == "The specified file already exists. Replace?";
        }
        EXPECT_TRUE(found);
        answer::Click("Yes")(d);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
}

} // namespace

// --- What every dialog gets ------------------------------------------------------------

namespace {
// Types `key` where the user's typing lands: the focused widget, else the dialog.
ModalSeam::Script Key(Qt::Key key) {
    return [key](QDialog& d) {
        QWidget* target = d.focusWidget() != nullptr ? d.focusWidget() : &d;
        QTest::keyClick(target, key);
    };
}
} // namespace

TEST_F(DialogTest, MessageDialogsAnswerEnterEscapeAndMnemonicLetters) {
    struct Case {
        const char* name;
        Qt::Key key;
        int result;
    };
    const Case cases[] = {
        {"Enter takes the default Yes", Qt::Key_Return, IDYES},
        {"Space presses the focused default button", Qt::Key_Space, IDYES},
        {"N answers No", Qt::Key_N, IDNO},
        {"Y answers Yes", Qt::Key_Y, IDYES},
        {"Escape cancels", Qt::Key_Escape, IDCANCEL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SaveModifiedDlg dlg("/tmp/a.ovd");
        ModalSeam::Push([&](QDialog& d) {
            EXPECT_EQ(Button(d, "yes")->text(), "&Yes");
            EXPECT_EQ(Button(d, "no")->text(), "&No");
            Key(c.key)(d);
        });
        EXPECT_EQ(dlg.DoModal(), c.result);
    }
    // A letter that is no button's mnemonic does nothing.
    SaveModifiedDlg dlg("a.ovd");
    ModalSeam::Push([](QDialog& d) {
        Key(Qt::Key_Q)(d);
        EXPECT_TRUE(d.isVisible());
        d.done(IDCANCEL);
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
}

TEST_F(DialogTest, MessageBoxesAnswerTheirMnemonicLetter) {
    struct Case {
        const char* name;
        MessageButtons buttons;
        Qt::Key key;
        int result;
    };
    const Case cases[] = {
        {"N answers No", MessageButtons::YesNo, Qt::Key_N, IDNO},
        {"Escape cancels", MessageButtons::YesNoCancel, Qt::Key_Escape, IDCANCEL},
        {"R retries", MessageButtons::RetryCancel, Qt::Key_R, IDRETRY},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ModalSeam::Push(Key(c.key));
        EXPECT_EQ(int(ShowMessageBox(nullptr, "Delete it?", "Ombrivault Storage", c.buttons)),
                  c.result);
    }
}

TEST_F(DialogTest, DialogsGetTheDialogDecorationAWholeTitleAndAFocusedDefault) {
    struct Case {
        const char* name;
        std::function<int()> run;
    };
    const Case cases[] = {
        {"failed decrypt", [] { return CFailedDecrypt("a.ovd").DoModal(); }},
        {"file exists", [] { return CFileExistsDlg().DoModal(); }},
        {"save changes", [] { return SaveModifiedDlg("a.ovd").DoModal(); }},
        {"error", [] { return CErrorDlg("Broken.").DoModal(); }},
        {"message box",
         [] {
             return int(ShowMessageBox(nullptr, "x",
                                       "A rather long caption of "
                                       "a message box here"));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ModalSeam::Push([](QDialog& d) {
            const Qt::WindowFlags flags = d.windowFlags();
            EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Dialog);
            EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
            EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
            EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
            EXPECT_GE(d.width(), TitleWidth(d));
            EXPECT_EQ(d.minimumSize(), d.maximumSize()) << "a message keeps its size";
            bool hasDefault = false;
            for (QPushButton* b : d.findChildren<QPushButton*>()) {
                if (b->isDefault()) {
                    hasDefault = true;
                    EXPECT_EQ(d.focusWidget(), b);
                }
            }
            EXPECT_TRUE(hasDefault);
            d.done(IDCANCEL);
        });
        c.run();
        EXPECT_TRUE(ModalSeam::Unanswered().isEmpty());
    }
}
