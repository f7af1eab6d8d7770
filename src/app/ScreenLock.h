// The inactivity screen lock of the main frame: the idle clock, the overlay that covers the
// window, the input filter while locked, the window size kept while locked, the screen
// password, and the dialogs the lock closed, which come back after an unlock. It is the
// program's CLockHost; the frame drives it from its tick and its input filter.
#pragma once

#include <cstdint>
#include <string>

#include <QPointer>
#include <QSize>

#include "controls/JMatrixCtrl.h"
#include "framework/LockHost.h"

class CEditorApp;
class CMainFrame;
class QEvent;
class QObject;

class CScreenLock : public CLockHost {
public:
    static constexpr const char* kDefaultPrompt = "Press any key to unlock the screen...";
    static constexpr const char* kWrongScreenPasswordText =
        "You have entered an incorrect screen password. Retry? ";

    CScreenLock(CMainFrame& frame, CEditorApp& app);

    // --- CLockHost ----------------------------------------------------------------------
    bool IsScreenLocked() const override { return locked_; }
    uint32_t IdleSeconds() const override;
    uint32_t IdleTimeoutSeconds() const override { return idleTimeoutSeconds_; }
    void ResetIdleTimer() override;
    void SetReopenFlag(ReopenFlag flag, int command = 0) override;
    QWidget* HostWindow() override;
    // The close check of a document while locked: the screen password when one is enabled,
    // then the overlay goes; the reopen flags stay for the next unlock by the frame.
    bool UnlockForDocumentClose() override;

    // --- Settings -----------------------------------------------------------------------
    void SetIdleTimeoutSeconds(uint32_t seconds) { idleTimeoutSeconds_ = seconds; }
    const std::string& PromptText() const { return promptText_; }
    void SetPromptText(const std::string& text) { promptText_ = text; }

    // --- Reopen flags -------------------------------------------------------------------
    bool ReopenFlagSet(ReopenFlag flag) const;
    int ReopenCommand(ReopenFlag flag) const;
    void ClearReopenFlag(ReopenFlag flag);

    // --- Locking and unlocking ----------------------------------------------------------
    // The idle check of a timer tick; true when it locked the screen.
    bool IdleCheck();
    // Covers the window with the animation, with the configured prompt (after re-reading the
    // settings record) or with the default prompt. Nothing happens when already locked.
    void LockScreen();
    void LockScreenDefaultPrompt();
    // The user is away (the desktop locked, the computer goes to sleep, or a command asked):
    // locks now with the configured prompt, as an idle lock would, and the dialogs that an
    // idle lock closes end at once rather than at their next tick.
    void LockAsAway();
    // The screen password when one is enabled, then the overlay goes and the dialogs the
    // lock closed come back. Stays locked when the password prompt is cancelled.
    void UnlockScreen();
    // The screen-password prompt loop; true when the typed password matches (at once when
    // none is stored). `closeOnLock` lets the prompt end itself when the screen locks.
    bool RequestScreenPassword(bool closeOnLock);
    // Destroys the overlay and restarts the idle clock.
    void RemoveLockOverlay();
    // The input filter while locked: keys in the window are swallowed, a left or right click
    // in it starts the unlock. True swallows the event.
    bool Filter(QObject* watched, QEvent* event);

    // --- State --------------------------------------------------------------------------
    // The overlay while locked, else null.
    JMatrixCtrl* Overlay() const { return overlay_; }
    bool Pending() const { return pendingLock_; }
    // The size the window keeps while locked: its outer size when the lock went up.
    QSize LockTimeSize() const { return {lockTimeWidth_, lockTimeHeight_}; }
    // Resizes the window to `inner`; when its size is kept by the lock, the kept size becomes
    // `outer`.
    void ResizeKeepingLockSize(const QSize& inner, const QSize& outer);

private:
    void LockWithPrompt(const QString& prompt);
    void ReissueDeferredCommands();
    void QueueUnlock();
    void FreezeSize(bool freeze);

    CMainFrame& frame_;
    CEditorApp& app_;

    uint32_t lastActivity_ = 0;
    uint32_t idleTimeoutSeconds_ = 10;
    bool locked_ = false;
    std::string promptText_;
    bool pendingLock_ = false;
    int lockTimeWidth_ = 0;
    int lockTimeHeight_ = 0;
    QPointer<JMatrixCtrl> overlay_;

    uint32_t reopenFlags_ = 0;
    int reopenOpenCommand_ = 0;
    int reopenSaveCommand_ = 0;

    bool unlockQueued_ = false;
    bool unlocking_ = false;
    bool sizeFrozen_ = false;
    QSize unfrozenMinimum_;
    QSize unfrozenMaximum_;
};
