#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLocalSocket>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "AppFixture.h"

#include "app/AboutDlg.h"
#include "app/AppSettings.h"
#include "app/CommandLine.h"
#include "app/DocumentTemplates.h"
#include "app/EditorApp.h"
#include "app/FrameStatusBar.h"
#include "app/LibraryFiles.h"
#include "app/MainFrame.h"
#include "app/SingleInstance.h"
#include "controls/EditEx.h"
#include "controls/TextToolBar.h"
#include "crypto/StrongEnvelope.h"
#include "framework/ChildFrame.h"
#include "framework/Clock.h"
#include "framework/CommandActions.h"
#include "framework/CommandIds.h"
#include "framework/DocTemplate.h"
#include "framework/Document.h"
#include "framework/FolderMemory.h"
#include "framework/FrameHosts.h"
#include "framework/MessageBox.h"
#include "framework/ModalSeam.h"
#include "framework/ResultCodes.h"
#include "passwords/AccountForms.h"
#include "passwords/LeftView.h"
#include "passwords/OmbrivaultChildFrame.h"
#include "passwords/PasswordsFile.h"
#include "support/DocumentDialogs.h"
#include "support/StrongSupport.h"

namespace {

QStringList MenuTexts(const QMenu* menu) {
    QStringList texts;
    for (QAction* a : menu->actions()) {
        texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
    }
    return texts;
}

TEST(CommandLine, Parsing) {
    struct Case {
        QStringList args;
        CCommandLineInfo::ShellCommand command;
        const char* file;
        bool startupScreens;
    };
    const Case cases[] = {
        {{}, CCommandLineInfo::FileNothing, "", true},
        {{"/home/u/a.ovd"}, CCommandLineInfo::FileOpen, "/home/u/a.ovd", false},
        {{"/dde"}, CCommandLineInfo::FileDDE, "", false},
        {{"/DDE", "b.ovt"}, CCommandLineInfo::FileDDE, "b.ovt", false},
        {{"/p", "c.ovt"}, CCommandLineInfo::FilePrint, "c.ovt", false},
        {{"/pass.ovd"}, CCommandLineInfo::FileOpen, "/pass.ovd", false},
        {{"-platform-like"}, CCommandLineInfo::FileNothing, "", true},
    };
    for (const Case& c : cases) {
        const CCommandLineInfo info = ParseCommandLine(c.args);
        EXPECT_EQ(info.shellCommand, c.command) << c.args.join(' ').toStdString();
        EXPECT_EQ(info.fileName, c.file);
        EXPECT_EQ(info.WantsStartupScreens(), c.startupScreens);
    }
    const CCommandLineInfo printTo = ParseCommandLine({"/pt", "d.ovt", "Printer", "Drv", "Port"});
    EXPECT_EQ(printTo.shellCommand, CCommandLineInfo::FilePrintTo);
    EXPECT_EQ(printTo.printerName, "Printer");
    EXPECT_EQ(printTo.portName, "Port");
}

TEST(WindowPlacement, ScreenChangeRule) {
    const WindowPlacement saved{10, 20, 800, 600, 1280, 1024};
    const WindowPlacement same = AppSettings::ResolvePlacement(saved, QSize(1280, 1024));
    EXPECT_EQ(same.x, 10);
    EXPECT_EQ(same.cy, 600);
    const WindowPlacement changed = AppSettings::ResolvePlacement(saved, QSize(1024, 768));
    EXPECT_EQ(changed.x, 100);
    EXPECT_EQ(changed.y, 100);
    EXPECT_EQ(changed.cx, 612);
    EXPECT_EQ(changed.cy, 459);
}

TEST(WindowPlacement, MinusFourSavesNothing) {
    AppSettings::Open()->clear();
    AppSettings::SaveWindowPlacement(QRect(5, 6, 700, 500), QSize(1280, 1024));
    AppSettings::SaveWindowPlacement(QRect(-4, 0, 300, 300), QSize(1280, 1024));
    const WindowPlacement p = AppSettings::LoadWindowPlacement(QSize(1280, 1024));
    EXPECT_EQ(p.x, 5);
    EXPECT_EQ(p.y, 6);
    EXPECT_EQ(p.cx, 700);
    EXPECT_EQ(p.cy, 500);
    const auto settings = AppSettings::Open();
    EXPECT_EQ(settings->value("Settings/XScreen").toInt(), 1280);
    EXPECT_TRUE(settings->fileName().endsWith("Ombrivault/Ombrivault Storage.ini"));
}

TEST(Settings, ShowWizardDefaultAndRoundTrip) {
    AppSettings::Open()->clear();
    EXPECT_EQ(AppSettings::GetShowWizard(), 1);
    AppSettings::SetShowWizard(0);
    EXPECT_EQ(AppSettings::GetShowWizard(), 0);
    EXPECT_EQ(AppSettings::Open()->value("Settings/wzrd").toInt(), 0);
}

TEST_F(AppTest, StartWithoutFileShowsAnEmptyFrame) {
    ASSERT_TRUE(Start({}));
    EXPECT_TRUE(Frame().isVisible());
    EXPECT_TRUE(app->DocManager().GetDocuments().empty());
    EXPECT_EQ(Frame().windowTitle(), "Ombrivault Storage");
    EXPECT_EQ(Frame().CurrentMenu(), MenuResource::NoDocument);
}

TEST_F(AppTest, StartWithAFileOpensOnlyIt) {
    const QString path = dir.filePath("start.ovd");
    ASSERT_EQ(SavePasswordsFile(path.toStdString(), "pw", AccountLists()),
              PasswordsSaveStatus::Saved);
    ModalSeam::Push(answer::Type("password", "pw", answer::Click("ok")));
    ASSERT_TRUE(Start({path}));
    const auto docs = app->DocManager().GetDocuments();
    ASSERT_EQ(docs.size(), 1u);
    EXPECT_EQ(docs.front()->GetDocTemplate()->GetResourceId(), IDR_PASSWORDS_TYPE);
    EXPECT_EQ(Frame().CurrentMenu(), MenuResource::Document);
    EXPECT_EQ(Frame().windowTitle(), "Ombrivault Storage - start.ovd");
}

TEST_F(AppTest, StartWithDdeOpensNothing) {
    ASSERT_TRUE(Start({"/dde"}));
    EXPECT_TRUE(app->DocManager().GetDocuments().empty());
    EXPECT_TRUE(app->CommandLine().shellCommand == CCommandLineInfo::FileDDE);
}

TEST_F(AppTest, StartWithAFileThatDoesNotOpenEndsTheProgram) {
    // A text file whose password prompt is cancelled.
    const QString path = File("locked.ovt");
    ModalSeam::Push([](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), "Enter Password");
        d.done(IDCANCEL);
    });
    EXPECT_FALSE(Start({path}));
}

TEST_F(AppTest, TemplatesInOrderWithTheirMenus) {
    ASSERT_TRUE(Start({}));
    std::vector<int> ids;
    for (const auto& t : app->DocManager().GetTemplates()) {
        ids.push_back(t->GetResourceId());
        EXPECT_EQ(t->GetMenuId(), t->GetResourceId() == IDR_BROWSER_TYPE ? 0 : 125);
        const bool text = t->GetResourceId() == 125 || t->GetResourceId() == 236;
        EXPECT_EQ(t->GetContainerInPlaceMenuId(), text ? 6 : 0);
    }
    EXPECT_EQ(ids, (std::vector<int>{125, 126, 127, 128, 140, 236}));
    EXPECT_EQ(app->TextTemplate()->GetResourceId(), 125);
    EXPECT_EQ(app->PasswordsTemplate()->GetResourceId(), 126);
    EXPECT_EQ(app->StorageTemplate()->GetResourceId(), 127);
    EXPECT_EQ(app->BrowserTemplate()->GetResourceId(), 128);
}

TEST_F(AppTest, OpenCommandUsesTheProgramFileDialogAndTheTypeRule) {
    ASSERT_TRUE(Start({}));
    // An empty file: its kind is known by its name before its password is asked for.
    const QString path = File("Notes.OVT");
    ModalSeam::Push([&](QDialog& d) {
        auto& fd = static_cast<QFileDialog&>(d);
        EXPECT_EQ(fd.nameFilters().size(), 4);
        EXPECT_EQ(fd.fileMode(), QFileDialog::ExistingFile);
        answer::Files({path})(d);
    });
    QString asked;
    ModalSeam::Push([&](QDialog& d) {
        asked = d.windowTitle();
        d.done(IDCANCEL);
    });
    Frame().ExecuteCommand(ID_FILE_OPEN);
    EXPECT_EQ(asked, "Enter Password");
    EXPECT_TRUE(app->DocManager().GetDocuments().empty());

    // A foreign extension goes to the text kind, which names its own extensions.
    const QString foreign = File("Notes.TXT");
    QString refusal;
    ModalSeam::Push(answer::Files({foreign}));
    ModalSeam::Push([&](QDialog& d) {
        refusal = d.findChild<QLabel*>("text")->text();
        d.done(IDOK);
    });
    Frame().ExecuteCommand(ID_FILE_OPEN);
    EXPECT_TRUE(refusal.contains("Notes.TXT") && refusal.contains(".ovt")) << refusal.toStdString();

    // A file that opens (a new one, here) is remembered, and opening it again activates the
    // same window.
    const QString fresh = dir.filePath("Fresh.ovt");
    ASSERT_NE(app->OpenDocumentFile(fresh), nullptr);
    const auto docs = app->DocManager().GetDocuments();
    ASSERT_EQ(docs.size(), 1u);
    EXPECT_EQ(docs.front()->GetDocTemplate()->GetResourceId(), IDR_TEXT_TYPE);
    EXPECT_EQ(app->DocManager().RecentFiles().At(0), fresh);
    EXPECT_EQ(app->OpenDocumentFile(fresh), docs.front());
    EXPECT_EQ(Frame().MdiArea()->subWindowList().size(), 1);
}

TEST_F(AppTest, MenusHoldTheDescribedItems) {
    ASSERT_TRUE(Start({}));
    app->DocManager().AddToRecentFileList("/x/recent.ovd");
    const auto& m124 = Frame().Menus(MenuResource::NoDocument);
    ASSERT_EQ(m124.size(), 4);
    for (QMenu* m : m124) {
        emit m->aboutToShow();
    }
    EXPECT_EQ(MenuTexts(m124[0]),
              (QStringList{"&New\tCtrl+N", "&Open...\tCtrl+O", "-", "P&rint Setup...", "-",
                           "&1 /x/recent.ovd", "Recent File", "Recent File", "Recent File", "-",
                           "Web Browser...", "-", "E&xit"}));
    EXPECT_FALSE(Frame().Actions().Action(ID_FILE_MRU_FILE2)->isVisible());
    EXPECT_EQ(MenuTexts(m124[1]),
              (QStringList{"&Toolbar", "&Status Bar", "-", "&Lock\tCtrl+L", "-", "Wizard..."}));
    EXPECT_EQ(MenuTexts(m124[2]), QStringList{"Screen Lock Options..."});
    EXPECT_EQ(MenuTexts(m124[3]), (QStringList{"Ombrivault Storage on the Web...", "-",
                                               "&About Ombrivault Storage..."}));
    QStringList titles;
    for (QAction* a : Frame().menuBar()->actions()) {
        titles << a->text();
    }
    EXPECT_EQ(titles, (QStringList{"&File", "&View", "&Settings", "&Help"}));

    const auto& m125 = Frame().Menus(MenuResource::Document);
    ASSERT_EQ(m125.size(), 6);
    app->TextTemplate()->OpenDocumentFile(QString());
    EXPECT_EQ(Frame().CurrentMenu(), MenuResource::Document);
    emit m125[0]->aboutToShow();
    const QStringList file = MenuTexts(m125[0]);
    EXPECT_EQ(file.mid(0, 17),
              (QStringList{"&New\tCtrl+N", "&Open...\tCtrl+O", "&Close", "&Save\tCtrl+S",
                           "Save &As...", "Pro&tection...", "-", "Browse Web...", "-",
                           "&Print...\tCtrl+P", "Print Pre&view", "P&rint Setup...", "-",
                           "&1 /x/recent.ovd", "Recent File", "Recent File", "Recent File"}));
    EXPECT_EQ(file.mid(17), (QStringList{"-", "E&xit"}));
    EXPECT_EQ(MenuTexts(m125[1]),
              (QStringList{"&Undo\tCtrl+Z", "-", "Cu&t\tCtrl+X", "&Copy\tCtrl+C", "&Paste\tCtrl+V",
                           "Select A&ll\tCtrl+A", "-", "&Rename\tF2", "&Delete\tDel", "-",
                           "&Find...\tCtrl+F", "F&ind Next\tF3", "R&eplace\tCtrl+H"}));
    EXPECT_EQ(MenuTexts(m125[2]),
              (QStringList{"&Toolbar", "&Status Bar", "-", "&Lock\tCtrl+L", "-", "Wizard..."}));
    EXPECT_EQ(MenuTexts(m125[3]),
              (QStringList{"Screen Lock Options...", "-", "Set New File Password..."}));
    EXPECT_EQ(MenuTexts(m125[4]), (QStringList{"&Cascade", "&Tile", "&Arrange Icons"}));
    EXPECT_EQ(MenuTexts(m125[5]),
              (QStringList{"Ombrivault Storage on the Web...", "&About Ombrivault Storage..."}));
    for (QMenu* m : m125) {
        for (QAction* a : m->actions()) {
            if (!a->isSeparator() && a->data().toInt() < ID_FILE_MRU_FILE1) {
                EXPECT_FALSE(a->icon().isNull()) << a->text().toStdString();
            }
        }
    }
}

TEST_F(AppTest, AcceleratorsOfTable124) {
    ASSERT_TRUE(Start({}));
    const std::pair<int, QKeySequence> cases[] = {
        {ID_EDIT_SELECT_ALL, QKeySequence("Ctrl+A")},
        {ID_EDIT_COPY, QKeySequence("Ctrl+Ins")},
        {ID_OPEN_URL, QKeySequence("Ctrl+G")},
        {ID_EDIT_PASTE, QKeySequence("Shift+Ins")},
        {ID_EDIT_CUT, QKeySequence("Shift+Del")},
        {ID_EDIT_UNDO, QKeySequence("Alt+Backspace")},
        {ID_EDIT_CLEAR, QKeySequence("Alt+Del")},
        {ID_EDIT_REPEAT, QKeySequence("F3")},
        {ID_NEXT_PANE, QKeySequence("F6")},
        {ID_PREV_PANE, QKeySequence("Shift+F6")},
        {ID_CANCEL_EDIT_CNTR, QKeySequence("Esc")},
        {ID_FILE_PRINT, QKeySequence("Ctrl+P")},
        {ID_EDIT_REPLACE, QKeySequence("Ctrl+H")},
        {ID_OLE_EDIT_PROPERTIES, QKeySequence("Alt+Return")},
        {ID_LOCK_SCREEN, QKeySequence("Ctrl+L")},
        {ID_NEXT_PANE, QKeySequence("Ctrl+F6")},
        {ID_PREV_PANE, QKeySequence("Ctrl+Shift+F6")},
    };
    for (const auto& [id, keys] : cases) {
        QAction* a = Frame().Actions().Action(id);
        ASSERT_NE(a, nullptr) << id;
        EXPECT_TRUE(a->shortcuts().contains(keys)) << id;
        EXPECT_TRUE(Frame().actions().contains(a)) << id;
    }
}

TEST_F(AppTest, ToolbarLabelsComeFromThePromptStrings) {
    ASSERT_TRUE(Start({}));
    QStringList labels;
    int separators = 0;
    for (QAction* a : Frame().ToolBar()->actions()) {
        if (a->isSeparator()) {
            ++separators;
        } else {
            labels << a->iconText();
        }
    }
    EXPECT_EQ(labels, (QStringList{"New", "Open", "Save", "Wizard", "Cut", "Copy", "Paste", "Find",
                                   "Zoom-In", "Actual Size", "Zoom-Out", "Fit", "Lock", "Web"}));
    EXPECT_EQ(separators, 6);
    // One height for all buttons; a longer label makes its button wider.
    const QSize size = Frame().ToolBar()->Button(ID_FILE_NEW)->size();
    EXPECT_EQ(Frame().ToolBar()->Button(ID_ZOOM_ACTUAL)->height(), size.height());
    EXPECT_GT(Frame().ToolBar()->Button(ID_ZOOM_ACTUAL)->width(), size.width());
    EXPECT_EQ(Frame().ToolBar()->Button(ID_FILE_NEW)->toolButtonStyle(),
              Qt::ToolButtonTextUnderIcon);
}

TEST_F(AppTest, SizePaneFollowsTheStatusSize) {
    const std::pair<qint64, const char*> cases[] = {
        {0, "0 B"},           {1023, "1023 B"},
        {1024, "1.00 KB"},    {1048575, "1024.00 KB"},
        {1048576, "1.00 MB"}, {5 * 1048576 + 524288, "5.50 MB"},
    };
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(CFrameStatusBar::SizeText(bytes), text);
    }
    ASSERT_TRUE(Start({}));
    Frame().SetStatusPaneText(1, QStringLiteral("2.00 KB"));
    Frame().OnTimer();
    EXPECT_EQ(Frame().StatusPaneText(1), "") << "no document, no size";
    Frame().SetStatusPaneText(2, " Ln 2, Col 3");
    EXPECT_EQ(Frame().StatusPaneText(2), " Ln 2, Col 3");
    EXPECT_EQ(Frame().StatusPaneText(0), "Ready");
    EXPECT_EQ(Frame().FrameStatusBar()->PaneLabel(1)->width(), 90);
    EXPECT_EQ(Frame().FrameStatusBar()->PaneLabel(2)->width(), 90);
}

TEST_F(AppTest, BusyProtocolSwallowsInputAndCommands) {
    // A text file that does not exist yet opens as an empty document.
    ASSERT_TRUE(Start({dir.filePath("busy.ovt")}));
    QCoreApplication::processEvents();
    CMDIChildWnd* child = Frame().ActiveChildFrame();
    ASSERT_NE(child, nullptr);
    auto* edit = new QLineEdit(child->GetActiveView());
    edit->show();

    Frame().Busy().BusyCount = 1;
    Frame().SendCommand(ID_BEGIN_BUSY);
    QProgressBar* progress = Frame().FrameStatusBar()->Progress();
    ASSERT_NE(progress, nullptr);
    EXPECT_EQ(Frame().StatusPaneText(0), "Please wait...");
    EXPECT_EQ(progress->geometry(),
              QRect(Frame().FrameStatusBar()->PaneRect(1).left() - 102, 2, 100, 14));

    QTest::keyClicks(edit, "abc");
    EXPECT_EQ(edit->text(), "") << "keys are swallowed";
    int clicks = 0;
    QObject::connect(Frame().Actions().Action(ID_WEB_BROWSER), &QAction::triggered,
                     [&] { ++clicks; });
    QTest::mouseClick(Frame().ToolBar()->Button(ID_WEB_BROWSER), Qt::LeftButton);
    EXPECT_EQ(clicks, 0) << "clicks are swallowed";
    Frame().ExecuteCommand(ID_WEB_BROWSER);
    EXPECT_EQ(app->DocManager().GetDocuments().size(), 1u) << "commands are swallowed";
    EXPECT_FALSE(Frame().close()) << "no closing while busy";

    Frame().Busy().ProgressPercent = 40;
    Frame().PostCommand(ID_STEP_BUSY);
    QCoreApplication::processEvents();
    EXPECT_EQ(progress->value(), 40);

    Frame().SendCommand(ID_END_BUSY);
    Frame().Busy().BusyCount = 0;
    EXPECT_EQ(Frame().FrameStatusBar()->Progress(), nullptr);
    EXPECT_EQ(Frame().StatusPaneText(0), "Ready");
    QTest::keyClicks(edit, "abc");
    EXPECT_EQ(edit->text(), "abc");
    Frame().ExecuteCommand(ID_WEB_BROWSER);
    EXPECT_EQ(app->DocManager().GetDocuments().size(), 2u);
}

// A worker thread reports through the framework's host interfaces alone; the frame shows the
// report once its queued commands reach the user-interface thread.
TEST_F(AppTest, BusyReportFromAWorkerThreadDrivesTheFrame) {
    ASSERT_TRUE(Start({dir.filePath("worker.ovt")}));
    QCoreApplication::processEvents();
    std::unique_ptr<BusyReport> report;
    std::thread([&] {
        report = std::make_unique<BusyReport>();
        report->Progress(130);
    }).join();
    EXPECT_TRUE(Frame().Busy().IsBusy()) << "the flag is up before the frame has seen anything";
    QCoreApplication::processEvents();
    QProgressBar* progress = Frame().FrameStatusBar()->Progress();
    ASSERT_NE(progress, nullptr);
    EXPECT_EQ(progress->value(), 100) << "progress is clamped";
    EXPECT_EQ(Frame().StatusPaneText(0), "Please wait...");
    Frame().ExecuteCommand(ID_WEB_BROWSER);
    EXPECT_EQ(app->DocManager().GetDocuments().size(), 1u) << "commands are swallowed";

    std::thread([&] { report.reset(); }).join();
    EXPECT_FALSE(Frame().Busy().IsBusy());
    QCoreApplication::processEvents();
    EXPECT_EQ(Frame().FrameStatusBar()->Progress(), nullptr);
    EXPECT_EQ(Frame().StatusPaneText(0), "Ready");
}

// A strong document: the frame is busy while its key is derived on a worker (commands are
// swallowed, the window repaints), and the status bar says "Strong" while it is active.
TEST_F(AppTest, StrongDocumentKeepsTheFrameBusyWhileItsKeyIsDerivedThenShowsStrong) {
    const std::string strongPath = dir.filePath("strong.ovt").toStdString();
    const std::string plainPath = dir.filePath("plain.ovt").toStdString();
    strong::Key key;
    ASSERT_EQ(key.Derive("pw", {1, 8192}), strong::Status::Ok);
    ASSERT_TRUE(SaveEncryptedText(strongPath, "text", "pw", BlobForm::Current, nullptr, &key));
    ASSERT_TRUE(SaveEncryptedText(plainPath, "text", "pw", BlobForm::Current));

    HeldWorker worker;
    worker.Hold();
    ModalSeam::Push(answer::Type("password", "pw", answer::Click("ok")));
    ASSERT_TRUE(Start({QString::fromStdString(strongPath)}));
    ASSERT_TRUE(ProcessEventsUntil([&] { return Frame().Busy().IsBusy(); }));
    ASSERT_TRUE(ProcessEventsUntil([&] { return Frame().StatusPaneText(0) == "Please wait..."; }));
    Frame().ExecuteCommand(ID_FILE_PROTECTION);
    EXPECT_TRUE(ModalSeam::Shown().size() == 1) << "commands wait while the key is derived";
    worker.Release();
    ASSERT_TRUE(ProcessEventsUntil([&] { return !Frame().Busy().IsBusy(); }));
    // The derived key reaches the document by a queued call that may follow the end of busy.
    EXPECT_TRUE(ProcessEventsUntil([&] {
        Frame().OnTimer();
        return Frame().StatusPaneText(CFrameStatusBar::Protection) == "Strong";
    }));

    ModalSeam::Push(answer::Type("password", "pw", answer::Click("ok")));
    app->DocManager().OpenDocumentFile(QString::fromStdString(plainPath));
    Frame().OnTimer();
    EXPECT_EQ(Frame().StatusPaneText(CFrameStatusBar::Protection), "");
    // The menu command reaches the active document and asks before anything changes.
    QString question;
    ModalSeam::Push(Message(question, QStringLiteral("Yes")));
    Frame().ExecuteCommand(ID_FILE_PROTECTION);
    EXPECT_TRUE(question.startsWith("Protect plain.ovt with strong protection?"))
        << question.toStdString();
    Frame().OnTimer();
    EXPECT_EQ(Frame().StatusPaneText(CFrameStatusBar::Protection), "Strong");
    ASSERT_TRUE(ProcessEventsUntil([&] { return !Frame().Busy().IsBusy(); }));
}

TEST_F(AppTest, ClosingWhileMaximisedSavesTheRestoredRectangle) {
    ASSERT_TRUE(Start({}));
    Frame().setGeometry(30, 40, 700, 500);
    QCoreApplication::processEvents();
    const QRect restored = Frame().frameGeometry();
    Frame().showMaximized();
    QCoreApplication::processEvents();
    ASSERT_NE(Frame().frameGeometry(), restored);
    EXPECT_TRUE(Frame().close());
    const auto settings = AppSettings::Open();
    EXPECT_EQ(settings->value("Settings/X").toInt(), restored.x());
    EXPECT_EQ(settings->value("Settings/Y").toInt(), restored.y());
    EXPECT_EQ(settings->value("Settings/CX").toInt(), restored.width());
    EXPECT_EQ(settings->value("Settings/CY").toInt(), restored.height());
    // The state beside the rectangle; the next start is maximised again.
    EXPECT_EQ(settings->value("Settings/Maximized").toInt(), 1);
    ReleaseWindows();
    ASSERT_TRUE(Start({}));
    EXPECT_TRUE(Frame().isMaximized());
    EXPECT_TRUE(AppSettings::LoadWindowPlacement(CMainFrame::ScreenSize()).maximized);
}

TEST(WindowPlacement, FitIntoAreaKeepsTheWindowOnTheScreen) {
    const QRect area(0, 20, 1280, 1000); // a panel takes the top 20 pixels
    struct Case {
        const char* name;
        QRect frame;
        QRect fitted;
    };
    const Case cases[] = {
        {"inside", QRect(100, 100, 800, 600), QRect(100, 100, 800, 600)},
        {"past the right and bottom", QRect(1000, 900, 800, 600), QRect(480, 420, 800, 600)},
        {"above and left", QRect(-50, 0, 800, 600), QRect(0, 20, 800, 600)},
        {"larger than the area", QRect(10, 10, 3000, 2000), QRect(0, 20, 1280, 1000)},
        {"exactly the area", area, area},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AppSettings::FitIntoArea(c.frame, area), c.fitted) << c.name;
    }
    EXPECT_EQ(AppSettings::FitIntoArea(QRect(5, 5, 10, 10), QRect()), QRect(5, 5, 10, 10));
}

TEST_F(AppTest, ScreenLockSettingsSetTheIdleTimeoutOnlyWhenRead) {
    ASSERT_TRUE(Start({}));
    EXPECT_EQ(Frame().Lock().IdleTimeoutSeconds(), 10u) << "no record: the built-in timeout";
    app->LockSettings().timeoutIndex = 4;
    app->LockSettings().promptText = "Away";
    ASSERT_TRUE(app->SaveScreenLockSettings());
    ASSERT_TRUE(app->LoadScreenLockSettings());
    EXPECT_EQ(Frame().Lock().IdleTimeoutSeconds(), 600u);
    EXPECT_EQ(Frame().Lock().PromptText(), "Away");

    QFile record(QString::fromStdString(app->LockStore().Path()));
    ASSERT_TRUE(record.open(QIODevice::WriteOnly | QIODevice::Truncate));
    record.write("garbage");
    record.close();
    EXPECT_FALSE(app->LoadScreenLockSettings());
    EXPECT_EQ(app->LockSettings().timeoutIndex, 0);
    EXPECT_EQ(Frame().Lock().IdleTimeoutSeconds(), 600u) << "a failed read leaves the frame alone";
}

TEST_F(AppTest, IdleClockUsesTheProgramClock) {
    ASSERT_TRUE(Start({}));
    Frame().Lock().ResetIdleTimer();
    clock.Advance(60999);
    EXPECT_EQ(Frame().Lock().IdleSeconds(), 60u);
    clock.Advance(1);
    EXPECT_EQ(Frame().Lock().IdleSeconds(), 61u);
    Frame().Lock().ResetIdleTimer();
    EXPECT_EQ(Frame().Lock().IdleSeconds(), 0u);
}

TEST_F(AppTest, AboutBoxTextsAndLink) {
    ASSERT_TRUE(Start({}));
    QList<QUrl> opened;
    UrlCatcher catcher(opened);
    QDesktopServices::setUrlHandler("https", &catcher, "open");
    ModalSeam::Push([](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), "About Ombrivault Storage");
        auto* product = d.findChild<QLabel*>("product");
        EXPECT_EQ(product->text(), "Ombrivault Storage");
        EXPECT_TRUE(product->font().bold());
        EXPECT_EQ(product->font().pixelSize(), 16);
        EXPECT_EQ(product->palette().color(QPalette::WindowText), QColor(0, 0, 192));
        EXPECT_EQ(d.findChild<QLabel*>("version")->text(), "Version 3.0.2");
        EXPECT_EQ(d.findChild<QLabel*>("build")->text(), "Build: Apr  1 2008 10:35:13");
        auto* link = d.findChild<QLabel*>("link");
        EXPECT_TRUE(link->font().underline());
        EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
        QTest::mouseClick(link, Qt::LeftButton);
        answer::Click("ok")(d);
    });
    Frame().ExecuteCommand(ID_APP_ABOUT);
    QDesktopServices::unsetUrlHandler("https");
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened.front().scheme(), "https");
}

TEST_F(AppTest, AboutBoxComesBackAfterTheLock) {
    ASSERT_TRUE(Start({}));
    CAboutDlg about;
    ModalSeam::Push([&](QDialog&) {
        // The screen locks while the box is up.
        Frame().Lock().LockScreenDefaultPrompt();
        clock.Advance(11000);
        EXPECT_TRUE(about.LockTick());
    });
    EXPECT_EQ(about.DoModal(), 0);
    EXPECT_TRUE(Frame().Lock().ReopenFlagSet(ReopenFlag::About));
}

TEST_F(AppTest, HelpPageFromTheCurrentFolder) {
    const QString old = QDir::currentPath();
    QDir(dir.path()).mkdir("Help");
    QFile page(dir.filePath("Help/42.html"));
    ASSERT_TRUE(page.open(QIODevice::WriteOnly));
    page.close();
    QDir::setCurrent(dir.path());
    const QString found = CMainFrame::FindHelpPage();
    QDir::setCurrent(old);
    // The build tree's installed-data copy, when there is one, comes first.
    EXPECT_TRUE(found.endsWith("Help/42.html")) << found.toStdString();
}

// A later launch handing `files` over, from a thread of its own, while this thread runs the
// event loop the running program answers from.
bool HandOverFromAnotherLaunch(const QString& key, const QStringList& files) {
    bool taken = false;
    QThread* thread = QThread::create([&] { taken = SingleInstance(key).HandOver(files); });
    thread->start();
    while (!thread->isFinished()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    delete thread;
    return taken;
}

TEST_F(AppTest, ASecondLaunchHandsItsFileOver) {
    ASSERT_TRUE(Start({}));
    const QString path = File("handed.ovs");
    // The hand-over waits for the answer, which the running program gives from its loop.
    QStringList received;
    SingleInstance server(QStringLiteral("test-") + dir.path());
    ASSERT_TRUE(server.Listen());
    QObject::connect(&server, &SingleInstance::filesReceived,
                     [&](const QStringList& files) { received = files; });
    EXPECT_TRUE(HandOverFromAnotherLaunch(QStringLiteral("test-") + dir.path(), {path}));
    EXPECT_EQ(received, QStringList{path});
    SingleInstance another(QStringLiteral("test-") + dir.path());
    EXPECT_FALSE(another.Listen()) << "only the first instance serves";
}

// --- Placement, captions and document windows -------------------------------------------

TEST_F(AppTest, PlacementSavedAndRestoredDescribeTheSameRectangle) {
    ASSERT_TRUE(Start({}));
    Frame().setGeometry(60, 70, 700, 500);
    QCoreApplication::processEvents();
    for (int start = 0; start < 3; ++start) {
        SCOPED_TRACE(start);
        const QRect before = Frame().RestoredFrameRect();
        ASSERT_TRUE(Frame().close());
        ReleaseWindows();
        ASSERT_TRUE(Start({}));
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        EXPECT_EQ(Frame().RestoredFrameRect(), before);
    }
}

TEST_F(AppTest, ToolbarShowsEveryButtonAtTheDefaultSize) {
    ASSERT_TRUE(Start({}));
    app->TextTemplate()->OpenDocumentFile(QString());
    QCoreApplication::processEvents();
    const WindowPlacement p = AppSettings::DefaultPlacement(QSize(1280, 1024));
    Frame().resize(p.cx, p.cy);
    QCoreApplication::processEvents();
    CTextToolBar* bar = Frame().ToolBar();
    for (QAction* a : bar->actions()) {
        if (!a->isSeparator()) {
            QWidget* button = bar->widgetForAction(a);
            ASSERT_NE(button, nullptr);
            EXPECT_TRUE(button->isVisible()) << a->iconText().toStdString();
            EXPECT_LE(button->geometry().right(), bar->width()) << a->iconText().toStdString();
        }
    }
}

TEST_F(AppTest, WindowMenuListsTheDocumentsAndCtrlF6Cycles) {
    ASSERT_TRUE(Start({}));
    std::vector<CDocument*> docs;
    for (int i = 0; i < 3; ++i) {
        docs.push_back(app->TextTemplate()->OpenDocumentFile(QString()));
        ASSERT_NE(docs.back(), nullptr);
    }
    QCoreApplication::processEvents();
    QMenu* window = Frame().Menus(MenuResource::Document)[4];
    const auto listed = [&] {
        emit window->aboutToShow();
        QStringList items;
        for (QAction* a : window->actions().mid(4)) {
            items << (a->isChecked() ? "* " : "  ") + a->text();
        }
        return items;
    };
    const QString t0 = docs[0]->GetTitle(), t1 = docs[1]->GetTitle(), t2 = docs[2]->GetTitle();
    EXPECT_EQ(listed(), (QStringList{"  &1 " + t0, "  &2 " + t1, "* &3 " + t2}));

    // Picking an entry brings its document to the front.
    window->actions()[4]->trigger();
    EXPECT_EQ(Frame().ActiveChildFrame()->GetActiveDocument(), docs[0]);
    EXPECT_EQ(listed(), (QStringList{"* &1 " + t0, "  &2 " + t1, "  &3 " + t2}));

    // Ctrl+F6 goes to the next window, Ctrl+Shift+F6 back.
    Frame().Actions().Action(ID_NEXT_PANE)->trigger();
    EXPECT_EQ(Frame().ActiveChildFrame()->GetActiveDocument(), docs[1]);
    Frame().Actions().Action(ID_PREV_PANE)->trigger();
    EXPECT_EQ(Frame().ActiveChildFrame()->GetActiveDocument(), docs[0]);
}

TEST_F(AppTest, TileAndCascadeKeepEveryWindowInsideTheArea) {
    ASSERT_TRUE(Start({}));
    const WindowPlacement p = AppSettings::DefaultPlacement(QSize(1280, 1024));
    QCoreApplication::processEvents(); // the window's own placement first
    Frame().resize(p.cx, p.cy);
    app->PasswordsTemplate()->OpenDocumentFile(QString());
    app->PasswordsTemplate()->OpenDocumentFile(QString());
    app->TextTemplate()->OpenDocumentFile(QString());
    QCoreApplication::processEvents();
    for (int command : {ID_WINDOW_TILE_HORZ, ID_WINDOW_CASCADE}) {
        SCOPED_TRACE(command);
        Frame().ExecuteCommand(command);
        QCoreApplication::processEvents();
        const QRect area = Frame().MdiArea()->viewport()->rect();
        const QList<QMdiSubWindow*> windows =
            Frame().MdiArea()->subWindowList(QMdiArea::StackingOrder);
        for (qsizetype i = 0; i < windows.size(); ++i) {
            QMdiSubWindow* w = windows[i];
            SCOPED_TRACE(w->windowTitle().toStdString());
            EXPECT_TRUE(area.contains(w->geometry()));
            if (command != ID_WINDOW_CASCADE) {
                continue;
            }
            // Each title bar in sight above the windows in front of it, and each window as
            // large as the area leaves it beside the title bars of the others.
            const int title = w->widget()->y();
            const QRect titleBar(w->pos(), QSize(w->width(), title));
            for (qsizetype j = i + 1; j < windows.size(); ++j) {
                EXPECT_FALSE(windows[j]->geometry().contains(titleBar));
            }
            const int others = static_cast<int>(windows.size()) - 1;
            EXPECT_GE(w->width(), area.width() - others * title);
            EXPECT_GE(w->height(), area.height() - others * title);
        }
    }
}

TEST_F(AppTest, AMaximisedDocumentNamesItselfOnceInTheCaption) {
    ASSERT_TRUE(Start({}));
    CDocument* doc = app->TextTemplate()->OpenDocumentFile(QString());
    const QString title = doc->GetTitle();
    for (bool maximised : {false, true, false}) {
        SCOPED_TRACE(maximised);
        if (maximised) {
            Frame().ActiveChildFrame()->showMaximized();
        } else {
            Frame().ActiveChildFrame()->showNormal();
        }
        QCoreApplication::processEvents();
        Frame().OnTimer();
        QCoreApplication::processEvents();
        EXPECT_EQ(Frame().windowTitle().count(title), 1) << Frame().windowTitle().toStdString();
        EXPECT_TRUE(Frame().windowTitle().startsWith("Ombrivault Storage - "));
    }
}

TEST_F(AppTest, AFailedOpenLeavesTheActiveWindowInFront) {
    ASSERT_TRUE(Start({}));
    CDocument* first = app->TextTemplate()->OpenDocumentFile(QString());
    app->TextTemplate()->OpenDocumentFile(QString());
    app->TextTemplate()->OpenDocumentFile(QString());
    Frame().ActivateChildFrame(first->GetFrames().front());
    ASSERT_EQ(Frame().ActiveChildFrame()->GetActiveDocument(), first);
    const QString broken = dir.filePath("broken.ovt");
    QFile f(broken);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(64, 'x'));
    f.close();
    QString shown;
    ModalSeam::Push(EnterPassword("pw"));
    ModalSeam::Push(Message(shown));
    EXPECT_EQ(app->OpenDocumentFile(broken), nullptr);
    EXPECT_EQ(shown, "Failed to decrypt the file: broken.ovt");
    EXPECT_EQ(Frame().ActiveChildFrame()->GetActiveDocument(), first);
}

// When no program on the desktop opens an address, the commands that open one say so. No
// program can be started: the search path is empty for the test.
TEST_F(AppTest, AnAddressNothingOpensIsReported) {
    ASSERT_TRUE(Start({}));
    const QByteArray path = qgetenv("PATH");
    const QByteArray browser = qgetenv("BROWSER");
    qputenv("PATH", dir.path().toLocal8Bit());
    qunsetenv("BROWSER");
    // The help page, where the program looks for it beside the current folder.
    ASSERT_TRUE(QDir(dir.path()).mkpath("Help"));
    File("Help/42.html");
    const QString current = QDir::currentPath();
    QDir::setCurrent(dir.path());
    // Go to the URL, from the address field of a web account.
    auto* doc = app->PasswordsTemplate()->OpenDocumentFile(QString());
    auto* frame = qobject_cast<COmbrivaultChildFrame*>(doc->GetFrames().front());
    frame->LeftView()->AddAccount(AccountKind::Web, "bank");
    CEditEx* address = frame->Form(AccountKind::Web)->Field(AccountField::Address);
    address->SetText("https://bank.example/login");
    Frame().show();
    struct Case {
        const char* name;
        int command;
        const char* message;
    };
    const Case cases[] = {
        {"web site", ID_WEB_SITE, "No program on this desktop opens https://ombrivault.org/."},
        {"help", ID_HELP, "The help page 42.html could not be opened."},
        {"go to the URL", ID_OPEN_URL,
         "No program on this desktop opens https://bank.example/login."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QApplication::setActiveWindow(&Frame()); // as the window manager does after a dialog
        address->setFocus();
        QApplication::processEvents();
        ASSERT_EQ(QApplication::focusWidget(), address);
        QString shown;
        ModalSeam::Push(Message(shown));
        Frame().ExecuteCommand(c.command);
        EXPECT_EQ(shown, c.message);
    }
    QDir::setCurrent(current);
    qputenv("PATH", path);
    if (!browser.isEmpty()) {
        qputenv("BROWSER", browser);
    }
}

TEST_F(AppTest, AClosedDialogLeavesNoHoverPromptBehind) {
    ASSERT_TRUE(Start({}));
    Frame().FrameStatusBar()->showMessage("Create a new document");
    ModalSeam::Push(answer::Result(IDOK));
    ShowMessageBox(nullptr, "Done.", "Ombrivault Storage");
    EXPECT_EQ(Frame().FrameStatusBar()->currentMessage(), "");
}

// --- Housekeeping ------------------------------------------------------------------------

// Qt's file dialog keeps its history and the folders it visited for every program in the
// user's configuration folder, readable by others; this program keeps nothing there, and
// the graphics drivers' shader caches stay off.
TEST_F(AppTest, TheLibrariesWriteNothingOfTheirOwn) {
    LibraryFiles::KeepToThePrograms();
    for (const char* variable : {"MESA_SHADER_CACHE_DISABLE", "MESA_GLSL_CACHE_DISABLE"}) {
        EXPECT_EQ(qEnvironmentVariable(variable), "true") << variable;
    }
    EXPECT_EQ(qEnvironmentVariable("__GL_SHADER_DISK_CACHE"), "0");

    // Dialogs of earlier tests in this program ran before the switch.
    const QDir config(qEnvironmentVariable("XDG_CONFIG_HOME"));
    QFile::remove(config.filePath("QtProject.conf"));
    ASSERT_TRUE(Start({}));
    const QString chosen = File("Chosen.ovt");
    ModalSeam::Push(answer::Files({chosen}));
    ModalSeam::Push(answer::Result(IDCANCEL)); // the password
    Frame().ExecuteCommand(ID_FILE_OPEN);
    QCoreApplication::processEvents();
    QStringList files;
    QDirIterator it(config.absolutePath(), QDir::Files | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        files << config.relativeFilePath(it.next());
    }
    EXPECT_EQ(files, QStringList{"Ombrivault/Ombrivault Storage.ini"});
    // The folder is remembered in the program's own settings.
    EXPECT_EQ(AppSettings::LastFolder(FolderMemory::Key(FolderKind::Open)),
              QFileInfo(chosen).absolutePath());
}

// Alt and a letter open each menu of every menu bar the program shows: with no document,
// with a text, a passwords, a storage and a browser window active.
TEST_F(AppTest, EveryMenuOfEveryMenuBarHasItsOwnAccessKey) {
    ASSERT_TRUE(Start({}));
    Frame().show();
    QApplication::setActiveWindow(&Frame());
    struct Case {
        const char* name;
        std::function<void()> open;
    };
    const Case cases[] = {
        {"no document", [] {}},
        {"text", [&] { app->TextTemplate()->OpenDocumentFile(QString()); }},
        {"passwords", [&] { app->PasswordsTemplate()->OpenDocumentFile(QString()); }},
        {"storage", [&] { app->StorageTemplate()->OpenDocumentFile(QString()); }},
        {"browser", [&] { Frame().ExecuteCommand(ID_WEB_BROWSER); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.open();
        QCoreApplication::processEvents();
        QString keys;
        for (QAction* menu : Frame().menuBar()->actions()) {
            const QString title = menu->text();
            const qsizetype amp = title.indexOf(QLatin1Char('&'));
            ASSERT_TRUE(amp >= 0 && amp + 1 < title.size()) << title.toStdString();
            const QChar key = title[amp + 1].toUpper();
            EXPECT_FALSE(keys.contains(key)) << title.toStdString();
            keys += key;
            QTest::keyClick(Frame().menuBar(), key.toLatin1(), Qt::AltModifier);
            EXPECT_EQ(QApplication::activePopupWidget(), menu->menu()) << title.toStdString();
            if (QWidget* popup = QApplication::activePopupWidget()) {
                popup->close();
            }
        }
        EXPECT_GE(keys.size(), 4);
    }
}

TEST_F(AppTest, SettingsFileAndFolderAreOwnerOnly) {
    ASSERT_TRUE(Start({}));
    app->DocManager().AddToRecentFileList("/x/recent.ovd");
    ASSERT_TRUE(Frame().close());
    const QString path = AppSettings::Open()->fileName();
    EXPECT_EQ(QFileInfo(path).permissions() & 0x0077, 0) << "no group or other bits";
    EXPECT_TRUE(QFileInfo(path).permissions() & QFileDevice::ReadOwner);
    EXPECT_EQ(QFileInfo(QFileInfo(path).absolutePath()).permissions() & 0x0077, 0);
}

TEST_F(AppTest, AStaleSocketInTheRuntimeFolderIsReplacedAndStillTakesFiles) {
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    SingleInstance server(QStringLiteral("stale-") + dir.path());
    EXPECT_TRUE(server.Name().startsWith(runtime.path() + "/"));
    {
        // What a killed instance leaves behind.
        QFile stale(server.Name());
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(server.Listen());
    QStringList received;
    QObject::connect(&server, &SingleInstance::filesReceived,
                     [&](const QStringList& files) { received = files; });
    EXPECT_TRUE(HandOverFromAnotherLaunch(QStringLiteral("stale-") + dir.path(), {"/x/a.ovd"}));
    qunsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(received, QStringList{"/x/a.ovd"});
}

TEST_F(AppTest, TheHandOverSocketIsTheUsersOwnAndShrugsOffGarbage) {
    SingleInstance server(QStringLiteral("garbage-") + dir.path());
    ASSERT_TRUE(server.Listen());
    EXPECT_EQ(QFileInfo(server.Name()).permissions() & 0x0077, 0) << "no group or other bits";
    QStringList received;
    QObject::connect(&server, &SingleInstance::filesReceived,
                     [&](const QStringList& files) { received = files; });
    // A wrong greeting, and a message that never ends, are dropped without an answer.
    for (const QByteArray& garbage : {QByteArray("GET / HTTP/1.0\r\n\r\n"),
                                      QByteArray("OVS1") + QByteArray(3 * 1024 * 1024, 'x')}) {
        QLocalSocket socket;
        socket.connectToServer(server.Name());
        ASSERT_TRUE(socket.waitForConnected(1000));
        socket.write(garbage);
        while (socket.state() == QLocalSocket::ConnectedState && socket.bytesToWrite() > 0) {
            socket.waitForBytesWritten(10);
            QCoreApplication::processEvents();
        }
        for (int i = 0; i < 20 && socket.state() == QLocalSocket::ConnectedState; ++i) {
            QCoreApplication::processEvents();
            socket.waitForDisconnected(10);
        }
        EXPECT_EQ(socket.state(), QLocalSocket::UnconnectedState) << "the server hung up";
        EXPECT_TRUE(socket.readAll().isEmpty());
    }
    EXPECT_TRUE(received.isEmpty());
    // And it still takes a real hand-over.
    EXPECT_TRUE(HandOverFromAnotherLaunch(QStringLiteral("garbage-") + dir.path(), {"/x/b.ovd"}));
    EXPECT_EQ(received, QStringList{"/x/b.ovd"});
}

TEST_F(AppTest, TerminatingCancelsTheDialogAndClosesDocumentsUnsaved) {
    ASSERT_TRUE(Start({}));
    CDocument* doc = app->TextTemplate()->OpenDocumentFile(QString());
    doc->SetModifiedFlag(true);
    ModalSeam::Uninstall();
    // A dialog waits for the user when the signal comes.
    QTimer::singleShot(0, [&] { app->Terminate(); });
    ShowMessageBox(nullptr, "Waiting.", "Ombrivault Storage");
    EXPECT_TRUE(app->Terminated());
    app->CloseUnsaved();
    EXPECT_TRUE(app->DocManager().GetDocuments().empty());
    ModalSeam::Install();
}

} // namespace
