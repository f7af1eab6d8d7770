// ombrivault: the desktop program.
#include <QApplication>

#include <cstdio>
#include <cstring>
#include <fontconfig/fontconfig.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <thread>

#include "app/EditorApp.h"
#include "app/LibraryFiles.h"
#include "base/ProductInfo.h"
#include "framework/ReadyNotice.h"
#include "framework/TerminationSignals.h"

namespace {

constexpr const char* kUsage =
    "usage: ombrivault [FILE]\n"
    "       ombrivault /p FILE\n"
    "       ombrivault /pt FILE PRINTER [DRIVER [PORT]]\n"
    "       ombrivault --lock\n"
    "       ombrivault --help | --version\n"
    "\n"
    "Opens FILE (.ovd, .ovf, .ovt, .etx or .ovs); when the program already runs, the running\n"
    "program opens it. /p prints FILE on the default printer and ends, /pt on PRINTER.\n"
    "  --lock     lock the screen of the running program; exit status 1 when none runs\n"
    "  --help     show this text and exit\n"
    "  --version  show the version and exit\n";

// --help and --version are answered before the window system is started, so they work
// without a display. Returns true when one was given.
bool AnswerInfoOption(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("ombrivault %s\n", kVersion);
            return true;
        }
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kUsage, stdout);
            return true;
        }
    }
    return false;
}

bool AsksToLock(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--lock") == 0) {
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (AnswerInfoOption(argc, argv)) {
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    }
    // Answered without a window system too, so a key binding or a script may run it anywhere.
    if (AsksToLock(argc, argv)) {
        if (CEditorApp::LockRunningInstance()) {
            return 0;
        }
        std::fputs("ombrivault: no running program to lock\n", stderr);
        return 1;
    }
    // Decrypted documents and passwords live in this process's memory: no core dumps, and
    // no other process of the user may read it.
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);

    // Reading the system's font configuration takes a few milliseconds that the window's first
    // text would otherwise wait for; a second thread reads it while the application connects
    // to the display. The library shares what it read with every later user in the process.
    const std::jthread fonts([] { FcInit(); });

    // What the libraries would write of their own accord stays unwritten; the graphics
    // drivers read their switches when the first context is made, with the application.
    LibraryFiles::KeepToThePrograms();

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
    OnTerminationSignals(&qapp, [&app] { app.Terminate(); });
    NotifyReadyWhenIdle();
    const int result = qapp.exec();
    if (app.Terminated()) {
        app.CloseUnsaved();
    }
    app.ExitInstance();
    return result;
}
