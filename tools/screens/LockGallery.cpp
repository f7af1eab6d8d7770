// Not a test: runs the program on real timers (under Xvfb, say) and saves pictures of the
// lock overlay a few seconds in, the screen-lock settings with their preview, the chooser
// and the wizard into the folder given as its argument, for looking at them.
#include <cstdlib>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include "app/AppSettings.h"
#include "app/CommonAppData.h"
#include "app/EditorApp.h"
#include "app/MainFrame.h"
#include "app/ScreenLockSettings.h"
#include "framework/CommandIds.h"
#include "framework/DocTemplate.h"
#include "framework/ModalSeam.h"
#include "framework/ResultCodes.h"
#include "support/ScratchFolders.h"

namespace {
QString g_dir;

void Wait(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void Save(QWidget& w, const QString& name) {
    w.grab().save(QDir(g_dir).filePath(name + ".png"));
}

// Pictures the dialog after `ms` of running, then ends it with `result`.
ModalSeam::Script Snap(const QString& name, int ms, int result = IDCANCEL) {
    return [name, ms, result](QDialog& d) {
        Wait(ms);
        Save(d, name);
        d.done(result);
    };
}
} // namespace

int main(int argc, char** argv) {
    PictureToolApp tool(argc, argv);
    g_dir = tool.outputDir;
    ScopedModalSeam seam;

    ScreenLockSettings settings;
    settings.lockWhenIdle = 1;
    settings.timeoutIndex = 3;
    settings.passwordEnabled = 1;
    settings.promptText = "Click to unlock the screen...";
    settings.SetScreenPassword("secret");
    ScreenLockStore(GetCommonAppDataPath()).Save(settings);

    CEditorApp app;
    ModalSeam::Push(Snap("wizard", 300));
    if (!app.InitInstance({})) {
        return 1;
    }
    CMainFrame& frame = *app.MainFrame();
    frame.resize(900, 640);
    app.PasswordsTemplate()->OpenDocumentFile(QString());
    Wait(300);
    Save(frame, "frame");

    frame.ExecuteCommand(ID_LOCK_SCREEN);
    int waited = 0;
    for (int ms : {1500, 5600, 6400, 9000}) {
        Wait(ms - waited);
        waited = ms;
        Save(frame, QStringLiteral("locked-%1").arg(ms));
    }
    ModalSeam::Push([](QDialog& d) {
        // The screen-password prompt over the overlay.
        Wait(200);
        Save(*d.parentWidget(), "unlock-prompt");
        answer::Type("password", "secret", answer::Click("ok"))(d);
    });
    frame.Lock().UnlockScreen();

    ModalSeam::Push(answer::Type("password", "secret", answer::Click("ok")));
    ModalSeam::Push(Snap("screen-lock-settings", 2500));
    frame.ExecuteCommand(ID_SCREEN_LOCK_OPTIONS);

    ModalSeam::Push(Snap("new-document", 300));
    frame.ExecuteCommand(ID_FILE_NEW);
    return 0;
}
