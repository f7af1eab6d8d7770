// Where the file dialogs start and what they remember: the folder last used for the same kind
// of work, else the active document's folder, else the home folder.
#include <map>

#include <QDir>
#include <QFileDialog>

#include <gtest/gtest.h>

#include "framework/FolderMemory.h"
#include "framework/ModalSeam.h"
#include "framework/ResultCodes.h"
#include "framework/TimedFileDialog.h"
#include "support/GuiFixture.h"
#include "support/TestFiles.h"

namespace {

class FolderMemoryTest : public GuiFixture {
protected:
    void SetUp() override {
        GuiFixture::SetUp();
        FolderMemory::SetHooks(
            {[this](const QString& key) { return stored[key]; },
             [this](const QString& key, const QString& folder) { stored[key] = folder; },
             [this] { return activeDocument; }});
    }
    void TearDown() override {
        FolderMemory::SetHooks({});
        GuiFixture::TearDown();
    }
    QString Folder(const std::string& name) {
        std::filesystem::create_directories(dir.path() / name);
        return QString::fromStdString(dir / name);
    }

    ScratchDir dir;
    std::map<QString, QString> stored;
    QString activeDocument;
};

TEST_F(FolderMemoryTest, StartFolderFallsBackFromTheLastFolderToTheDocumentToHome) {
    const QString last = Folder("last");
    const QString docs = Folder("docs");
    struct Case {
        const char* name;
        QString stored;
        QString document;
        QString start;
    };
    const Case cases[] = {
        {"last folder of the kind", last, docs + "/a.ovd", last},
        {"last folder gone", dir.path().c_str() + QStringLiteral("/gone"), docs + "/a.ovd", docs},
        {"no last folder", QString(), docs + "/a.ovd", docs},
        {"document folder gone", QString(), dir.path().c_str() + QStringLiteral("/x/a.ovd"),
         QDir::homePath()},
        {"nothing", QString(), QString(), QDir::homePath()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        stored[FolderMemory::Key(FolderKind::Export)] = c.stored;
        activeDocument = c.document;
        EXPECT_EQ(FolderMemory::StartFolder(FolderKind::Export), c.start);
    }
}

TEST_F(FolderMemoryTest, EachKindKeepsItsOwnFolder) {
    const FolderKind kinds[] = {FolderKind::Open, FolderKind::SaveAs, FolderKind::Export,
                                FolderKind::Add};
    QStringList keys;
    for (FolderKind kind : kinds) {
        keys << FolderMemory::Key(kind);
        FolderMemory::Remember(kind, Folder(keys.back().toStdString()));
    }
    EXPECT_EQ(keys.removeDuplicates(), 0);
    for (FolderKind kind : kinds) {
        EXPECT_EQ(FolderMemory::StartFolder(kind),
                  QString::fromStdString(dir / FolderMemory::Key(kind).toStdString()));
    }
    // A file remembers the folder it is in; a folder that does not exist is not remembered.
    FolderMemory::RememberFileFolder(FolderKind::Open, Folder("sub") + "/new.ovd");
    EXPECT_EQ(FolderMemory::StartFolder(FolderKind::Open), Folder("sub"));
    FolderMemory::Remember(FolderKind::Open, Folder("sub") + "/missing");
    EXPECT_EQ(FolderMemory::StartFolder(FolderKind::Open), Folder("sub"));
}

// The program's file dialog starts in its kind's folder and remembers the folder of the file
// chosen, not of a choice cancelled; a name that carries a folder starts there.
TEST_F(FolderMemoryTest, TheFileDialogStartsThereAndRemembersTheChosenFolder) {
    const QString opened = Folder("opened");
    const QString saved = Folder("saved");
    FolderMemory::Remember(FolderKind::Open, opened);

    CTimedFileDialog open(true, QString(), QString(), CTimedFileDialog::FileMustExist, "All|*|",
                          nullptr, 0);
    EXPECT_EQ(open.directory().absolutePath(), opened);
    CTimedFileDialog save(false, QString(), QStringLiteral("name.ovd"), 0, "All|*|", nullptr, 0);
    EXPECT_EQ(save.GetFolderKind(), FolderKind::SaveAs);
    EXPECT_EQ(save.directory().absolutePath(), QDir::homePath());
    save.SetFolderKind(FolderKind::Open);
    EXPECT_EQ(save.directory().absolutePath(), opened);
    EXPECT_EQ(QFileInfo(save.GetPathName()).fileName(), "name.ovd") << "the name stays";
    CTimedFileDialog named(false, QString(), saved + "/own.ovd", 0, "All|*|", nullptr, 0);
    EXPECT_EQ(named.directory().absolutePath(), saved);

    CTimedFileDialog cancelled(false, QString(), QString(), 0, "All|*|", nullptr, 0);
    ModalSeam::Push([&](QDialog& d) {
        static_cast<QFileDialog&>(d).selectFile(saved + "/x.ovd");
        d.reject();
    });
    EXPECT_EQ(cancelled.DoModal(), IDCANCEL);
    EXPECT_TRUE(stored[FolderMemory::Key(FolderKind::SaveAs)].isEmpty());

    CTimedFileDialog chosen(false, QString(), QString(), 0, "All|*|", nullptr, 0);
    ModalSeam::Push(answer::Files({saved + "/x.ovd"}));
    EXPECT_EQ(chosen.DoModal(), IDOK);
    EXPECT_EQ(stored[FolderMemory::Key(FolderKind::SaveAs)], saved);
    EXPECT_EQ(stored[FolderMemory::Key(FolderKind::Open)], opened) << "other kinds stay";
}

} // namespace
