// The main window's state and place with a real window manager (openbox on a private Xvfb,
// see support/WindowManager.h): the screen lock leaves a maximised window maximised and a
// normal one where it is; closing asks about changes without restoring the window first; the
// next start shows the window as it was left, and never off the screen.
#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include "AppFixture.h"

#include "app/AppSettings.h"
#include "framework/ChildFrame.h"
#include "framework/CommandIds.h"
#include "framework/DocTemplate.h"
#include "framework/Document.h"
#include "framework/ModalSeam.h"
#include "support/WindowManager.h"

QT_BEGIN_NAMESPACE
// Failures show rectangles as rectangles.
inline void PrintTo(const QRect& r, std::ostream* os) {
    *os << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
}
QT_END_NAMESPACE

namespace {

// Every wait for the window manager is bounded; none sleeps.
constexpr int kWaitMs = 10000;

class WindowStateTest : public AppTest {
protected:
    void SetUp() override {
        if (!WindowManager::Available()) {
            GTEST_SKIP() << "skipped: " << WindowManager::Missing().toStdString();
        }
        AppTest::SetUp();
        probe_ = std::make_unique<QWidget>();
        probe_->setGeometry(1100, 900, 60, 40);
        probe_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(probe_.get()));
    }
    void ReleaseWindows() override {
        probe_.reset();
        AppTest::ReleaseWindows();
    }

    // Starts the program and waits until the window manager has framed its window and the
    // stored placement is applied (a maximised window applies it when it is restored).
    bool StartFramed() {
        if (!Start({})) {
            return false;
        }
        return QTest::qWaitForWindowExposed(&Frame()) &&
               QTest::qWaitFor(
                   [&] {
                       return Framed() && (!Frame().PlacementPending() || Frame().isMaximized());
                   },
                   kWaitMs) &&
               Settled();
    }
    bool Framed() { return WindowManager::Framed(Frame()); }
    QRect Outer() { return WindowManager::Outer(Frame()); }

    // A round trip through the window manager: it handles requests in order, so once it has
    // moved the probe it has also dealt with everything the program asked of it before, and
    // what it did to the main window has arrived.
    bool Settled() {
        probeLeft_ = probeLeft_ == 1100 ? 1150 : 1100;
        const QPoint target(probeLeft_, 900);
        probe_->move(target);
        const bool moved = QTest::qWaitFor([&] { return probe_->pos() == target; }, kWaitMs);
        QCoreApplication::processEvents();
        return moved;
    }

    static QRect Available() { return QGuiApplication::primaryScreen()->availableGeometry(); }

    bool Maximise() {
        Frame().showMaximized();
        // The size and the place may arrive in separate steps: wait for both.
        return QTest::qWaitFor(
                   [&] {
                       return Frame().isMaximized() && Outer().width() == Available().width() &&
                              Outer().left() == Available().left() &&
                              Outer().top() == Available().top();
                   },
                   kWaitMs) &&
               Settled();
    }
    // Places the window normally at `outer` and returns where the window manager put it.
    QRect PlaceNormally(const QRect& outer) {
        Frame().showNormal();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !Frame().isMaximized() && Framed(); }, kWaitMs));
        // The frame of a normal window differs from a maximised one's: it is known once the
        // window manager has told all it did.
        EXPECT_TRUE(Settled());
        auto request = [&] {
            const QMargins frame(Frame().geometry().left() - Outer().left(),
                                 Frame().geometry().top() - Outer().top(),
                                 Outer().right() - Frame().geometry().right(),
                                 Outer().bottom() - Frame().geometry().bottom());
            Frame().resize(outer.size().shrunkBy(frame));
            Frame().move(outer.topLeft());
        };
        request();
        // The window has taken the place once it knows it as its normal (restored) place too.
        auto placed = [&] {
            return QTest::qWaitFor(
                       [&] {
                           return Outer() == outer &&
                                  Frame().normalGeometry() == Frame().geometry();
                       },
                       kWaitMs) &&
                   Settled() && Outer() == outer;
        };
        // A restore the window manager finishes late can put the window back at its previous
        // place (or size it with the frame it had) after the request: it is asked again then.
        // Qt sends no request for a place it believes the window has already, so the window is
        // first sent a pixel off the place and size it is believed to have.
        bool done = placed();
        for (int again = 0; again < 3 && !done; ++again) {
            Frame().setGeometry(Frame().geometry().adjusted(1, 1, 2, 2));
            request();
            done = placed();
        }
        EXPECT_TRUE(done) << "at " << testing::PrintToString(Outer());
        return Outer();
    }

    bool LockAndUnlock(const std::function<void()>& whileLocked) {
        Frame().ExecuteCommand(ID_LOCK_SCREEN);
        if (!Frame().Lock().IsScreenLocked() || !Settled()) {
            return false;
        }
        whileLocked();
        QTest::mouseClick(Frame().Lock().Overlay(), Qt::LeftButton);
        QCoreApplication::processEvents();
        return !Frame().Lock().IsScreenLocked() && Settled();
    }

    void Restart() {
        ReleaseWindows();
        probe_ = std::make_unique<QWidget>();
        probe_->setGeometry(1100, 900, 60, 40);
        probe_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(probe_.get()));
        ASSERT_TRUE(StartFramed());
    }

    std::unique_ptr<QWidget> probe_;
    int probeLeft_ = 1100;
};

TEST_F(WindowStateTest, TheLockLeavesTheWindowAsItIs) {
    ASSERT_TRUE(StartFramed());

    ASSERT_TRUE(Maximise());
    const QRect maximised = Outer();
    ASSERT_TRUE(LockAndUnlock([&] {
        EXPECT_TRUE(Frame().isMaximized());
        EXPECT_EQ(Outer(), maximised);
        EXPECT_EQ(Frame().Lock().Overlay()->geometry(), Frame().rect()) << "covered whole";
    }));
    EXPECT_TRUE(Frame().isMaximized());
    EXPECT_EQ(Outer(), maximised);

    const QRect normal = PlaceNormally(QRect(150, 160, 700, 500));
    ASSERT_TRUE(LockAndUnlock([&] {
        EXPECT_EQ(Frame().windowState(), Qt::WindowNoState);
        EXPECT_EQ(Outer(), normal);
        // While locked the window keeps its size.
        Frame().resize(Frame().size() + QSize(80, 60));
        EXPECT_TRUE(Settled());
        EXPECT_EQ(Outer(), normal);
    }));
    EXPECT_EQ(Frame().windowState(), Qt::WindowNoState);
    EXPECT_EQ(Outer(), normal);
}

// Exit asks about the changes with the window as it is; after Cancel nothing changed. The next
// start shows the window maximised, and restoring it gives the rectangle it had before; a
// normal window comes back where it was.
TEST_F(WindowStateTest, ExitWithCancelAndTheNextStartKeepStateAndPlace) {
    ASSERT_TRUE(StartFramed());
    const QRect normal = PlaceNormally(QRect(200, 150, 720, 540));
    ASSERT_TRUE(Maximise());
    const QRect maximised = Outer();

    CDocument* doc = app->TextTemplate()->OpenDocumentFile(QString());
    ASSERT_NE(doc, nullptr);
    doc->SetModifiedFlag(true);
    bool maximisedWhileAsked = false;
    ModalSeam::Push([&](QDialog& d) {
        maximisedWhileAsked = Frame().isMaximized();
        answer::Click("Cancel")(d);
    });
    EXPECT_FALSE(Frame().close());
    EXPECT_TRUE(maximisedWhileAsked);
    ASSERT_TRUE(Settled());
    EXPECT_TRUE(Frame().isMaximized());
    EXPECT_EQ(Outer(), maximised);
    {
        const auto settings = AppSettings::Open();
        EXPECT_EQ(settings->value("Settings/Maximized").toInt(), 1);
        EXPECT_EQ(
            QRect(settings->value("Settings/X").toInt(), settings->value("Settings/Y").toInt(),
                  settings->value("Settings/CX").toInt(), settings->value("Settings/CY").toInt()),
            normal);
    }

    doc->SetModifiedFlag(false);
    ASSERT_TRUE(Frame().close());
    Restart();
    EXPECT_TRUE(QTest::qWaitFor([&] { return Frame().isMaximized(); }, kWaitMs));
    EXPECT_TRUE(QTest::qWaitFor([&] { return Outer() == maximised; }, kWaitMs));
    Frame().showNormal();
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return !Frame().isMaximized() && Outer() == normal; }, kWaitMs))
        << "restored to " << testing::PrintToString(Outer());

    ASSERT_TRUE(Frame().close());
    Restart();
    EXPECT_FALSE(Frame().isMaximized());
    EXPECT_TRUE(QTest::qWaitFor([&] { return Outer() == normal; }, kWaitMs));
}

// A placement stored partly or wholly off the screen (a larger screen of the same size
// elsewhere, settings edited by hand) opens wholly inside the screen.
TEST_F(WindowStateTest, AStoredPlacementOffTheScreenOpensInsideIt) {
    const QSize screen = QGuiApplication::primaryScreen()->size();
    struct Case {
        const char* name;
        QRect stored;
    };
    const Case cases[] = {
        {"right and below", QRect(1000, 900, 800, 600)},
        {"left and above", QRect(-500, -300, 700, 500)},
        {"larger than the screen", QRect(50, 40, 3000, 2500)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AppSettings::SaveWindowPlacement(c.stored, screen);
        Restart();
        EXPECT_TRUE(QTest::qWaitFor([&] { return Available().contains(Outer()); }, kWaitMs))
            << testing::PrintToString(Outer());
        EXPECT_EQ(Outer().size(), c.stored.size().boundedTo(Available().size()));
    }
}

} // namespace
