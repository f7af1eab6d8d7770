// ombrivault: the desktop program.
#include <QApplication>

#include <sys/prctl.h>
#include <sys/resource.h>

#include "app/EditorApp.h"

int main(int argc, char** argv) {
    // Decrypted documents and passwords live in this process's memory: no core dumps, and
    // no other process of the user may read it.
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);

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
    const int result = qapp.exec();
    app.ExitInstance();
    return result;
}
