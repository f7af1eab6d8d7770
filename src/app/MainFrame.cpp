#include "app/MainFrame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QStatusTipEvent>
#include <QToolButton>
#include <QWindow>

#include "app/AppSettings.h"
#include "app/EditorApp.h"
#include "app/FrameStatusBar.h"
#include "app/KeyboardIndicators.h"
#include "base/ProductInfo.h"
#include "controls/TextToolBar.h"
#include "documents/EncryptedDocument.h"
#include "framework/ChildFrame.h"
#include "framework/Clock.h"
#include "framework/CommandActions.h"
#include "framework/CommandIds.h"
#include "framework/DialogPolish.h"
#include "framework/Document.h"
#include "framework/FolderMemory.h"
#include "framework/LayoutMemory.h"

CMainFrame::CMainFrame(CEditorApp& app) : app_(app) {
    setObjectName(QStringLiteral("mainframe"));
    setWindowTitle(QString::fromLatin1(kAppTitle));
    setWindowIcon(QIcon(QStringLiteral(":/icons/ombrivault.svg")));
    setAcceptDrops(true);

    // Placement first, as the window is created: never (partly) off the screen, whatever the
    // settings say, and maximised again when it was.
    const WindowPlacement p = AppSettings::LoadWindowPlacement(ScreenSize());
    pendingFrameRect_ = PlaceOnScreen(QRect(p.x, p.y, p.cx, p.cy));
    move(pendingFrameRect_.topLeft());
    resize(pendingFrameRect_.size());
    if (p.maximized) {
        setWindowState(windowState() | Qt::WindowMaximized);
    }

    mdiArea_ = new QMdiArea(this);
    mdiArea_->setObjectName(QStringLiteral("mdiarea"));
    mdiArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdiArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdiArea_->setBackground(QColor(128, 128, 128));
    setCentralWidget(mdiArea_);
    connect(mdiArea_, &QMdiArea::subWindowActivated, this, [this] {
        RefreshDocumentPanes();
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
    // The file dialogs remember their folders in the program's own (owner-only) settings.
    FolderMemory::SetHooks({&AppSettings::LastFolder, &AppSettings::SetLastFolder, [this] {
                                const CMDIChildWnd* child = ActiveChildFrame();
                                const CDocument* doc =
                                    child != nullptr ? child->GetActiveDocument() : nullptr;
                                return doc != nullptr ? doc->GetPathName() : QString();
                            }});
    LayoutMemory::SetHooks({&AppSettings::LayoutSize, &AppSettings::SetLayoutSize});
    UpdateCommandStates();
}

CMainFrame::~CMainFrame() {
    SetDialogEndedHook({});
    FolderMemory::SetHooks({});
    LayoutMemory::SetHooks({});
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
            lock_.ResetIdleTimer();
        });
        // An open menu counts as activity as long as the user moves in it.
        connect(menu, &QMenu::hovered, this, [this] { lock_.ResetIdleTimer(); });
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
    connect(statusBar_, &CFrameStatusBar::cancelClicked, this, [this] { busy_.CancelAll(); });
    RefreshSizePane();
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
    // The pane belongs to the active window's document: another window's size never shows,
    // and nothing shows once every document has closed.
    const CMDIChildWnd* child = ActiveChildFrame();
    const CDocument* doc = child != nullptr ? child->GetActiveDocument() : nullptr;
    const int64_t bytes = doc != nullptr ? doc->StatusSizeBytes() : -1;
    SetStatusPaneText(CFrameStatusBar::Size,
                      bytes >= 0 ? CFrameStatusBar::SizeText(bytes) : QString());
}

void CMainFrame::RefreshDocumentPanes() {
    RefreshSizePane();
    const CMDIChildWnd* child = ActiveChildFrame();
    const CView* view = child != nullptr ? child->GetActiveView() : nullptr;
    SetStatusPaneText(kStatusCaret, view != nullptr ? view->CaretPaneText() : QString());
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
    if (lock_.IsScreenLocked()) {
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
