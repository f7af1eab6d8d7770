// The browser windows in the running program, on pages that a small HTTP server of the test
// serves on 127.0.0.1.
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

#include "app/AppSettings.h"
#include "app/CommonAppData.h"
#include "support/GuiFixture.h"

#include "browser/AddressBar.h"
#include "browser/BrowserHistory.h"
#include "browser/FindBar.h"
#include "browser/SafeBrowserChildFrame.h"
#include "browser/SafeBrowserDoc.h"
#include "browser/SafeBrowserView.h"
#include "browser/WebEngineLoader.h"
#include "framework/CommandIds.h"
#include "support/QtPrinters.h"

namespace {

// Serves a few fixed pages over HTTP/1.0, one request per connection.
class PageServer : public QTcpServer {
public:
    PageServer() {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { Answer(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
        EXPECT_TRUE(listen(QHostAddress::LocalHost, 0));
    }

    QString Url(const QString& page) const {
        return QStringLiteral("http://127.0.0.1:%1/%2").arg(serverPort()).arg(page);
    }
    // The same address without its scheme, as a user would type it.
    QString Bare(const QString& page) const {
        return QStringLiteral("127.0.0.1:%1/%2").arg(serverPort()).arg(page);
    }

private:
    void Answer(QTcpSocket* socket) {
        const QByteArray request = socket->readAll();
        Respond(socket, request.split(' ').value(1));
    }

    void Respond(QTcpSocket* socket, const QByteArray& path) {
        QByteArray body;
        if (path == "/a.html") {
            // The whole top of page A is one link that opens page C in a new window.
            body = "<html><head><title>Page A</title></head><body style='margin:0'>"
                   "<a id='c' href='c.html' target='_blank' style='display:block;height:300px;"
                   "background:#cde'>Open C</a><p id='text'>Alpha text</p></body></html>";
        } else if (path == "/b.html") {
            // Page B keeps what a site would keep: a cookie and local storage.
            body = "<html><head><title>Page B</title></head><body>Bravo<script>"
                   "localStorage.setItem('seen','yes');document.cookie='visit=1;max-age=86400';"
                   "</script></body></html>";
        } else if (path == "/c.html") {
            body = "<html><head><title>Page C</title></head><body>Charlie</body></html>";
        } else if (path == "/slow.html") {
            // Answered only once the test lets it: the page loads until then.
            if (!released_) {
                held_ << socket;
                return;
            }
            body = "<html><head><title>Page S</title></head><body>Slow</body></html>";
        }
        const QByteArray status = body.isEmpty() ? "404 Not Found" : "200 OK";
        socket->write("HTTP/1.0 " + status +
                      "\r\nContent-Type: text/html\r\nSet-Cookie: session=1; Max-Age=86400"
                      "\r\nConnection: close\r\nContent-Length: " +
                      QByteArray::number(body.size()) + "\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

public:
    // Answers the requests held back, and every later one at once.
    void ReleaseHeld() {
        released_ = true;
        for (QTcpSocket* socket : held_) {
            if (socket != nullptr) {
                Respond(socket, "/slow.html");
            }
        }
        held_.clear();
    }

    // The requests held back whose connection is still open.
    int Held() const {
        int open = 0;
        for (const QPointer<QTcpSocket>& socket : held_) {
            open += socket != nullptr && socket->state() == QAbstractSocket::ConnectedState;
        }
        return open;
    }

private:
    QList<QPointer<QTcpSocket>> held_;
    bool released_ = false;
};

class BrowserTest : public ProgramFixture {
protected:
    void SetUp() override {
        ProgramFixture::SetUp();
        QFile::remove(HistoryPath());
        ASSERT_TRUE(Start({}));
        Frame().show();
    }

    void SetHomePage(const QString& address) {
        AppSettings::Open()->setValue(QStringLiteral("Browser/HomePage"), address);
    }

    std::vector<CSafeBrowserChildFrame*> BrowserFrames() {
        std::vector<CSafeBrowserChildFrame*> frames;
        for (QMdiSubWindow* w : Frame().MdiArea()->subWindowList()) {
            if (auto* f = qobject_cast<CSafeBrowserChildFrame*>(w)) {
                frames.push_back(f);
            }
        }
        return frames;
    }

    CSafeBrowserChildFrame* OpenBrowser() {
        const size_t before = BrowserFrames().size();
        Frame().ExecuteCommand(ID_WEB_BROWSER);
        const auto frames = BrowserFrames();
        return frames.size() == before + 1 ? frames.back() : nullptr;
    }

    static QString Title(CSafeBrowserChildFrame* frame) {
        return frame->GetActiveDocument() != nullptr ? frame->GetActiveDocument()->GetTitle()
                                                     : QString();
    }

    static bool WaitForTitle(CSafeBrowserChildFrame* frame, const QString& title) {
        return QTest::qWaitFor([&] { return Title(frame) == title; }, 20000);
    }

    static bool WaitFor(const std::function<bool()>& condition) {
        return QTest::qWaitFor(condition, 20000);
    }

    static QStringList Items(CAddressBar* bar) {
        QStringList items;
        for (int i = 0; i < bar->count(); ++i) {
            items << bar->itemText(i);
        }
        return items;
    }

    static QString HistoryPath() {
        return QString::fromStdString(HistoryFileIn(GetCommonAppDataPath()));
    }

    static QString HistoryFile() {
        QFile file(HistoryPath());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    static void Type(CAddressBar* bar, const QString& text) {
        bar->lineEdit()->setFocus();
        bar->lineEdit()->clear();
        QTest::keyClicks(bar->lineEdit(), text);
        QTest::keyClick(bar->lineEdit(), Qt::Key_Return);
    }

    PageServer server;
};

// The engine must leave nothing in the home folder either: point it into the scratch folder
// before the first browser window starts the engine, so the last test can look.
class ScratchHome : public ::testing::Environment {
public:
    void SetUp() override {
        ::setenv("HOME", (qEnvironmentVariable("XDG_CONFIG_HOME") + "/..").toLocal8Bit(), 1);
    }
};
const auto* const kScratchHome = ::testing::AddGlobalTestEnvironment(new ScratchHome);

TEST_F(BrowserTest, OpensMaximisedInsideTheProgramOnTheHomePageWithTheWebMenu) {
    SetHomePage(server.Url("b.html"));
    CSafeBrowserChildFrame* frame = OpenBrowser();
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(WebEngineLoader::IsLoaded());
    EXPECT_TRUE(frame->isMaximized());
    ASSERT_TRUE(WaitForTitle(frame, "Page B"));
    EXPECT_EQ(frame->windowTitle(), "Page B");
    EXPECT_TRUE(WaitFor([&] { return frame->AddressBar()->Text() == server.Url("b.html"); }));
    Frame().OnTimer();
    EXPECT_EQ(Frame().windowTitle(), "Ombrivault Storage - [Page B]");

    QStringList menus;
    for (QAction* a : Frame().menuBar()->actions()) {
        menus << a->text();
    }
    EXPECT_EQ(menus,
              QStringList({"&File", "&Edit", "&View", "&Settings", "&Window", "We&b", "&Help"}));
    EXPECT_EQ(Frame().Actions().Action(ID_WEB_BROWSER)->text(), "Browse Web...");

    // With no home page set, a new window shows an empty page.
    SetHomePage(QString());
    CSafeBrowserChildFrame* blank = OpenBrowser();
    ASSERT_NE(blank, nullptr);
    EXPECT_TRUE(WaitFor([&] { return blank->AddressBar()->Text() == "about:blank"; }));
}

TEST_F(BrowserTest, TypedAddressGoesToTheHistoryAndBackAndForwardFollowThePage) {
    SetHomePage(server.Url("a.html"));
    CSafeBrowserChildFrame* frame = OpenBrowser();
    ASSERT_NE(frame, nullptr);
    ASSERT_TRUE(WaitForTitle(frame, "Page A"));
    QAction* back = frame->NavigationBar()->actions().at(0);
    QAction* forward = frame->NavigationBar()->actions().at(1);
    EXPECT_FALSE(back->isEnabled());
    EXPECT_FALSE(forward->isEnabled());

    // A bare address: shown and stored with "http://", navigated as typed.
    Type(frame->AddressBar(), server.Bare("b.html"));
    EXPECT_EQ(frame->AddressBar()->Text(), server.Url("b.html"));
    EXPECT_EQ(Items(frame->AddressBar()), QStringList({server.Url("b.html")}));
    EXPECT_EQ(HistoryFile(), server.Url("b.html") + "\n");
    ASSERT_TRUE(WaitForTitle(frame, "Page B"));
    EXPECT_TRUE(WaitFor([&] { return back->isEnabled(); }));
    EXPECT_FALSE(forward->isEnabled());
    EXPECT_TRUE(Frame().Actions().State(ID_WEB_BACK).enabled);
    EXPECT_FALSE(Frame().Actions().State(ID_WEB_FORWARD).enabled);

    QTest::mouseClick(frame->NavigationBar()->widgetForAction(back), Qt::LeftButton);
    ASSERT_TRUE(WaitForTitle(frame, "Page A"));
    EXPECT_TRUE(WaitFor([&] { return forward->isEnabled() && !back->isEnabled(); }));
    Frame().ExecuteCommand(ID_WEB_FORWARD);
    ASSERT_TRUE(WaitForTitle(frame, "Page B"));
    EXPECT_TRUE(WaitFor([&] { return back->isEnabled() && !forward->isEnabled(); }));

    // An upper-case scheme: lower case in the history, and the same page replaces nothing
    // else; the trailing slash rule keeps one entry per address.
    Type(frame->AddressBar(), "HTTP://" + server.Bare("A.html").toUpper().replace("HTML", "html"));
    const QString lower = server.Url("a.html");
    EXPECT_EQ(Items(frame->AddressBar()).first(), lower);
    EXPECT_EQ(HistoryFile(), server.Url("b.html") + "\n" + lower + "\n");
}

TEST_F(BrowserTest, HistoryFileFillsTheAddressBarAndAChosenEntryMovesUp) {
    const QString file = HistoryPath();
    QDir().mkpath(QFileInfo(file).path());
    {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(("  " + server.Url("c.html") + " \r\n   \n" + server.Url("b.html") + "\n" +
                   server.Url("a.html") + "\n")
                      .toUtf8());
    }
    CSafeBrowserChildFrame* frame = OpenBrowser();
    ASSERT_NE(frame, nullptr);
    CAddressBar* bar = frame->AddressBar();
    EXPECT_EQ(Items(bar),
              QStringList({server.Url("a.html"), server.Url("b.html"), server.Url("c.html")}));
    EXPECT_FALSE(bar->itemIcon(2).isNull());
    EXPECT_EQ(bar->Text(), QString()) << "the list fills, the edit field stays empty";

    // Pick the last entry from the open list with the keyboard.
    bar->setFocus();
    bar->showPopup();
    QAbstractItemView* list = bar->view();
    list->setCurrentIndex(list->model()->index(2, 0));
    QTest::keyClick(list, Qt::Key_Return);
    ASSERT_TRUE(WaitForTitle(frame, "Page C"));
    EXPECT_EQ(Items(bar),
              QStringList({server.Url("c.html"), server.Url("a.html"), server.Url("b.html")}));
    EXPECT_EQ(HistoryFile(), server.Url("b.html") + "\n" + server.Url("a.html") + "\n" +
                                 server.Url("c.html") + "\n");

    // Leaving the field with an entry's text in it is no choice.
    bar->SetText(server.Url("b.html"));
    bar->lineEdit()->setFocus();
    frame->BrowserView()->setFocus();
    QCoreApplication::processEvents();
    EXPECT_EQ(Items(bar).first(), server.Url("c.html"));
}

TEST_F(BrowserTest, BlankTargetLinkOpensASecondBrowserWindowInside) {
    SetHomePage(server.Url("a.html"));
    CSafeBrowserChildFrame* frame = OpenBrowser();
    ASSERT_NE(frame, nullptr);
    ASSERT_TRUE(WaitForTitle(frame, "Page A"));
    QWidget* page = frame->BrowserView()->focusProxy();
    ASSERT_NE(page, nullptr);
    QWidget* target = page->focusProxy() != nullptr ? page->focusProxy() : page;
    ASSERT_TRUE(WaitFor([&] { return target->isVisible(); }));
    QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(40, 40));
    ASSERT_TRUE(WaitFor([&] { return BrowserFrames().size() == 2; }));
    CSafeBrowserChildFrame* second = BrowserFrames().back();
    ASSERT_TRUE(WaitForTitle(second, "Page C"));
    EXPECT_EQ(second->AddressBar()->Text(), server.Url("c.html"));
    EXPECT_EQ(Title(frame), "Page A");
}

TEST_F(BrowserTest, InputInThePageRestartsTheIdleClock) {
    SetHomePage(server.Url("b.html"));
    CSafeBrowserChildFrame* frame = OpenBrowser();
    ASSERT_NE(frame, nullptr);
    ASSERT_TRUE(WaitForTitle(frame, "Page B"));
    QWidget* page = frame->BrowserView()->focusProxy();
    QWidget* target = page->focusProxy() != nullptr ? page->focusProxy() : page;

    struct Input {
        const char* name;
        std::function<void()> send;
        bool counts;
    };
    const Input inputs[] = {
        {"key", [&] { QTest::keyClick(target, Qt::Key_Down); }, true},
        {"mouse move", [&] { QTest::mouseMove(target, QPoint(20, 30)); }, true},
        {"left press", [&] { QTest::mousePress(target, Qt::LeftButton, {}, QPoint(5, 5)); }, true},
        {"right press", [&] { QTest::mousePress(target, Qt::RightButton, {}, QPoint(5, 5)); },
         true},
        {"middle press", [&] { QTest::mousePress(target, Qt::MiddleButton, {}, QPoint(5, 5)); },
         false},
        {"wheel",
         [&] {
             QWheelEvent wheel(QPointF(10, 10), target->mapToGlobal(QPointF(10, 10)), QPoint(),
                               QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                               false);
             QApplication::sendEvent(target, &wheel);
         },
         true},
    };
    for (const Input& input : inputs) {
        clock.Advance(5000);
        ASSERT_GE(Frame().Lock().IdleSeconds(), 5u);
        input.send();
        EXPECT_EQ(Frame().Lock().IdleSeconds() == 0, input.counts) << input.name;
        QTest::mouseRelease(target, Qt::LeftButton, {}, QPoint(5, 5));
    }
}

TEST_F(BrowserTest, EditCommandsGoToTheAddressBarOrThePage) {
    SetHomePage(server.Url("b.html"));
    CSafeBrowserChildFrame* frame = OpenBrowser();
    ASSERT_NE(frame, nullptr);
    ASSERT_TRUE(WaitForTitle(frame, "Page B"));
    CAddressBar* bar = frame->AddressBar();

    bar->lineEdit()->setFocus();
    ASSERT_TRUE(bar->EditHasFocus());
    Frame().ExecuteCommand(ID_EDIT_SELECT_ALL);
    EXPECT_EQ(bar->lineEdit()->selectedText(), server.Url("b.html"));
    Frame().ExecuteCommand(ID_EDIT_COPY);
    EXPECT_EQ(QApplication::clipboard()->text(), server.Url("b.html"));
    Frame().ExecuteCommand(ID_EDIT_CUT);
    EXPECT_EQ(bar->Text(), QString());
    Frame().ExecuteCommand(ID_EDIT_UNDO);
    EXPECT_EQ(bar->Text(), server.Url("b.html"));
    QApplication::clipboard()->setText("typed");
    Frame().ExecuteCommand(ID_EDIT_SELECT_ALL);
    Frame().ExecuteCommand(ID_EDIT_PASTE);
    EXPECT_EQ(bar->Text(), "typed");
    EXPECT_TRUE(Frame().Actions().State(ID_EDIT_PASTE).enabled);
    QApplication::clipboard()->clear();
    EXPECT_FALSE(Frame().Actions().State(ID_EDIT_PASTE).enabled);

    // With the focus in the page the same commands work on the page.
    frame->BrowserView()->setFocus();
    Frame().ExecuteCommand(ID_EDIT_SELECT_ALL);
    Frame().ExecuteCommand(ID_EDIT_COPY);
    EXPECT_TRUE(WaitFor([] { return QApplication::clipboard()->text().contains("Bravo"); }));
    EXPECT_EQ(bar->Text(), "typed");
}

TEST_F(BrowserTest, ClosingNeverAsksAndTheWebLeavesNoFilesBehind) {
    SetHomePage(server.Url("b.html"));
    CSafeBrowserChildFrame* frame = OpenBrowser();
    ASSERT_NE(frame, nullptr);
    ASSERT_TRUE(WaitForTitle(frame, "Page B"));
    Type(frame->AddressBar(), server.Url("c.html"));
    ASSERT_TRUE(WaitForTitle(frame, "Page C"));
    EXPECT_TRUE(frame->close());
    QCoreApplication::processEvents();
    EXPECT_TRUE(BrowserFrames().empty());
    EXPECT_TRUE(app->DocManager().GetDocuments().empty());
    EXPECT_TRUE(ModalSeam::Shown().isEmpty());

    // The scratch root holds the program's settings, the lock record and h.dat, nothing of
    // the engine (no cookies, cache, storage or certificate stores).
    const QDir root = QDir(qEnvironmentVariable("XDG_CONFIG_HOME") + "/..");
    QStringList files;
    QDirIterator it(root.absolutePath(), QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = root.relativeFilePath(it.next());
        if (!path.startsWith("runtime/") && !path.endsWith(".ini") && !path.endsWith(".lock") &&
            !path.contains("screenlock")) {
            files << path;
        }
    }
    EXPECT_EQ(files, QStringList({"common/h.dat"}));
}

// The widget of the page that takes keys and clicks.
QWidget* PageTarget(CSafeBrowserChildFrame* frame) {
    QWidget* page = frame->BrowserView()->focusProxy();
    return page->focusProxy() != nullptr ? page->focusProxy() : page;
}

// A browser window is managed like any document window: listed in the Window menu, closed by
// File > Close or Ctrl+F4 (from the page too), and the View menu offers the wizard.
TEST_F(BrowserTest, TheWindowIsListedAndClosesFromTheMenuAndWithCtrlF4) {
    SetHomePage(server.Url("a.html"));
    CSafeBrowserChildFrame* first = OpenBrowser();
    ASSERT_NE(first, nullptr);
    CSafeBrowserChildFrame* second = OpenBrowser();
    ASSERT_NE(second, nullptr);
    ASSERT_TRUE(WaitForTitle(second, "Page A"));

    QMenu* window = nullptr;
    QMenu* view = nullptr;
    for (QAction* a : Frame().menuBar()->actions()) {
        if (a->text() == "&Window") {
            window = a->menu();
        } else if (a->text() == "&View") {
            view = a->menu();
        }
    }
    ASSERT_NE(window, nullptr);
    ASSERT_NE(view, nullptr);
    emit window->aboutToShow();
    QStringList listed;
    for (QAction* a : window->actions()) {
        listed << a->text();
    }
    EXPECT_TRUE(listed.contains("&1 Page A") && listed.contains("&2 Page A"))
        << listed.join('|').toStdString();
    EXPECT_TRUE(view->actions().contains(Frame().Actions().Action(ID_WIZARD)));
    EXPECT_TRUE(Frame().Actions().State(ID_WINDOW_TILE_HORZ).enabled);

    EXPECT_TRUE(Frame().Actions().State(ID_FILE_CLOSE).enabled);
    Frame().ExecuteCommand(ID_FILE_CLOSE);
    QCoreApplication::processEvents();
    ASSERT_EQ(BrowserFrames().size(), 1u);
    EXPECT_EQ(BrowserFrames().front(), first);

    QApplication::setActiveWindow(&Frame());
    QWidget* target = PageTarget(first);
    ASSERT_TRUE(WaitFor([&] { return target->isVisible(); }));
    target->setFocus();
    ASSERT_TRUE(WaitFor([&] { return target->hasFocus(); }));
    QTest::keyClick(target, Qt::Key_F4, Qt::ControlModifier);
    EXPECT_TRUE(WaitFor([&] { return BrowserFrames().empty(); }));
    EXPECT_TRUE(app->DocManager().GetDocuments().empty());
}

// Ctrl+F opens the find bar; matches are counted and highlighted as the text is typed, Enter
// and F3 go on to the next, Escape hides the bar and gives the page the keys again.
TEST_F(BrowserTest, FindInThePage) {
    SetHomePage(server.Url("a.html"));
    CSafeBrowserChildFrame* frame = OpenBrowser();
    ASSERT_NE(frame, nullptr);
    ASSERT_TRUE(WaitForTitle(frame, "Page A"));
    CFindBar* bar = frame->FindBar();
    EXPECT_FALSE(bar->isVisible());
    EXPECT_FALSE(Frame().Actions().State(ID_EDIT_REPEAT).enabled) << "nothing to find again";

    QApplication::setActiveWindow(&Frame());
    QWidget* target = PageTarget(frame);
    target->setFocus();
    QTest::keyClick(target, Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(bar->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), bar->Edit());

    // The engine answers a search for a new text truly once the page has been drawn, which
    // pages on the offscreen platform never are; after a while the steps to the next match
    // (F3) are answered truly. `count` matches are awaited so.
    const auto counted = [&](int count) {
        const QString tail = QStringLiteral(" of %1").arg(count);
        QElapsedTimer waited;
        waited.start();
        qint64 asked = 0;
        return WaitFor([&] {
            if (bar->ResultText().endsWith(tail)) {
                return true;
            }
            if (waited.elapsed() - asked > 500) {
                asked = waited.elapsed();
                Frame().ExecuteCommand(ID_EDIT_REPEAT);
            }
            return false;
        });
    };
    // "Alpha text" holds two, case ignored: Enter, Shift+Enter and F3 step through them.
    QTest::keyClicks(bar->Edit(), "a");
    EXPECT_TRUE(Frame().Actions().State(ID_EDIT_REPEAT).enabled);
    ASSERT_TRUE(counted(2)) << bar->ResultText().toStdString();
    const QString first = bar->ResultText();
    const QString second = first == "1 of 2" ? "2 of 2" : "1 of 2";
    QTest::keyClick(bar->Edit(), Qt::Key_Return);
    EXPECT_TRUE(WaitFor([&] { return bar->ResultText() == second; }));
    QTest::keyClick(bar->Edit(), Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_TRUE(WaitFor([&] { return bar->ResultText() == first; }));
    Frame().ExecuteCommand(ID_EDIT_REPEAT);
    EXPECT_TRUE(WaitFor([&] { return bar->ResultText() == second; }));

    // With the case minded, only the small "a" of "Alpha" is one.
    bar->findChild<QCheckBox*>("matchcase")->setChecked(true);
    ASSERT_TRUE(counted(1)) << bar->ResultText().toStdString();
    EXPECT_EQ(bar->ResultText(), "1 of 1");
    bar->Edit()->selectAll();
    QTest::keyClicks(bar->Edit(), "zzz");
    EXPECT_TRUE(WaitFor([&] { return bar->ResultText() == "Not found"; }));

    // The edit commands work on the find text while it has the focus.
    Frame().ExecuteCommand(ID_EDIT_SELECT_ALL);
    Frame().ExecuteCommand(ID_EDIT_COPY);
    EXPECT_EQ(QApplication::clipboard()->text(), "zzz");

    QTest::keyClick(bar->Edit(), Qt::Key_Escape);
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(bar->ResultText(), QString());
    EXPECT_TRUE(frame->BrowserView()->isAncestorOf(QApplication::focusWidget()) ||
                QApplication::focusWidget() == frame->BrowserView());
    EXPECT_EQ(frame->isVisible(), true) << "Escape closes the bar, not the window";
}

// Stop works only while a page loads, on the toolbar and in the Web menu alike.
TEST_F(BrowserTest, StopIsEnabledOnlyWhileAPageLoads) {
    SetHomePage(server.Url("a.html"));
    CSafeBrowserChildFrame* frame = OpenBrowser();
    ASSERT_NE(frame, nullptr);
    ASSERT_TRUE(WaitForTitle(frame, "Page A"));
    QAction* stop = frame->NavigationBar()->actions().at(2);
    ASSERT_EQ(stop->text(), "Stop");
    const auto stopEnabled = [&] {
        return stop->isEnabled() && Frame().Actions().State(ID_WEB_STOP).enabled;
    };
    const auto stopDisabled = [&] {
        return !stop->isEnabled() && !Frame().Actions().State(ID_WEB_STOP).enabled;
    };
    EXPECT_TRUE(WaitFor(stopDisabled)) << "the page has loaded";

    Type(frame->AddressBar(), server.Url("slow.html"));
    EXPECT_TRUE(WaitFor(stopEnabled));
    Frame().ExecuteCommand(ID_WEB_STOP);
    EXPECT_TRUE(WaitFor(stopDisabled))
        << stop->isEnabled() << frame->BrowserView()->Page()->IsLoading();

    Type(frame->AddressBar(), server.Url("slow.html"));
    EXPECT_TRUE(WaitFor(stopEnabled));
    ASSERT_TRUE(WaitFor([&] { return server.Held() > 0; }));
    server.ReleaseHeld();
    EXPECT_TRUE(WaitForTitle(frame, "Page S"));
    EXPECT_TRUE(WaitFor(stopDisabled)) << "the page came";
}

} // namespace
