// Points the program's settings, data, runtime and common data folders into a scratch folder,
// so test programs and picture tools never touch the real home folder or the desktop's buses.
// Call it before the QApplication exists.
#pragma once

#include <cstdlib>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

inline void UseScratchFolders(const QTemporaryDir& scratch) {
    const QByteArray root = scratch.path().toLocal8Bit();
    ::setenv("XDG_CONFIG_HOME", (root + "/config").constData(), 1);
    ::setenv("XDG_DATA_HOME", (root + "/data").constData(), 1);
    ::setenv("XDG_RUNTIME_DIR", (root + "/runtime").constData(), 1);
    ::setenv("OMBRIVAULT_COMMON_APPDATA", (root + "/common").constData(), 1);
    // Nor do they hear the desktop's own buses: these name sockets that do not exist, and a
    // test that wants buses starts private ones.
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + root + "/no-system-bus").constData(), 1);
    ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + root + "/no-session-bus").constData(), 1);
    QDir().mkpath(QString::fromLocal8Bit(root + "/runtime"));
    QFile::setPermissions(QString::fromLocal8Bit(root + "/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

// The start of a picture tool's main(): scratch folders, the application with the program's
// resources, and the folder the pictures go to (the first argument, or the current folder).
class PictureToolApp {
public:
    PictureToolApp(int& argc, char** argv)
        : scratchReady_((UseScratchFolders(scratch), true)), app_(argc, argv),
          outputDir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath()) {
        Q_INIT_RESOURCE(ombrivault);
    }

    QTemporaryDir scratch;

private:
    bool scratchReady_;
    QApplication app_;

public:
    const QString outputDir;
};
