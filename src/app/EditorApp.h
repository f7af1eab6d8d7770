// The application object: starts the program (settings, document templates, main frame,
// command-line file, start-up lock or wizard), owns the settings and the screen-lock record
// and handles the application-wide commands (About, Exit, Print Setup, recent files).
#pragma once

#include <memory>

#include <QObject>
#include <QStringList>

#include "app/CommandLine.h"
#include "app/ScreenLockSettings.h"
#include "framework/CmdTarget.h"
#include "framework/DocManager.h"
#include "framework/FrameHosts.h"

class CDocTemplate;
class CDocument;
class CMainFrame;
class DesktopLockWatcher;
class QPrinter;
class SingleInstance;

class CEditorApp : public QObject, public CCmdTarget, public CPrintHost {
    Q_OBJECT
public:
    CEditorApp();
    ~CEditorApp() override;

    // The start-up sequence; false ends the program at once.
    bool InitInstance(const QStringList& arguments);
    int ExitInstance();
    // Ends the program on SIGTERM or SIGINT: open dialogs are cancelled, documents close
    // unsaved (nothing is written, so nothing is left half written) and the loop ends.
    void Terminate();
    bool Terminated() const { return terminated_; }
    // Closes every document without saving it.
    void CloseUnsaved();
    // A launch that only hands its file to the running program: true when it did, and this
    // process should end.
    bool HandOverToRunningInstance(const QStringList& arguments);
    // `ombrivault --lock`: asks the running program to lock its screen; true when it did.
    static bool LockRunningInstance();

    static CEditorApp* Instance();

    CDocManager& DocManager() { return docManager_; }
    CMainFrame* MainFrame() const { return mainFrame_.get(); }
    const CCommandLineInfo& CommandLine() const { return commandLine_; }
    // The desktop's lock and sleep signals, once the program has started.
    DesktopLockWatcher* DesktopLock() const { return desktopLock_.get(); }

    // The templates by role.
    CDocTemplate* TextTemplate() const;
    CDocTemplate* PasswordsTemplate() const;
    CDocTemplate* StorageTemplate() const;
    CDocTemplate* BrowserTemplate() const;

    // Opens a file by the type rule (an open file's window is activated instead).
    CDocument* OpenDocumentFile(const QString& path);

    // Re-reads the screen-lock record (defaults when missing or unreadable); when the read
    // succeeded the main frame takes its idle timeout and prompt text from it.
    bool LoadScreenLockSettings();
    // Writes the record under the application-wide writer lock.
    bool SaveScreenLockSettings();
    ScreenLockSettings& LockSettings() { return lockSettings_; }
    const ScreenLockStore& LockStore() const { return lockStore_; }

    // The printer the print commands share.
    QPrinter& Printer() override;

    bool OnCommand(int id) override;
    bool OnUpdateCommand(CCmdUI& ui) override;

private:
    void OnAppAbout();
    void OnFilePrintSetup();
    void OnOpenRecentFile(int index);
    // Prints the document named on the command line and closes it.
    void PrintFromShell(CDocument* doc);
    // Ends the program started for a file that has now been printed or has failed to open.
    void EndFromShell(int code);
    void StoreRecentFiles();
    void ApplyCodePageSetting();
    // The desktop locked, its screen saver started or the computer goes to sleep.
    void OnDesktopAway();
    static QString SingleInstanceKey();

    CDocManager docManager_;
    std::unique_ptr<CMainFrame> mainFrame_;
    CCommandLineInfo commandLine_;
    ScreenLockSettings lockSettings_;
    ScreenLockStore lockStore_;
    std::unique_ptr<QPrinter> printer_;
    std::unique_ptr<SingleInstance> instance_;
    std::unique_ptr<DesktopLockWatcher> desktopLock_;
    bool terminated_ = false;
};
