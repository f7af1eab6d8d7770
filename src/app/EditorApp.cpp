#include "app/EditorApp.h"

#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPageSetupDialog>
#include <QPointer>
#include <QPrinter>
#include <QScreen>
#include <QThread>

#include "app/AboutDlg.h"
#include "app/AppSettings.h"
#include "app/CommonAppData.h"
#include "app/DesktopLockWatcher.h"
#include "app/DocumentTemplates.h"
#include "app/MainFrame.h"
#include "app/SingleInstance.h"
#include "base/CodePage.h"
#include "base/ProductInfo.h"
#include "documents/EncryptedDocument.h"
#include "framework/ChildFrame.h"
#include "framework/CommandIds.h"
#include "framework/DocTemplate.h"
#include "framework/Document.h"
#include "framework/ModalSeam.h"

namespace {
CEditorApp* g_app = nullptr;
} // namespace

CEditorApp::CEditorApp() : docManager_(kRecentFileCount), lockStore_(GetCommonAppDataPath()) {
    g_app = this;
    CPrintHost::SetCurrent(this);
}

CEditorApp::~CEditorApp() {
    desktopLock_.reset();
    // Documents go before the frame whose windows show them.
    docManager_.CloseAllDocuments();
    mainFrame_.reset();
    if (g_app == this) {
        g_app = nullptr;
    }
    if (CPrintHost::Current() == this) {
        CPrintHost::SetCurrent(nullptr);
    }
}

CEditorApp* CEditorApp::Instance() {
    return g_app;
}

QString CEditorApp::SingleInstanceKey() {
    // One running program per settings file, so separate profiles (and tests) stay apart.
    return AppSettings::Open()->fileName();
}

void CEditorApp::ApplyCodePageSetting() {
    // $OMBRIVAULT_CODEPAGE, read by the code page itself, wins over the stored setting.
    const char* env = std::getenv("OMBRIVAULT_CODEPAGE");
    if (env != nullptr && *env != '\0') {
        if (!CodePage::IsKnown(env)) {
            std::fprintf(stderr,
                         "ombrivault: OMBRIVAULT_CODEPAGE \"%s\" is unknown or not one in which "
                         "ASCII characters are single bytes; using %s\n",
                         env, CodePage::Program()->Name().c_str());
        }
        return;
    }
    const QString name = AppSettings::CodePageName();
    if (!name.isEmpty() && !CodePage::SetProgram(name.toStdString())) {
        std::fprintf(stderr,
                     "ombrivault: code page \"%s\" in the settings is unknown or not one in which "
                     "ASCII characters are single bytes; using %s\n",
                     name.toLocal8Bit().constData(), CodePage::Program()->Name().c_str());
    }
}

bool CEditorApp::HandOverToRunningInstance(const QStringList& arguments) {
    const CCommandLineInfo info = ParseCommandLine(arguments);
    if (!info.NamesFile() || (info.shellCommand != CCommandLineInfo::FileOpen &&
                              info.shellCommand != CCommandLineInfo::FileDDE)) {
        return false;
    }
    const SingleInstance probe(SingleInstanceKey());
    return probe.HandOver({QFileInfo(info.fileName).absoluteFilePath()});
}

bool CEditorApp::LockRunningInstance() {
    return SingleInstance(SingleInstanceKey()).RequestLock();
}

bool CEditorApp::InitInstance(const QStringList& arguments) {
    // Without a screen there is nothing to show, so give up before anything is built.
    if (QGuiApplication::primaryScreen() == nullptr) {
        std::fprintf(stderr, "%s\n", kInitFailedText);
        return false;
    }
    // The organisation and application names decide where the settings file lives; they
    // must be set before anything reads a setting, the code page included.
    QCoreApplication::setOrganizationName(QString::fromLatin1(kRegistryKey));
    QCoreApplication::setApplicationName(QString::fromLatin1(kAppTitle));
    // Lets the desktop match the windows to the launcher entry of that name.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopId));
    ApplyCodePageSetting();

    // The recent files come back from the settings, and every change goes straight back.
    {
        const auto settings = AppSettings::Open();
        docManager_.RecentFiles().ReadList(*settings);
    }
    docManager_.SetRecentFilesChanged([this] { StoreRecentFiles(); });

    // The document kinds, in the order the document manager asks them about a file; each
    // carries its own menu, which the frame switches to when such a document is active.
    RegisterDocumentTemplates(docManager_);

    // The main frame; it accepts dropped files, and the document manager opens windows in it.
    mainFrame_ = std::make_unique<CMainFrame>(*this);
    docManager_.SetFrameHost(mainFrame_.get());

    // A second launch hands its files to this program instead of starting another one.
    instance_ = std::make_unique<SingleInstance>(SingleInstanceKey());
    connect(instance_.get(), &SingleInstance::filesReceived, this,
            [this](const QStringList& files) {
                for (const QString& file : files) {
                    OpenDocumentFile(file);
                }
                if (mainFrame_ != nullptr) {
                    mainFrame_->showNormal();
                    mainFrame_->raise();
                    mainFrame_->activateWindow();
                }
            });
    instance_->SetLockHandler([this] {
        if (mainFrame_ == nullptr) {
            return false;
        }
        mainFrame_->Lock().LockAsAway();
        return mainFrame_->Lock().IsScreenLocked();
    });
    instance_->Listen();

    // The lock settings are needed before the first window shows: they decide the start-up
    // lock and the idle timeout.
    LoadScreenLockSettings();

    // A file on the command line opens before the window shows; if it cannot be opened the
    // program ends, as there is nothing the user asked for to show.
    commandLine_ = ParseCommandLine(arguments);
    if (commandLine_.NamesFile()) {
        CDocument* doc = OpenDocumentFile(commandLine_.fileName);
        if (doc == nullptr) {
            return false;
        }
        const bool print = commandLine_.shellCommand == CCommandLineInfo::FilePrint ||
                           commandLine_.shellCommand == CCommandLineInfo::FilePrintTo;
        auto* encrypted = dynamic_cast<CEncryptedDocument*>(doc);
        if (encrypted != nullptr && encrypted->IsDerivingKey()) {
            // A file with strong protection gets its contents once its key is derived: the
            // printing, or the end of a program whose file did not open, waits for that.
            encrypted->SetOpenedCallback([this, print, doc](bool opened) {
                if (opened && print) {
                    PrintFromShell(doc);
                }
                if (!opened || print) {
                    EndFromShell(opened ? 0 : 1);
                }
            });
            if (print) {
                return true; // the window stays hidden until the program ends
            }
        } else if (print) {
            PrintFromShell(doc);
            return false;
        }
    }

    // Only now is the window shown, so the user never sees it half built.
    mainFrame_->show();

    // From now on the program also locks when the desktop does.
    desktopLock_ = std::make_unique<DesktopLockWatcher>(
        [this](DesktopLockWatcher::Reason) { OnDesktopAway(); });
    desktopLock_->SetSleepDelayWanted(lockSettings_.lockWithDesktop != 0);
    desktopLock_->Start();

    // Without a file from the command line, the start-up lock or the welcome wizard comes up.
    if (commandLine_.WantsStartupScreens()) {
        mainFrame_->ShowStartupScreens(lockSettings_.lockAtStartup != 0,
                                       AppSettings::GetShowWizard() != 0);
    }
    return true;
}

void CEditorApp::PrintFromShell(CDocument* doc) {
    if (!commandLine_.printerName.isEmpty()) {
        Printer().setPrinterName(commandLine_.printerName);
    }
    mainFrame_->ExecuteCommand(ID_FILE_PRINT_DIRECT);
    // Printing from the shell ends the program once the document is printed.
    doc->OnCloseDocument();
}

void CEditorApp::EndFromShell(int code) {
    // Only a running event loop can be ended; without one (a test drives the program) asking
    // would end the next dialog's loop instead.
    if (QThread::currentThread()->loopLevel() > 0) {
        QCoreApplication::exit(code);
    }
}

int CEditorApp::ExitInstance() {
    desktopLock_.reset();
    instance_.reset();
    return 0;
}

void CEditorApp::OnDesktopAway() {
    // Another instance may have switched it off meanwhile.
    LoadScreenLockSettings();
    if (lockSettings_.lockWithDesktop != 0 && mainFrame_ != nullptr) {
        mainFrame_->Lock().LockAsAway();
    }
}

CDocTemplate* CEditorApp::TextTemplate() const {
    return docManager_.FindTemplate(IDR_TEXT_TYPE);
}

CDocTemplate* CEditorApp::PasswordsTemplate() const {
    return docManager_.FindTemplate(IDR_PASSWORDS_TYPE);
}

CDocTemplate* CEditorApp::StorageTemplate() const {
    return docManager_.FindTemplate(IDR_STORAGE_TYPE);
}

CDocTemplate* CEditorApp::BrowserTemplate() const {
    return docManager_.FindTemplate(IDR_BROWSER_TYPE);
}

CDocument* CEditorApp::OpenDocumentFile(const QString& path) {
    // A file that does not open leaves the window that was active in front.
    QPointer<CMDIChildWnd> active =
        mainFrame_ != nullptr ? mainFrame_->ActiveChildFrame() : nullptr;
    CDocument* doc = docManager_.OpenDocumentFile(path);
    if (doc == nullptr && active != nullptr && mainFrame_->ActiveChildFrame() != active) {
        mainFrame_->ActivateChildFrame(active);
    }
    return doc;
}

bool CEditorApp::LoadScreenLockSettings() {
    const bool ok = lockStore_.Load(lockSettings_);
    if (desktopLock_ != nullptr) {
        desktopLock_->SetSleepDelayWanted(lockSettings_.lockWithDesktop != 0);
    }
    if (ok && mainFrame_ != nullptr) {
        mainFrame_->Lock().SetIdleTimeoutSeconds(
            static_cast<uint32_t>(TimeoutMinutes(lockSettings_.timeoutIndex)) * 60);
        mainFrame_->Lock().SetPromptText(lockSettings_.promptText);
    }
    return ok;
}

bool CEditorApp::SaveScreenLockSettings() {
    if (!lockStore_.Save(lockSettings_)) {
        return false;
    }
    if (desktopLock_ != nullptr) {
        desktopLock_->SetSleepDelayWanted(lockSettings_.lockWithDesktop != 0);
    }
    return true;
}

QPrinter& CEditorApp::Printer() {
    if (!printer_) {
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    }
    return *printer_;
}

void CEditorApp::StoreRecentFiles() {
    const auto settings = AppSettings::Open();
    docManager_.RecentFiles().WriteList(*settings);
}

bool CEditorApp::OnCommand(int id) {
    switch (id) {
    case ID_APP_ABOUT:
        OnAppAbout();
        return true;
    case ID_APP_EXIT:
        if (mainFrame_ != nullptr) {
            mainFrame_->close();
        }
        return true;
    case ID_FILE_PRINT_SETUP:
        OnFilePrintSetup();
        return true;
    default:
        if (id >= ID_FILE_MRU_FILE1 && id < ID_FILE_MRU_FILE1 + kRecentFileCount) {
            OnOpenRecentFile(id - ID_FILE_MRU_FILE1);
            return true;
        }
        return false;
    }
}

bool CEditorApp::OnUpdateCommand(CCmdUI& ui) {
    switch (ui.id) {
    case ID_APP_ABOUT:
    case ID_APP_EXIT:
    case ID_FILE_PRINT_SETUP:
        return true;
    default:
        if (ui.id >= ID_FILE_MRU_FILE1 && ui.id < ID_FILE_MRU_FILE1 + kRecentFileCount) {
            ui.Enable(ui.id - ID_FILE_MRU_FILE1 < docManager_.RecentFiles().Files().size());
            return true;
        }
        return false;
    }
}

void CEditorApp::OnAppAbout() {
    CAboutDlg about;
    about.DoModal();
}

void CEditorApp::OnFilePrintSetup() {
    QPageSetupDialog dialog(&Printer(), mainFrame_.get());
    ModalSeam::Run(dialog, QDialog::Rejected);
}

void CEditorApp::OnOpenRecentFile(int index) {
    const QString path = docManager_.RecentFiles().At(index);
    if (path.isEmpty()) {
        return;
    }
    if (OpenDocumentFile(path) == nullptr && !QFileInfo::exists(path)) {
        // A file that is gone leaves the list; a refused password does not.
        docManager_.RecentFiles().Remove(index);
        StoreRecentFiles();
    }
}

void CEditorApp::Terminate() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<QDialog*>(w); dialog != nullptr && dialog->isVisible()) {
            dialog->done(QDialog::Rejected);
        }
    }
    terminated_ = true;
    // Every loop ends, the dialogs' own included; the documents close once the stack is back
    // in main.
    QCoreApplication::exit(0);
}

void CEditorApp::CloseUnsaved() {
    if (mainFrame_ != nullptr) {
        mainFrame_->SaveWindowPlacement();
    }
    for (CDocument* doc : docManager_.GetDocuments()) {
        doc->SetModifiedFlag(false);
    }
    docManager_.CloseAllDocuments();
}
