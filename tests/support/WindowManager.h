// Window tests that need a real window manager: the shared main (WindowManagerTestMain.cpp)
// starts an X server of its own (Xvfb) with the openbox window manager, and the tests run on
// it. Without Xvfb or openbox the tests are skipped, saying why.
#pragma once

#include <QRect>
#include <QString>

class QWidget;

namespace WindowManager {

// Whether the X server and its window manager run; when not, why.
bool Available();
QString Missing();
// Whether the window manager has put its frame around `window` and Qt knows of it.
bool Framed(const QWidget& window);
// The outer rectangle of `window`, frame included, as the window manager last reported it.
QRect Outer(const QWidget& window);

} // namespace WindowManager
