// For benchmarks of windows: lets the posted work and the painting of a change finish, so a
// timing covers the window until it is idle again.
#pragma once

#include <QApplication>

inline void SettleWindows() {
    for (int i = 0; i < 3; ++i) {
        QApplication::sendPostedEvents();
        QApplication::processEvents();
    }
}
