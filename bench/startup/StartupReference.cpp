// The references for the start-up figures: the least a Qt desktop program does to show a main
// window with a menu bar, with the same application attribute as the program and the same
// notice once the window is shown and idle. With --furnished the window also has what any desktop
// program's main window has - a menu bar, a toolbar of icons with labels, a status bar - so the
// figures can tell the cost of showing text and icons at all from the program's own.
#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

#include <cstring>

#include "framework/ReadyNotice.h"
#include "framework/TerminationSignals.h"

namespace {

void Furnish(QMainWindow& window) {
    static const char* const kMenus[] = {"&File", "&Edit", "&View", "&Tools", "&Window", "&Help"};
    for (const char* title : kMenus) {
        QMenu* menu = window.menuBar()->addMenu(QString::fromLatin1(title));
        for (int i = 1; i <= 10; ++i) {
            menu->addAction(QStringLiteral("Command %1").arg(i));
        }
    }
    QToolBar* toolBar = window.addToolBar(QStringLiteral("Standard"));
    toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    const QStyle::StandardPixmap icons[] = {
        QStyle::SP_FileIcon,           QStyle::SP_DirOpenIcon,
        QStyle::SP_DialogSaveButton,   QStyle::SP_DialogHelpButton,
        QStyle::SP_ArrowBack,          QStyle::SP_ArrowForward,
        QStyle::SP_BrowserReload,      QStyle::SP_FileDialogContentsView,
        QStyle::SP_TrashIcon,          QStyle::SP_DialogOkButton,
        QStyle::SP_DialogCancelButton, QStyle::SP_MediaPlay,
        QStyle::SP_ComputerIcon};
    int n = 0;
    for (QStyle::StandardPixmap icon : icons) {
        toolBar->addAction(window.style()->standardIcon(icon),
                           QStringLiteral("Button %1").arg(++n));
    }
    window.statusBar()->showMessage(QStringLiteral("Ready"));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    // Asked to end, the window closes and the display connection ends as the program's do. A
    // client that just dies leaves the X server with work that slows the next program's
    // start, so the figures would depend on which program ran before which.
    OnTerminationSignals(&app, [] { QApplication::quit(); });
    QMainWindow window;
    if (argc > 1 && std::strcmp(argv[1], "--furnished") == 0) {
        Furnish(window);
    } else {
        window.menuBar()->addMenu(QStringLiteral("&File"))->addAction(QStringLiteral("E&xit"));
    }
    window.resize(800, 600);
    window.show();
    NotifyReadyWhenIdle();
    return QApplication::exec();
}
