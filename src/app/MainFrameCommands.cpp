// The main frame's commands: the route a command travels, running and posting commands, and
// the handlers of the application-wide commands (new, open, wizard, help, web site, lock
// options) and of the screens shown at start-up.
#include "app/MainFrame.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMdiArea>
#include <QThread>
#include <QUrl>

#include "app/EditorApp.h"
#include "app/FrameStatusBar.h"
#include "app/NewDialog.h"
#include "app/ScreenLockDlg.h"
#include "app/WizardDlg.h"
#include "base/ProductInfo.h"
#include "controls/TextToolBar.h"
#include "documents/EncryptedDocument.h"
#include "framework/ChildFrame.h"
#include "framework/CommandActions.h"
#include "framework/CommandIds.h"
#include "framework/DocTemplate.h"
#include "framework/Document.h"
#include "framework/MessageBox.h"
#include "framework/ResultCodes.h"
#include "framework/TimedFileDialog.h"

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
    if ((lock_.IsScreenLocked() || busy_.IsBusy()) && !IsBusyCommand(id)) {
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
        lock_.LockScreen();
        return true;
    case ID_WINDOW_NEW:
        lock_.LockScreenDefaultPrompt();
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

void CMainFrame::ShowStartupScreens(bool lockAtStartup, bool showWizard) {
    if (lockAtStartup) {
        lock_.ClearReopenFlag(ReopenFlag::WizardAfterUnlock);
        Route().Dispatch(ID_LOCK_SCREEN);
        if (showWizard) {
            lock_.SetReopenFlag(ReopenFlag::WizardAfterUnlock);
        }
    }
    if (showWizard && !lock_.IsScreenLocked()) {
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
