// The real program around the passwords window tests: the application with its main frame
// and templates, a manual clock, the modal seam and a scratch folder.
#pragma once

#include <memory>

#include <QApplication>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

#include "app/AppSettings.h"
#include "app/EditorApp.h"
#include "app/MainFrame.h"
#include "framework/Clock.h"
#include "framework/DocTemplate.h"
#include "framework/ModalSeam.h"
#include "passwords/OmbrivaultChildFrame.h"
#include "passwords/OmbrivaultDoc.h"
#include "support/DocumentDialogs.h"
#include "support/QtPrinters.h"
#include "support/TestFiles.h"

// The entries of a menu: "-" for a separator, else "+" (enabled) or "x" (disabled) and the
// text. The menu is deleted.
inline QStringList MenuEntries(QMenu* menu) {
    std::unique_ptr<QMenu> owned(menu);
    QStringList entries;
    for (const QAction* a : menu->actions()) {
        entries << (a->isSeparator() ? QStringLiteral("-")
                                     : (a->isEnabled() ? "+" : "x") + a->text());
    }
    return entries;
}

class WindowFixture : public ::testing::Test {
protected:
    void SetUp() override {
        AppSettings::Open()->clear();
        ModalSeam::Install();
        app = std::make_unique<CEditorApp>();
        ASSERT_TRUE(app->InitInstance({QStringLiteral("/dde")}));
        Main().resize(1000, 700);
        Main().show();
        QApplication::setActiveWindow(&Main());
    }
    void TearDown() override {
        if (app) {
            for (CDocument* doc : app->DocManager().GetDocuments()) {
                doc->SetModifiedFlag(false);
            }
            app->DocManager().CloseAllDocuments();
        }
        app.reset();
        EXPECT_TRUE(ModalSeam::Unanswered().isEmpty())
            << ModalSeam::Unanswered().join(", ").toStdString();
        ModalSeam::Uninstall();
    }

    CMainFrame& Main() { return *app->MainFrame(); }

    COmbrivaultDoc* NewDoc() {
        return dynamic_cast<COmbrivaultDoc*>(app->PasswordsTemplate()->OpenDocumentFile({}));
    }
    COmbrivaultDoc* OpenDoc(const std::string& path, const QString& password) {
        ModalSeam::Push(EnterPassword(password));
        return dynamic_cast<COmbrivaultDoc*>(app->OpenDocumentFile(QString::fromStdString(path)));
    }
    // A copy of the known sample file in the scratch folder, under `name`.
    std::string Sample(const std::string& name, const char* fixture = "sample.ovd") {
        WriteFileBytes(dir / name,
                       ReadFileBytes(std::string(OV_TEST_FIXTURES) + "/passwords/" + fixture));
        return dir / name;
    }
    static COmbrivaultChildFrame* FrameOf(const CDocument* doc) {
        return doc == nullptr || doc->GetFrames().empty()
                   ? nullptr
                   : qobject_cast<COmbrivaultChildFrame*>(doc->GetFrames().front());
    }
    bool IsOpen(const CDocument* doc) const {
        const auto docs = app->DocManager().GetDocuments();
        return std::find(docs.begin(), docs.end(), doc) != docs.end();
    }

    static constexpr const char* kSamplePassword = "fixture pw";

    ManualClock clock;
    ScopedProgramClock useClock{clock};
    ScratchDir dir;
    std::unique_ptr<CEditorApp> app;
};
