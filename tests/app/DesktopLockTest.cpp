// Locking with the desktop, on private message buses with desktop_bus_service standing in for
// logind and the screen savers: which signals lock, the sleep delay around PrepareForSleep,
// finding the program's session, the switch in the settings, and the lock command of a
// second launch. The real programs show that none of it is needed to run.
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <spawn.h>
#include <sys/wait.h>

#include <QAbstractButton>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include "AppFixture.h"
#include "DesktopBuses.h"

#include "app/DesktopLockWatcher.h"
#include "app/SingleInstance.h"
#include "framework/CommandIds.h"
#include "framework/LockHost.h"

namespace {

constexpr int kWaitMs = 10000;
const QString kSessionOne = QStringLiteral("/org/freedesktop/login1/session/_31");

class DesktopLockTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        savedSessionId_ = qgetenv("XDG_SESSION_ID");
        qputenv("XDG_SESSION_ID", "1");
    }
    void TearDown() override {
        AppTest::TearDown();
        qputenv("XDG_SESSION_ID", savedSessionId_);
    }
    // Starts the program on the buses and waits until it has heard every answer.
    void StartListening() {
        ASSERT_TRUE(buses.Up());
        ASSERT_TRUE(Start({}));
        ASSERT_TRUE(QTest::qWaitFor([&] { return Watcher().Ready(); }, kWaitMs));
    }
    DesktopLockWatcher& Watcher() { return *app->DesktopLock(); }
    bool Locked() { return Frame().Lock().IsScreenLocked(); }
    // Waits until the program has seen `count` more desktop signals than `before`.
    bool SeenMore(int before, int count) {
        return QTest::qWaitFor([&] { return Watcher().SignalsSeen() >= before + count; }, kWaitMs);
    }

    DesktopBuses buses;
    QByteArray savedSessionId_;
};

TEST_F(DesktopLockTest, EachDesktopSignalLocksOrNot) {
    StartListening();
    EXPECT_EQ(Watcher().SessionPath(), kSessionOne);
    const auto tell = [this](const char* method, QVariantList args) {
        return [this, method, args] { buses.Tell(QString::fromLatin1(method), args); };
    };
    struct Case {
        std::string name;
        std::function<void()> send;
        bool locks;
        bool systemBus; // where the signal travels
        int reaches;    // how many signals get through to the program
    };
    std::vector<Case> cases = {
        {"session Lock", tell("EmitSessionLock", {"1"}), true, true, 1},
        {"Lock of another session", tell("EmitSessionLock", {"2"}), false, true, 0},
        {"LockedHint turning true", tell("SetLockedHint", {"1", true, true}), true, true, 1},
        {"LockedHint only said to have changed, now true",
         tell("SetLockedHint", {"1", true, false}), true, true, 1},
        {"LockedHint turning false", tell("SetLockedHint", {"1", false, true}), false, true, 1},
        {"LockedHint of another session", tell("SetLockedHint", {"2", true, true}), false, true, 0},
        {"PrepareForSleep(true)", tell("EmitPrepareForSleep", {true}), true, true, 1},
        {"PrepareForSleep(false)", tell("EmitPrepareForSleep", {false}), false, true, 1},
        {"screen saver inactive", tell("EmitActiveChanged", {"org.gnome.ScreenSaver", false}),
         false, false, 1},
        // Anyone on the system bus may send a signal; only logind's count.
        {"Lock sent by another program than logind",
         [this] {
             buses.Control().send(QDBusMessage::createSignal(
                 kSessionOne, QStringLiteral("org.freedesktop.login1.Session"),
                 QStringLiteral("Lock")));
         },
         false, true, 0},
    };
    for (const QString& interface : DesktopLockWatcher::ScreenSaverInterfaces()) {
        cases.push_back({"ActiveChanged(true) of " + interface.toStdString(),
                         tell("EmitActiveChanged", {interface, true}), true, false, 1});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(Locked());
        const int before = Watcher().SignalsSeen();
        c.send();
        if (c.locks) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return Locked(); }, kWaitMs));
            Frame().Lock().RemoveLockOverlay();
            continue;
        }
        // Whatever was sent before the barrier has arrived once the barrier has.
        buses.Tell(QStringLiteral("EmitBarrier"), {c.systemBus});
        ASSERT_TRUE(SeenMore(before, c.reaches + 1));
        EXPECT_EQ(Watcher().SignalsSeen(), before + c.reaches + 1);
        EXPECT_FALSE(Locked());
    }
}

TEST_F(DesktopLockTest, TheSleepDelayEndsOnlyOnceTheLockIsUpAndComesBackAfterTheResume) {
    StartListening();
    EXPECT_EQ(buses.HeldInhibitors(), 1);
    EXPECT_TRUE(Watcher().HoldsSleepDelay());
    const QStringList requests = buses.InhibitRequests();
    ASSERT_EQ(requests.size(), 1);
    EXPECT_TRUE(requests[0].startsWith("sleep|Ombrivault Storage|")) << requests[0].toStdString();
    EXPECT_TRUE(requests[0].endsWith("|delay")) << requests[0].toStdString();

    std::optional<int> heldAtLock;
    const auto noted = QObject::connect(&LockEvents::Instance(), &LockEvents::Locked,
                                        [&] { heldAtLock = buses.HeldInhibitors(); });
    buses.Tell(QStringLiteral("EmitPrepareForSleep"), {true});
    EXPECT_TRUE(QTest::qWaitFor([&] { return Locked(); }, kWaitMs));
    EXPECT_TRUE(QTest::qWaitFor([&] { return buses.HeldInhibitors() == 0; }, kWaitMs));
    QObject::disconnect(noted);
    EXPECT_EQ(heldAtLock, 1) << "the computer waited for the lock";
    EXPECT_FALSE(Watcher().HoldsSleepDelay());

    buses.Tell(QStringLiteral("EmitPrepareForSleep"), {false});
    EXPECT_TRUE(QTest::qWaitFor([&] { return buses.HeldInhibitors() == 1; }, kWaitMs));
    EXPECT_EQ(buses.InhibitRequests().size(), 2);
    EXPECT_TRUE(Locked()) << "waking up does not unlock";
}

TEST_F(DesktopLockTest, SwitchedOffTheDesktopNeitherLocksNorDelaysSleep) {
    StoreLockSettings([](ScreenLockSettings& s) { s.lockWithDesktop = 0; });
    StartListening();
    EXPECT_EQ(buses.HeldInhibitors(), 0);
    EXPECT_TRUE(buses.InhibitRequests().isEmpty());
    const int before = Watcher().SignalsSeen();
    buses.Tell(QStringLiteral("EmitActiveChanged"), {"org.freedesktop.ScreenSaver", true});
    buses.Tell(QStringLiteral("EmitSessionLock"), {"1"});
    buses.Tell(QStringLiteral("EmitBarrier"), {false});
    buses.Tell(QStringLiteral("EmitBarrier"), {true});
    ASSERT_TRUE(SeenMore(before, 4));
    EXPECT_FALSE(Locked());

    // Switched on in the settings (here as another instance would): the delay is taken.
    StoreLockSettings([](ScreenLockSettings& s) { s.lockWithDesktop = 1; });
    app->LoadScreenLockSettings();
    EXPECT_TRUE(QTest::qWaitFor([&] { return buses.HeldInhibitors() == 1; }, kWaitMs));
    buses.Tell(QStringLiteral("EmitSessionLock"), {"1"});
    EXPECT_TRUE(QTest::qWaitFor([&] { return Locked(); }, kWaitMs));
    Frame().Lock().RemoveLockOverlay();

    // Off again, through the settings dialog: the delay goes at once.
    ModalSeam::Push([](QDialog& d) {
        d.findChild<QAbstractButton*>("lockWithDesktop")->click();
        answer::Click("ok")(d);
    });
    Frame().ExecuteCommand(ID_SCREEN_LOCK_OPTIONS);
    EXPECT_EQ(StoredLockSettings().lockWithDesktop, 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return buses.HeldInhibitors() == 0; }, kWaitMs));
}

TEST_F(DesktopLockTest, TheSessionIsFoundByItsIdElseByTheProcess) {
    const QString pid = QString::number(QCoreApplication::applicationPid());
    struct Case {
        const char* id; // null: not set
        QStringList asked;
    };
    const Case cases[] = {
        {"1", {"GetSession 1"}},
        {nullptr, {"GetSessionByPID " + pid}},
        {"7", {"GetSession 7", "GetSessionByPID " + pid}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id != nullptr ? c.id : "unset");
        DesktopBuses fresh;
        if (c.id != nullptr) {
            qputenv("XDG_SESSION_ID", c.id);
        } else {
            qunsetenv("XDG_SESSION_ID");
        }
        ASSERT_TRUE(fresh.Up());
        ASSERT_TRUE(Start({}));
        ASSERT_TRUE(QTest::qWaitFor([&] { return Watcher().Ready(); }, kWaitMs));
        EXPECT_EQ(fresh.SessionRequests(), c.asked);
        EXPECT_EQ(Watcher().SessionPath(), kSessionOne);
        fresh.Tell(QStringLiteral("EmitSessionLock"), {"1"});
        EXPECT_TRUE(QTest::qWaitFor([&] { return Locked(); }, kWaitMs));
        ReleaseWindows();
    }
}

TEST_F(DesktopLockTest, AnOpenDialogEndsWithTheLockAndComesBackAfterIt) {
    StartListening();
    bool endedWithTheLock = false;
    ModalSeam::Push([&](QDialog& about) {
        buses.Tell(QStringLiteral("EmitActiveChanged"), {"org.xfce.ScreenSaver", true});
        ASSERT_TRUE(QTest::qWaitFor([&] { return Locked(); }, kWaitMs));
        endedWithTheLock = !about.isVisible();
    });
    Frame().ExecuteCommand(ID_APP_ABOUT);
    EXPECT_TRUE(endedWithTheLock) << "no tick of its timer was needed";
    EXPECT_TRUE(Frame().Lock().ReopenFlagSet(ReopenFlag::About));

    ModalSeam::Push(answer::Result(0));
    QTest::mouseClick(Frame().Lock().Overlay(), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_FALSE(Locked());
    EXPECT_EQ(ModalSeam::Shown().size(), 2) << "the About box came back";
}

// --- The lock command of a second launch -----------------------------------------------

// A later launch asking from a thread of its own, while this thread runs the event loop the
// running program answers from.
bool LockFromAnotherLaunch(const QString& key) {
    bool locked = false;
    QThread* thread = QThread::create([&] { locked = SingleInstance(key).RequestLock(); });
    thread->start();
    while (!thread->isFinished()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    delete thread;
    return locked;
}

TEST_F(AppTest, TheLockCommandLocksTheRunningProgram) {
    const QString key = AppSettings::Open()->fileName();
    EXPECT_FALSE(LockFromAnotherLaunch(key)) << "nothing runs yet";
    ASSERT_TRUE(Start({}));
    EXPECT_TRUE(LockFromAnotherLaunch(key));
    EXPECT_TRUE(Frame().Lock().IsScreenLocked());
    EXPECT_TRUE(LockFromAnotherLaunch(key)) << "locked already is locked";
}

// --- The real programs --------------------------------------------------------------------

// The program as a user starts it, on the offscreen platform with scratch folders, and its
// standard error in a file.
class RunningProgram {
public:
    RunningProgram(const QString& scratch, const QStringList& extraEnv) : scratch_(scratch) {
        int ready[2];
        if (::pipe(ready) != 0) {
            return;
        }
        env_ = {"QT_QPA_PLATFORM=offscreen",
                "HOME=" + scratch,
                "XDG_CONFIG_HOME=" + scratch + "/config",
                "XDG_DATA_HOME=" + scratch + "/data",
                "XDG_CACHE_HOME=" + scratch + "/cache",
                "XDG_RUNTIME_DIR=" + scratch + "/runtime",
                "OMBRIVAULT_COMMON_APPDATA=" + scratch + "/common"};
        env_ << extraEnv;
        QStringList env = env_;
        env << "OMBRIVAULT_READY_FD=3";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ready[1], 3);
        posix_spawn_file_actions_addopen(&actions, 2, QFile::encodeName(ErrorsPath()).constData(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        pid_ = Spawn({}, env, &actions);
        posix_spawn_file_actions_destroy(&actions);
        ::close(ready[1]);
        // Bounded: the byte comes once the window is up and idle.
        pollfd wait{ready[0], POLLIN, 0};
        char byte = 0;
        ready_ = ::poll(&wait, 1, 60000) == 1 && ::read(ready[0], &byte, 1) == 1;
        ::close(ready[0]);
    }
    ~RunningProgram() { Stop(); }

    bool Ready() const { return ready_; }
    // `ombrivault --lock` in the same surroundings: its exit status.
    int Lock() const {
        const pid_t pid = Spawn({"--lock"}, env_, nullptr);
        return Wait(pid);
    }
    // Ends the program as a session's end would; its standard error afterwards, without what
    // the offscreen platform says about every window.
    QByteArray Stop() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            Wait(pid_);
            pid_ = -1;
        }
        QFile file(ErrorsPath());
        if (!file.open(QIODevice::ReadOnly)) {
            return {};
        }
        QByteArray errors;
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (!line.isEmpty() && line != "This plugin does not support propagateSizeHints()") {
                errors += line + '\n';
            }
        }
        return errors;
    }

private:
    QString ErrorsPath() const { return scratch_ + "/stderr.txt"; }

    static pid_t Spawn(const QStringList& args, const QStringList& env,
                       const posix_spawn_file_actions_t* actions) {
        const QByteArray program = OV_BINARY_DIR "/bin/ombrivault";
        std::vector<QByteArray> storage;
        std::vector<char*> argv{const_cast<char*>(program.constData())};
        for (const QString& arg : args) {
            storage.push_back(arg.toLocal8Bit());
        }
        const size_t argCount = storage.size();
        for (const QString& entry : env) {
            storage.push_back(entry.toLocal8Bit());
        }
        std::vector<char*> envp;
        for (size_t i = 0; i < storage.size(); ++i) {
            (i < argCount ? argv : envp).push_back(storage[i].data());
        }
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        pid_t pid = -1;
        if (posix_spawn(&pid, program.constData(), actions, nullptr, argv.data(), envp.data()) !=
            0) {
            return -1;
        }
        return pid;
    }
    static int Wait(pid_t pid) {
        int status = 0;
        if (pid <= 0 || ::waitpid(pid, &status, 0) != pid) {
            return -1;
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    QString scratch_;
    QStringList env_;
    pid_t pid_ = -1;
    bool ready_ = false;
};

TEST(DesktopLockProgram, RunsAndLocksWithoutADesktopAndSaysAtMostOneLine) {
    struct Case {
        const char* name;
        bool buses;
        DesktopBuses::Options options;
        QByteArray errors; // what the program writes on standard error
    };
    const Case cases[] = {
        {"no buses at all", false, {}, ""},
        {"buses without logind or screen saver", true, {false, false}, ""},
        {"logind refuses the sleep delay",
         true,
         {true, true},
         "ombrivault: the computer may go to sleep before the program locks (Permission "
         "denied)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir scratch;
        QDir().mkpath(scratch.path() + "/runtime");
        QFile::setPermissions(scratch.path() + "/runtime", QFileDevice::ReadOwner |
                                                               QFileDevice::WriteOwner |
                                                               QFileDevice::ExeOwner);
        // A start as on every day but the first: no welcome wizard waiting for an answer.
        QDir().mkpath(scratch.path() + "/config/Ombrivault");
        QFile settings(scratch.path() + "/config/Ombrivault/Ombrivault Storage.ini");
        ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
        settings.write("[Settings]\nwzrd=0\n");
        settings.close();
        std::optional<DesktopBuses> buses;
        QStringList env;
        if (c.buses) {
            buses.emplace(c.options);
            ASSERT_TRUE(buses->Up());
            env << "DBUS_SYSTEM_BUS_ADDRESS=" + buses->SystemAddress()
                << "DBUS_SESSION_BUS_ADDRESS=" + buses->SessionAddress();
        } else {
            env << "DBUS_SYSTEM_BUS_ADDRESS=unix:path=" + scratch.path() + "/none"
                << "DBUS_SESSION_BUS_ADDRESS=unix:path=" + scratch.path() + "/none";
        }
        RunningProgram program(scratch.path(), env);
        ASSERT_TRUE(program.Ready());
        EXPECT_EQ(program.Lock(), 0);
        EXPECT_EQ(program.Stop(), c.errors);
        EXPECT_EQ(program.Lock(), 1) << "none runs any more";
    }
}

} // namespace
