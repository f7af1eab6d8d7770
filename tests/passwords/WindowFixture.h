// The real program around the passwords window tests (see support/GuiFixture.h), its main
// window shown at a fixed size, and a scratch folder.
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
#include "passwords/LeftView.h"
#include "passwords/OmbrivaultChildFrame.h"
#include "passwords/OmbrivaultDoc.h"
#include "support/DocumentDialogs.h"
#include "support/GuiFixture.h"
#include "support/MenuEntries.h"
#include "support/QtPrinters.h"
#include "support/TestFiles.h"

class WindowFixture : public ProgramFixture {
protected:
    void SetUp() override {
        ProgramFixture::SetUp();
        ASSERT_TRUE(Start({QStringLiteral("/dde")}));
        Main().resize(1000, 700);
        Main().show();
        QApplication::setActiveWindow(&Main());
    }

    CMainFrame& Main() { return Frame(); }

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

    ScratchDir dir;
};

// A new, empty passwords document in the window, with its frame and tree at hand.
class NewDocumentFixture : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        doc = NewDoc();
        ASSERT_NE(doc, nullptr);
        frame = FrameOf(doc);
        tree = frame->LeftView();
    }

    COmbrivaultDoc* doc = nullptr;
    COmbrivaultChildFrame* frame = nullptr;
    CLeftView* tree = nullptr;
};
