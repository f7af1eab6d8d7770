// The new-document chooser and the welcome wizard: texts and looks, results, the documents
// they lead to, the start-up switch and their part in the screen lock.
#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QFrame>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

#include "AppFixture.h"

#include "app/DocumentTemplates.h"
#include "app/NewDialog.h"
#include "app/WizardDlg.h"
#include "controls/ShadeButton.h"
#include "crypto/EncryptedFile.h"
#include "framework/ChildFrame.h"
#include "framework/CommandIds.h"
#include "framework/DocTemplate.h"
#include "framework/Document.h"
#include "framework/LockHost.h"
#include "framework/ResultCodes.h"
#include "support/DocumentDialogs.h"

namespace {

CShadeButtonST* Button(QDialog& d, const char* name) {
    auto* button = d.findChild<CShadeButtonST*>(QString::fromLatin1(name));
    EXPECT_NE(button, nullptr) << name;
    return button;
}

std::vector<int> DocumentKinds(CEditorApp& app) {
    std::vector<int> kinds;
    for (CDocument* doc : app.DocManager().GetDocuments()) {
        kinds.push_back(doc->GetDocTemplate()->GetResourceId());
    }
    return kinds;
}

// Sends a close request, as the window's close box does.
void CloseBox(QDialog& d) {
    d.close();
}

using NewDocumentTest = AppTest;

TEST_F(NewDocumentTest, ChooserLooksAsDescribed) {
    ASSERT_TRUE(Start({}));
    ModalSeam::Push([](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), "Create New Document...");
        auto* label = d.findChild<QLabel*>("label");
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), "Select type of the document:");
        EXPECT_EQ(label->font().pixelSize(), 14);
        EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(0, 0, 150));
        struct Expected {
            const char* name;
            const char* text;
            const char* tooltip;
        };
        const Expected buttons[] = {
            {"storage", "Encrypted Storage...",
             "New Encrypted Storage for Images, PDF Files and Passwords..."},
            {"text", "Encrypted Text...", "New Encrypted Text Document..."},
            {"passwords", "Encrypted Passwords...", "New Encrypted Passwords Document..."},
        };
        int previousTop = -1;
        for (const Expected& e : buttons) {
            CShadeButtonST* b = Button(d, e.name);
            EXPECT_EQ(b->text(), e.text);
            EXPECT_EQ(b->toolTip(), e.tooltip);
            EXPECT_EQ(b->Tint(), QColor(55, 55, 255));
            EXPECT_FALSE(b->icon().isNull());
            EXPECT_GT(b->geometry().top(), previousTop) << "top to bottom";
            previousTop = b->geometry().top();
        }
        // The etched line sits between the storage button and the other two.
        auto* line = d.findChild<QFrame*>("separator");
        ASSERT_NE(line, nullptr);
        EXPECT_EQ(line->frameShadow(), QFrame::Sunken);
        EXPECT_GT(line->geometry().top(), Button(d, "storage")->geometry().bottom());
        EXPECT_LT(line->geometry().bottom(), Button(d, "text")->geometry().top());
        d.done(0);
    });
    Frame().ExecuteCommand(ID_FILE_NEW);
}

TEST_F(NewDocumentTest, EachChoiceCreatesAnUntitledDocumentOfItsKind) {
    struct Case {
        const char* button;
        int result;
        int kind;
    };
    const Case cases[] = {
        {"storage", CNewDialog::Storage, IDR_STORAGE_TYPE},
        {"text", CNewDialog::Text, IDR_TEXT_TYPE},
        {"passwords", CNewDialog::Passwords, IDR_PASSWORDS_TYPE},
    };
    ASSERT_TRUE(Start({}));
    for (const Case& c : cases) {
        int result = -1;
        ModalSeam::Push([&](QDialog& d) {
            QTest::mouseClick(Button(d, c.button), Qt::LeftButton);
            result = d.result();
        });
        Frame().ExecuteCommand(ID_FILE_NEW);
        EXPECT_EQ(result, c.result) << c.button;
        const std::vector<int> kinds = DocumentKinds(*app);
        ASSERT_FALSE(kinds.empty());
        EXPECT_EQ(kinds.size(), static_cast<size_t>(&c - cases + 1));
        CDocument* made = Frame().ActiveChildFrame()->GetActiveDocument();
        EXPECT_EQ(made->GetDocTemplate()->GetResourceId(), c.kind) << c.button;
        EXPECT_TRUE(made->GetPathName().isEmpty()) << "untitled";
        EXPECT_TRUE(Frame().ActiveChildFrame()->isVisible());
    }
}

// Enter presses the choice the keyboard reached, as Space does; the chooser opens on its first
// choice.
TEST_F(NewDocumentTest, EnterPressesTheFocusedChoice) {
    struct Case {
        int tabs;
        Qt::Key key;
        const char* focused;
        int kind;
    };
    const Case cases[] = {
        {0, Qt::Key_Return, "storage", IDR_STORAGE_TYPE},
        {1, Qt::Key_Return, "text", IDR_TEXT_TYPE},
        {2, Qt::Key_Return, "passwords", IDR_PASSWORDS_TYPE},
        {2, Qt::Key_Enter, "passwords", IDR_PASSWORDS_TYPE},
        {2, Qt::Key_Space, "passwords", IDR_PASSWORDS_TYPE},
    };
    ASSERT_TRUE(Start({}));
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.tabs << " tabs, key " << c.key);
        ModalSeam::Push([&](QDialog& d) {
            QApplication::setActiveWindow(&d);
            for (int i = 0; i < c.tabs; ++i) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            }
            ASSERT_EQ(QApplication::focusWidget(), Button(d, c.focused));
            QTest::keyClick(QApplication::focusWidget(), c.key);
        });
        Frame().ExecuteCommand(ID_FILE_NEW);
        ASSERT_NE(Frame().ActiveChildFrame(), nullptr);
        EXPECT_EQ(
            Frame().ActiveChildFrame()->GetActiveDocument()->GetDocTemplate()->GetResourceId(),
            c.kind);
        Frame().ActiveChildFrame()->GetActiveDocument()->OnCloseDocument();
    }
}

TEST_F(NewDocumentTest, EscapeAndTheCloseBoxCreateNothing) {
    ASSERT_TRUE(Start({}));
    int escape = -1;
    int closeBox = -1;
    ModalSeam::Push([&](QDialog& d) {
        QTest::keyClick(&d, Qt::Key_Escape);
        escape = d.result();
    });
    Frame().ExecuteCommand(ID_FILE_NEW);
    ModalSeam::Push([&](QDialog& d) {
        CloseBox(d);
        closeBox = d.result();
    });
    Frame().ExecuteCommand(ID_FILE_NEW);
    EXPECT_EQ(escape, IDCANCEL);
    EXPECT_EQ(closeBox, 0);
    EXPECT_TRUE(app->DocManager().GetDocuments().empty());
}

TEST_F(NewDocumentTest, TheLockClosesTheChooserAndBringsItBack) {
    StoreLockSettings([](ScreenLockSettings& s) { s.lockWhenIdle = 1; });
    ASSERT_TRUE(Start({}));
    ModalSeam::Push([&](QDialog& d) {
        clock.Advance(62000);
        Frame().OnTimer();
        Frame().OnTimer();
        ASSERT_TRUE(Frame().Lock().IsScreenLocked());
        EXPECT_TRUE(static_cast<CLockAwareDialog&>(d).LockTick());
        EXPECT_EQ(d.result(), 0);
    });
    Frame().ExecuteCommand(ID_FILE_NEW);
    EXPECT_TRUE(Frame().Lock().ReopenFlagSet(ReopenFlag::New));
    EXPECT_TRUE(app->DocManager().GetDocuments().empty());

    ModalSeam::Push(answer::Click("text"));
    QTest::mouseClick(Frame().Lock().Overlay(), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(DocumentKinds(*app), std::vector<int>{IDR_TEXT_TYPE});
}

class WizardTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        ASSERT_TRUE(Start({}));
    }
};

TEST_F(WizardTest, TextsButtonsAndTheStartupSwitch) {
    for (int stored : {1, 0}) {
        AppSettings::SetShowWizard(stored);
        ModalSeam::Push([stored](QDialog& d) {
            EXPECT_EQ(d.windowTitle(), "Welcome");
            EXPECT_EQ(d.findChild<QLabel*>("heading")->text(), "Welcome to Ombrivault Storage!");
            const std::pair<const char*, const char*> buttons[] = {
                {"create", "Create a new encrypted document..."},
                {"open", "Open an existing encrypted document..."},
                {"web", "Ombrivault Storage on the Web..."},
            };
            for (const auto& [name, text] : buttons) {
                CShadeButtonST* b = Button(d, name);
                EXPECT_EQ(b->text(), text);
                EXPECT_EQ(b->toolTip(), text);
                EXPECT_EQ(b->Tint(), QColor(55, 55, 255));
                EXPECT_FALSE(b->icon().isNull());
            }
            EXPECT_EQ(Button(d, "web")->cursor().shape(), Qt::PointingHandCursor);
            auto* check = d.findChild<QCheckBox*>("showAtStartup");
            EXPECT_EQ(check->text(), "Show Welcome dialog at startup.");
            EXPECT_EQ(check->isChecked(), stored != 0);
            EXPECT_TRUE(static_cast<CLockAwareDialog&>(d).LockTimerRunning());
            EXPECT_EQ(d.parentWidget(), CEditorApp::Instance()->MainFrame());
            d.done(IDCANCEL);
        });
        Frame().ExecuteCommand(ID_WIZARD);
    }
}

TEST_F(WizardTest, TheSwitchIsStoredHoweverTheWizardCloses) {
    struct Case {
        const char* how;
        bool tick;
    };
    const Case cases[] = {{"close box", false},
                          {"escape", true},
                          {"close box", true},
                          {"escape", false},
                          {"lock", false}};
    StoreLockSettings([](ScreenLockSettings& s) { s.lockWhenIdle = 1; });
    app->LoadScreenLockSettings();
    for (const Case& c : cases) {
        AppSettings::SetShowWizard(c.tick ? 0 : 1);
        int result = -1;
        ModalSeam::Push([&](QDialog& d) {
            auto* check = d.findChild<QCheckBox*>("showAtStartup");
            check->setChecked(c.tick);
            const std::string how = c.how;
            if (how == "close box") {
                CloseBox(d);
            } else if (how == "escape") {
                QTest::keyClick(&d, Qt::Key_Escape);
            } else {
                clock.Advance(62000);
                Frame().OnTimer();
                Frame().OnTimer();
                EXPECT_TRUE(static_cast<CLockAwareDialog&>(d).LockTick());
            }
            result = d.result();
        });
        Frame().ExecuteCommand(ID_WIZARD);
        EXPECT_EQ(AppSettings::GetShowWizard(), c.tick ? 1 : 0) << c.how;
        EXPECT_EQ(result, std::string(c.how) == "lock" ? 0 : IDCANCEL) << c.how;
    }
    EXPECT_TRUE(Frame().Lock().ReopenFlagSet(ReopenFlag::Wizard));
    Frame().Lock().RemoveLockOverlay();
}

TEST_F(WizardTest, CreateLeadsIntoTheChooser) {
    ModalSeam::Push([](QDialog& d) {
        d.findChild<QCheckBox*>("showAtStartup")->setChecked(false);
        QTest::mouseClick(Button(d, "create"), Qt::LeftButton);
        EXPECT_EQ(d.result(), IDOK);
    });
    ModalSeam::Push([](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), "Create New Document...");
        QTest::mouseClick(Button(d, "passwords"), Qt::LeftButton);
    });
    Frame().ExecuteCommand(ID_WIZARD);
    EXPECT_EQ(DocumentKinds(*app), std::vector<int>{IDR_PASSWORDS_TYPE});
    EXPECT_EQ(AppSettings::GetShowWizard(), 0);
}

TEST_F(WizardTest, OpenLeadsIntoTheOpenDialog) {
    const QString path = dir.filePath("existing.ovt");
    ASSERT_TRUE(SaveEncryptedText(path.toStdString(), "text", "pw", BlobForm::Current));
    ModalSeam::Push(answer::Click("open"));
    ModalSeam::Push([&](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), "Open");
        answer::Files({path})(d);
    });
    ModalSeam::Push(EnterPassword("pw"));
    Frame().ExecuteCommand(ID_WIZARD);
    EXPECT_EQ(DocumentKinds(*app), std::vector<int>{IDR_TEXT_TYPE});
}

TEST_F(WizardTest, TheWebButtonOpensTheSiteAndTheWizardStays) {
    QList<QUrl> opened;
    UrlCatcher catcher(opened);
    QDesktopServices::setUrlHandler("https", &catcher, "open");
    ModalSeam::Push([](QDialog& d) {
        QTest::mouseClick(Button(d, "web"), Qt::LeftButton);
        EXPECT_TRUE(d.isVisible());
        d.done(0);
    });
    Frame().ExecuteCommand(ID_WIZARD);
    QDesktopServices::unsetUrlHandler("https");
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened.front(), QUrl("https://ombrivault.org/"));
    EXPECT_TRUE(app->DocManager().GetDocuments().empty());
}

TEST(ShadeButton, ShadesInItsTint) {
    CShadeButtonST button(QStringLiteral("Go"));
    button.SetTint(QColor(200, 0, 0));
    button.resize(button.sizeHint());
    const QImage image = button.grab().toImage();
    // Somewhere below the text the face shows the tint: red over green and blue.
    const QColor face = image.pixelColor(image.width() / 2, image.height() - 4);
    EXPECT_GT(face.red(), face.green() + 40);
    EXPECT_GT(face.red(), face.blue() + 40);
    EXPECT_GE(button.sizeHint().width(),
              QFontMetrics(button.font()).horizontalAdvance(QStringLiteral("Go")) + 16);
}

} // namespace
