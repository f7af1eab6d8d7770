// What dialogs need to know about the screen lock, without knowing the main frame: whether
// the frame is locked and idle past its timeout (then every lock-aware dialog ends itself),
// the idle clock to restart on user actions, and the flags of dialogs to reopen after unlock.
#pragma once

#include <cstdint>

#include <QObject>

class QWidget;

enum class ReopenFlag {
    About,
    New,
    Wizard,
    WizardAfterUnlock,
    ScreenLockOptions,
    SaveDialog,
    OpenDialog,
};

class CLockHost {
public:
    virtual ~CLockHost() = default;

    virtual bool IsScreenLocked() const = 0;
    // Whole seconds since the last user activity.
    virtual uint32_t IdleSeconds() const = 0;
    virtual uint32_t IdleTimeoutSeconds() const = 0;
    virtual void ResetIdleTimer() = 0;
    // `command` is the command to re-issue for the file dialogs' flags.
    virtual void SetReopenFlag(ReopenFlag flag, int command = 0) = 0;
    // The window modal dialogs are owned by.
    virtual QWidget* HostWindow() = 0;
    // The close check of a document while the screen is locked: asks for the screen password
    // when one is enabled and uncovers the window. False when the document must stay open.
    virtual bool UnlockForDocumentClose() = 0;

    // A lock-aware dialog ends itself when this holds at one of its ticks.
    bool DialogsMustClose() const {
        return IsScreenLocked() && IdleSeconds() > IdleTimeoutSeconds();
    }

    // The host of the running program (the main frame), or nullptr before it exists.
    static CLockHost* Current();
    static void SetCurrent(CLockHost* host);
};

// Restarts the idle clock of the current host, if there is one.
void ResetIdleTimer();
// What a document runs first when asked whether it may close: true when the screen is not
// locked or was unlocked for the question, false when the document must stay open.
bool UnlockForDocumentClose();

// Tells whoever holds secrets outside the documents (the clipboard, say) that the screen
// locked or unlocked. The frame emits these.
class LockEvents : public QObject {
    Q_OBJECT
public:
    static LockEvents& Instance();
signals:
    void Locked();
    void Unlocked();
};
// `requested`, or the host's window when that is null.
QWidget* DialogOwner(QWidget* requested);
