// The running program for application tests (see support/GuiFixture.h), with the
// screen-lock record also removed before every test.
#pragma once

#include <functional>
#include <memory>

#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include "app/AppSettings.h"
#include "app/CommonAppData.h"
#include "app/EditorApp.h"
#include "app/MainFrame.h"
#include "app/ScreenLockSettings.h"
#include "framework/Clock.h"
#include "framework/ModalSeam.h"
#include "support/GuiFixture.h"

// Receives the addresses the program hands to the desktop.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    explicit UrlCatcher(QList<QUrl>& list) : list_(list) {}
    Q_INVOKABLE void open(const QUrl& url) { list_ << url; }

private:
    QList<QUrl>& list_;
};

class AppTest : public ProgramFixture {
protected:
    void SetUp() override {
        ProgramFixture::SetUp();
        QFile::remove(QString::fromStdString(LockStore().Path()));
    }
    QString File(const QString& name) {
        const QString path = dir.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        return path;
    }

    static ScreenLockStore LockStore() { return ScreenLockStore(GetCommonAppDataPath()); }
    // Writes the screen-lock record as `edit` leaves the defaults.
    static void StoreLockSettings(const std::function<void(ScreenLockSettings&)>& edit) {
        ScreenLockSettings settings;
        edit(settings);
        ASSERT_TRUE(LockStore().Save(settings));
    }
    static ScreenLockSettings StoredLockSettings() {
        ScreenLockSettings settings;
        EXPECT_TRUE(LockStore().Load(settings));
        return settings;
    }

    QTemporaryDir dir;
};
