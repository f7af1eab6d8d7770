// Folder export from the storage window: names longer than a file name may be, and a storage
// that was read only in part, whose export says what it could not hold.
#include <filesystem>

#include "compound/CompoundFile.h"
#include "framework/FolderMemory.h"
#include "storage/StorageFile.h"
#include "storage/StorageWindowFixture.h"

namespace fs = std::filesystem;

namespace {

const QString kPw = QStringLiteral("export pw");

class StorageTreeExportTest : public StorageWindowFixture {
protected:
    // Exports the selected folder into `out`, answering the picker, the warning and then,
    // when `after` is given, one more message.
    void ExportInto(CPictureLeftView* view, const std::string& out, QString* after = nullptr) {
        fs::create_directories(out);
        // The picker starts in the folder last used for an export.
        FolderMemory::Remember(FolderKind::Export, QString::fromStdString(out));
        QString warning;
        ModalSeam::Push(answer::Click(QStringLiteral("ok")));
        ModalSeam::Push(Message(warning, QStringLiteral("Yes")));
        if (after != nullptr) {
            ModalSeam::Push(Message(*after));
        }
        view->ExportSelected();
        EXPECT_TRUE(warning.contains(QStringLiteral("unencrypted")));
        EXPECT_TRUE(ModalSeam::Unanswered().isEmpty());
    }
};

TEST_F(StorageTreeExportTest, AFolderNameLongerThanAFileNameIsShortened) {
    CPictureDoc* doc = OpenStorage(dir / "long.ovs");
    ASSERT_NE(doc, nullptr);
    CPictureLeftView* view = View(doc);
    const QString longName(259, u'L');
    QTreeWidgetItem* folder = view->AddFolder(longName, true);
    view->AddItem(QString::fromStdString(File("n.txt", "note")), StorageItemType::Text, false);
    view->Tree()->setCurrentItem(folder);
    const std::string out = dir / "out";
    ExportInto(view, out);
    ExportInto(view, out);
    EXPECT_EQ(ReadFileBytes(out + "/" + std::string(255, 'L') + "/n.txt"), "note");
    EXPECT_EQ(ReadFileBytes(out + "/" + std::string(251, 'L') + " (2)/n.txt"), "note");
}

TEST_F(StorageTreeExportTest, AnExportOfAFolderReadInPartSaysWhichFolders) {
    // Box holds an item, then an element that does not decrypt, then an item never read.
    const std::string path = dir / "partial.ovs";
    {
        CompoundWriter compound;
        ASSERT_EQ(compound.Create(path), CompoundResult::Ok);
        StorageWriter writer(compound, kPw.toStdString());
        ASSERT_EQ(writer.CreateStorageFile(), CompoundResult::Ok);
        StorageItem folder;
        folder.type = static_cast<int32_t>(StorageItemType::Folder);
        folder.name = "Box";
        uint32_t box = 0;
        ASSERT_EQ(writer.WriteFolder(CompoundReader::kRoot, folder, 0, box), CompoundResult::Ok);
        StorageItem file;
        file.type = static_cast<int32_t>(StorageItemType::File);
        file.name = "fine.bin";
        file.data = Bytes{'f'};
        ASSERT_EQ(writer.WriteItem(box, file, 1), CompoundResult::Ok);
        const std::string junk(64, 'x');
        ASSERT_EQ(compound.WriteStream(box, "2", junk.data(), junk.size()), CompoundResult::Ok);
        file.name = "lost.bin";
        ASSERT_EQ(writer.WriteItem(box, file, 3), CompoundResult::Ok);
        ASSERT_EQ(compound.Commit(), CompoundResult::Ok);
    }
    QString loadMessage;
    ModalSeam::Push(EnterPassword(kPw));
    ModalSeam::Push(Message(loadMessage));
    auto* doc = dynamic_cast<CPictureDoc*>(app->OpenDocumentFile(QString::fromStdString(path)));
    ASSERT_NE(doc, nullptr);
    CPictureLeftView* view = View(doc);
    WaitForStorageLoad(view);
    QTreeWidgetItem* box = Child(view->RootItem(), QStringLiteral("Box"));
    ASSERT_NE(box, nullptr);
    view->Tree()->setCurrentItem(box);
    QString incomplete;
    ExportInto(view, dir / "out", &incomplete);
    EXPECT_EQ(ReadFileBytes(dir / "out/Box/fine.bin"), "f");
    EXPECT_FALSE(fs::exists(dir.path() / "out/Box/lost.bin"));
    EXPECT_TRUE(incomplete.contains(QStringLiteral("incomplete"))) << incomplete.toStdString();
    EXPECT_TRUE(incomplete.contains(QStringLiteral("$:\\Box\\"))) << incomplete.toStdString();
}

} // namespace
