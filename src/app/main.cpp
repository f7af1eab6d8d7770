// ombrivault: the desktop program.
#include <QApplication>

#include <fontconfig/fontconfig.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <thread>

#include "app/EditorApp.h"
#include "framework/ReadyNotice.h"
#include "framework/TerminationSignals.h"

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
    OnTerminationSignals(&qapp, [&app] { app.Terminate(); });
    NotifyReadyWhenIdle();
    const int result = qapp.exec();
    if (app.Terminated()) {
        app.CloseUnsaved();
    }
    app.ExitInstance();
    return result;
}
