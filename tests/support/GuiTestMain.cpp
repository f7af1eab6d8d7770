// Main of the window tests: settings, data and the common data folder go to a scratch
// folder, and the program's icons are loaded as the real program loads them.
#include <cstdlib>

#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/ScratchFolders.h"

int main(int argc, char** argv) {
    QTemporaryDir scratch;
    UseScratchFolders(scratch);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(ombrivault);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
