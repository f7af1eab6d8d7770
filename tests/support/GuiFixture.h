// The base of the window tests: the program clock is a manual clock the test moves, every
// dialog goes through the modal seam (installed for each test), and the teardown fails the
// test when a dialog came up that no script answered. A fixture that keeps windows or
// documents open closes them in ReleaseWindows, which runs before that check.
//
// ProgramFixture adds the real program: a CEditorApp with its main frame and templates, on
// settings cleared before every test. Scratch folders for settings and data are set up by
// the shared test main (support/GuiTestMain.cpp), never the real home folder.
#pragma once

#include <memory>

#include <QStringList>

#include <gtest/gtest.h>

#include "app/AppSettings.h"
#include "app/EditorApp.h"
#include "app/MainFrame.h"
#include "framework/Clock.h"
#include "framework/Document.h"
#include "framework/ModalSeam.h"

class GuiFixture : public ::testing::Test {
protected:
    void SetUp() override { ModalSeam::Install(); }
    void TearDown() override {
        ReleaseWindows();
        EXPECT_TRUE(ModalSeam::Unanswered().isEmpty())
            << "dialogs nobody answered: " << ModalSeam::Unanswered().join(", ").toStdString();
        ModalSeam::Uninstall();
    }
    // Closes what the test left open; runs before the check for unanswered dialogs.
    virtual void ReleaseWindows() {}

    ManualClock clock;
    ScopedProgramClock useClock{clock};
};

class ProgramFixture : public GuiFixture {
protected:
    void SetUp() override {
        AppSettings::Open()->clear();
        // Most tests start on an empty frame; the welcome wizard has tests of its own.
        AppSettings::SetShowWizard(0);
        GuiFixture::SetUp();
    }
    // Documents are closed without the question about their changes, then the program ends.
    void ReleaseWindows() override {
        if (app) {
            for (CDocument* doc : app->DocManager().GetDocuments()) {
                doc->SetModifiedFlag(false);
            }
            app->DocManager().CloseAllDocuments();
        }
        app.reset();
    }
    // Starts the program as its command line `args` would.
    bool Start(const QStringList& args) {
        app = std::make_unique<CEditorApp>();
        return app->InitInstance(args);
    }
    CMainFrame& Frame() { return *app->MainFrame(); }

    std::unique_ptr<CEditorApp> app;
};
