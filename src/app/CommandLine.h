// The program's command line: a file to open, the print switches "/p" and "/pt", and
// "/dde", which the desktop's shell used to pass when it sent a file to a running program.
#pragma once

#include <QString>
#include <QStringList>

struct CCommandLineInfo {
    enum ShellCommand { FileNothing, FileOpen, FilePrint, FilePrintTo, FileDDE };

    ShellCommand shellCommand = FileNothing;
    QString fileName;
    QString printerName;
    QString driverName;
    QString portName;

    bool NamesFile() const { return !fileName.isEmpty(); }
    // The start-up lock and the welcome wizard come up only for a plain start.
    bool WantsStartupScreens() const { return !NamesFile() && shellCommand != FileDDE; }
};

// `arguments` without the program name. The switches "/dde", "/p" and "/pt" (also with
// "-") are compared without regard to case, other "-" options are ignored; the first other
// argument is the file, and "/pt" takes printer, driver and port after it.
CCommandLineInfo ParseCommandLine(const QStringList& arguments);
