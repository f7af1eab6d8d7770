// ombrivault: the desktop program.
#include <QApplication>

#include <cstdio>
#include <fontconfig/fontconfig.h>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <thread>

#include "app/EditorApp.h"
#include "app/ProductInfo.h"
#include "crypto/OpenSsl.h"
#include "framework/MessageBox.h"
#include "framework/ReadyNotice.h"
#include "framework/TerminationSignals.h"

int main(int argc, char** argv) {
    // Decrypted documents and passwords live in this process's memory: no core dumps, and
    // no other process of the user may read it.
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);

    // Two things the program needs soon, but not at once, are prepared on a second thread
    // while the application connects to the display: the cipher library is opened (it is not
    // linked, so that loading it does not hold up the start; see crypto/SystemLibrary.h), and
    // the system's font configuration is read (a few milliseconds that the window's first text
    // would otherwise wait for; the library shares what it read with every later user).
    std::string cipherError;
    bool cipherUsable = false;
    std::jthread warmUp([&] {
        cipherUsable = CipherLibraryAvailable(cipherError);
        FcInit();
    });

    // The built-in browser needs shared graphics contexts, set before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication qapp(argc, argv);
    Q_INIT_RESOURCE(ombrivault);

    CEditorApp app;
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    if (app.HandOverToRunningInstance(arguments)) {
        return 0;
    }
    // Nothing can be opened or saved without the cipher library: say so before anything can
    // be typed, instead of failing at the first save.
    warmUp.join();
    if (!cipherUsable) {
        std::fprintf(stderr, "%s\n", cipherError.c_str());
        ShowMessageBox(nullptr, QString::fromStdString(cipherError), QString::fromLatin1(kAppTitle),
                       MessageButtons::Ok, MessageIcon::Error);
        return 1;
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
