// "Screen Lock Settings": what it shows from the record, its enabling rules, what OK stores
// (and when it refuses), Cancel, the preview and the lock.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include "AppFixture.h"

#include "app/ScreenLockDlg.h"
#include "controls/JMatrixCtrl.h"
#include "framework/CommandIds.h"
#include "framework/LockHost.h"
#include "framework/ResultCodes.h"

namespace {

template <typename T> T* Child(QDialog& d, const char* name) {
    T* child = d.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

class ScreenLockDlgTest : public AppTest {
protected:
    // Runs the settings command with `script` driving the dialog.
    void RunSettings(ModalSeam::Script script) {
        ModalSeam::Push(std::move(script));
        Frame().ExecuteCommand(ID_SCREEN_LOCK_OPTIONS);
    }
};

TEST_F(ScreenLockDlgTest, ShowsTheRecord) {
    StoreLockSettings([](ScreenLockSettings& s) {
        s.lockWhenIdle = 1;
        s.timeoutIndex = 4;
        s.promptText = "Gone for lunch";
        ASSERT_TRUE(s.SetScreenPassword("hunter2"));
    });
    ASSERT_TRUE(Start({}));
    RunSettings([](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), "Screen Lock Settings");
        auto* timeout = Child<QComboBox>(d, "timeout");
        QStringList entries;
        for (int i = 0; i < timeout->count(); ++i) {
            entries << timeout->itemText(i);
        }
        EXPECT_EQ(entries, (QStringList{"1 minute", "2 minutes", "3 minutes", "5 minutes",
                                        "10 minutes", "15 minutes", "30 minutes", "60 minutes"}));
        EXPECT_EQ(timeout->currentText(), "10 minutes");
        EXPECT_EQ(Child<QCheckBox>(d, "lockWhenIdle")->text(),
                  "Lock the screen if idle for more than ");
        EXPECT_TRUE(Child<QCheckBox>(d, "lockWhenIdle")->isChecked());
        EXPECT_EQ(Child<QCheckBox>(d, "lockAtStartup")->text(),
                  "Lock the screen at program startup...");
        EXPECT_FALSE(Child<QCheckBox>(d, "lockAtStartup")->isChecked());
        EXPECT_EQ(Child<QCheckBox>(d, "passwordEnabled")->text(), "Enable Screen Password");
        EXPECT_FALSE(Child<QCheckBox>(d, "passwordEnabled")->isChecked());
        EXPECT_EQ(Child<QLineEdit>(d, "prompt")->text(), "Gone for lunch");
        // The stored password is only a hash: both edits show the same stand-in.
        for (const char* name : {"password", "confirm"}) {
            auto* edit = Child<QLineEdit>(d, name);
            EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
            EXPECT_EQ(edit->text(), CScreenLockDlg::StoredPasswordPlaceholder());
            EXPECT_FALSE(edit->text().contains("hunter2"));
        }
        QStringList labels;
        for (QLabel* label : d.findChildren<QLabel*>()) {
            labels << label->text();
        }
        EXPECT_TRUE(labels.contains("Password:"));
        EXPECT_TRUE(labels.contains("Confirm Password:"));
        EXPECT_TRUE(labels.contains("Prompt Text: "));
        answer::Click("cancel")(d);
    });
}

TEST_F(ScreenLockDlgTest, EnablingRules) {
    struct Case {
        bool idle, startup, desktop, enable;
        bool timeout, prompt, enableBox, passwords;
    };
    const Case cases[] = {
        {false, false, false, false, false, false, false, false},
        {false, false, false, true, false, false, false, false},
        {true, false, false, false, true, true, true, false},
        {false, true, false, false, false, true, true, false},
        {false, true, false, true, false, true, true, true},
        {true, true, false, true, true, true, true, true},
        {true, false, false, true, true, true, true, true},
        // Locking with the desktop is a lock like the others: prompt and password apply.
        {false, false, true, false, false, true, true, false},
        {false, false, true, true, false, true, true, true},
    };
    ASSERT_TRUE(Start({}));
    RunSettings([&](QDialog& d) {
        auto* idle = Child<QCheckBox>(d, "lockWhenIdle");
        auto* startup = Child<QCheckBox>(d, "lockAtStartup");
        auto* desktop = Child<QCheckBox>(d, "lockWithDesktop");
        auto* enable = Child<QCheckBox>(d, "passwordEnabled");
        EXPECT_EQ(desktop->text(), "Lock the screen when the desktop locks or the computer sleeps");
        EXPECT_TRUE(desktop->isChecked()) << "on without a record";
        for (const Case& c : cases) {
            // Clicked as a user clicks them; "Enable" first, while it may still be enabled.
            for (auto [box, want] :
                 {std::pair{idle, true}, std::pair{enable, c.enable}, std::pair{idle, c.idle},
                  std::pair{startup, c.startup}, std::pair{desktop, c.desktop}}) {
                if (box->isChecked() != want) {
                    box->click();
                }
            }
            const std::string at = std::to_string(c.idle) + std::to_string(c.startup) +
                                   std::to_string(c.desktop) + std::to_string(c.enable);
            EXPECT_EQ(Child<QComboBox>(d, "timeout")->isEnabled(), c.timeout) << at;
            EXPECT_EQ(Child<QLineEdit>(d, "prompt")->isEnabled(), c.prompt) << at;
            EXPECT_EQ(enable->isEnabled(), c.enableBox) << at;
            EXPECT_EQ(Child<QLineEdit>(d, "password")->isEnabled(), c.passwords) << at;
            EXPECT_EQ(Child<QLineEdit>(d, "confirm")->isEnabled(), c.passwords) << at;
        }
        answer::Click("cancel")(d);
    });
}

TEST_F(ScreenLockDlgTest, OkStoresTheRecordAndSetsTheIdleTimeout) {
    ASSERT_TRUE(Start({}));
    ASSERT_EQ(Frame().Lock().IdleTimeoutSeconds(), 10u);
    RunSettings([](QDialog& d) {
        Child<QCheckBox>(d, "lockWhenIdle")->click();
        Child<QCheckBox>(d, "lockWithDesktop")->click();
        Child<QCheckBox>(d, "passwordEnabled")->click();
        Child<QComboBox>(d, "timeout")->setCurrentIndex(2);
        answer::Type("password", "new secret")(d);
        answer::Type("confirm", "new secret")(d);
        answer::Type("prompt", "Ask me first")(d);
        answer::Click("ok")(d);
    });
    const ScreenLockSettings stored = StoredLockSettings();
    EXPECT_EQ(stored.lockWhenIdle, 1);
    EXPECT_EQ(stored.lockAtStartup, 0);
    EXPECT_EQ(stored.lockWithDesktop, 0);
    EXPECT_EQ(stored.passwordEnabled, 1);
    EXPECT_EQ(stored.timeoutIndex, 2);
    EXPECT_EQ(stored.promptText, "Ask me first");
    EXPECT_TRUE(stored.MatchesScreenPassword("new secret"));
    EXPECT_EQ(Frame().Lock().IdleTimeoutSeconds(), 180u);
    EXPECT_EQ(Frame().Lock().PromptText(), "") << "the prompt is taken at the next lock";
    Frame().ExecuteCommand(ID_LOCK_SCREEN);
    EXPECT_EQ(Frame().Lock().Overlay()->Animation().Lines().front(), "Ask me first");
    Frame().Lock().RemoveLockOverlay();
}

TEST_F(ScreenLockDlgTest, PasswordsThatDifferAreRefused) {
    ASSERT_TRUE(Start({}));
    RunSettings([](QDialog& d) {
        Child<QCheckBox>(d, "lockAtStartup")->click();
        Child<QCheckBox>(d, "passwordEnabled")->click();
        answer::Type("password", "one")(d);
        answer::Type("confirm", "two")(d);
        ModalSeam::Push([](QDialog& box) {
            EXPECT_EQ(box.windowTitle(), "Ombrivault Storage");
            answer::Click("OK")(box);
        });
        answer::Click("ok")(d);
        EXPECT_TRUE(d.isVisible()) << "stays open with its contents";
        EXPECT_EQ(Child<QLineEdit>(d, "confirm")->text(), "two");
        answer::Click("cancel")(d);
    });
    EXPECT_EQ(ModalSeam::Shown(),
              (QStringList{"Screen Lock Settings", "Ombrivault Storage: Passwords don't match"}));
    ScreenLockSettings none;
    EXPECT_FALSE(LockStore().Load(none)) << "nothing stored";
}

TEST_F(ScreenLockDlgTest, TheStoredPasswordStaysUnlessBothEditsChange) {
    struct Case {
        const char* name;
        const char* password; // null: leave the edit alone
        const char* confirm;
        const char* matches; // the password the record holds afterwards
        bool hasPassword;
    };
    const Case cases[] = {
        {"untouched", nullptr, nullptr, "hunter2", true},
        {"both changed", "swordfish", "swordfish", "swordfish", true},
        {"both cleared", "", "", "", false},
    };
    for (const Case& c : cases) {
        StoreLockSettings([](ScreenLockSettings& s) {
            s.lockWhenIdle = 1;
            s.passwordEnabled = 1;
            ASSERT_TRUE(s.SetScreenPassword("hunter2"));
        });
        const std::string hashBefore = StoredLockSettings().PasswordHash();
        ASSERT_TRUE(Start({}));
        // The settings command asks for the password first.
        ModalSeam::Push(answer::Type("password", "hunter2", answer::Click("ok")));
        RunSettings([&](QDialog& d) {
            if (c.password != nullptr) {
                answer::Type("password", c.password)(d);
                answer::Type("confirm", c.confirm)(d);
            }
            answer::Click("ok")(d);
        });
        const ScreenLockSettings stored = StoredLockSettings();
        EXPECT_EQ(stored.HasScreenPassword(), c.hasPassword) << c.name;
        EXPECT_TRUE(stored.MatchesScreenPassword(c.matches)) << c.name;
        if (c.password == nullptr) {
            EXPECT_EQ(stored.PasswordHash(), hashBefore) << c.name;
        }
        app.reset();
    }
}

TEST_F(ScreenLockDlgTest, CancelAndEscapeStoreNothing) {
    for (const char* how : {"cancel", "escape"}) {
        StoreLockSettings([](ScreenLockSettings& s) { s.timeoutIndex = 1; });
        ASSERT_TRUE(Start({}));
        RunSettings([how](QDialog& d) {
            Child<QCheckBox>(d, "lockWhenIdle")->click();
            Child<QComboBox>(d, "timeout")->setCurrentIndex(7);
            if (std::string(how) == "cancel") {
                answer::Click("cancel")(d);
            } else {
                QTest::keyClick(&d, Qt::Key_Escape);
            }
            EXPECT_EQ(d.result(), IDCANCEL) << how;
        });
        const ScreenLockSettings stored = StoredLockSettings();
        EXPECT_EQ(stored.lockWhenIdle, 0) << how;
        EXPECT_EQ(stored.timeoutIndex, 1) << how;
        EXPECT_EQ(Frame().Lock().IdleTimeoutSeconds(), 120u) << how;
        app.reset();
    }
}

TEST_F(ScreenLockDlgTest, ARecordThatCannotBeWrittenKeepsTheDialogOpen) {
    ASSERT_TRUE(Start({}));
    // A folder where the record should be: no write can replace it.
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(LockStore().Path())));
    RunSettings([](QDialog& d) {
        Child<QCheckBox>(d, "lockWhenIdle")->click();
        Child<QComboBox>(d, "timeout")->setCurrentIndex(3);
        ModalSeam::Push([](QDialog& box) {
            EXPECT_TRUE(box.findChildren<QLabel*>().size() > 0);
            box.done(IDOK);
        });
        answer::Click("ok")(d);
        EXPECT_TRUE(d.isVisible());
        answer::Click("cancel")(d);
    });
    QDir(QString::fromStdString(LockStore().Path())).removeRecursively();
    ASSERT_EQ(ModalSeam::Shown().size(), 2);
    EXPECT_TRUE(ModalSeam::Shown()[1].contains("could not be saved"))
        << ModalSeam::Shown()[1].toStdString();
    EXPECT_EQ(Frame().Lock().IdleTimeoutSeconds(), 10u);
    EXPECT_EQ(app->LockSettings().lockWhenIdle, 0);
}

TEST_F(ScreenLockDlgTest, ThePreviewRunsWithoutLinesAndGoesWithTheDialog) {
    ASSERT_TRUE(Start({}));
    QPointer<JMatrixCtrl> preview;
    RunSettings([&](QDialog& d) {
        auto& dialog = static_cast<CScreenLockDlg&>(d);
        preview = dialog.Preview();
        ASSERT_NE(preview, nullptr);
        EXPECT_TRUE(preview->Animation().Lines().isEmpty());
        EXPECT_TRUE(preview->isVisible());
        QWidget* area = Child<QWidget>(d, "previewArea");
        EXPECT_EQ(preview->parentWidget(), area);
        EXPECT_EQ(preview->geometry(), area->rect());
        answer::Click("cancel")(d);
        EXPECT_EQ(preview, nullptr) << "destroyed as the dialog closes";
    });
}

TEST_F(ScreenLockDlgTest, TheLockEndsItAsCancelAndBringsItBack) {
    StoreLockSettings([](ScreenLockSettings& s) { s.lockWhenIdle = 1; });
    ASSERT_TRUE(Start({}));
    RunSettings([&](QDialog& d) {
        auto& dialog = static_cast<CScreenLockDlg&>(d);
        EXPECT_TRUE(dialog.LockTimerRunning());
        Child<QCheckBox>(d, "lockAtStartup")->click();
        clock.Advance(62000);
        Frame().OnTimer();
        Frame().OnTimer();
        ASSERT_TRUE(Frame().Lock().IsScreenLocked());
        EXPECT_TRUE(dialog.LockTick());
        EXPECT_EQ(d.result(), IDCANCEL);
        EXPECT_EQ(dialog.Preview(), nullptr);
    });
    EXPECT_TRUE(Frame().Lock().ReopenFlagSet(ReopenFlag::ScreenLockOptions));
    EXPECT_EQ(StoredLockSettings().lockAtStartup, 0);

    ModalSeam::Push(answer::Click("cancel"));
    QTest::mouseClick(Frame().Lock().Overlay(), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_FALSE(Frame().Lock().IsScreenLocked());
    EXPECT_EQ(ModalSeam::Shown(), (QStringList{"Screen Lock Settings", "Screen Lock Settings"}));
}

} // namespace
