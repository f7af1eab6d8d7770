// The X11 primary selection, on an X server of the test's own (Xvfb): any program may read it
// without the user asking, so selecting text in a secret editor (a password field, the text of
// an encrypted text, a storage's note) must leave it alone, while an ordinary field feeds it as
// always - which also shows that the test sees the selection.
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QApplication>
#include <QClipboard>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "controls/EditEx.h"
#include "controls/SecretTextEdit.h"
#include "editor/EditorEdit.h"
#include "storage/RightNotepadView.h"
#include "support/OwnServer.h"
#include "support/ScratchFolders.h"

namespace {

constexpr const char* kSecret = "hunter2 opens the vault";

struct Editor {
    std::unique_ptr<QWidget> window;
    QPlainTextEdit* edit;
};

Editor Make(const std::function<QPlainTextEdit*(QWidget*)>& make) {
    auto window = std::make_unique<QWidget>();
    window->resize(400, 120);
    QPlainTextEdit* edit = make(window.get());
    edit->setGeometry(0, 0, 400, 120);
    edit->setPlainText(QString::fromLatin1(kSecret));
    window->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    return {std::move(window), edit};
}

// Selects the first word: with the mouse (press, move, release) or with the keyboard.
void SelectFirstWord(QPlainTextEdit* edit, bool mouse) {
    if (mouse) {
        QTextCursor at(edit->document());
        const QPoint start = edit->cursorRect(at).center();
        at.setPosition(7);
        const QPoint stop = edit->cursorRect(at).center();
        QTest::mousePress(edit->viewport(), Qt::LeftButton, {}, start);
        QTest::mouseMove(edit->viewport(), stop);
        QTest::mouseRelease(edit->viewport(), Qt::LeftButton, {}, stop);
    } else {
        edit->setFocus();
        edit->moveCursor(QTextCursor::Start);
        for (int i = 0; i < 7; ++i) {
            QTest::keyClick(edit, Qt::Key_Right, Qt::ShiftModifier);
        }
    }
}

TEST(PrimarySelection, SecretEditorsKeepTheirSelectionToThemselves) {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        GTEST_SKIP() << "no X server (Xvfb) could be started";
    }
    QClipboard* clipboard = QGuiApplication::clipboard();
    ASSERT_TRUE(clipboard->supportsSelection());
    struct Case {
        const char* name;
        std::function<QPlainTextEdit*(QWidget*)> make;
        bool feedsPrimary;
    };
    const Case cases[] = {
        {"ordinary editor", [](QWidget* w) { return new SecretTextEdit(w); }, true},
        {"account field copying as a secret",
         [](QWidget* w) {
             auto* edit = new CEditEx(false, w);
             edit->SetSecretCopies(true);
             return edit;
         },
         true},
        {"password field",
         [](QWidget* w) {
             auto* edit = new CEditEx(false, w);
             edit->SetSensitive(true);
             return edit;
         },
         false},
        {"encrypted text", [](QWidget* w) { return new CEditorEdit(w); }, false},
        {"storage note",
         [](QWidget* w) { return (new CRightNotepadView(nullptr, nullptr, w))->Editor(); }, false},
    };
    for (const Case& c : cases) {
        for (const bool mouse : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (mouse ? ", by mouse" : ", by keyboard"));
            clipboard->setText(QStringLiteral("before"), QClipboard::Selection);
            Editor editor = Make(c.make);
            SelectFirstWord(editor.edit, mouse);
            ASSERT_EQ(editor.edit->textCursor().selectedText(), QStringLiteral("hunter2"));
            const QString primary = clipboard->text(QClipboard::Selection);
            if (c.feedsPrimary) {
                EXPECT_EQ(primary, QStringLiteral("hunter2"));
            } else {
                EXPECT_FALSE(primary.contains(QStringLiteral("hunter2"))) << primary.toStdString();
            }
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir scratch;
    UseScratchFolders(scratch);
    // An X server of our own, not for listing the tests; without one the test is skipped.
    bool listing = false;
    for (int i = 1; i < argc; ++i) {
        listing = listing || std::string(argv[i]) == "--gtest_list_tests";
    }
    std::optional<OwnServer> xvfb;
    if (!listing) {
        xvfb.emplace(std::vector<const char*>{"Xvfb", "-displayfd", "3", "-screen", "0",
                                              "800x600x24", "-nolisten", "tcp"});
    }
    if (xvfb && !xvfb->Line().empty()) {
        ::setenv("DISPLAY", (":" + xvfb->Line()).c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    } else {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    int status = 0;
    {
        QApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        status = RUN_ALL_TESTS();
    }
    return status;
}
