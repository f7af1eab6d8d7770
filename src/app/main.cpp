// ombrivault: the desktop program.
#include <QApplication>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <fontconfig/fontconfig.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

#include "app/EditorApp.h"
#include "framework/ReadyNotice.h"

namespace {
// SIGTERM and SIGINT reach the event loop through this pipe.
int g_signalPipe[2] = {-1, -1};

void OnSignal(int signal) {
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
}
} // namespace

int main(int argc, char** argv) {
    // Decrypted documents and passwords live in this process's memory: no core dumps, and
    // no other process of the user may read it.
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);

    // Reading the system's font configuration takes a few milliseconds that the window's first
    // text would otherwise wait for; a second thread reads it while the application connects
    // to the display. The library shares what it read with every later user in the process.
    const std::jthread fonts([] { FcInit(); });

    // The built-in browser needs shared graphics contexts, set before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication qapp(argc, argv);
    Q_INIT_RESOURCE(ombrivault);

    CEditorApp app;
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    if (app.HandOverToRunningInstance(arguments)) {
        return 0;
    }
    if (!app.InitInstance(arguments)) {
        return 1;
    }
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) == 0) {
        auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &qapp);
        QObject::connect(notifier, &QSocketNotifier::activated, &qapp, [&app] {
            char byte = 0;
            while (::read(g_signalPipe[0], &byte, 1) > 0) {
            }
            app.Terminate();
        });
        struct sigaction action = {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGTERM, &action, nullptr);
        ::sigaction(SIGINT, &action, nullptr);
    }
    NotifyReadyWhenIdle();
    const int result = qapp.exec();
    if (app.Terminated()) {
        app.CloseUnsaved();
    }
    app.ExitInstance();
    return result;
}
