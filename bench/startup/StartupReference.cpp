// The reference for the start-up figures: the least a Qt desktop program does to show a main
// window, with the same application attribute as the program, and the same notice once the
// window is shown and idle.
#include <QApplication>
#include <QMainWindow>

#include "framework/ReadyNotice.h"

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QMainWindow window;
    window.resize(800, 600);
    window.show();
    NotifyReadyWhenIdle();
    return QApplication::exec();
}
