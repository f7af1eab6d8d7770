// The directory picker's own ways to a folder: where it starts, the path field with Tab
// completion, and new folders named in place.
#include <sys/stat.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "controls/DirectoryDlg.h"
#include "framework/FolderMemory.h"
#include "framework/ModalSeam.h"
#include "framework/ResultCodes.h"
#include "support/GuiFixture.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;

namespace {

// The hint says what `start` says; an empty `start` means no hint at all.
bool HintIs(const CDirectoryDlg& picker, const char* start) {
    const QString text = QString::fromLatin1(start);
    return text.isEmpty() ? picker.Hint().isEmpty() : picker.Hint().startsWith(text);
}

class DirectoryDlgTest : public GuiFixture {
protected:
    void SetUp() override {
        GuiFixture::SetUp();
        for (const char* folder : {"work/alpha/inner", "work/alps", "work/beta", "work/.dot"}) {
            fs::create_directories(dir.path() / folder);
        }
        WriteFileBytes(dir / "work/alphabet.txt", "a file, never offered");
        FolderMemory::Remember(FolderKind::Export, Path("work"));
    }
    QString Path(const std::string& relative) const {
        return QString::fromStdString(dir / relative);
    }

    ScratchDir dir;
};

TEST_F(DirectoryDlgTest, StartsInTheLastExportFolderAndRemembersTheChoice) {
    CDirectoryDlg picker;
    EXPECT_EQ(picker.SelectedPath(), Path("work"));
    EXPECT_EQ(picker.PathField()->text(), Path("work"));
    EXPECT_EQ(picker.Tree()->PathOfItem(picker.Tree()->currentItem()), Path("work"));

    ModalSeam::Push([&](QDialog& d) {
        auto& p = static_cast<CDirectoryDlg&>(d);
        p.Tree()->SelectPath(Path("work/beta"));
        EXPECT_EQ(p.PathField()->text(), Path("work/beta")) << "the field follows the tree";
        p.findChild<QPushButton*>("ok")->click();
    });
    EXPECT_EQ(picker.DoModal(), IDOK);
    EXPECT_EQ(FolderMemory::StartFolder(FolderKind::Export), Path("work/beta"));

    CDirectoryDlg cancelled;
    EXPECT_EQ(cancelled.SelectedPath(), Path("work/beta"));
    ModalSeam::Push([&](QDialog& d) {
        static_cast<CDirectoryDlg&>(d).Tree()->SelectPath(Path("work"));
        d.reject();
    });
    EXPECT_EQ(cancelled.DoModal(), IDCANCEL);
    EXPECT_EQ(FolderMemory::StartFolder(FolderKind::Export), Path("work/beta"));
}

// Tab completes the last name as far as the folders agree (files are never offered, hidden
// folders once their dot is typed); a whole path lets Tab move on.
TEST_F(DirectoryDlgTest, TabCompletesFolderNames) {
    struct Case {
        std::string typed;
        std::string after; // relative to the scratch folder; "=" keeps the text
        bool consumed;
        const char* hint;
    };
    const Case cases[] = {
        {"work/be", "work/beta/", true, ""},
        {"work/alp", "work/alp", true, "Choices: alpha, alps"},
        {"work/alpha", "work/alpha/", true, ""},
        {"work/alpha/", "work/alpha/inner/", true, ""}, // the one folder in it
        {"work/d", "=", true, "No folder"},
        {"work/.d", "work/.dot/", true, ""},
        {"work/beta/", "=", false, ""},
    };
    CDirectoryDlg picker;
    QLineEdit* field = picker.PathField();
    picker.show();
    QApplication::setActiveWindow(&picker);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        field->setFocus();
        field->setText(Path(c.typed));
        QTest::keyClick(field, Qt::Key_Tab);
        EXPECT_EQ(field->text(), c.after == "=" ? Path(c.typed) : Path(c.after));
        EXPECT_EQ(QApplication::focusWidget() == field, c.consumed);
        EXPECT_TRUE(HintIs(picker, c.hint)) << picker.Hint().toStdString();
    }
    picker.hide();
}

// Enter in the field goes to the folder typed (a "~" is the home folder), then OK takes it;
// OK with a path that is no folder keeps the dialog open and says so.
TEST_F(DirectoryDlgTest, ATypedPathIsGoneToAndTaken) {
    CDirectoryDlg picker;
    ModalSeam::Push([&](QDialog& d) {
        auto& p = static_cast<CDirectoryDlg&>(d);
        QLineEdit* field = p.PathField();
        field->setText(Path("work/alpha/inner"));
        QTest::keyClick(field, Qt::Key_Return);
        EXPECT_TRUE(p.isVisible()) << "Enter went to the folder only";
        EXPECT_EQ(p.SelectedPath(), Path("work/alpha/inner"));
        EXPECT_EQ(p.Tree()->PathOfItem(p.Tree()->currentItem()), Path("work/alpha/inner"));

        field->setText(QStringLiteral("~"));
        QTest::keyClick(field, Qt::Key_Return);
        EXPECT_EQ(p.SelectedPath(), QDir::homePath());

        field->setText(Path("work/missing"));
        p.findChild<QPushButton*>("ok")->click();
        EXPECT_TRUE(p.isVisible());
        EXPECT_TRUE(p.Hint().contains("work/missing")) << p.Hint().toStdString();

        field->setText(Path("work/alps"));
        p.findChild<QPushButton*>("ok")->click();
    });
    EXPECT_EQ(picker.DoModal(), IDOK);
    EXPECT_EQ(picker.SelectedPath(), Path("work/alps"));
}

// "New Folder" names a folder in place inside the selected one: confirmed, it is made (the
// user's alone) and selected; cancelled, nothing is made; a name that cannot be is refused.
TEST_F(DirectoryDlgTest, NewFolderIsMadeWhenItsNameIsConfirmed) {
    CDirectoryDlg picker;
    picker.show();
    QApplication::setActiveWindow(&picker);
    const auto name = [&](const QString& text, Qt::Key end) {
        picker.findChild<QPushButton*>("newFolder")->click();
        QLineEdit* editor = nullptr;
        for (QLineEdit* e : picker.Tree()->viewport()->findChildren<QLineEdit*>()) {
            editor = e->isVisible() ? e : editor; // editors of earlier names wait to be deleted
        }
        ASSERT_NE(editor, nullptr);
        EXPECT_EQ(editor->text(), CDirectoryDlg::kNewFolderName);
        editor->selectAll();
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, end);
        QApplication::processEvents();
    };
    struct Case {
        const char* name;
        QString text;
        Qt::Key end;
        bool made;
        const char* hint;
    };
    const Case cases[] = {
        {"confirmed", "Exports", Qt::Key_Return, true, ""},
        {"cancelled", "Never", Qt::Key_Escape, false, ""},
        {"taken", "beta", Qt::Key_Return, false, "A folder or file named \"beta\""},
        {"with a slash", "a/b", Qt::Key_Return, false, "\"a/b\" cannot be"},
        {"dots", "..", Qt::Key_Return, false, "\"..\" cannot be"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        picker.Tree()->SelectPath(Path("work"));
        const int before = picker.Tree()->currentItem()->childCount();
        const QString made = Path("work/") + c.text;
        const bool existed = QFileInfo::exists(made);
        name(c.text, c.end);
        EXPECT_EQ(!existed && QFileInfo(made).isDir(), c.made);
        EXPECT_TRUE(HintIs(picker, c.hint)) << picker.Hint().toStdString();
        if (c.made) {
            EXPECT_EQ(picker.SelectedPath(), made);
            struct stat st {};
            ASSERT_EQ(::stat(made.toLocal8Bit().constData(), &st), 0);
            EXPECT_EQ(st.st_mode & 0777, 0700u);
        } else {
            picker.Tree()->SelectPath(Path("work"));
            EXPECT_EQ(picker.Tree()->currentItem()->childCount(), before) << "no item left";
        }
    }
    EXPECT_FALSE(QFileInfo::exists(Path("work/Never")));
    picker.hide();
}

} // namespace
