// The main frame's screen lock: idle measurement and the pending tick, the overlay, input
// while locked, the screen password, the dialogs that come back after an unlock, closing
// while locked and the start-up lock.
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include "AppFixture.h"
#include "support/CaseNames.h"

#include "app/AboutDlg.h"
#include "app/FrameStatusBar.h"
#include "controls/TextToolBar.h"
#include "framework/ChildFrame.h"
#include "framework/CommandIds.h"
#include "framework/DocTemplate.h"
#include "framework/Document.h"
#include "framework/LockAwareDialog.h"
#include "framework/LockHost.h"
#include "framework/ResultCodes.h"
#include "framework/TimedFileDialog.h"
#include "passwords/PasswordsFile.h"

namespace {

const QString kWrongPasswordPrompt =
    QStringLiteral("Ombrivault Storage: You have entered an incorrect screen password. Retry? ");

// Types `password` into the screen-password prompt and presses OK.
ModalSeam::Script EnterScreenPassword(const QString& password) {
    return answer::Type(QStringLiteral("password"), password, answer::Click(QStringLiteral("ok")));
}

class ScreenLockTest : public AppTest {
protected:
    // Starts the program with a record that locks after one idle minute.
    void StartWithIdleLock(const std::function<void(ScreenLockSettings&)>& more = {}) {
        StoreLockSettings([&](ScreenLockSettings& s) {
            s.lockWhenIdle = 1;
            s.timeoutIndex = 0;
            s.promptText = "Back soon";
            if (more) {
                more(s);
            }
        });
        ASSERT_TRUE(Start({}));
        ASSERT_EQ(Frame().Lock().IdleTimeoutSeconds(), 60u);
    }
    // Idles past the one-minute timeout and lets the frame's ticks lock the screen.
    void IdleUntilLocked() {
        clock.Advance(62000);
        Frame().OnTimer();
        Frame().OnTimer();
        ASSERT_TRUE(Frame().Lock().IsScreenLocked());
    }
    // A click on the overlay, and the unlock it starts.
    void ClickOverlay(Qt::MouseButton button = Qt::LeftButton) {
        ASSERT_NE(Frame().Lock().Overlay(), nullptr);
        QTest::mouseClick(Frame().Lock().Overlay(), button);
        QCoreApplication::processEvents();
    }
    // An edit in the view of a newly opened document, holding the keyboard focus.
    QLineEdit* EditInADocument() {
        app->StorageTemplate()->OpenDocumentFile(QString());
        QCoreApplication::processEvents();
        CMDIChildWnd* child = Frame().ActiveChildFrame();
        EXPECT_NE(child, nullptr);
        auto* edit = new QLineEdit(child->GetActiveView());
        edit->show();
        edit->setFocus();
        return edit;
    }
};

TEST_F(ScreenLockTest, IdleLockComesOneTickAfterTheFirstTickPastTheTimeout) {
    StartWithIdleLock();
    Frame().Lock().ResetIdleTimer();
    struct Step {
        uint32_t advanceMs;
        bool pending;
        bool locked;
    };
    // 60 s idle is not more than the 60 s timeout; 61 s is, and the lock follows one tick
    // after the pending flag went up.
    const Step steps[] = {
        {60000, false, false}, {999, false, false}, {1, true, false}, {100, false, true}};
    int tick = 0;
    for (const Step& step : steps) {
        clock.Advance(step.advanceMs);
        // A tick that refreshes the size pane empties it: no document is open.
        Frame().SetStatusPaneText(1, QString::number(tick));
        Frame().OnTimer();
        EXPECT_EQ(Frame().Lock().Pending(), step.pending) << "tick " << tick;
        EXPECT_EQ(Frame().Lock().IsScreenLocked(), step.locked) << "tick " << tick;
        // The locking tick ends before the size pane is refreshed.
        EXPECT_EQ(Frame().StatusPaneText(1), step.locked ? QString::number(tick) : QString())
            << "tick " << tick;
        ++tick;
    }
    ASSERT_NE(Frame().Lock().Overlay(), nullptr);
    EXPECT_EQ(Frame().Lock().Overlay()->geometry(), Frame().rect());
    EXPECT_TRUE(Frame().Lock().Overlay()->isVisible());
}

TEST_F(ScreenLockTest, NoIdleLockWhileMinimisedOrSwitchedOff) {
    StartWithIdleLock();
    Frame().showMinimized();
    clock.Advance(120000);
    Frame().OnTimer();
    Frame().OnTimer();
    EXPECT_FALSE(Frame().Lock().Pending());
    EXPECT_FALSE(Frame().Lock().IsScreenLocked());

    // Restored and still idle, the lock follows at the next ticks.
    Frame().showNormal();
    Frame().OnTimer();
    EXPECT_TRUE(Frame().Lock().Pending());
    Frame().OnTimer();
    EXPECT_TRUE(Frame().Lock().IsScreenLocked());

    // Without the lock-when-idle flag the idle check never fires.
    Frame().Lock().RemoveLockOverlay();
    StoreLockSettings([](ScreenLockSettings& s) { s.timeoutIndex = 0; });
    app->LoadScreenLockSettings();
    clock.Advance(600000);
    Frame().OnTimer();
    EXPECT_FALSE(Frame().Lock().Pending());
}

TEST_F(ScreenLockTest, AnOpenMenuCountsAsActivityButTheToolbarDoesNot) {
    StartWithIdleLock();
    Frame().Lock().ResetIdleTimer();
    clock.Advance(30000);
    QTest::mouseMove(Frame().ToolBar()->Button(ID_FILE_OPEN));
    QTest::mouseMove(Frame().statusBar());
    QTest::keyClick(Frame().ToolBar(), Qt::Key_A);
    Frame().OnTimer();
    EXPECT_EQ(Frame().Lock().IdleSeconds(), 30u) << "input no handler reports is no activity";

    QMenu* file = Frame().Menus(MenuResource::NoDocument).front();
    file->popup(Frame().mapToGlobal(QPoint(10, 10)));
    QCoreApplication::processEvents();
    ASSERT_EQ(QApplication::activePopupWidget(), file);
    clock.Advance(90000);
    Frame().OnTimer();
    EXPECT_EQ(Frame().Lock().IdleSeconds(), 0u);
    EXPECT_FALSE(Frame().Lock().Pending());
    file->close();
}

TEST_F(ScreenLockTest, FileDialogSelectionCountsAsActivity) {
    StartWithIdleLock();
    const QString path = File("picked.ovd");
    ModalSeam::Push([&](QDialog& d) {
        clock.Advance(30000);
        // What the dialog reports as the user moves into a folder and onto a file.
        auto& dialog = static_cast<QFileDialog&>(d);
        emit dialog.directoryEntered(dir.path());
        EXPECT_EQ(Frame().Lock().IdleSeconds(), 0u);
        clock.Advance(30000);
        emit dialog.currentChanged(path);
        EXPECT_EQ(Frame().Lock().IdleSeconds(), 0u);
        d.done(QDialog::Rejected);
    });
    Frame().ExecuteCommand(ID_FILE_OPEN);
}

TEST_F(ScreenLockTest, LockCommandsCoverTheWindowWithTheirPrompt) {
    struct Case {
        int command;
        const char* prompt;
    };
    const Case cases[] = {{ID_LOCK_SCREEN, "Back soon"},
                          {ID_WINDOW_NEW, "Press any key to unlock the screen..."}};
    StartWithIdleLock();
    QSignalSpy locked(&LockEvents::Instance(), &LockEvents::Locked);
    QSignalSpy unlocked(&LockEvents::Instance(), &LockEvents::Unlocked);
    for (const Case& c : cases) {
        Frame().ExecuteCommand(c.command);
        ASSERT_TRUE(Frame().Lock().IsScreenLocked()) << c.command;
        JMatrixCtrl* overlay = Frame().Lock().Overlay();
        ASSERT_NE(overlay, nullptr);
        const QString hold = QString(QChar(1));
        EXPECT_EQ(overlay->Animation().Lines(),
                  (QStringList{c.prompt, hold + " 2", QString(), hold + " 10"}));
        EXPECT_TRUE(overlay->Animation().TypingMode());
        EXPECT_EQ(overlay->Animation().CursorCharacter(), MatrixAnimation::kBlockCursor);
        EXPECT_EQ(overlay->parentWidget(), &Frame());
        EXPECT_EQ(overlay->geometry(), Frame().rect());
        EXPECT_EQ(Frame().Lock().LockTimeSize(), Frame().frameGeometry().size());

        // A second lock neither stacks a second overlay nor changes the first.
        Frame().Lock().LockScreenDefaultPrompt();
        EXPECT_EQ(Frame().Lock().Overlay(), overlay);
        EXPECT_EQ(Frame().findChildren<JMatrixCtrl*>().size(), 1);

        ClickOverlay();
        EXPECT_FALSE(Frame().Lock().IsScreenLocked());
        EXPECT_EQ(Frame().Lock().Overlay(), nullptr);
        EXPECT_TRUE(Frame().findChildren<JMatrixCtrl*>().isEmpty());
    }
    EXPECT_EQ(locked.count(), 2);
    EXPECT_EQ(unlocked.count(), 2);
}

TEST_F(ScreenLockTest, TheLockedWindowKeepsItsSize) {
    StartWithIdleLock();
    QCoreApplication::processEvents(); // the start-up placement first
    Frame().resize(700, 500);
    Frame().setMinimumSize(200, 150);
    Frame().ExecuteCommand(ID_LOCK_SCREEN);
    EXPECT_EQ(Frame().minimumSize(), QSize(700, 500));
    EXPECT_EQ(Frame().maximumSize(), QSize(700, 500));
    Frame().resize(900, 650);
    EXPECT_EQ(Frame().size(), QSize(700, 500));
    ClickOverlay();
    EXPECT_EQ(Frame().minimumSize(), QSize(200, 150));
    Frame().resize(900, 650);
    EXPECT_EQ(Frame().size(), QSize(900, 650));
}

TEST_F(ScreenLockTest, ALockAtStartUpKeepsThePlacedSize) {
    StoreLockSettings([](ScreenLockSettings& s) { s.lockAtStartup = 1; });
    ASSERT_TRUE(Start({}));
    ASSERT_TRUE(Frame().Lock().IsScreenLocked());
    QCoreApplication::processEvents(); // the placement, once the window frame is known
    const WindowPlacement placed = AppSettings::LoadWindowPlacement(Frame().screen()->size());
    EXPECT_EQ(Frame().frameGeometry().size(), QSize(placed.cx, placed.cy));
    EXPECT_EQ(Frame().minimumSize(), Frame().size());
    EXPECT_EQ(Frame().maximumSize(), Frame().size());
    EXPECT_EQ(Frame().Lock().Overlay()->geometry(), Frame().rect());
}

TEST_F(ScreenLockTest, KeysTypedWhileLockedNeverArrive) {
    StartWithIdleLock();
    QLineEdit* edit = EditInADocument();
    QTest::keyClicks(edit, "ab");
    ASSERT_EQ(edit->text(), "ab");

    Frame().ExecuteCommand(ID_LOCK_SCREEN);
    QTest::keyClicks(edit, "secret");
    QTest::keyClick(edit, Qt::Key_Backspace);
    // Accelerators are keys too: Ctrl+N would bring up the chooser, Alt+F the File menu.
    QTest::keyClick(edit, Qt::Key_N, Qt::ControlModifier);
    QTest::keyClick(Frame().menuBar(), Qt::Key_F, Qt::AltModifier);
    QCoreApplication::processEvents();
    EXPECT_EQ(edit->text(), "ab");
    EXPECT_TRUE(ModalSeam::Shown().isEmpty());
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);

    ClickOverlay();
    ASSERT_FALSE(Frame().Lock().IsScreenLocked());
    QCoreApplication::processEvents();
    EXPECT_EQ(edit->text(), "ab") << "nothing typed while locked comes late";
    QTest::keyClicks(edit, "c");
    EXPECT_EQ(edit->text(), "abc");
}

TEST_F(ScreenLockTest, CommandsAreSwallowedWhileLockedButTheBusyProtocolPasses) {
    StartWithIdleLock();
    Frame().ExecuteCommand(ID_LOCK_SCREEN);
    for (int id : {ID_WEB_BROWSER, ID_FILE_NEW, ID_APP_ABOUT, ID_LOCK_SCREEN, ID_WIZARD}) {
        Frame().ExecuteCommand(id);
    }
    EXPECT_TRUE(app->DocManager().GetDocuments().empty());
    EXPECT_TRUE(ModalSeam::Shown().isEmpty());

    Frame().Busy().BusyCount = 1;
    Frame().SendCommand(ID_BEGIN_BUSY);
    EXPECT_NE(Frame().FrameStatusBar()->Progress(), nullptr);
    Frame().SendCommand(ID_END_BUSY);
    Frame().Busy().BusyCount = 0;
    EXPECT_EQ(Frame().FrameStatusBar()->Progress(), nullptr);
    EXPECT_TRUE(Frame().Lock().IsScreenLocked());
}

TEST_F(ScreenLockTest, WhichClicksStartTheUnlock) {
    struct Case {
        const char* name;
        Qt::MouseButton button;
        bool doubleClick;
        bool unlocks;
    };
    const Case cases[] = {
        {"left", Qt::LeftButton, false, true},
        {"right", Qt::RightButton, false, true},
        {"left double-click", Qt::LeftButton, true, true},
        {"middle", Qt::MiddleButton, false, false},
    };
    StartWithIdleLock();
    for (const Case& c : cases) {
        Frame().ExecuteCommand(ID_LOCK_SCREEN);
        if (c.doubleClick) {
            QTest::mouseDClick(Frame().Lock().Overlay(), c.button);
            QCoreApplication::processEvents();
        } else {
            ClickOverlay(c.button);
        }
        EXPECT_EQ(Frame().Lock().IsScreenLocked(), !c.unlocks) << c.name;
        Frame().Lock().RemoveLockOverlay();
    }
    // A click on the status bar under the overlay unlocks as well: anywhere in the window.
    Frame().ExecuteCommand(ID_LOCK_SCREEN);
    QTest::mouseClick(Frame().statusBar(), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_FALSE(Frame().Lock().IsScreenLocked());
    EXPECT_TRUE(ModalSeam::Shown().isEmpty()) << "no password asked";
}

TEST_F(ScreenLockTest, AnEmptyStoredPasswordUnlocksWithoutAPrompt) {
    StartWithIdleLock([](ScreenLockSettings& s) { s.passwordEnabled = 1; });
    Frame().ExecuteCommand(ID_LOCK_SCREEN);
    ClickOverlay();
    EXPECT_FALSE(Frame().Lock().IsScreenLocked());
    EXPECT_TRUE(ModalSeam::Shown().isEmpty());
}

TEST_F(ScreenLockTest, ThreeWrongPasswordsWithRetryThenTheRightOneUnlock) {
    StartWithIdleLock([](ScreenLockSettings& s) {
        s.passwordEnabled = 1;
        ASSERT_TRUE(s.SetScreenPassword("opensesame"));
    });
    IdleUntilLocked();
    for (const char* wrong : {"open", "sesame", "OPENSESAME"}) {
        ModalSeam::Push([wrong](QDialog& d) {
            auto& prompt = static_cast<CLockAwareDialog&>(d);
            EXPECT_EQ(d.findChild<QLabel*>("label")->text(), "Screen Password:");
            EXPECT_FALSE(prompt.ClosesOnLock()) << "the unlock prompt stays up on the lock";
            EnterScreenPassword(wrong)(d);
        });
        ModalSeam::Push(answer::Click(QStringLiteral("Retry")));
    }
    ModalSeam::Push(EnterScreenPassword("opensesame"));
    ClickOverlay();
    EXPECT_FALSE(Frame().Lock().IsScreenLocked());
    EXPECT_EQ(
        ModalSeam::Shown(),
        (QStringList{"Enter Password", kWrongPasswordPrompt, "Enter Password", kWrongPasswordPrompt,
                     "Enter Password", kWrongPasswordPrompt, "Enter Password"}));
    EXPECT_EQ(Frame().Lock().IdleSeconds(), 0u) << "the unlock restarts the idle clock";
}

TEST_F(ScreenLockTest, CancelAnywhereKeepsTheLock) {
    StartWithIdleLock([](ScreenLockSettings& s) {
        s.passwordEnabled = 1;
        ASSERT_TRUE(s.SetScreenPassword("opensesame"));
    });
    Frame().ExecuteCommand(ID_LOCK_SCREEN);
    ModalSeam::Push(answer::Click(QStringLiteral("cancel")));
    ClickOverlay();
    EXPECT_TRUE(Frame().Lock().IsScreenLocked());

    ModalSeam::Push(EnterScreenPassword("wrong"));
    ModalSeam::Push(answer::Click(QStringLiteral("Cancel")));
    ClickOverlay();
    EXPECT_TRUE(Frame().Lock().IsScreenLocked());
    EXPECT_NE(Frame().Lock().Overlay(), nullptr);
    EXPECT_EQ(ModalSeam::Shown().size(), 3);
}

TEST_F(ScreenLockTest, AboutBoxClosedByTheIdleLockComesBack) {
    StartWithIdleLock();
    ModalSeam::Push([&](QDialog& d) {
        auto& about = static_cast<CAboutDlg&>(d);
        EXPECT_TRUE(about.LockTimerRunning());
        clock.Advance(62000);
        Frame().OnTimer();
        Frame().OnTimer();
        ASSERT_TRUE(Frame().Lock().IsScreenLocked());
        EXPECT_TRUE(about.LockTick());
    });
    Frame().ExecuteCommand(ID_APP_ABOUT);
    EXPECT_TRUE(Frame().Lock().ReopenFlagSet(ReopenFlag::About));

    ModalSeam::Push(answer::Click(QStringLiteral("ok")));
    ClickOverlay();
    EXPECT_EQ(ModalSeam::Shown(),
              (QStringList{"About Ombrivault Storage", "About Ombrivault Storage"}));
    EXPECT_FALSE(Frame().Lock().ReopenFlagSet(ReopenFlag::About));
}

TEST_F(ScreenLockTest, OpenDialogClosedByTheLockComesBackEmpty) {
    StartWithIdleLock();
    const QString path = dir.filePath("first.ovd");
    ASSERT_EQ(SavePasswordsFile(path.toStdString(), "pw", AccountLists()),
              PasswordsSaveStatus::Saved);
    ModalSeam::Push([&](QDialog& d) {
        auto& dialog = static_cast<CTimedFileDialog&>(d);
        dialog.selectFile(path);
        IdleUntilLocked();
        EXPECT_TRUE(dialog.LockTick());
    });
    Frame().ExecuteCommand(ID_FILE_OPEN);
    EXPECT_TRUE(app->DocManager().GetDocuments().empty());
    EXPECT_TRUE(Frame().Lock().ReopenFlagSet(ReopenFlag::OpenDialog));
    EXPECT_EQ(Frame().Lock().ReopenCommand(ReopenFlag::OpenDialog), 0);

    ModalSeam::Push([&](QDialog& d) {
        EXPECT_FALSE(static_cast<QFileDialog&>(d).selectedFiles().contains(path))
            << "a new dialog, not the old one";
        answer::Files({path})(d);
    });
    ModalSeam::Push(answer::Type("password", "pw", answer::Click("ok")));
    ClickOverlay();
    EXPECT_EQ(app->DocManager().GetDocuments().size(), 1u);
}

TEST_F(ScreenLockTest, DeferredCommandsComeBackInTheirOrder) {
    StartWithIdleLock();
    for (ReopenFlag flag :
         {ReopenFlag::About, ReopenFlag::OpenDialog, ReopenFlag::New, ReopenFlag::ScreenLockOptions,
          ReopenFlag::WizardAfterUnlock, ReopenFlag::Wizard}) {
        Frame().Lock().SetReopenFlag(flag);
    }
    // The save dialog's own command; the web browser shows up as a new document.
    Frame().Lock().SetReopenFlag(ReopenFlag::SaveDialog, ID_WEB_BROWSER);
    Frame().ExecuteCommand(ID_LOCK_SCREEN);
    QStringList seen;
    for (int i = 0; i < 5; ++i) {
        ModalSeam::Push([&](QDialog& d) {
            seen << QStringLiteral("%1 (%2 documents)")
                        .arg(d.windowTitle())
                        .arg(app->DocManager().GetDocuments().size());
            d.done(0);
        });
    }
    ClickOverlay();
    // Wizard, New, settings, the save dialog's command, Open, About: one after the other.
    EXPECT_EQ(seen, (QStringList{"Welcome (0 documents)", "Create New Document... (0 documents)",
                                 "Screen Lock Settings (0 documents)", "Open (1 documents)",
                                 "About Ombrivault Storage (1 documents)"}));
    for (ReopenFlag flag :
         {ReopenFlag::About, ReopenFlag::OpenDialog, ReopenFlag::New, ReopenFlag::ScreenLockOptions,
          ReopenFlag::WizardAfterUnlock, ReopenFlag::Wizard, ReopenFlag::SaveDialog}) {
        EXPECT_FALSE(Frame().Lock().ReopenFlagSet(flag)) << static_cast<int>(flag);
    }
}

TEST_F(ScreenLockTest, ALockDuringAReopenedDialogKeepsTheRestForTheNextUnlock) {
    StartWithIdleLock();
    Frame().Lock().SetReopenFlag(ReopenFlag::New);
    Frame().Lock().SetReopenFlag(ReopenFlag::About);
    Frame().ExecuteCommand(ID_LOCK_SCREEN);
    ModalSeam::Push([&](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), "Create New Document...");
        IdleUntilLocked();
        EXPECT_TRUE(static_cast<CLockAwareDialog&>(d).LockTick());
    });
    ClickOverlay();
    EXPECT_TRUE(Frame().Lock().IsScreenLocked());
    EXPECT_EQ(ModalSeam::Shown(), QStringList{"Create New Document..."});
    EXPECT_TRUE(Frame().Lock().ReopenFlagSet(ReopenFlag::New));
    EXPECT_TRUE(Frame().Lock().ReopenFlagSet(ReopenFlag::About));

    ModalSeam::Push(answer::Result(0));
    ModalSeam::Push(answer::Click(QStringLiteral("ok")));
    ClickOverlay();
    EXPECT_EQ(ModalSeam::Shown().size(), 3);
    EXPECT_EQ(ModalSeam::Shown().back(), "About Ombrivault Storage");
}

TEST_F(ScreenLockTest, ClosingTheProgramWhileLockedAsksForTheScreenPasswordFirst) {
    StartWithIdleLock([](ScreenLockSettings& s) {
        s.passwordEnabled = 1;
        ASSERT_TRUE(s.SetScreenPassword("opensesame"));
    });
    app->StorageTemplate()->OpenDocumentFile(QString());
    Frame().Lock().SetReopenFlag(ReopenFlag::About);
    IdleUntilLocked();

    ModalSeam::Push(answer::Click(QStringLiteral("cancel")));
    EXPECT_FALSE(Frame().close());
    EXPECT_TRUE(Frame().Lock().IsScreenLocked());
    EXPECT_EQ(app->DocManager().GetDocuments().size(), 1u);

    ModalSeam::Push([](QDialog& d) {
        EXPECT_FALSE(static_cast<CLockAwareDialog&>(d).ClosesOnLock());
        EnterScreenPassword("opensesame")(d);
    });
    EXPECT_TRUE(Frame().close());
    EXPECT_FALSE(Frame().Lock().IsScreenLocked());
    EXPECT_TRUE(app->DocManager().GetDocuments().empty());
    // The close check uncovers the window but leaves the dialogs for the frame's unlock.
    EXPECT_TRUE(Frame().Lock().ReopenFlagSet(ReopenFlag::About));
    EXPECT_EQ(ModalSeam::Shown(), (QStringList{"Enter Password", "Enter Password"}));
}

TEST_F(ScreenLockTest, ADocumentCloseCheckWithoutScreenPasswordJustUncovers) {
    StartWithIdleLock();
    CDocument* doc = app->StorageTemplate()->OpenDocumentFile(QString());
    ASSERT_NE(doc, nullptr);
    Frame().ExecuteCommand(ID_LOCK_SCREEN);
    EXPECT_TRUE(doc->SaveModified());
    EXPECT_FALSE(Frame().Lock().IsScreenLocked());
    EXPECT_EQ(Frame().Lock().Overlay(), nullptr);
    EXPECT_TRUE(ModalSeam::Shown().isEmpty());
}

TEST_F(ScreenLockTest, ScreenLockOptionsAskForTheScreenPasswordFirst) {
    StartWithIdleLock([](ScreenLockSettings& s) {
        s.passwordEnabled = 1;
        ASSERT_TRUE(s.SetScreenPassword("opensesame"));
    });
    ModalSeam::Push([](QDialog& d) {
        EXPECT_TRUE(static_cast<CLockAwareDialog&>(d).ClosesOnLock());
        EnterScreenPassword("nope")(d);
    });
    ModalSeam::Push(answer::Click(QStringLiteral("Cancel")));
    Frame().ExecuteCommand(ID_SCREEN_LOCK_OPTIONS);
    EXPECT_EQ(ModalSeam::Shown(), (QStringList{"Enter Password", kWrongPasswordPrompt}));

    ModalSeam::Push(EnterScreenPassword("opensesame"));
    ModalSeam::Push(answer::Click(QStringLiteral("cancel")));
    Frame().ExecuteCommand(ID_SCREEN_LOCK_OPTIONS);
    EXPECT_EQ(ModalSeam::Shown().back(), "Screen Lock Settings");
}

struct StartupCase {
    const char* name;
    bool lockAtStartup;
    int showWizard; // -1: the value is absent
    bool withFile;
    bool dde;
    bool lockedAfterStart;
    QStringList shownAtStart;
};

class StartupScreens : public ScreenLockTest, public ::testing::WithParamInterface<StartupCase> {};

TEST_P(StartupScreens, LockAndWizardAsTheSettingsSay) {
    const StartupCase& c = GetParam();
    StoreLockSettings([&](ScreenLockSettings& s) { s.lockAtStartup = c.lockAtStartup ? 1 : 0; });
    if (c.showWizard < 0) {
        AppSettings::Open()->remove(QStringLiteral("Settings/wzrd"));
    } else {
        AppSettings::SetShowWizard(c.showWizard);
    }
    QStringList args;
    if (c.dde) {
        args << QStringLiteral("/dde");
    }
    if (c.withFile) {
        // A text file not made yet: it opens as an empty document, without a password.
        args << dir.filePath(QStringLiteral("given.ovt"));
    }
    if (c.shownAtStart.contains("Welcome")) {
        ModalSeam::Push([&](QDialog& d) {
            EXPECT_TRUE(d.parentWidget() == app->MainFrame());
            EXPECT_TRUE(app->MainFrame()->isVisible()) << "over the shown main window";
            d.done(0);
        });
    }
    ASSERT_TRUE(Start(args));
    EXPECT_EQ(Frame().Lock().IsScreenLocked(), c.lockedAfterStart);
    EXPECT_EQ(ModalSeam::Shown(), c.shownAtStart);
    EXPECT_EQ(app->DocManager().GetDocuments().size(), c.withFile ? 1u : 0u)
        << "no untitled document at start-up";
    if (c.lockedAfterStart) {
        const bool wizardAfter = c.showWizard != 0;
        if (wizardAfter) {
            ModalSeam::Push(answer::Result(0));
        }
        ClickOverlay();
        EXPECT_EQ(ModalSeam::Shown(), wizardAfter ? QStringList{"Welcome"} : QStringList{});
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StartupScreens,
    ::testing::Values(StartupCase{"wizard by default", false, -1, false, false, false, {"Welcome"}},
                      StartupCase{"wizard switched off", false, 0, false, false, false, {}},
                      StartupCase{"lock, then the wizard", true, 1, false, false, true, {}},
                      StartupCase{"lock without wizard", true, 0, false, false, true, {}},
                      StartupCase{"a file: neither", true, 1, true, false, false, {}},
                      StartupCase{"dde: neither", true, 1, false, true, false, {}}),
    NameByField<&StartupCase::name>());

} // namespace
