// For benchmarks of windows: lets the posted work and the painting of a change finish, so a
// timing covers the window until it is idle again.
#pragma once

#include <QApplication>
#include <QTemporaryDir>

inline void SettleWindows() {
    for (int i = 0; i < 3; ++i) {
        QApplication::sendPostedEvents();
        QApplication::processEvents();
    }
}

// The offscreen platform unless another is asked for, and settings and data in `scratch`,
// never the user's; call before the QApplication is made.
inline void PrepareWindowBench(const QTemporaryDir& scratch) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "OMBRIVAULT_COMMON_APPDATA"}) {
        qputenv(name, scratch.path().toUtf8());
    }
}
