// The storage tree's operations in the real window: where new items go and how they sort,
// typed additions by extension, directory imports on their worker, rename, delete, export,
// the context menu, and which right-hand view a selection shows.
#include <filesystem>

#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QSet>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "controls/DirectoryDlg.h"
#include "framework/CommandIds.h"
#include "framework/FolderMemory.h"
#include "image/ImageType.h"
#include "image/ObjImage.h"
#include "storage/StorageViews.h"
#include "storage/StorageWindowFixture.h"
#include "support/MenuEntries.h"

namespace fs = std::filesystem;

namespace {

const QString kPw = QStringLiteral("tree pw");

// A small real picture: a 4 x 3 BMP file image.
std::string TinyBmp() {
    FCObjImage picture;
    std::vector<uint8_t> bytes;
    if (!picture.CreateBlank(4, 3, 24) || !picture.SaveBmpToMemory(bytes)) {
        return {};
    }
    return std::string(bytes.begin(), bytes.end());
}

} // namespace

class StorageTreeTest : public StorageWindowFixture {
protected:
    void SetUp() override {
        StorageWindowFixture::SetUp();
        path = dir / "tree.ovs";
        doc = OpenStorage(path);
        ASSERT_NE(doc, nullptr);
        view = View(doc);
        tree = view->Tree();
    }
    void Select(QTreeWidgetItem* item) { tree->setCurrentItem(item); }
    // Drops the paths on the tree as the desktop does.
    void Drop(const QStringList& paths) {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& path : paths) {
            urls << QUrl::fromLocalFile(path);
        }
        data.setUrls(urls);
        QWidget* viewport = tree->viewport();
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &drop);
    }
    std::map<std::string, std::string> SaveAndRead() {
        if (!doc->HasPassword()) {
            ModalSeam::Push(SetPassword(kPw));
        }
        EXPECT_TRUE(SaveAndWait(doc));
        return StorageContents(path, kPw.toStdString());
    }

    std::string path;
    CPictureDoc* doc = nullptr;
    CPictureLeftView* view = nullptr;
    QTreeWidget* tree = nullptr;
};

TEST_F(StorageTreeTest, NewItemsSortAmongSiblingsWithoutRegardToCase) {
    for (const char* name : {"delta", "Bravo", "alpha", "Charlie", "bravo"}) {
        view->AddFolder(QString::fromLatin1(name), false);
    }
    EXPECT_EQ(Labels(view->RootItem()),
              (QStringList{"alpha", "Bravo", "bravo", "Charlie", "delta"}));
    EXPECT_TRUE(doc->IsModified());
}

TEST_F(StorageTreeTest, CurrentFolderFollowsTheSelection) {
    QTreeWidgetItem* letters = view->AddFolder(QStringLiteral("Letters"), true);
    QTreeWidgetItem* year = view->AddFolder(QStringLiteral("2008"), true);
    QTreeWidgetItem* note =
        view->AddItem(QStringLiteral("missing-note.txt"), StorageItemType::Text, true);
    ASSERT_NE(note, nullptr);
    struct Case {
        QTreeWidgetItem* selected;
        QTreeWidgetItem* folder;
        const char* path;
    };
    for (const Case& c :
         {Case{view->RootItem(), view->RootItem(), "$:\\"}, Case{letters, letters, "$:\\Letters\\"},
          Case{year, year, "$:\\Letters\\2008\\"}, Case{note, year, "$:\\Letters\\2008\\"}}) {
        SCOPED_TRACE(c.path);
        Select(c.selected);
        EXPECT_EQ(view->CurrentFolder(), c.folder);
        EXPECT_EQ(view->GetCurrentFolderPath(), c.path);
    }
}

TEST_F(StorageTreeTest, SelectionShowsTheMatchingViewAndStylesItems) {
    QTreeWidgetItem* folder = view->AddFolder(QStringLiteral("Box"), true);
    QTreeWidgetItem* web = view->AddItem(QStringLiteral("Bank"), StorageItemType::WebAccount, true);
    CPictureChildFrame* frame = FrameOf(doc);
    EXPECT_EQ(frame->ShownKind(), StorageViewKind::WebAccountEditor);
    CStorageRightView* editor = frame->StorageView(StorageViewKind::WebAccountEditor);
    EXPECT_EQ(editor->ShownItem(), view->RecordOf(web));
    EXPECT_EQ(editor->Location(), "$:\\Box\\");
    // The item and its folder are drawn bold in the style colour.
    for (QTreeWidgetItem* item : {web, folder}) {
        const auto* style = view->ItemStyleOf(item);
        ASSERT_NE(style, nullptr);
        EXPECT_TRUE(style->bold);
        EXPECT_EQ(style->color, QColor(0, 0, 192));
    }
    Select(view->RootItem());
    EXPECT_EQ(frame->ShownKind(), StorageViewKind::FolderOverview);
    EXPECT_EQ(frame->StorageView(StorageViewKind::FolderOverview)->Location(), "$:\\");
    EXPECT_FALSE(view->ItemStyleOf(web)->bold);
    EXPECT_FALSE(view->ItemStyleOf(folder)->bold);
}

TEST_F(StorageTreeTest, FilesAreTypedByTheirLastExtension) {
    struct Case {
        const char* name;
        StorageItemType type;
    };
    for (const Case& c :
         {Case{"notes.TXT", StorageItemType::Text}, Case{"notes.txt.bak", StorageItemType::File},
          Case{"scan.JPG", StorageItemType::Image}, Case{"paper.pdf", StorageItemType::Pdf},
          Case{"README", StorageItemType::File}}) {
        SCOPED_TRACE(c.name);
        Select(view->RootItem());
        QTreeWidgetItem* item =
            view->AddFileByType(QString::fromStdString(File(c.name, "content")), true);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(view->RecordOf(item)->type, static_cast<int32_t>(c.type));
        EXPECT_EQ(item->text(0), QString::fromLatin1(c.name));
    }
    EXPECT_EQ(view->RecordOf(Child(view->RootItem(), "scan.JPG"))->imageType, ImageType::Jpeg);
    // Plain files are never selected, so the view stays where it was.
    EXPECT_NE(tree->currentItem(), Child(view->RootItem(), "README"));
}

TEST_F(StorageTreeTest, EmptyOrMissingFilesAddNothingExceptNotes) {
    const QString empty = QString::fromStdString(File("empty.pdf", ""));
    EXPECT_EQ(view->AddFileByType(empty, false), nullptr);
    EXPECT_EQ(view->AddImageFile(QString::fromStdString(dir / "gone.png"), false), nullptr);
    QTreeWidgetItem* note =
        view->AddItem(QString::fromStdString(dir / "gone.txt"), StorageItemType::Text, false);
    ASSERT_NE(note, nullptr);
    EXPECT_EQ(view->RecordOf(note)->text, "");
}

TEST_F(StorageTreeTest, DroppedDirectoriesAreAddedOneAfterAnother) {
    // Three directories with enough files that their batches would mix if imports overlapped.
    for (const char* d : {"one", "two", "three"}) {
        fs::create_directories(dir.path() / "drop" / d / "sub");
        for (int i = 0; i < 700; ++i) {
            WriteFileBytes(dir / ("drop/" + std::string(d) + "/f" + std::to_string(i) + ".bin"),
                           "x");
        }
        WriteFileBytes(dir / ("drop/" + std::string(d) + "/sub/inner.txt"), "note");
    }
    QTreeWidgetItem* target = view->AddFolder(QStringLiteral("Target"), true);
    Drop({QString::fromStdString(dir / "drop/one"), QString::fromStdString(dir / "drop/two/"),
          QString::fromStdString(dir / "drop/three"),
          QString::fromStdString(File("loose.txt", "dropped note"))});
    EXPECT_TRUE(view->IsAddingDirectories());
    WaitForStorageImports(view);
    EXPECT_EQ(Labels(target), (QStringList{"loose.txt", "one", "three", "two"}));
    for (const char* d : {"one", "two", "three"}) {
        QTreeWidgetItem* folder = Child(target, d);
        ASSERT_NE(folder, nullptr);
        EXPECT_EQ(folder->childCount(), 701) << d;
        EXPECT_NE(Child(Child(folder, "sub"), "inner.txt"), nullptr);
    }
    // Table indexes tell the order the records arrived in: every record of a directory
    // before any of the next one.
    std::vector<std::pair<int32_t, int32_t>> ranges;
    for (const char* d : {"one", "two", "three"}) {
        int32_t low = INT32_MAX, high = -1;
        std::vector<QTreeWidgetItem*> stack{Child(target, d)};
        while (!stack.empty()) {
            QTreeWidgetItem* at = stack.back();
            stack.pop_back();
            low = std::min(low, CPictureLeftView::IndexOf(at));
            high = std::max(high, CPictureLeftView::IndexOf(at));
            for (int i = 0; i < at->childCount(); ++i) {
                stack.push_back(at->child(i));
            }
        }
        ranges.emplace_back(low, high);
    }
    EXPECT_LT(ranges[0].second, ranges[1].first);
    EXPECT_LT(ranges[1].second, ranges[2].first);
    const auto saved = SaveAndRead();
    EXPECT_EQ(saved.at("Target/two/sub/inner.txt"), "3:5");
    EXPECT_EQ(saved.at("Target/three/f699.bin"), "7:1");
}

TEST_F(StorageTreeTest, PasteTakesTheClipboardFileList) {
    auto* data = new QMimeData();
    data->setUrls({QUrl::fromLocalFile(QString::fromStdString(File("pasted.pdf", "%PDF")))});
    QApplication::clipboard()->setMimeData(data);
    QStringList entries = MenuEntries(view->CreateContextMenu(nullptr));
    EXPECT_EQ(entries.last(), QStringLiteral("+P&aste..."));
    view->OnCommand(CPictureLeftView::ID_PASTE_FILES);
    EXPECT_NE(Child(view->RootItem(), "pasted.pdf"), nullptr);

    QApplication::clipboard()->setText(QStringLiteral("just text"));
    entries = MenuEntries(view->CreateContextMenu(nullptr));
    EXPECT_EQ(entries,
              (QStringList{"+New &Folder...", "-", "+New &Text Document...", "+New &Web Account...",
                           "+New &Other Account...", "-", "+Add &Image file...",
                           "+Add &PDF file...", "+Add Fi&le...", "-", "+&Rename ...", "+&Delete...",
                           "-", "+&Export...", "-", "xP&aste..."}));
    // Every entry has a key of its own.
    QSet<QChar> keys;
    for (const QString& entry : entries) {
        const qsizetype amp = entry.indexOf(QLatin1Char('&'));
        if (amp >= 0) {
            EXPECT_FALSE(keys.contains(entry.at(amp + 1).toLower())) << entry.toStdString();
            keys.insert(entry.at(amp + 1).toLower());
        }
    }
}

TEST_F(StorageTreeTest, AddFileTakesAnyFileAsAPlainFile) {
    ModalSeam::Push(answer::Files({QString::fromStdString(File("notes.xyz", "plain"))}));
    view->OnCommand(CPictureLeftView::ID_ADD_FILE);
    QTreeWidgetItem* added = Child(view->RootItem(), "notes.xyz");
    ASSERT_NE(added, nullptr);
    EXPECT_TRUE(view->RecordOf(added)->Is(StorageItemType::File));
    EXPECT_EQ(SaveAndRead().at("notes.xyz"), "7:5");
}

// The keys of the focused tree, each with what it does to the item "b".
TEST_F(StorageTreeTest, TreeKeysRenameDeletePasteAndOpenTheMenu) {
    QTreeWidgetItem* b = view->AddFolder(QStringLiteral("b"), false);
    tree->setFocus();

    Select(b);
    QTest::keyClick(tree, Qt::Key_F2);
    auto* box = tree->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(box, nullptr) << "F2 opens the rename box";
    EXPECT_EQ(box->text(), QStringLiteral("b"));
    QTest::keyClick(box, Qt::Key_Escape);

    QString question;
    Select(b);
    ModalSeam::Push(Message(question, QStringLiteral("No")));
    QTest::keyClick(tree, Qt::Key_Delete);
    EXPECT_EQ(question, QStringLiteral("Are you sure you want to delete \"b\"?"));

    auto* data = new QMimeData();
    data->setUrls({QUrl::fromLocalFile(QString::fromStdString(File("k.pdf", "%PDF")))});
    QApplication::clipboard()->setMimeData(data);
    QTest::keyClick(tree, Qt::Key_V, Qt::ControlModifier);
    EXPECT_NE(Child(b, "k.pdf"), nullptr) << "Ctrl+V pastes into the selected folder";

    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
    } menuKeys[] = {{Qt::Key_Menu, Qt::NoModifier}, {Qt::Key_F10, Qt::ShiftModifier}};
    for (const auto& k : menuKeys) {
        QMenu* shown = nullptr;
        QTimer::singleShot(0, [&] {
            shown = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (shown != nullptr) {
                shown->close();
            }
        });
        QTest::keyClick(tree, k.key, k.modifiers);
        EXPECT_NE(shown, nullptr) << "key " << k.key;
    }
}

TEST_F(StorageTreeTest, RenameKeepsAtMost126CharactersAndThePlace) {
    view->AddFolder(QStringLiteral("b"), false);
    QTreeWidgetItem* c = view->AddFolder(QStringLiteral("c"), false);
    Select(c);
    const QString typed(127, QLatin1Char('a'));
    view->EndLabelEdit(c, typed);
    EXPECT_EQ(c->text(0), typed.left(126));
    EXPECT_EQ(view->RecordOf(c)->name, std::string(126, 'a'));
    // Not sorted again until the storage is read anew.
    EXPECT_EQ(Labels(view->RootItem()), (QStringList{"b", typed.left(126)}));
    SaveAndRead();
    doc->OnCloseDocument();
    CPictureDoc* again = OpenStorage(path, kPw);
    EXPECT_EQ(Labels(View(again)->RootItem()), (QStringList{typed.left(126), "b"}));
}

TEST_F(StorageTreeTest, RootCannotBeRenamedOrDeleted) {
    Select(view->RootItem());
    view->RenameSelected();
    view->DeleteSelected(); // no question comes up: the seam would record it
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(view->RootItem()->text(0), QStringLiteral("tree.ovs"));
}

TEST_F(StorageTreeTest, DeletedFolderLeavesTheNextSaveWithItsContents) {
    QTreeWidgetItem* box = view->AddFolder(QStringLiteral("Box"), true);
    view->AddItem(QStringLiteral("Inner"), StorageItemType::OtherAccount, false);
    Select(view->RootItem());
    view->AddFolder(QStringLiteral("Stay"), false);
    Select(box);
    QString question;
    ModalSeam::Push(Message(question, QStringLiteral("No")));
    view->DeleteSelected();
    EXPECT_EQ(question, QStringLiteral("Are you sure you want to delete \"Box\"?"));
    EXPECT_NE(Child(view->RootItem(), "Box"), nullptr);

    Select(box);
    ModalSeam::Push(Message(question, QStringLiteral("Yes")));
    view->DeleteSelected();
    EXPECT_EQ(Labels(view->RootItem()), (QStringList{"Stay"}));
    EXPECT_EQ(SaveAndRead(), (std::map<std::string, std::string>{{"Stay", "0"}}));
}

TEST_F(StorageTreeTest, ImageExportWritesStoredBytesOrConverts) {
    const std::string bmp = TinyBmp();
    ASSERT_FALSE(bmp.empty());
    QTreeWidgetItem* image = view->AddImageFile(QString::fromStdString(File("pic.bmp", bmp)), true);
    ASSERT_NE(image, nullptr);

    ModalSeam::Push(answer::Files({QString::fromStdString(dir / "same.bmp")}));
    view->ExportSelected();
    EXPECT_EQ(ReadFileBytes(dir / "same.bmp"), bmp);

    ModalSeam::Push(answer::Files({QString::fromStdString(dir / "other.png")}));
    view->ExportSelected();
    EXPECT_EQ(ReadFileBytes(dir / "other.png").substr(1, 3), "PNG");

    QString message;
    ModalSeam::Push(answer::Files({QString::fromStdString(dir / "other.pcx")}));
    ModalSeam::Push(Message(message, QStringLiteral("OK")));
    view->ExportSelected();
    EXPECT_TRUE(message.startsWith(QStringLiteral("Failed to convert image to this format...")));
}

TEST_F(StorageTreeTest, PastedPictureBecomesBmpItemAndReplacesImageData) {
    QImage clip(3, 2, QImage::Format_RGB32);
    clip.fill(QColor(10, 200, 30));
    QApplication::clipboard()->setImage(clip);
    QTreeWidgetItem* item = view->AddPastedImage(QStringLiteral("from clipboard"));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(tree->currentItem(), item);
    const StorageItem* record = view->RecordOf(item);
    EXPECT_EQ(record->imageType, ImageType::Bmp);
    EXPECT_EQ(record->fitToView, 1);
    FCObjImage back;
    ASSERT_TRUE(back.LoadImage(record->data.data(), record->data.size(), ImageType::Bmp));
    EXPECT_EQ(back.Width(), 3);
    EXPECT_EQ(back.PixelValue(2, 1) & 0xFFFFFF, 0x0AC81Eu);
    EXPECT_TRUE(QApplication::clipboard()->image().isNull()) << "the clipboard was emptied";

    FCObjImage other;
    ASSERT_TRUE(other.CreateBlank(5, 4, 24));
    EXPECT_TRUE(view->ReplaceImageData(other));
    record = view->RecordOf(item); // a change puts a new record in the slot
    ASSERT_TRUE(back.LoadImage(record->data.data(), record->data.size(), ImageType::Bmp));
    EXPECT_EQ(back.Width(), 5);
}

TEST_F(StorageTreeTest, ImageExportFilterPutsTheOwnFormatFirst) {
    EXPECT_TRUE(CPictureLeftView::ImageExportFilter(ImageType::Png)
                    .startsWith(QStringLiteral("Portable Network Graphics (*.PNG)|*.png|Tagged")));
    EXPECT_EQ(CPictureLeftView::ImageExportFilter(ImageType::Unrecognised), QString());
    // Formats nothing converts to are offered only for a picture already in them (its bytes
    // are written as stored).
    const QString jpeg = CPictureLeftView::ImageExportFilter(ImageType::Jpeg);
    EXPECT_EQ(jpeg.count(QLatin1Char('|')), 12);
    for (const char* unwritable : {"*.pcx", "*.psd", "*.ico"}) {
        EXPECT_FALSE(jpeg.contains(QLatin1String(unwritable))) << unwritable;
    }
    EXPECT_TRUE(CPictureLeftView::ImageExportFilter(ImageType::Psd)
                    .startsWith(QStringLiteral("Portable Network Graphics (*.PNG)|*.png|")));
    EXPECT_TRUE(CPictureLeftView::ImageExportFilter(ImageType::Psd).contains(u"*.psd"));
    EXPECT_TRUE(CPictureLeftView::ImageExportFilter(ImageType::Pcx)
                    .startsWith(QStringLiteral("PC Paintbrush Exchange (*.PCX)|*.pcx|")));
}

TEST_F(StorageTreeTest, FolderExportWritesItsItemsIntoANewFolderAfterConfirmation) {
    QTreeWidgetItem* box = view->AddFolder(QStringLiteral("Box"), true);
    view->AddItem(QString::fromStdString(File("n.txt", "note text")), StorageItemType::Text, false);
    view->AddFolder(QStringLiteral("Deep"), true);
    view->AddItem(QString::fromStdString(File("d.bin", "bytes")), StorageItemType::File, false);
    fs::create_directories(dir.path() / "out");
    // The picker starts in the folder last used for an export.
    FolderMemory::Remember(FolderKind::Export, QString::fromStdString(dir / "out"));

    Select(box);
    QString warning;
    ModalSeam::Push(answer::Click(QStringLiteral("ok")));
    ModalSeam::Push(Message(warning, QStringLiteral("No")));
    view->ExportSelected();
    EXPECT_TRUE(warning.contains(QStringLiteral("unencrypted")));
    EXPECT_FALSE(fs::exists(dir.path() / "out/Box"));

    ModalSeam::Push(answer::Click(QStringLiteral("ok")));
    ModalSeam::Push(Message(warning, QStringLiteral("Yes")));
    view->ExportSelected();
    EXPECT_EQ(ReadFileBytes(dir / "out/Box/n.txt"), "note text");
    EXPECT_EQ(ReadFileBytes(dir / "out/Box/Deep/d.bin"), "bytes");
}

TEST_F(StorageTreeTest, RootExportsTheWholeStorageAndAnAccountItsRenamedXml) {
    view->AddFolder(QStringLiteral("Box"), true);
    view->AddItem(QString::fromStdString(File("n.txt", "note text")), StorageItemType::Text, false);
    Select(view->RootItem());
    QTreeWidgetItem* account =
        view->AddItem(QStringLiteral("first"), StorageItemType::WebAccount, false);
    ASSERT_NE(account, nullptr);
    // A rename reaches the account's stored name at once.
    view->EndLabelEdit(account, QStringLiteral("jörg.müller"));
    Select(account);
    ModalSeam::Push(answer::Files({QString::fromStdString(dir / "account.xml")}));
    view->ExportSelected();
    const std::string xml = ReadFileBytes(dir / "account.xml");
    EXPECT_EQ(xml.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u) << xml;
    EXPECT_NE(xml.find("<NAME>j\xC3\xB6rg.m\xC3\xBCller</NAME>"), std::string::npos) << xml;

    fs::create_directories(dir.path() / "all");
    // The picker starts in the last export folder.
    FolderMemory::Remember(FolderKind::Export, QString::fromStdString(dir / "all"));
    Select(view->RootItem());
    QString warning;
    ModalSeam::Push(answer::Click(QStringLiteral("ok")));
    ModalSeam::Push(Message(warning, QStringLiteral("Yes")));
    view->ExportSelected();
    EXPECT_TRUE(warning.contains(QStringLiteral("unencrypted"))) << warning.toStdString();
    EXPECT_EQ(ReadFileBytes(dir / "all/tree/Box/n.txt"), "note text");
    EXPECT_EQ(ReadFileBytes(dir / "all/tree/j\xC3\xB6rg.m\xC3\xBCller"), xml);
    fs::current_path(fs::temp_directory_path());
}

TEST_F(StorageTreeTest, ZoomCommandsAreEnabledOnlyForImages) {
    view->AddFolder(QStringLiteral("F"), true);
    CCmdUI ui(ID_ZOOM_IN);
    ASSERT_TRUE(view->OnUpdateCommand(ui));
    EXPECT_FALSE(ui.enabled);
    const std::string bmp = TinyBmp();
    view->AddImageFile(QString::fromStdString(File("p.bmp", bmp)), true);
    CCmdUI again(ID_ZOOM_IN);
    ASSERT_TRUE(view->OnUpdateCommand(again));
    EXPECT_TRUE(again.enabled);
}

// --- The directory picker ------------------------------------------------------------------

class DirectoryPickerTest : public GuiFixture {
protected:
    ScratchDir dir;
};

TEST_F(DirectoryPickerTest, TopLevelIsRootAndHomeAndFoldersLoadLazily) {
    fs::create_directories(dir.path() / "a/.hidden/x");
    fs::create_directories(dir.path() / "a/plain");
    WriteFileBytes(dir / "a/file.txt", "f");
    FolderMemory::Remember(FolderKind::Export, QString::fromStdString(dir / "a"));
    CDirectoryDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Select Directory "));
    CDirTreeCtrl* tree = dialog.Tree();
    ASSERT_GE(tree->topLevelItemCount(), 1);
    EXPECT_EQ(tree->topLevelItem(0)->text(0), QStringLiteral("/"));
    EXPECT_EQ(dialog.SelectedPath(), QString::fromStdString((dir.path() / "a").string()));
    QTreeWidgetItem* a = tree->currentItem();
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(tree->PathOfItem(a), dialog.SelectedPath());

    tree->expandItem(a);
    // Hidden folders show like any other; files do not; a folder without subfolders has no
    // expansion placeholder.
    QStringList names;
    for (int i = 0; i < a->childCount(); ++i) {
        names << a->child(i)->text(0);
    }
    EXPECT_EQ(names, (QStringList{".hidden", "plain"}));
    EXPECT_TRUE(CDirTreeCtrl::HasPlaceholder(a->child(0)));
    EXPECT_EQ(a->child(1)->childCount(), 0);

    // Every expansion reads the folder again.
    fs::create_directories(dir.path() / "a/new");
    tree->collapseItem(a);
    tree->expandItem(a);
    EXPECT_EQ(a->childCount(), 3);
}

TEST_F(DirectoryPickerTest, SelectPathRefusesMissingPaths) {
    CDirTreeCtrl tree;
    ASSERT_TRUE(tree.ShowTree());
    EXPECT_FALSE(tree.SelectPath(QString::fromStdString(dir / "missing")));
    ASSERT_TRUE(tree.SelectPath(QString::fromStdString(dir.path().string())));
    EXPECT_EQ(tree.PathOfItem(tree.currentItem()), QString::fromStdString(dir.path().string()));
}
