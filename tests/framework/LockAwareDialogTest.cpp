#include "framework/LockAwareDialog.h"

#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "framework/MessageBox.h"
#include "framework/ModalSeam.h"
#include "framework/ResultCodes.h"
#include "framework/TimedFileDialog.h"
#include "support/FakeLockHost.h"

namespace {

class ReopeningDialog : public CLockAwareDialog {
protected:
    void OnLockClose() override { CLockHost::Current()->SetReopenFlag(ReopenFlag::About); }
    int LockResult() const override { return 0; }
};

TEST(LockAwareDialog, EndsItselfOnlyWhenLockedAndIdlePastTheTimeout) {
    FakeLockHost host;
    ScopedModalSeam seam;
    struct Case {
        const char* name;
        bool locked;
        uint32_t idle;
        bool closes;
    };
    const Case cases[] = {
        {"unlocked", false, 1000, false},
        {"locked, idle equal to the timeout", true, 60, false},
        {"locked, idle past the timeout", true, 61, true},
    };
    for (const Case& c : cases) {
        CLockAwareDialog dialog;
        bool closed = true;
        ModalSeam::Push([&](QDialog&) {
            EXPECT_TRUE(dialog.LockTimerRunning()) << c.name;
            host.locked = c.locked;
            host.idle = c.idle;
            closed = dialog.LockTick();
            if (!closed) {
                dialog.EndDialog(IDOK);
            }
        });
        const int result = dialog.DoModal();
        EXPECT_EQ(closed, c.closes) << c.name;
        EXPECT_EQ(result, c.closes ? IDCANCEL : IDOK) << c.name;
        EXPECT_FALSE(dialog.LockTimerRunning()) << c.name;
    }
}

TEST(LockAwareDialog, CloseOnLockOffKeepsItOpen) {
    FakeLockHost host;
    ScopedModalSeam seam;
    CLockAwareDialog dialog;
    dialog.SetCloseOnLock(false);
    ModalSeam::Push([&](QDialog&) {
        host.Lock();
        EXPECT_FALSE(dialog.LockTick());
        EXPECT_FALSE(dialog.LockTimerRunning());
        dialog.EndDialog(IDOK);
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
}

TEST(LockAwareDialog, ReopenFlagAndResultOfADialogThatComesBack) {
    FakeLockHost host;
    ScopedModalSeam seam;
    ReopeningDialog dialog;
    ModalSeam::Push([&](QDialog&) {
        host.Lock();
        dialog.LockTick();
    });
    EXPECT_EQ(dialog.DoModal(), 0);
    EXPECT_EQ(host.reopen.count(ReopenFlag::About), 1u);
}

TEST(LockAwareDialog, EscapeIsCancel) {
    FakeLockHost host;
    ScopedModalSeam seam;
    CLockAwareDialog dialog;
    ModalSeam::Push([](QDialog& d) { d.reject(); });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
}

TEST(ModalSeam, UnansweredDialogsAreRefusedAndRecorded) {
    ScopedModalSeam seam;
    CLockAwareDialog dialog;
    dialog.setWindowTitle("Nobody answers");
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(ModalSeam::Unanswered(), QStringList{"Nobody answers"});

    CLockAwareDialog left;
    left.setWindowTitle("Left open");
    ModalSeam::Push([](QDialog&) {});
    EXPECT_EQ(left.DoModal(), IDCANCEL);
    EXPECT_EQ(ModalSeam::Unanswered().last(), "Left open (left open)");
    EXPECT_EQ(ModalSeam::Shown(), (QStringList{"Nobody answers", "Left open"}));
}

TEST(MessageBox, ButtonsGiveTheirResultCodes) {
    ScopedModalSeam seam;
    struct Case {
        MessageButtons buttons;
        const char* click;
        MessageResult result;
    };
    const Case cases[] = {
        {MessageButtons::Ok, "OK", MessageResult::Ok},
        {MessageButtons::YesNoCancel, "Yes", MessageResult::Yes},
        {MessageButtons::YesNoCancel, "No", MessageResult::No},
        {MessageButtons::YesNoCancel, "Cancel", MessageResult::Cancel},
        {MessageButtons::RetryCancel, "Retry", MessageResult::Retry},
        {MessageButtons::RetryCancel, "Cancel", MessageResult::Cancel},
    };
    // The answers carry the stored result codes.
    static_assert(static_cast<int>(MessageResult::Yes) == 6);
    static_assert(static_cast<int>(MessageResult::No) == 7);
    static_assert(static_cast<int>(MessageResult::Cancel) == 2);
    for (const Case& c : cases) {
        ModalSeam::Push([&](QDialog& d) {
            auto& box = static_cast<QMessageBox&>(d);
            EXPECT_EQ(box.text(), "Question?");
            EXPECT_EQ(box.windowTitle(), "Caption");
            answer::Click(c.click)(d);
        });
        EXPECT_EQ(ShowMessageBox(nullptr, "Question?", "Caption", c.buttons), c.result) << c.click;
    }
    EXPECT_TRUE(ModalSeam::Unanswered().isEmpty());
    // Refused by the seam: the escape answer.
    EXPECT_EQ(ShowMessageBox(nullptr, "Q", "C", MessageButtons::YesNo), MessageResult::No);
}

TEST(TimedFileDialog, FilterTextsBecomeQtNameFilters) {
    EXPECT_EQ(CTimedFileDialog::ParseFilter(
                  "Ombrivault Encrypted Files (*.ovs;*.ovd;*.ovt;*.ovf;*.etx)|"
                  "*.ovs;*.ovd;*.ovt;*.ovf;*.etx|Ombrivault Encrypted Data Files (*.ovd)|*.ovd|"),
              (QStringList{"Ombrivault Encrypted Files (*.ovs *.ovd *.ovt *.ovf *.etx)",
                           "Ombrivault Encrypted Data Files (*.ovd)"}));
    EXPECT_EQ(CTimedFileDialog::ParseFilter("All Files (*.*)|*||"), QStringList{"All Files (*)"});
    EXPECT_TRUE(CTimedFileDialog::ParseFilter("").isEmpty());
}

TEST(TimedFileDialog, PicksAFileAndRestartsTheIdleClockOnFolderChanges) {
    FakeLockHost host;
    ScopedModalSeam seam;
    QTemporaryDir dir;
    QDir(dir.path()).mkdir("sub");
    const QString file = dir.filePath("sub/a.ovd");
    QFile(file).open(QIODevice::WriteOnly);

    CTimedFileDialog dialog(true, QString(), QString(), CTimedFileDialog::FileMustExist,
                            "Data (*.ovd)|*.ovd|", nullptr, 0);
    EXPECT_TRUE(dialog.testOption(QFileDialog::DontUseNativeDialog));
    ModalSeam::Push([&](QDialog& d) {
        auto& fd = static_cast<QFileDialog&>(d);
        host.idle = 30;
        fd.setDirectory(dir.filePath("sub"));
        emit fd.directoryEntered(dir.filePath("sub"));
        EXPECT_EQ(host.idle, 0u);
        answer::Files({file})(d);
    });
    ASSERT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.GetPathName(), file);
    EXPECT_GT(host.resets, 0);
}

TEST(TimedFileDialog, LockRecordsTheReopenCommandOfItsKind) {
    FakeLockHost host;
    ScopedModalSeam seam;
    for (const bool open : {true, false}) {
        CTimedFileDialog dialog(open, ".ovd", "x.ovd", 0, "Data (*.ovd)|*.ovd|", nullptr,
                                open ? 0 : 57603);
        ModalSeam::Push([&](QDialog&) {
            host.Lock();
            EXPECT_TRUE(dialog.LockTick());
        });
        EXPECT_EQ(dialog.DoModal(), IDCANCEL);
        const ReopenFlag flag = open ? ReopenFlag::OpenDialog : ReopenFlag::SaveDialog;
        ASSERT_EQ(host.reopen.count(flag), 1u);
        EXPECT_EQ(host.reopen[flag], open ? 0 : 57603);
        host.locked = false;
    }
}

} // namespace
