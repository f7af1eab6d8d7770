// Main of the window tests: settings, data and the common data folder go to a scratch
// folder, and the program's icons are loaded as the real program loads them.
#include <cstdlib>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    QTemporaryDir scratch;
    const QByteArray root = scratch.path().toLocal8Bit();
    ::setenv("XDG_CONFIG_HOME", (root + "/config").constData(), 1);
    ::setenv("XDG_DATA_HOME", (root + "/data").constData(), 1);
    ::setenv("XDG_RUNTIME_DIR", (root + "/runtime").constData(), 1);
    ::setenv("OMBRIVAULT_COMMON_APPDATA", (root + "/common").constData(), 1);
    QDir().mkpath(QString::fromLocal8Bit(root + "/runtime"));
    QFile::setPermissions(QString::fromLocal8Bit(root + "/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(ombrivault);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
