#include "app/MainFrame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QStatusTipEvent>
#include <QThread>
#include <QToolButton>
#include <QUrl>
#include <QWindow>

#include "app/AppSettings.h"
#include "app/EditorApp.h"
#include "app/FrameStatusBar.h"
#include "app/KeyboardIndicators.h"
#include "app/NewDialog.h"
#include "app/ProductInfo.h"
#include "app/ScreenLockDlg.h"
#include "app/WizardDlg.h"
#include "controls/TextToolBar.h"
#include "documents/EncryptedDocument.h"
#include "framework/ChildFrame.h"
#include "framework/Clock.h"
#include "framework/CommandActions.h"
#include "framework/CommandIds.h"
#include "framework/DialogPolish.h"
#include "framework/DocTemplate.h"
#include "framework/Document.h"
#include "framework/MessageBox.h"
#include "framework/ResultCodes.h"
#include "framework/TimedFileDialog.h"

CMainFrame::CMainFrame(CEditorApp& app) : app_(app) {
    setObjectName(QStringLiteral("mainframe"));
    setWindowTitle(QString::fromLatin1(kAppTitle));
    setWindowIcon(QIcon(QStringLiteral(":/icons/ombrivault.svg")));
    setAcceptDrops(true);

    // Placement first, as the window is created.
    const WindowPlacement p = AppSettings::LoadWindowPlacement(ScreenSize());
    pendingFrameRect_ = QRect(p.x, p.y, p.cx, p.cy);
    move(p.x, p.y);
    resize(p.cx, p.cy);

    mdiArea_ = new QMdiArea(this);
    mdiArea_->setObjectName(QStringLiteral("mdiarea"));
    mdiArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdiArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdiArea_->setBackground(QColor(128, 128, 128));
    setCentralWidget(mdiArea_);
    connect(mdiArea_, &QMdiArea::subWindowActivated, this, [this] {
        UpdateMenuBar();
        UpdateCaption();
        UpdateCommandStates();
    });

    actions_ = new CommandActions(
        this, [this](int id) { ExecuteCommand(id); }, [this] { return Route(); });
    actions_->Add(ProgramCommands());
    std::vector<CommandDescriptor> recent;
    for (int i = 0; i < kRecentFileCount; ++i) {
        recent.push_back({ID_FILE_MRU_FILE1 + i,
                          QStringLiteral("Recent File"),
                          QStringLiteral("Open this document"),
                          {},
                          {}});
    }
    actions_->Add(recent);
    for (int i = 0; i < kRecentFileCount; ++i) {
        recentActions_ << actions_->Action(ID_FILE_MRU_FILE1 + i);
    }
    // Accelerators work whichever menu shows.
    for (int id : actions_->Ids()) {
        addAction(actions_->Action(id));
    }

    CreateMenus();
    CreateToolBar();
    CreateStatusBar();

    timer_.setInterval(kTimerIntervalMs);
    connect(&timer_, &QTimer::timeout, this, &CMainFrame::OnTimer);
    timer_.start();

    qApp->installEventFilter(this);
    CLockHost::SetCurrent(&lock_);
    CCommandHost::SetCurrent(this);
    CBusyHost::SetCurrent(&busy_);
    SetDialogEndedHook([this] { ResetHover(); });
    UpdateCommandStates();
}

CMainFrame::~CMainFrame() {
    SetDialogEndedHook({});
    qApp->removeEventFilter(this);
    if (CLockHost::Current() == &lock_) {
        CLockHost::SetCurrent(nullptr);
    }
    if (CCommandHost::Current() == this) {
        CCommandHost::SetCurrent(nullptr);
    }
    if (CBusyHost::Current() == &busy_) {
        CBusyHost::SetCurrent(nullptr);
    }
}

// --- Creation ----------------------------------------------------------------------

void CMainFrame::CreateMenus() {
    // Only the menus without a document show at start; the others are built when first shown.
    currentMenu_ = MenuResource::Document; // forces the first switch
    UpdateMenuBar();
}

void CMainFrame::WireMenus(const QList<QMenu*>& menus) {
    for (QMenu* menu : menus) {
        connect(menu, &QMenu::aboutToShow, this, [this] {
            UpdateCommandStates();
            UpdateRecentFileActions();
            ResetIdleTimer();
        });
        // An open menu counts as activity as long as the user moves in it.
        connect(menu, &QMenu::hovered, this, [this] { ResetIdleTimer(); });
        if (menu->title() == QStringLiteral("&Window")) {
            connect(menu, &QMenu::aboutToShow, this, [this, menu] { UpdateWindowList(menu); });
        }
    }
}

const QList<QMenu*>& CMainFrame::Menus(MenuResource resource) {
    QList<QMenu*>& menus = resource == MenuResource::Document ? documentMenus_ : noDocumentMenus_;
    if (menus.isEmpty()) {
        menus = BuildMenus(resource, *actions_, recentActions_, this);
        WireMenus(menus);
    }
    return menus;
}

QMenu* CMainFrame::WebMenu() {
    if (webMenu_ == nullptr) {
        webMenu_ = BuildWebMenu(*actions_, this);
        WireMenus({webMenu_});
    }
    return webMenu_;
}

void CMainFrame::UpdateWindowList(QMenu* menu) {
    for (QAction* old : windowListActions_) {
        menu->removeAction(old);
        old->deleteLater();
    }
    windowListActions_.clear();
    const QList<QMdiSubWindow*> windows = mdiArea_->subWindowList();
    if (windows.isEmpty()) {
        return;
    }
    windowListActions_ << menu->addSeparator();
    QMdiSubWindow* active = ActiveChildFrame();
    int number = 0;
    for (QMdiSubWindow* w : windows) {
        ++number;
        auto* child = qobject_cast<CMDIChildWnd*>(w);
        QString title = child != nullptr && child->GetActiveDocument() != nullptr
                            ? child->GetActiveDocument()->GetTitle()
                            : w->windowTitle();
        title.replace(QLatin1Char('&'), QStringLiteral("&&"));
        const QString prefix =
            number < 10 ? QStringLiteral("&%1 ").arg(number) : QStringLiteral("%1 ").arg(number);
        QAction* action = menu->addAction(prefix + title);
        // Only the active window carries a mark; the others show no empty box.
        action->setCheckable(w == active);
        action->setChecked(w == active);
        QPointer<QMdiSubWindow> target(w);
        connect(action, &QAction::triggered, this, [this, target] {
            if (auto* frame = qobject_cast<CMDIChildWnd*>(target.data())) {
                ActivateChildFrame(frame);
            } else if (target) {
                mdiArea_->setActiveSubWindow(target);
            }
        });
        windowListActions_ << action;
    }
}

void CMainFrame::CreateToolBar() {
    toolBar_ = new CTextToolBar(this);
    toolBar_->SetButtons(ToolbarButtons(), *actions_);
    addToolBar(Qt::TopToolBarArea, toolBar_);
}

void CMainFrame::CreateStatusBar() {
    statusBar_ = new CFrameStatusBar(this);
    setStatusBar(statusBar_);
    RefreshSizePane();
}

// --- Commands ------------------------------------------------------------------------

CommandRoute CMainFrame::Route() const {
    std::vector<CCmdTarget*> targets;
    if (CMDIChildWnd* child = ActiveChildFrame()) {
        targets.push_back(child->GetActiveView());
        targets.push_back(child->GetActiveDocument());
        targets.push_back(child);
    }
    targets.push_back(const_cast<CMainFrame*>(this));
    targets.push_back(&app_);
    return CommandRoute(std::move(targets));
}

void CMainFrame::ExecuteCommand(int id) {
    // While locked or busy every command but the busy protocol's own is swallowed.
    if ((IsScreenLocked() || busy_.IsBusy()) && !IsBusyCommand(id)) {
        return;
    }
    Route().Dispatch(id);
}

void CMainFrame::SendCommand(int id) {
    const auto type =
        QThread::currentThread() == thread() ? Qt::DirectConnection : Qt::BlockingQueuedConnection;
    QMetaObject::invokeMethod(
        this, [this, id] { ExecuteCommand(id); }, type);
}

void CMainFrame::PostCommand(int id) {
    QMetaObject::invokeMethod(
        this, [this, id] { ExecuteCommand(id); }, Qt::QueuedConnection);
}

void CMainFrame::UpdateCommandStates() {
    actions_->UpdateAll();
}

bool CMainFrame::OnCommand(int id) {
    switch (id) {
    case ID_FILE_NEW:
        OnFileNew();
        return true;
    case ID_FILE_OPEN:
        OnFileOpen();
        return true;
    case ID_WIZARD:
        OnWizard();
        return true;
    case ID_SCREEN_LOCK_OPTIONS:
        OnScreenLockOptions();
        return true;
    case ID_LOCK_SCREEN:
        LockScreen();
        return true;
    case ID_WINDOW_NEW:
        LockScreenDefaultPrompt();
        return true;
    case ID_WEB_BROWSER:
        if (CDocTemplate* browser = app_.BrowserTemplate()) {
            browser->OpenDocumentFile(QString(), true);
        }
        return true;
    case ID_HELP:
        OnHelp();
        return true;
    case ID_WEB_SITE:
        OnWebSite();
        return true;
    case ID_BEGIN_BUSY:
        busy_.BeginBusy();
        return true;
    case ID_END_BUSY:
        busy_.EndBusy();
        return true;
    case ID_STEP_BUSY:
        busy_.StepBusy();
        return true;
    case ID_VIEW_TOOLBAR:
        toolBar_->setVisible(!toolBar_->isVisible());
        return true;
    case ID_VIEW_STATUS_BAR:
        statusBar_->setVisible(!statusBar_->isVisible());
        return true;
    case ID_WINDOW_CASCADE:
        CascadeChildFrames();
        return true;
    case ID_WINDOW_TILE_HORZ:
        mdiArea_->tileSubWindows();
        return true;
    case ID_WINDOW_ARRANGE:
        ArrangeIcons();
        return true;
    case ID_NEXT_PANE:
        mdiArea_->activateNextSubWindow();
        return true;
    case ID_PREV_PANE:
        mdiArea_->activatePreviousSubWindow();
        return true;
    default:
        return false;
    }
}

bool CMainFrame::OnUpdateCommand(CCmdUI& ui) {
    switch (ui.id) {
    case ID_FILE_NEW:
    case ID_FILE_OPEN:
    case ID_WIZARD:
    case ID_SCREEN_LOCK_OPTIONS:
    case ID_LOCK_SCREEN:
    case ID_WINDOW_NEW:
    case ID_WEB_BROWSER:
    case ID_HELP:
    case ID_WEB_SITE:
    case ID_BEGIN_BUSY:
    case ID_END_BUSY:
    case ID_STEP_BUSY:
        return true;
    case ID_VIEW_TOOLBAR:
        ui.SetCheck(!toolBar_->isHidden());
        return true;
    case ID_VIEW_STATUS_BAR:
        ui.SetCheck(!statusBar_->isHidden());
        return true;
    case ID_WINDOW_CASCADE:
    case ID_WINDOW_TILE_HORZ:
    case ID_WINDOW_ARRANGE:
    case ID_NEXT_PANE:
    case ID_PREV_PANE:
        ui.Enable(!mdiArea_->subWindowList().isEmpty());
        return true;
    default:
        return false;
    }
}

void CMainFrame::OnFileNew() {
    CNewDialog dialog(this);
    CDocTemplate* chosen = nullptr;
    switch (dialog.DoModal()) {
    case CNewDialog::Text:
        chosen = app_.TextTemplate();
        break;
    case CNewDialog::Passwords:
        chosen = app_.PasswordsTemplate();
        break;
    case CNewDialog::Storage:
        chosen = app_.StorageTemplate();
        break;
    default:
        break;
    }
    if (chosen != nullptr) {
        chosen->OpenDocumentFile(QString(), true);
    }
}

void CMainFrame::OnWizard() {
    CWizardDlg wizard(this);
    wizard.SetReceiver([this](int id) { DispatchCommand(id); });
    wizard.DoModal();
}

void CMainFrame::OnFileOpen() {
    CTimedFileDialog dialog(true, QString(), QString(), CTimedFileDialog::FileMustExist,
                            QString::fromStdString(OpenFilter()), nullptr, 0);
    if (dialog.DoModal() == IDOK) {
        app_.OpenDocumentFile(dialog.GetPathName());
    }
}

QString CMainFrame::FindHelpPage() {
    const QString installed =
        QDir(QCoreApplication::applicationDirPath())
            .absoluteFilePath(QStringLiteral("../share/ombrivault/Help/42.html"));
    const QString local = QDir::current().absoluteFilePath(QStringLiteral("Help/42.html"));
    for (const QString& candidate : {installed, local}) {
        if (QFileInfo(candidate).isFile()) {
            return QFileInfo(candidate).canonicalFilePath();
        }
    }
    return {};
}

void CMainFrame::OnHelp() {
    const QString page = FindHelpPage();
    if (page.isEmpty() || !QDesktopServices::openUrl(QUrl::fromLocalFile(page))) {
        ShowMessageBox(this, QStringLiteral("The help page 42.html could not be opened."),
                       QString::fromLatin1(kAppTitle), MessageButtons::Ok,
                       MessageIcon::Exclamation);
    }
}

void CMainFrame::OnWebSite() {
    OpenUrlOrSay(this, QUrl(QString::fromLatin1(kProductWebSite)));
}

void CMainFrame::ArrangeIcons() {
    // Minimised document windows line up along the bottom edge of the document area.
    int x = 0;
    const int bottom = mdiArea_->viewport()->height();
    for (QMdiSubWindow* w : mdiArea_->subWindowList()) {
        if (w->isMinimized()) {
            w->move(x, bottom - w->height());
            x += w->width();
        }
    }
}

// --- Status bar, toolbar -------------------------------------------------------------

void CMainFrame::SetStatusPaneText(int index, const QString& text) {
    if (statusBar_ != nullptr) {
        statusBar_->SetPaneText(index, text);
    }
}

QString CMainFrame::StatusPaneText(int index) const {
    return statusBar_ != nullptr ? statusBar_->PaneText(index) : QString();
}

void CMainFrame::PressToolbarButton(int id, bool pressed) {
    if (toolBar_ != nullptr) {
        toolBar_->PressButton(id, pressed);
    }
}

void CMainFrame::ResetHover() {
    // A dialog took the pointer away without the leave reaching the toolbar: the prompt of
    // the button last hovered and its highlight would stay.
    if (statusBar_ != nullptr) {
        statusBar_->clearMessage();
    }
    if (toolBar_ != nullptr) {
        const QPoint pointer = QCursor::pos();
        for (QToolButton* button : toolBar_->findChildren<QToolButton*>()) {
            if (button->testAttribute(Qt::WA_UnderMouse) &&
                !button->rect().contains(button->mapFromGlobal(pointer))) {
                button->setAttribute(Qt::WA_UnderMouse, false);
                button->update();
            }
        }
    }
}

void CMainFrame::RefreshSizePane() {
    SetStatusPaneText(CFrameStatusBar::Size,
                      CFrameStatusBar::SizeText(Busy().StatusSizeBytes.load()));
}

void CMainFrame::RefreshProtectionPane() {
    const CMDIChildWnd* child = ActiveChildFrame();
    SetStatusPaneText(kStatusProtection,
                      CEncryptedDocument::ProtectionPaneText(
                          child != nullptr ? child->GetActiveDocument() : nullptr));
}

void CMainFrame::RefreshIndicators() {
    const KeyboardIndicatorState state = ReadKeyboardIndicators();
    if (statusBar_ != nullptr) {
        statusBar_->SetIndicators(state.caps, state.num, state.scroll);
    }
}

bool CMainFrame::event(QEvent* event) {
    if (event->type() == QEvent::StatusTip && statusBar_ != nullptr) {
        // A prompt replaces the message pane while an item is highlighted; "Ready" (or
        // "Please wait..." while busy) comes back when it goes away.
        const QString tip = static_cast<QStatusTipEvent*>(event)->tip().trimmed();
        if (tip.isEmpty()) {
            statusBar_->clearMessage();
        } else {
            statusBar_->showMessage(tip);
        }
        return true;
    }
    return QMainWindow::event(event);
}

bool CMainFrame::InThisWindow(QObject* watched) const {
    if (const auto* window = qobject_cast<const QWindow*>(watched)) {
        // Events for the window's native surface.
        return window == windowHandle();
    }
    // Actions and shortcuts belong to the widget they hang from.
    const QObject* owner = watched;
    while (owner != nullptr && !owner->isWidgetType()) {
        owner = owner->parent();
    }
    const auto* widget = static_cast<const QWidget*>(owner);
    if (widget == nullptr) {
        return false;
    }
    if (widget->window() == this) {
        return true;
    }
    // Menus of the menu bar and the toolbar are windows of their own.
    const auto* menu = qobject_cast<const QMenu*>(widget);
    return menu != nullptr &&
           (noDocumentMenus_.contains(const_cast<QMenu*>(menu)) ||
            documentMenus_.contains(const_cast<QMenu*>(menu)) || menu == webMenu_);
}

bool CMainFrame::PreTranslateMessage(QObject* watched, QEvent* event) {
    if (IsScreenLocked()) {
        return lock_.Filter(watched, event);
    }
    if (!busy_.IsBusy()) {
        return false;
    }
    switch (event->type()) {
    case QEvent::KeyPress:
        return InThisWindow(watched);
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        const auto button = static_cast<QMouseEvent*>(event)->button();
        return (button == Qt::LeftButton || button == Qt::RightButton) && InThisWindow(watched);
    }
    default:
        return false;
    }
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (PreTranslateMessage(watched, event)) {
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

// --- Timer tick ----------------------------------------------------------------------

void CMainFrame::OnTimer() {
    if (lock_.IdleCheck()) {
        return;
    }
    RefreshSizePane();
    RefreshIndicators();
    RefreshProtectionPane();
    UpdateCommandStates();
    UpdateCaption();
}

void CMainFrame::ShowStartupScreens(bool lockAtStartup, bool showWizard) {
    if (lockAtStartup) {
        ClearReopenFlag(ReopenFlag::WizardAfterUnlock);
        Route().Dispatch(ID_LOCK_SCREEN);
        if (showWizard) {
            SetReopenFlag(ReopenFlag::WizardAfterUnlock);
        }
    }
    if (showWizard && !IsScreenLocked()) {
        Route().Dispatch(ID_WIZARD);
    }
}

void CMainFrame::OnScreenLockOptions() {
    app_.LoadScreenLockSettings();
    if (app_.LockSettings().passwordEnabled != 0 && !lock_.RequestScreenPassword(true)) {
        return;
    }
    CScreenLockDlg dialog(app_, this);
    dialog.DoModal();
}
