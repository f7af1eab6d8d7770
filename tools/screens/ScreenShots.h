// What the picture tools share: letting the window settle and grabbing it from the screen.
#pragma once

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTest>
#include <QWidget>

inline void Settle() {
    for (int i = 0; i < 10; ++i) {
        QApplication::processEvents();
        QTest::qWait(20);
    }
}

// Writes what the screen shows of `window` (menus over it included) to DIR/NAME.png.
inline void SnapScreen(const QString& dir, const QString& name, QWidget* window) {
    Settle();
    QScreen* screen = window->screen();
    const QRect area = window->frameGeometry().adjusted(-2, -2, 2, 2);
    screen->grabWindow(0, area.x(), area.y(), area.width(), area.height())
        .save(QDir(dir).filePath(name + ".png"));
}
