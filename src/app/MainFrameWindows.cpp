// The main frame's document windows and their menus, its caption, its placement on the
// screen, closing and dropped files.
#include "app/MainFrame.h"

#include <algorithm>

#include <QApplication>
#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QUrl>
#include <QWindow>

#include "app/AppSettings.h"
#include "app/EditorApp.h"
#include "base/ProductInfo.h"
#include "framework/ChildFrame.h"
#include "framework/CommandActions.h"
#include "framework/CommandIds.h"
#include "framework/DocTemplate.h"
#include "framework/Document.h"

QSize CMainFrame::ScreenSize() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->geometry().size() : QSize(1024, 768);
}

QRect CMainFrame::PlaceOnScreen(const QRect& frame) {
    const QScreen* screen = QGuiApplication::screenAt(frame.center());
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    return screen != nullptr ? AppSettings::FitIntoArea(frame, screen->availableGeometry()) : frame;
}

void CMainFrame::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!placementApplied_) {
        placementApplied_ = true;
        // The stored size is the outer size; the window manager's frame is known only now.
        QTimer::singleShot(0, this, &CMainFrame::ApplyPlacement);
    }
}

void CMainFrame::ApplyPlacement() {
    if (pendingFrameRect_.isEmpty()) {
        placementPending_ = false;
        return;
    }
    if (isMaximized() || isMinimized()) {
        // The stored rectangle is where the window goes when it is restored; the window
        // manager's frame around it is known only then, so the placement waits for it.
        return;
    }
    const QSize extra = OuterRect().size() - geometry().size();
    if (extra.width() <= 0 && extra.height() <= 0) {
        // The window manager has not framed the window yet; the first move or resize that
        // brings its frame finishes the placement.
        return;
    }
    placementPending_ = false;
    // A lock at start-up came before the frame was known: it keeps the placed size.
    lock_.ResizeKeepingLockSize(pendingFrameRect_.size() - extra, pendingFrameRect_.size());
    move(pendingFrameRect_.topLeft());
    // A document opened at start-up was sized for the area before the window manager's frame
    // took its share.
    QTimer::singleShot(0, this, [this] {
        for (QMdiSubWindow* w : mdiArea_->subWindowList()) {
            if (auto* frame = qobject_cast<CMDIChildWnd*>(w)) {
                frame->FitContents();
            }
        }
    });
}

// --- Document windows ----------------------------------------------------------------

CMDIChildWnd* CMainFrame::ActiveChildFrame() const {
    QMdiSubWindow* active = mdiArea_->activeSubWindow();
    if (active == nullptr) {
        // Without focus in the program Qt reports no active window; the current one is
        // still the one commands are meant for.
        active = mdiArea_->currentSubWindow();
    }
    return qobject_cast<CMDIChildWnd*>(active);
}

namespace {

// The smallest size at which `window` shows its contents whole: the contents' own minimum and
// the title bar and borders around them.
QSize NeededSize(const QMdiSubWindow* window) {
    const auto* frame = qobject_cast<const CMDIChildWnd*>(window);
    const QWidget* inner = window->widget();
    if (frame == nullptr || inner == nullptr) {
        return window->minimumSizeHint();
    }
    const QSize decoration =
        (window->minimumSizeHint() - inner->minimumSizeHint()).expandedTo(QSize(0, 0));
    return frame->ContentMinimumSize() + decoration;
}

// The document windows that show on the area, neither hidden nor minimised.
QList<QMdiSubWindow*> ShownSubWindows(const QMdiArea& area, QMdiArea::WindowOrder order) {
    QList<QMdiSubWindow*> shown;
    for (QMdiSubWindow* w : area.subWindowList(order)) {
        if (!w->isHidden() && !w->isMinimized()) {
            shown << w;
        }
    }
    return shown;
}

// How far one cascaded window sits below and right of the one before: its title bar.
int CascadeStep(const QList<QMdiSubWindow*>& windows) {
    for (const QMdiSubWindow* w : windows) {
        if (w->widget() != nullptr && w->widget()->y() > 0) {
            return w->widget()->y();
        }
    }
    return 24;
}

// Where the `index`th of a cascade of windows of `wanted` size goes: a title bar lower and
// further right than the one before, back at the top after a third of the area, and no larger
// than the area leaves it there. Every title bar stays in sight, even where that leaves a
// window smaller than it wanted (its panes scroll).
QRect CascadeRect(int index, int step, const QSize& wanted, const QSize& area) {
    const int places = std::max(1, std::min(area.width(), area.height()) / 3 / step);
    const int offset = (index % places) * step;
    return {QPoint(offset, offset), wanted.boundedTo(area - QSize(offset, offset))};
}

} // namespace

void CMainFrame::AddChildFrame(CMDIChildWnd* frame) {
    const QList<QMdiSubWindow*> others = ShownSubWindows(*mdiArea_, QMdiArea::CreationOrder);
    mdiArea_->addSubWindow(frame);
    // Before the frame is laid out the document area has no size of its own yet.
    const QSize area = mdiArea_->viewport()->size().expandedTo(size() - QSize(40, 160));
    // Three quarters of the area, or what the contents need; never past the area, where the
    // panes scroll instead.
    const QSize opening =
        (area.expandedTo(QSize(640, 480)) * 3 / 4).expandedTo(NeededSize(frame)).boundedTo(area);
    // A new window opens below and right of the ones already open.
    frame->setGeometry(
        CascadeRect(static_cast<int>(others.size()), CascadeStep(others), opening, area));
}

void CMainFrame::CascadeChildFrames() {
    const QList<QMdiSubWindow*> windows = ShownSubWindows(*mdiArea_, QMdiArea::StackingOrder);
    for (QMdiSubWindow* w : windows) {
        if (w->isMaximized()) {
            w->showNormal();
        }
    }
    if (windows.isEmpty()) {
        return;
    }
    const int step = CascadeStep(windows);
    const int count = static_cast<int>(windows.size());
    for (int i = 0; i < count; ++i) {
        const QSize area = mdiArea_->viewport()->size();
        QMdiSubWindow* w = windows[i];
        const QSize wanted =
            (area - QSize(step, step) * (count - 1)).expandedTo(NeededSize(w)).boundedTo(area);
        w->setGeometry(CascadeRect(i, step, wanted, area));
        w->raise();
    }
}

void CMainFrame::ActivateChildFrame(CMDIChildWnd* frame) {
    if (frame->isMinimized()) {
        frame->showNormal();
    }
    mdiArea_->setActiveSubWindow(frame);
    UpdateMenuBar();
    UpdateCaption();
}

void CMainFrame::UpdateMenuBar() {
    MenuResource wanted = MenuResource::NoDocument;
    bool web = false;
    if (CMDIChildWnd* child = ActiveChildFrame()) {
        const CDocument* doc = child->GetActiveDocument();
        const CDocTemplate* t = doc != nullptr ? doc->GetDocTemplate() : nullptr;
        web = t != nullptr && t == app_.BrowserTemplate();
        // A browser window is a document window like the others: it closes from the File
        // menu, edits and finds from the Edit menu and is listed in the Window menu; its own
        // commands add the Web menu.
        if (web || (t != nullptr && t->GetMenuId() == static_cast<int>(MenuResource::Document))) {
            wanted = MenuResource::Document;
        }
    }
    if (wanted == currentMenu_ && web == webMenuShown_) {
        return;
    }
    currentMenu_ = wanted;
    webMenuShown_ = web;
    menuBar()->clear();
    const QList<QMenu*>& menus = Menus(wanted);
    for (int i = 0; i < menus.size(); ++i) {
        if (web && i == menus.size() - 1) {
            menuBar()->addMenu(WebMenu());
        }
        menuBar()->addMenu(menus[i]);
    }
    actions_->Action(ID_WEB_BROWSER)->setText(WebBrowserMenuText(wanted));
}

void CMainFrame::UpdateRecentFileActions() {
    const CRecentFileList& recent = app_.DocManager().RecentFiles();
    const int count = static_cast<int>(recent.Files().size());
    for (int i = 0; i < recentActions_.size(); ++i) {
        QAction* action = recentActions_[i];
        if (i < count) {
            action->setText(recent.MenuText(i));
            action->setVisible(true);
        } else if (i == 0) {
            action->setText(QStringLiteral("Recent File"));
            action->setVisible(true);
        } else {
            action->setVisible(false);
        }
    }
}

void CMainFrame::UpdateCaption() {
    QString caption = QString::fromLatin1(kAppTitle);
    if (CMDIChildWnd* child = ActiveChildFrame()) {
        if (child->GetActiveDocument() != nullptr) {
            // A maximised document window names itself in brackets, as the document area
            // adds it to the caption of the window it fills.
            caption += child->isMaximized()
                           ? QStringLiteral(" - [%1]").arg(child->windowTitle())
                           : QStringLiteral(" - ") + child->GetActiveDocument()->GetTitle();
        }
    }
    if (windowTitle() != caption) {
        setWindowTitle(caption);
    }
}

// --- Closing, placement, drops -------------------------------------------------------

QRect CMainFrame::RestoredFrameRect() const {
    if (isMinimized() || isMaximized() || isFullScreen()) {
        // A window that has not been restored since it started keeps the placement it was
        // started with.
        if (placementPending_ && !pendingFrameRect_.isEmpty()) {
            return pendingFrameRect_;
        }
        return normalGeometry().marginsAdded(frameMargins_);
    }
    return OuterRect();
}

QRect CMainFrame::OuterRect() const {
    const QWindow* handle = windowHandle();
    return handle != nullptr ? handle->frameGeometry() : frameGeometry();
}

void CMainFrame::SaveWindowPlacement() {
    AppSettings::SaveWindowPlacement(RestoredFrameRect(), ScreenSize(),
                                     windowState().testFlag(Qt::WindowMaximized));
}

void CMainFrame::NoteFrameMargins() {
    if (windowState() == Qt::WindowNoState && isVisible()) {
        const QRect outer = OuterRect();
        const QRect inner = geometry();
        frameMargins_ = QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                                 outer.right() - inner.right(), outer.bottom() - inner.bottom());
        if (placementPending_ && placementApplied_ && !frameMargins_.isNull()) {
            ApplyPlacement();
        }
    }
}

void CMainFrame::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    NoteFrameMargins();
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    NoteFrameMargins();
    if (JMatrixCtrl* overlay = lock_.Overlay()) {
        overlay->setGeometry(rect());
    }
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (busy_.IsBusy()) {
        event->ignore(); // no closing while a long operation runs
        return;
    }
    // The restored rectangle and the maximised state are what the next start shows. The
    // window stays as it is while the documents are asked about their changes, and after a
    // Cancel.
    SaveWindowPlacement();
    if (!app_.DocManager().SaveAllModified()) {
        event->ignore();
        return;
    }
    app_.DocManager().CloseAllDocuments();
    event->accept();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    // Nothing opens behind the lock.
    if (!lock_.IsScreenLocked() && event->mimeData()->hasUrls()) {
        for (const QUrl& url : event->mimeData()->urls()) {
            if (url.isLocalFile()) {
                event->acceptProposedAction();
                return;
            }
        }
    }
}

void CMainFrame::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    event->acceptProposedAction();
    for (const QUrl& url : urls) {
        if (url.isLocalFile()) {
            app_.OpenDocumentFile(url.toLocalFile());
        }
    }
}
