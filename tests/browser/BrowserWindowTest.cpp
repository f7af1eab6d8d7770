// The browser windows in the running program, on pages that a small HTTP server of the test
// serves on 127.0.0.1.
#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenuBar>
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
        const QByteArray path = request.split(' ').value(1);
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
        }
        const QByteArray status = body.isEmpty() ? "404 Not Found" : "200 OK";
        socket->write("HTTP/1.0 " + status +
                      "\r\nContent-Type: text/html\r\nSet-Cookie: session=1; Max-Age=86400"
                      "\r\nConnection: close\r\nContent-Length: " +
                      QByteArray::number(body.size()) + "\r\n\r\n" + body);
        socket->disconnectFromHost();
    }
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
    EXPECT_EQ(menus, QStringList({"&File", "&View", "Settings", "Web", "&Help"}));
    EXPECT_EQ(Frame().Actions().Action(ID_WEB_BROWSER)->text(), "Web Browser...");

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

} // namespace
