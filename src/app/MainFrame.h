// The program's one top-level window: menus, toolbar and status bar around the area in
// which document windows live. It routes commands, shows the document size and the caret,
// runs the busy protocol of long operations, keeps the idle clock of the screen lock and
// saves its placement when it closes.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include "app/CommandTable.h"
#include "controls/JMatrixCtrl.h"
#include "framework/CmdTarget.h"
#include "framework/DocManager.h"
#include "framework/LockHost.h"

class CEditorApp;
class CFrameStatusBar;
class CMDIChildWnd;
class CTextToolBar;
class CommandActions;
class QMdiArea;
class QMdiSubWindow;
class QMenu;

class CMainFrame : public QMainWindow, public CCmdTarget, public CLockHost, public CFrameHost {
    Q_OBJECT
public:
    explicit CMainFrame(CEditorApp& app);
    ~CMainFrame() override;

    // --- Commands -------------------------------------------------------------------
    // Runs a command along the route, unless the busy protocol swallows it.
    void ExecuteCommand(int id);
    // Runs a command on the user-interface thread and waits for it (from any thread).
    void SendCommand(int id);
    // Queues a command for the user-interface thread (from any thread).
    void PostCommand(int id);
    // Active view, its document, its child frame, this frame, the application.
    CommandRoute Route() const;
    CommandActions& Actions() const { return *actions_; }
    // Refreshes the enabled and checked state of every command.
    void UpdateCommandStates();

    bool OnCommand(int id) override;
    bool OnUpdateCommand(CCmdUI& ui) override;

    // --- Status bar and toolbar ------------------------------------------------------
    // Sets the text of pane `index` (0 message, 1 size, 2 caret, ...) if the bar exists.
    void SetStatusPaneText(int index, const QString& text);
    QString StatusPaneText(int index) const;
    CFrameStatusBar* FrameStatusBar() const { return statusBar_; }
    CTextToolBar* ToolBar() const { return toolBar_; }
    void PressToolbarButton(int id, bool pressed);

    // --- Busy protocol ---------------------------------------------------------------
    // Written by long operations (possibly on worker threads), read by the timer tick.
    std::atomic<bool> BusyFlag{false};
    std::atomic<int> ProgressPercent{0};
    std::atomic<int32_t> StatusSizeBytes{0};
    void BeginBusy();
    void StepBusy();
    void EndBusy();

    // --- The 100 ms tick -------------------------------------------------------------
    static constexpr int kTimerIntervalMs = 100;
    void OnTimer();

    // --- Idle clock and screen lock ---------------------------------------------------
    bool IsScreenLocked() const override { return locked_; }
    uint32_t IdleSeconds() const override;
    uint32_t IdleTimeoutSeconds() const override { return idleTimeoutSeconds_; }
    void ResetIdleTimer() override;
    void SetReopenFlag(ReopenFlag flag, int command = 0) override;
    QWidget* HostWindow() override { return this; }
    // The close check of a document while locked: the screen password when one is enabled,
    // then the overlay goes; the reopen flags stay for the next unlock by the frame.
    bool UnlockForDocumentClose() override;
    void SetIdleTimeoutSeconds(uint32_t seconds) { idleTimeoutSeconds_ = seconds; }
    const std::string& PromptText() const { return promptText_; }
    void SetPromptText(const std::string& text) { promptText_ = text; }
    bool ReopenFlagSet(ReopenFlag flag) const;
    int ReopenCommand(ReopenFlag flag) const;
    void ClearReopenFlag(ReopenFlag flag);

    // Covers the window with the animation, with the configured prompt (after re-reading the
    // settings record) or with the default prompt. Nothing happens when already locked.
    void LockScreen();
    void LockScreenDefaultPrompt();
    // The screen password when one is enabled, then the overlay goes and the dialogs the
    // lock closed come back. Stays locked when the password prompt is cancelled.
    void UnlockScreen();
    // The screen-password prompt loop; true when the typed password matches (at once when
    // none is stored). `closeOnLock` lets the prompt end itself when the screen locks.
    bool RequestScreenPassword(bool closeOnLock);
    // Destroys the overlay and restarts the idle clock.
    void RemoveLockOverlay();
    // The overlay while locked, else null.
    JMatrixCtrl* LockOverlay() const { return overlay_; }
    bool LockPending() const { return pendingLock_; }
    // The size the window keeps while locked: its outer size when the lock went up.
    QSize LockTimeSize() const { return {lockTimeWidth_, lockTimeHeight_}; }

    static constexpr const char* kDefaultPrompt = "Press any key to unlock the screen...";
    static constexpr const char* kWrongScreenPasswordText =
        "You have entered an incrorrect screen password. Retry? ";

    // Runs a command as a message sent to the window: straight along the route, past the
    // input filters of the lock and the busy protocol.
    void DispatchCommand(int id) { Route().Dispatch(id); }

    // The start-up lock and welcome wizard, run as their commands when the command line
    // named no file.
    void ShowStartupScreens(bool lockAtStartup, bool showWizard);

    // --- Document windows ------------------------------------------------------------
    QMdiArea* MdiArea() const { return mdiArea_; }
    CMDIChildWnd* ActiveChildFrame() const;
    void AddChildFrame(CMDIChildWnd* frame) override;
    void ActivateChildFrame(CMDIChildWnd* frame) override;
    MenuResource CurrentMenu() const { return currentMenu_; }
    const QList<QMenu*>& Menus(MenuResource resource) const;

    // --- Placement and help ----------------------------------------------------------
    void SaveWindowPlacement();
    // The outer rectangle of the window in its restored (not minimised or maximised) state.
    QRect RestoredFrameRect() const;
    // The help page "42.html": beside the installed data of the executable first, then in
    // the "Help" folder of the current directory. Empty when neither exists.
    static QString FindHelpPage();

protected:
    // Input filter applied to every event of the program before it is delivered; true
    // swallows the event.
    virtual bool PreTranslateMessage(QObject* watched, QEvent* event);

    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

    CEditorApp& app_;

    // Screen lock state: created here in its initial state, driven by ScreenLock.cpp.
    uint32_t lastActivity_ = 0;
    uint32_t idleTimeoutSeconds_ = 10;
    bool locked_ = false;
    std::string promptText_;
    bool pendingLock_ = false;
    int lockTimeWidth_ = 0;
    int lockTimeHeight_ = 0;
    QPointer<JMatrixCtrl> overlay_;

private:
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void ApplyPlacement();
    void UpdateMenuBar();
    void UpdateRecentFileActions();
    void UpdateCaption();
    void RefreshSizePane();
    void RefreshIndicators();
    void OnFileOpen();
    void OnFileNew();
    void OnWizard();
    void OnScreenLockOptions();
    // The idle check of a timer tick; true when it locked the screen.
    bool IdleCheck();
    void LockWithPrompt(const QString& prompt);
    void ReissueDeferredCommands();
    bool LockFilter(QObject* watched, QEvent* event);
    void QueueUnlock();
    void FreezeSize(bool freeze);
    void OnHelp();
    void OnWebSite();
    void ArrangeIcons();
    bool InThisWindow(QObject* watched) const;
    void NoteFrameMargins();

    QMdiArea* mdiArea_ = nullptr;
    CommandActions* actions_ = nullptr;
    CTextToolBar* toolBar_ = nullptr;
    CFrameStatusBar* statusBar_ = nullptr;
    QList<QAction*> recentActions_;
    QList<QMenu*> menus124_;
    QList<QMenu*> menus125_;
    // Shown before Help while a browser window is active.
    QMenu* webMenu_ = nullptr;
    bool webMenuShown_ = false;
    MenuResource currentMenu_ = MenuResource::NoDocument;
    QTimer timer_;
    QRect pendingFrameRect_;
    bool placementApplied_ = false;
    QMargins frameMargins_;

    uint32_t reopenFlags_ = 0;
    int reopenOpenCommand_ = 0;
    int reopenSaveCommand_ = 0;

    bool unlockQueued_ = false;
    bool unlocking_ = false;
    bool sizeFrozen_ = false;
    QSize unfrozenMinimum_;
    QSize unfrozenMaximum_;
};
