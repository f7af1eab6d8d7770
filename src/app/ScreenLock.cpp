// The main frame's inactivity screen lock: the idle check of the timer tick, the overlay,
// the input filter while locked, the screen password and the dialogs that come back after
// an unlock.
#include <QApplication>
#include <QMenu>
#include <QMouseEvent>

#include "app/EditorApp.h"
#include "app/MainFrame.h"
#include "app/ProductInfo.h"
#include "app/ScreenLockDlg.h"
#include "crypto/CodePage.h"
#include "dialogs/ExistingPasswordDlg.h"
#include "framework/Clock.h"
#include "framework/CommandIds.h"
#include "framework/MessageBox.h"
#include "framework/ResultCodes.h"

namespace {

// A window this small has nothing to keep from being resized.
constexpr int kSmallestFrozenSide = 10;

QString ProgramText(const std::string& bytes) {
    const std::u16string text = CodePage::Program()->ToUtf16(bytes);
    return QString::fromStdU16String(text);
}

bool OpenMenuShown() {
    return qobject_cast<QMenu*>(QApplication::activePopupWidget()) != nullptr;
}

} // namespace

bool CMainFrame::IdleCheck() {
    if (pendingLock_) {
        pendingLock_ = false;
        LockScreen();
        return true;
    }
    // An open menu runs its own loop in which the user is busy choosing.
    if (OpenMenuShown()) {
        ResetIdleTimer();
    }
    if (IdleSeconds() > idleTimeoutSeconds_ && !locked_ && !isMinimized() &&
        app_.LockSettings().lockWhenIdle != 0) {
        // Pop-ups (menus, lists, tips) go now, so that nothing is left open over the
        // overlay; the lock itself comes at the next tick.
        while (QWidget* popup = QApplication::activePopupWidget()) {
            if (!popup->close()) {
                break;
            }
        }
        pendingLock_ = true;
    }
    return false;
}

void CMainFrame::LockScreen() {
    app_.LoadScreenLockSettings();
    LockWithPrompt(ProgramText(promptText_));
}

void CMainFrame::LockScreenDefaultPrompt() {
    LockWithPrompt(QString::fromLatin1(kDefaultPrompt));
}

void CMainFrame::LockWithPrompt(const QString& prompt) {
    // A second overlay would hide the first and leave it behind after the unlock.
    if (locked_) {
        return;
    }
    const QSize outer = frameGeometry().size();
    lockTimeWidth_ = outer.width();
    lockTimeHeight_ = outer.height();

    // The overlay covers the whole window: menu bar, toolbar, documents and status bar.
    auto* overlay = new JMatrixCtrl({}, this);
    overlay->setObjectName(QStringLiteral("lockoverlay"));
    overlay->Create(rect(), this);
    overlay->AddLine(prompt);
    overlay->AddLine(QString(QChar(1)) + QStringLiteral(" 2"));
    overlay->AddLine(QString());
    overlay->SetTypingMode(true, true);
    overlay->AddLine(QString(QChar(1)) + QStringLiteral(" 10"));
    overlay->raise();
    overlay_ = overlay;

    locked_ = true;
    FreezeSize(true);
    emit LockEvents::Instance().Locked();
}

void CMainFrame::RemoveLockOverlay() {
    if (overlay_ != nullptr) {
        overlay_->close();
        delete overlay_;
    }
    const bool wasLocked = locked_;
    locked_ = false;
    FreezeSize(false);
    lastActivity_ = ProgramClock().Now();
    if (wasLocked) {
        emit LockEvents::Instance().Unlocked();
    }
}

void CMainFrame::UnlockScreen() {
    if (!locked_ || unlocking_) {
        return;
    }
    unlocking_ = true;
    app_.LoadScreenLockSettings();
    const bool allowed = app_.LockSettings().passwordEnabled == 0 || RequestScreenPassword(false);
    unlocking_ = false;
    if (!allowed) {
        return;
    }
    RemoveLockOverlay();
    ReissueDeferredCommands();
}

void CMainFrame::ReissueDeferredCommands() {
    // Each command runs to its end (its dialog closed) before the next. Should the screen
    // lock again meanwhile, the rest stay flagged for the next unlock.
    const auto reissue = [this](std::initializer_list<ReopenFlag> flags, int command) {
        bool set = false;
        for (ReopenFlag flag : flags) {
            set = set || ReopenFlagSet(flag);
        }
        if (!set || locked_) {
            return;
        }
        for (ReopenFlag flag : flags) {
            ClearReopenFlag(flag);
        }
        if (command != 0) {
            DispatchCommand(command);
        }
    };
    reissue({ReopenFlag::Wizard, ReopenFlag::WizardAfterUnlock}, ID_WIZARD);
    reissue({ReopenFlag::New}, ID_FILE_NEW);
    reissue({ReopenFlag::ScreenLockOptions}, ID_SCREEN_LOCK_OPTIONS);
    reissue({ReopenFlag::SaveDialog}, ReopenCommand(ReopenFlag::SaveDialog));
    const int open = ReopenCommand(ReopenFlag::OpenDialog);
    reissue({ReopenFlag::OpenDialog}, open != 0 ? open : ID_FILE_OPEN);
    reissue({ReopenFlag::About}, ID_APP_ABOUT);
}

bool CMainFrame::RequestScreenPassword(bool closeOnLock) {
    const ScreenLockSettings& settings = app_.LockSettings();
    if (!settings.HasScreenPassword()) {
        return true; // the empty password is typed already
    }
    for (;;) {
        CExistingPasswordDlg prompt(this);
        prompt.SetScreenPasswordMode(true);
        prompt.SetAutoClose(closeOnLock);
        if (prompt.DoModal() != IDOK) {
            return false;
        }
        if (settings.MatchesScreenPassword(prompt.Password())) {
            return true;
        }
        if (ShowMessageBox(this, QString::fromLatin1(kWrongScreenPasswordText),
                           QString::fromLatin1(kAppTitle), MessageButtons::RetryCancel,
                           MessageIcon::Error) != IDRETRY) {
            return false;
        }
    }
}

bool CMainFrame::UnlockForDocumentClose() {
    if (!locked_) {
        return true;
    }
    app_.LoadScreenLockSettings();
    if (app_.LockSettings().passwordEnabled != 0 && !RequestScreenPassword(false)) {
        return false;
    }
    RemoveLockOverlay();
    return true;
}

void CMainFrame::OnScreenLockOptions() {
    app_.LoadScreenLockSettings();
    if (app_.LockSettings().passwordEnabled != 0 && !RequestScreenPassword(true)) {
        return;
    }
    CScreenLockDlg dialog(app_, this);
    dialog.DoModal();
}

bool CMainFrame::LockFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
        // Nothing typed while locked reaches the window, now or later.
        return InThisWindow(watched);
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        const auto button = static_cast<QMouseEvent*>(event)->button();
        if ((button != Qt::LeftButton && button != Qt::RightButton) || !InThisWindow(watched)) {
            return false;
        }
        QueueUnlock();
        return true;
    }
    default:
        return false;
    }
}

void CMainFrame::QueueUnlock() {
    // The unlock runs its password prompt from the event loop rather than from inside the
    // filter; a double-click starts it once.
    if (unlockQueued_ || unlocking_) {
        return;
    }
    unlockQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            unlockQueued_ = false;
            UnlockScreen();
        },
        Qt::QueuedConnection);
}

void CMainFrame::FreezeSize(bool freeze) {
    if (freeze == sizeFrozen_) {
        return;
    }
    if (freeze) {
        if (lockTimeWidth_ < kSmallestFrozenSide && lockTimeHeight_ < kSmallestFrozenSide) {
            return;
        }
        unfrozenMinimum_ = minimumSize();
        unfrozenMaximum_ = maximumSize();
        setFixedSize(size());
        sizeFrozen_ = true;
        return;
    }
    setMinimumSize(unfrozenMinimum_);
    setMaximumSize(unfrozenMaximum_);
    sizeFrozen_ = false;
}
