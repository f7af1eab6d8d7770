// The running program for application tests: a real CEditorApp started with its real main
// frame, dialogs answered through the modal seam, time moved by a manual clock, and the
// per-user settings and screen-lock record reset before every test.
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

// Receives the addresses the program hands to the desktop.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    explicit UrlCatcher(QList<QUrl>& list) : list_(list) {}
    Q_INVOKABLE void open(const QUrl& url) { list_ << url; }

private:
    QList<QUrl>& list_;
};

class AppTest : public ::testing::Test {
protected:
    void SetUp() override {
        AppSettings::Open()->clear();
        // Most tests start on an empty frame; the welcome wizard has tests of its own.
        AppSettings::SetShowWizard(0);
        QFile::remove(QString::fromStdString(LockStore().Path()));
        ModalSeam::Install();
    }
    void TearDown() override {
        app.reset();
        EXPECT_TRUE(ModalSeam::Unanswered().isEmpty())
            << ModalSeam::Unanswered().join(", ").toStdString();
        ModalSeam::Uninstall();
    }
    bool Start(const QStringList& args) {
        app = std::make_unique<CEditorApp>();
        return app->InitInstance(args);
    }
    CMainFrame& Frame() { return *app->MainFrame(); }
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

    ManualClock clock;
    ScopedProgramClock useClock{clock};
    QTemporaryDir dir;
    std::unique_ptr<CEditorApp> app;
};
