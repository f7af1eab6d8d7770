// Runs the lock animation in a real window on real timers and saves screenshots of it, so the
// look can be checked by eye (under Xvfb, for example).
//
//   matrix_demo [--preview] [--size WxH] OUTPUT_PREFIX MS...
//
// saves OUTPUT_PREFIX-MS.png after each of the given numbers of milliseconds. Without
// --preview the animation gets the lock screen's lines; with it, none (the settings preview).
#include "controls/JMatrixCtrl.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QStringList args = QApplication::arguments().mid(1);
    bool preview = false;
    QSize size(800, 600);
    while (!args.isEmpty() && args.front().startsWith(QStringLiteral("--"))) {
        const QString option = args.takeFirst();
        if (option == QStringLiteral("--preview")) {
            preview = true;
        } else if (option == QStringLiteral("--size") && !args.isEmpty()) {
            const QStringList parts = args.takeFirst().split(u'x');
            if (parts.size() == 2) {
                size = QSize(parts[0].toInt(), parts[1].toInt());
            }
        }
    }
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: matrix_demo [--preview] [--size WxH] PREFIX MS...\n");
        return 2;
    }
    const QString prefix = args.takeFirst();

    QWidget window;
    window.resize(size);
    window.show();
    auto* matrix = new JMatrixCtrl();
    matrix->Create(QRect(QPoint(0, 0), size), &window);
    if (!preview) {
        matrix->AddLine(QStringLiteral("Press any key to unlock the screen..."));
        matrix->AddLine(QStringLiteral("\x01 2"));
        matrix->AddLine(QString());
        matrix->SetTypingMode(true, true);
        matrix->AddLine(QStringLiteral("\x01 10"));
    }

    int last = 0;
    for (const QString& arg : args) {
        const int ms = arg.toInt();
        last = std::max(last, ms);
        QTimer::singleShot(ms, &window, [&window, prefix, ms] {
            const QString path = QStringLiteral("%1-%2.png").arg(prefix).arg(ms);
            if (!window.grab().save(path)) {
                std::fprintf(stderr, "cannot save %s\n", qPrintable(path));
            }
        });
    }
    QTimer::singleShot(last + 50, &app, &QApplication::quit);
    return QApplication::exec();
}
