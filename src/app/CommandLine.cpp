#include "app/CommandLine.h"

CCommandLineInfo ParseCommandLine(const QStringList& arguments) {
    CCommandLineInfo info;
    QStringList printTo;
    bool collectingPrintTo = false;
    for (const QString& arg : arguments) {
        const bool marked = arg.size() > 1 &&
                            (arg.startsWith(QLatin1Char('/')) || arg.startsWith(QLatin1Char('-')));
        const QString name = marked ? arg.mid(1).toLower() : QString();
        // "/p" must not swallow a file at the root such as "/pass.ovd": only known names.
        const bool isSwitch = name == QLatin1String("dde") || name == QLatin1String("p") ||
                              name == QLatin1String("pt") ||
                              (arg.startsWith(QLatin1Char('-')) && arg.size() > 1);
        if (isSwitch) {
            if (name == QLatin1String("dde")) {
                info.shellCommand = CCommandLineInfo::FileDDE;
            } else if (name == QLatin1String("p")) {
                info.shellCommand = CCommandLineInfo::FilePrint;
            } else if (name == QLatin1String("pt")) {
                info.shellCommand = CCommandLineInfo::FilePrintTo;
                collectingPrintTo = true;
            }
            continue;
        }
        if (info.fileName.isEmpty()) {
            info.fileName = arg;
            if (info.shellCommand == CCommandLineInfo::FileNothing) {
                info.shellCommand = CCommandLineInfo::FileOpen;
            }
        } else if (collectingPrintTo && printTo.size() < 3) {
            printTo << arg;
        }
    }
    if (!printTo.isEmpty()) {
        info.printerName = printTo.value(0);
        info.driverName = printTo.value(1);
        info.portName = printTo.value(2);
    }
    return info;
}
