// Modal dialogs that take part in the screen lock: while shown they check every 100 ms
// whether the main frame is locked and idle past its timeout, and then end themselves (and
// may first ask the frame to reopen them after the unlock).
#pragma once

#include <functional>

#include <QDialog>
#include <QTimer>

// The 100 ms lock check of one dialog. Used by CLockAwareDialog and by dialogs that derive
// from another Qt dialog class, such as the file dialog.
class LockWatcher : public QObject {
    Q_OBJECT
public:
    // `onLock` runs when the lock ends the dialog and returns the result to end it with.
    LockWatcher(QDialog* dialog, std::function<int()> onLock);

    void SetEnabled(bool enabled);
    bool IsEnabled() const { return enabled_; }
    bool IsRunning() const { return timer_.isActive(); }
    // One check, as the timer does it; true when it ended the dialog.
    bool Tick();
    // One check of every lock-aware dialog that is open, without waiting for their timers.
    static void TickAll();

    static constexpr int kIntervalMs = 100;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QDialog* dialog_;
    std::function<int()> onLock_;
    bool enabled_ = true;
    QTimer timer_;
};

class CLockAwareDialog : public QDialog {
    Q_OBJECT
public:
    // A null parent makes the main frame the owner.
    explicit CLockAwareDialog(QWidget* parent = nullptr);

    // Runs the dialog modally (through the test seam) and returns its result code.
    int DoModal();
    void EndDialog(int result) { done(result); }

    // Whether the dialog ends itself on lock; on by default.
    void SetCloseOnLock(bool on) { watcher_.SetEnabled(on); }
    bool ClosesOnLock() const { return watcher_.IsEnabled(); }
    bool LockTimerRunning() const { return watcher_.IsRunning(); }
    // One lock check, as the 100 ms timer does it.
    bool LockTick() { return watcher_.Tick(); }

protected:
    // Called once, when the dialog is first shown.
    virtual void OnInitDialog() {}
    // Called when the lock ends the dialog, before it ends; sets reopen flags.
    virtual void OnLockClose() {}
    // The result the dialog ends with on lock.
    virtual int LockResult() const;
    // Escape and the close box end the dialog with this result.
    virtual int CancelResult() const;

    void showEvent(QShowEvent* event) override;
    void reject() override;

private:
    LockWatcher watcher_;
    bool initialised_ = false;
};
