// What the picture tools share: letting the window settle and grabbing it from the screen.
#pragma once

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include "app/EditorApp.h"
#include "app/MainFrame.h"

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

// Starts the program as the window tools show it: no document, the main window at a fixed
// place and size, or at the size it opens with. Null when the program does not start.
inline CMainFrame* StartProgram(CEditorApp& app, bool openingSize = false) {
    if (!app.InitInstance({QStringLiteral("/dde")})) {
        return nullptr;
    }
    CMainFrame* main = app.MainFrame();
    if (openingSize) {
        main->move(0, 0);
    } else {
        main->resize(1000, 700);
        main->move(20, 20);
    }
    main->show();
    return main;
}
