// Points the program's settings, data, runtime and common data folders into `scratch`, so
// test programs and picture makers never touch the real home folder. Call before the
// QApplication exists.
#pragma once

#include <cstdlib>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

inline void UseScratchFolders(const QTemporaryDir& scratch) {
    const QByteArray root = scratch.path().toLocal8Bit();
    ::setenv("XDG_CONFIG_HOME", (root + "/config").constData(), 1);
    ::setenv("XDG_DATA_HOME", (root + "/data").constData(), 1);
    ::setenv("XDG_RUNTIME_DIR", (root + "/runtime").constData(), 1);
    ::setenv("OMBRIVAULT_COMMON_APPDATA", (root + "/common").constData(), 1);
    QDir().mkpath(QString::fromLocal8Bit(root + "/runtime"));
    QFile::setPermissions(QString::fromLocal8Bit(root + "/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}
