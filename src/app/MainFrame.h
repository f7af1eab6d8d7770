// The program's one top-level window: menus, toolbar and status bar around the area in
// which document windows live. It routes commands, shows the document size and the caret,
// holds the busy protocol of long operations (CFrameBusy) and the screen lock (CScreenLock),
// and saves its placement when it closes.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include "app/CommandTable.h"
#include "app/FrameBusy.h"
#include "app/ScreenLock.h"
#include "controls/JMatrixCtrl.h"
#include "framework/CmdTarget.h"
#include "framework/DocManager.h"
#include "framework/FrameHosts.h"
#include "framework/LockHost.h"

class CEditorApp;
class CFrameStatusBar;
class CMDIChildWnd;
class CTextToolBar;
class CommandActions;
class QMdiArea;
class QMdiSubWindow;
class QMenu;

class CMainFrame : public QMainWindow,
                   public CCmdTarget,
                   public CFrameHost,
                   public CStatusHost,
                   public CCommandHost {
    Q_OBJECT
public:
    explicit CMainFrame(CEditorApp& app);
    ~CMainFrame() override;

    // --- Commands -------------------------------------------------------------------
    // Runs a command along the route, unless the busy protocol swallows it.
    void ExecuteCommand(int id);
    // Runs a command on the user-interface thread and waits for it (from any thread).
    void SendCommand(int id) override;
    // Queues a command for the user-interface thread (from any thread).
    void PostCommand(int id) override;
    // Active view, its document, its child frame, this frame, the application.
    CommandRoute Route() const;
    CommandActions& Actions() const { return *actions_; }
    // Refreshes the enabled and checked state of every command.
    void UpdateCommandStates();

    bool OnCommand(int id) override;
    bool OnUpdateCommand(CCmdUI& ui) override;

    // --- Status bar and toolbar ------------------------------------------------------
    // Sets the text of pane `index` (0 message, 1 size, 2 caret, ...) if the bar exists.
    void SetStatusPaneText(int index, const QString& text) override;
    QString StatusPaneText(int index) const override;
    CFrameStatusBar* FrameStatusBar() const { return statusBar_; }
    CTextToolBar* ToolBar() const { return toolBar_; }
    void PressToolbarButton(int id, bool pressed);
    // Drops the hover prompt and highlight a dialog or a leaving pointer left behind.
    void ResetHover();

    // --- Busy protocol ---------------------------------------------------------------
    // Written by long operations (possibly on worker threads), read by the timer tick.
    CBusyState& Busy() { return busy_.Busy(); }

    // --- The 100 ms tick -------------------------------------------------------------
    static constexpr int kTimerIntervalMs = 100;
    void OnTimer();

    // --- Idle clock and screen lock (see CScreenLock) -----------------------------------
    CScreenLock& Lock() { return lock_; }

    // True when `watched` belongs to this window: the window itself, its widgets, its menus.
    bool InThisWindow(QObject* watched) const;

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
    // The menus of one menu resource, built when first asked for.
    const QList<QMenu*>& Menus(MenuResource resource);

    // --- Placement and help ----------------------------------------------------------
    void SaveWindowPlacement();
    // The outer rectangle of the window in its restored (not minimised or maximised) state.
    QRect RestoredFrameRect() const;
    // The stored placement still waits for the window manager's frame (or, for a window
    // started maximised, for the first restore).
    bool PlacementPending() const { return placementPending_; }
    // The window's outer rectangle, frame included, as the window manager last reported it
    // (the widget's own copy of the frame is refreshed only when the window moves).
    QRect OuterRect() const;
    // The help page "42.html": beside the installed data of the executable first, then in
    // the "Help" folder of the current directory. Empty when neither exists.
    static QString FindHelpPage();
    // The size of the primary screen (1024 x 768 when there is none).
    static QSize ScreenSize();
    // `frame` brought inside the area that windows may take on the screen it is mostly on
    // (the primary screen when it is on none).
    static QRect PlaceOnScreen(const QRect& frame);

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

private:
    void CreateMenus();
    void WireMenus(const QList<QMenu*>& menus);
    QMenu* WebMenu();
    void CreateToolBar();
    void CreateStatusBar();
    void ApplyPlacement();
    void UpdateMenuBar();
    void UpdateRecentFileActions();
    // The open document windows at the end of the Window menu, numbered, the active checked.
    void UpdateWindowList(QMenu* menu);
    void UpdateCaption();
    void RefreshSizePane();
    // The size and caret panes of the window that just became active (none: both empty).
    void RefreshDocumentPanes();
    void RefreshIndicators();
    void RefreshProtectionPane();
    void OnFileOpen();
    void OnFileNew();
    void OnWizard();
    void OnScreenLockOptions();
    void OnHelp();
    void OnWebSite();
    void ArrangeIcons();
    // Overlapping document windows, each a title bar lower than the one below it, all inside
    // the document area and as large as it allows.
    void CascadeChildFrames();
    void NoteFrameMargins();

    CFrameBusy busy_{*this};
    CScreenLock lock_{*this, app_};
    QMdiArea* mdiArea_ = nullptr;
    CommandActions* actions_ = nullptr;
    CTextToolBar* toolBar_ = nullptr;
    CFrameStatusBar* statusBar_ = nullptr;
    QList<QAction*> recentActions_;
    QList<QAction*> windowListActions_;
    QList<QMenu*> noDocumentMenus_;
    QList<QMenu*> documentMenus_;
    // Shown before Help while a browser window is active.
    QMenu* webMenu_ = nullptr;
    bool webMenuShown_ = false;
    MenuResource currentMenu_ = MenuResource::NoDocument;
    QTimer timer_;
    QRect pendingFrameRect_;
    bool placementApplied_ = false;
    // The stored outer rectangle still waits for the window manager's frame.
    bool placementPending_ = true;
    QMargins frameMargins_;
};
