// Main of the window tests: settings, data and the common data folder go to a scratch
// folder, and the program's icons are loaded as the real program loads them. A browser
// window opened by a test starts the web engine as the program starts it.
#include <cstdlib>

#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <unistd.h>

#include "support/ScratchFolders.h"

int main(int argc, char** argv) {
    QTemporaryDir scratch;
    UseScratchFolders(scratch);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // The engine's sandbox refuses to run as root (as CI runs); pages are drawn in software.
    if (::geteuid() == 0) {
        ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    }
    ::setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu", 0);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(ombrivault);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
