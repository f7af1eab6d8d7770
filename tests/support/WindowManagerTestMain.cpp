// Main of the window tests that need a window manager (see WindowManager.h): scratch folders as
// for every window test, a private Xvfb display with openbox on it, the xcb platform.
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <QApplication>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include "support/ScratchFolders.h"
#include "support/WindowManager.h"

extern char** environ;

namespace {

bool g_available = false;
QString g_missing;

pid_t Spawn(const QString& program, const std::vector<std::string>& args) {
    std::vector<char*> argv;
    const std::string path = program.toStdString();
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    return ::posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv.data(), environ) == 0 ? pid
                                                                                          : -1;
}

void Stop(pid_t pid) {
    if (pid > 0) {
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
    }
}

// Starts Xvfb on a free display and returns its number, or -1. The server names the display
// it took on a pipe once it accepts connections.
int StartServer(const QString& xvfb, pid_t* pid) {
    int fds[2];
    if (::pipe(fds) != 0) {
        return -1;
    }
    *pid = Spawn(xvfb, {"-displayfd", std::to_string(fds[1]), "-screen", "0", "1280x1024x24",
                        "-nolisten", "tcp"});
    ::close(fds[1]);
    std::string number;
    pollfd ready{fds[0], POLLIN, 0};
    while (*pid > 0 && ::poll(&ready, 1, 20000) > 0) {
        char c = 0;
        if (::read(fds[0], &c, 1) != 1 || c == '\n') {
            break;
        }
        number += c;
    }
    ::close(fds[0]);
    return number.empty() ? -1 : std::atoi(number.c_str());
}

} // namespace

namespace WindowManager {
bool Available() {
    return g_available;
}
QString Missing() {
    return g_missing;
}
bool Framed(const QWidget& window) {
    const QWindow* handle = window.windowHandle();
    return handle != nullptr && !handle->frameMargins().isNull();
}
QRect Outer(const QWidget& window) {
    const QWindow* handle = window.windowHandle();
    return handle != nullptr ? handle->frameGeometry() : window.frameGeometry();
}
} // namespace WindowManager

int main(int argc, char** argv) {
    QTemporaryDir scratch;
    UseScratchFolders(scratch);
    // The window manager keeps its own files in the scratch folder too.
    ::setenv("XDG_CACHE_HOME", (scratch.path() + "/cache").toLocal8Bit().constData(), 1);

    bool listing = false;
    for (int i = 1; i < argc; ++i) {
        listing = listing || std::strcmp(argv[i], "--gtest_list_tests") == 0;
    }
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    const QString openbox = QStandardPaths::findExecutable(QStringLiteral("openbox"));
    pid_t server = -1;
    pid_t manager = -1;
    if (listing) {
        g_missing = QStringLiteral("only listing the tests");
    } else if (xvfb.isEmpty() || openbox.isEmpty()) {
        g_missing = QStringLiteral("Xvfb or openbox is not installed (scripts/setup.sh installs "
                                   "both); these tests need a real window manager");
    } else if (const int display = StartServer(xvfb, &server); display < 0) {
        g_missing = QStringLiteral("Xvfb did not start");
    } else {
        ::setenv("DISPLAY", (":" + std::to_string(display)).c_str(), 1);
        manager = Spawn(openbox, {"--sm-disable"});
        g_available = manager > 0;
        if (!g_available) {
            g_missing = QStringLiteral("openbox did not start");
        }
    }
    ::setenv("QT_QPA_PLATFORM", g_available ? "xcb" : "offscreen", 1);

    int result = 1;
    {
        QApplication app(argc, argv);
        Q_INIT_RESOURCE(ombrivault);
        if (g_available) {
            // The window manager runs once it frames a window.
            QWidget probe;
            probe.setGeometry(10, 10, 100, 80);
            probe.show();
            g_available = QTest::qWaitFor([&] { return WindowManager::Framed(probe); }, 20000);
            if (!g_available) {
                g_missing = QStringLiteral("openbox did not manage the windows");
            }
        }
        ::testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
    }
    Stop(manager);
    Stop(server);
    return result;
}
