#include "app/ScreenLock.h"

#include <QApplication>
#include <QMenu>
#include <QMouseEvent>

#include "app/EditorApp.h"
#include "app/MainFrame.h"
#include "base/CodePage.h"
#include "base/ProductInfo.h"
#include "dialogs/ExistingPasswordDlg.h"
#include "framework/Clock.h"
#include "framework/CommandIds.h"
#include "framework/LockAwareDialog.h"
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

// Pop-ups (menus, lists, tips) go before a lock, so that nothing is left open over the
// overlay.
void ClosePopups() {
    while (QWidget* popup = QApplication::activePopupWidget()) {
        if (!popup->close()) {
            break;
        }
    }
}

uint32_t Bit(ReopenFlag flag) {
    return 1u << static_cast<unsigned>(flag);
}

} // namespace

CScreenLock::CScreenLock(CMainFrame& frame, CEditorApp& app)
    : frame_(frame), app_(app), lastActivity_(ProgramClock().Now()) {}

QWidget* CScreenLock::HostWindow() {
    return &frame_;
}

uint32_t CScreenLock::IdleSeconds() const {
    return (ProgramClock().Now() - lastActivity_) / 1000;
}

void CScreenLock::ResetIdleTimer() {
    lastActivity_ = ProgramClock().Now();
}

void CScreenLock::SetReopenFlag(ReopenFlag flag, int command) {
    reopenFlags_ |= Bit(flag);
    if (flag == ReopenFlag::OpenDialog) {
        reopenOpenCommand_ = command;
    } else if (flag == ReopenFlag::SaveDialog) {
        reopenSaveCommand_ = command;
    }
}

bool CScreenLock::ReopenFlagSet(ReopenFlag flag) const {
    return (reopenFlags_ & Bit(flag)) != 0;
}

int CScreenLock::ReopenCommand(ReopenFlag flag) const {
    if (flag == ReopenFlag::OpenDialog) {
        return reopenOpenCommand_;
    }
    return flag == ReopenFlag::SaveDialog ? reopenSaveCommand_ : 0;
}

void CScreenLock::ClearReopenFlag(ReopenFlag flag) {
    reopenFlags_ &= ~Bit(flag);
}

void CScreenLock::ResizeKeepingLockSize(const QSize& inner, const QSize& outer) {
    const bool frozen = sizeFrozen_;
    FreezeSize(false);
    frame_.resize(inner);
    if (frozen) {
        lockTimeWidth_ = outer.width();
        lockTimeHeight_ = outer.height();
        FreezeSize(true);
    }
}

bool CScreenLock::IdleCheck() {
    if (pendingLock_) {
        pendingLock_ = false;
        LockScreen();
        return true;
    }
    // An open menu runs its own loop in which the user is busy choosing.
    if (OpenMenuShown()) {
        ResetIdleTimer();
    }
    if (IdleSeconds() > idleTimeoutSeconds_ && !locked_ && !frame_.isMinimized() &&
        app_.LockSettings().lockWhenIdle != 0) {
        // The lock itself comes at the next tick.
        ClosePopups();
        pendingLock_ = true;
    }
    return false;
}

void CScreenLock::LockScreen() {
    app_.LoadScreenLockSettings();
    LockWithPrompt(ProgramText(promptText_));
}

void CScreenLock::LockAsAway() {
    ClosePopups();
    pendingLock_ = false;
    LockScreen();
    // Away since now: the idle time passes the timeout, which is what ends the dialogs.
    lastActivity_ = ProgramClock().Now() - (idleTimeoutSeconds_ + 1) * 1000;
    LockWatcher::TickAll();
}

void CScreenLock::LockScreenDefaultPrompt() {
    LockWithPrompt(QString::fromLatin1(kDefaultPrompt));
}

void CScreenLock::LockWithPrompt(const QString& prompt) {
    // A second overlay would hide the first and leave it behind after the unlock.
    if (locked_) {
        return;
    }
    const QSize outer = frame_.frameGeometry().size();
    lockTimeWidth_ = outer.width();
    lockTimeHeight_ = outer.height();

    // The overlay covers the whole window: menu bar, toolbar, documents and status bar.
    auto* overlay = new JMatrixCtrl({}, &frame_);
    overlay->setObjectName(QStringLiteral("lockoverlay"));
    overlay->Create(frame_.rect(), &frame_);
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

void CScreenLock::RemoveLockOverlay() {
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

void CScreenLock::UnlockScreen() {
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

void CScreenLock::ReissueDeferredCommands() {
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
            frame_.DispatchCommand(command);
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

bool CScreenLock::RequestScreenPassword(bool closeOnLock) {
    const ScreenLockSettings& settings = app_.LockSettings();
    if (!settings.HasScreenPassword()) {
        return true; // the empty password is typed already
    }
    for (;;) {
        CExistingPasswordDlg prompt(&frame_);
        prompt.SetScreenPasswordMode(true);
        prompt.SetAutoClose(closeOnLock);
        if (prompt.DoModal() != IDOK) {
            return false;
        }
        if (settings.MatchesScreenPassword(prompt.Password())) {
            return true;
        }
        if (ShowMessageBox(&frame_, QString::fromLatin1(kWrongScreenPasswordText),
                           QString::fromLatin1(kAppTitle), MessageButtons::RetryCancel,
                           MessageIcon::Error) != MessageResult::Retry) {
            return false;
        }
    }
}

bool CScreenLock::UnlockForDocumentClose() {
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

bool CScreenLock::Filter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
        // Nothing typed while locked reaches the window, now or later.
        return frame_.InThisWindow(watched);
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        const auto button = static_cast<QMouseEvent*>(event)->button();
        if ((button != Qt::LeftButton && button != Qt::RightButton) ||
            !frame_.InThisWindow(watched)) {
            return false;
        }
        QueueUnlock();
        return true;
    }
    default:
        return false;
    }
}

void CScreenLock::QueueUnlock() {
    // The unlock runs its password prompt from the event loop rather than from inside the
    // filter; a double-click starts it once.
    if (unlockQueued_ || unlocking_) {
        return;
    }
    unlockQueued_ = true;
    QMetaObject::invokeMethod(
        &frame_,
        [this] {
            unlockQueued_ = false;
            UnlockScreen();
        },
        Qt::QueuedConnection);
}

void CScreenLock::FreezeSize(bool freeze) {
    if (freeze == sizeFrozen_) {
        return;
    }
    if (freeze) {
        if (lockTimeWidth_ < kSmallestFrozenSide && lockTimeHeight_ < kSmallestFrozenSide) {
            return;
        }
        // A maximised (or full-screen) window keeps its size by its state. A fixed size would
        // make the window manager take that state away, as a window that cannot be resized
        // cannot be maximised, and place the window anew.
        if ((frame_.windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) != 0) {
            return;
        }
        unfrozenMinimum_ = frame_.minimumSize();
        unfrozenMaximum_ = frame_.maximumSize();
        frame_.setFixedSize(frame_.size());
        sizeFrozen_ = true;
        return;
    }
    frame_.setMinimumSize(unfrozenMinimum_);
    frame_.setMaximumSize(unfrozenMaximum_);
    sizeFrozen_ = false;
}
