// The storage document's life in the real program: opening, the load, saving with its
// backup, Save As, closing with the save-changes question, failures that must keep the
// previous file, and files shared with the command-line tool.
#include <filesystem>

#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include "app/FrameStatusBar.h"
#include "compound/CompoundFile.h"
#include "crypto/StrongFile.h"
#include "editor/EditorView.h"
#include "framework/CommandIds.h"
#include "framework/FrameHosts.h"
#include "storage/StorageAdd.h"
#include "storage/StorageLayout.h"
#include "storage/StorageWindowFixture.h"
#include "support/StrongSupport.h"

namespace {

const QString kPw = QStringLiteral("storage pw");

// Answers the save dialog with `path`.
ModalSeam::Script SaveTo(const std::string& path) {
    return answer::Files({QString::fromStdString(path)});
}

} // namespace

using StorageDocTest = StorageWindowFixture;

TEST_F(StorageDocTest, MissingPathOpensEmptyWithoutPromptAndFirstSaveAsksPassword) {
    const std::string path = dir / "new.ovs";
    CPictureDoc* doc = OpenStorage(path);
    ASSERT_NE(doc, nullptr);
    EXPECT_TRUE(ModalSeam::Shown().isEmpty()) << "no password prompt for a missing file";
    EXPECT_EQ(View(doc)->RootItem()->text(0), QStringLiteral("new.ovs"));
    EXPECT_EQ(View(doc)->RootItem()->childCount(), 0);

    View(doc)->AddFolder(QStringLiteral("Letters"), true);
    View(doc)->AddItem(QStringLiteral("Bank"), StorageItemType::WebAccount, false);
    ModalSeam::Push(SetPassword(kPw));
    doc->OnCommand(ID_FILE_SAVE);
    WaitForStorageSave(doc);
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(StorageContents(path, kPw.toStdString()),
              (std::map<std::string, std::string>{{"Letters", "0"}, {"Letters/Bank", "4:1"}}));
}

TEST_F(StorageDocTest, CancelledPasswordWritesNothingAndStaysModified) {
    const std::string path = dir / "new.ovs";
    CPictureDoc* doc = OpenStorage(path);
    View(doc)->AddFolder(QStringLiteral("A"), false);
    ModalSeam::Push(answer::Click(QStringLiteral("cancel")));
    doc->OnCommand(ID_FILE_SAVE);
    WaitForStorageSave(doc);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(path)));
    EXPECT_TRUE(doc->IsModified());
    EXPECT_FALSE(doc->HasPassword());
}

TEST_F(StorageDocTest, RootOnlyStorageReopensWithRootOnly) {
    const std::string path = dir / "empty.ovs";
    CPictureDoc* doc = OpenStorage(path);
    ModalSeam::Push(SetPassword(kPw));
    ASSERT_TRUE(SaveAndWait(doc));
    doc->OnCloseDocument();

    CPictureDoc* again = OpenStorage(path, kPw);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(View(again)->RootItem()->childCount(), 0);
    EXPECT_FALSE(again->IsModified());
}

TEST_F(StorageDocTest, LoadRunsInTheBackgroundAndShowsFoldersSortedAndAsSaved) {
    // Written by the storage layer alone, in an order the tree must not keep.
    const std::string path = dir / "made.ovs";
    StorageItemTable table;
    StorageTree written;
    auto add = [&](StorageItemType type, const char* name, int32_t parent, int32_t expanded) {
        auto item = std::make_unique<StorageItem>();
        item->type = static_cast<int32_t>(type);
        item->name = name;
        item->expanded = expanded;
        const int32_t index = table.Add(std::move(item));
        written.push_back({index, parent});
        return index;
    };
    const int32_t open = add(StorageItemType::Folder, "open", kRootParent, 1);
    add(StorageItemType::Text, "zeta", open, 0);
    add(StorageItemType::Text, "Alpha", open, 0);
    const int32_t shut = add(StorageItemType::Folder, "Closed", kRootParent, 0);
    add(StorageItemType::WebAccount, "inside", shut, 0);
    ASSERT_TRUE(SaveStorage(path, kPw.toStdString(), table, written).ok);

    // The busy protocol the load drives, as the frame would receive it.
    struct Commands : CCommandHost {
        void PostCommand(int id) override { ++(id == ID_STEP_BUSY ? steps : others); }
        void SendCommand(int id) override { PostCommand(id); }
        std::atomic<int> steps{0}, others{0};
    } commands;
    CCommandHost* frameCommands = CCommandHost::Current();
    CCommandHost::SetCurrent(&commands);
    ModalSeam::Push(EnterPassword(kPw));
    auto* doc = dynamic_cast<CPictureDoc*>(app->OpenDocumentFile(QString::fromStdString(path)));
    ASSERT_NE(doc, nullptr);
    EXPECT_TRUE(View(doc)->IsLoading()) << "the items arrive after the window is up";
    WaitForStorageLoad(View(doc));
    CCommandHost::SetCurrent(frameCommands);
    EXPECT_GE(commands.steps, 1);
    EXPECT_EQ(commands.others, 2) << "begin and end";
    QTreeWidgetItem* root = View(doc)->RootItem();
    EXPECT_EQ(Labels(root), (QStringList{"Closed", "open"}));
    EXPECT_EQ(Labels(Child(root, "open")), (QStringList{"Alpha", "zeta"}));
    EXPECT_TRUE(Child(root, "open")->isExpanded());
    EXPECT_FALSE(Child(root, "Closed")->isExpanded());
    EXPECT_EQ(Labels(Child(root, "Closed")), (QStringList{"inside"}));
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(StorageDocTest, ClosingWhileWorkersRunStopsThemAndReleasesTheFile) {
    const std::string path = dir / "busy.ovs";
    std::filesystem::create_directories(dir.path() / "in");
    for (int i = 0; i < 2000; ++i) {
        WriteFileBytes(dir / ("in/f" + std::to_string(i)), "x");
    }
    CPictureDoc* doc = OpenStorage(path);
    View(doc)->StartAddDirectory(QString::fromStdString(dir / "in"));
    ModalSeam::Push(SetPassword(kPw));
    ASSERT_TRUE(SaveAndWait(doc)); // the import's batches wait for the save
    doc->OnCloseDocument();        // while the import may still run
    QApplication::processEvents();

    // Now the load: the window closes before the items are shown.
    CompoundReader other;
    ASSERT_EQ(other.Open(path), CompoundResult::Ok) << "the closed window let go of its file";
    other.Close();
    ModalSeam::Push(EnterPassword(kPw));
    doc = dynamic_cast<CPictureDoc*>(app->OpenDocumentFile(QString::fromStdString(path)));
    ASSERT_NE(doc, nullptr);
    doc->OnCloseDocument();
    QApplication::processEvents();
    EXPECT_EQ(other.Open(path), CompoundResult::Ok);
}

TEST_F(StorageDocTest, SecondSaveKeepsFirstVersionAsBackup) {
    const std::string path = dir / "home.ovs";
    CPictureDoc* doc = OpenStorage(path);
    View(doc)->AddFolder(QStringLiteral("First"), false);
    ModalSeam::Push(SetPassword(kPw));
    ASSERT_TRUE(SaveAndWait(doc));
    View(doc)->AddFolder(QStringLiteral("Second"), false);
    ASSERT_TRUE(SaveAndWait(doc)); // the password is known now: no prompt

    EXPECT_EQ(StorageContents(dir / "home.BAK", kPw.toStdString()),
              (std::map<std::string, std::string>{{"First", "0"}}));
    EXPECT_EQ(StorageContents(path, kPw.toStdString()),
              (std::map<std::string, std::string>{{"First", "0"}, {"Second", "0"}}));
    EXPECT_TRUE(ModalSeam::Unanswered().isEmpty());
}

TEST_F(StorageDocTest, SaveAsAppendsExtensionOnlyWithoutDot) {
    struct Case {
        const char* typed;
        const char* written;
    };
    for (const Case& c : {Case{"plain", "plain.ovs"}, Case{"with.dot", "with.dot"}}) {
        SCOPED_TRACE(c.typed);
        CPictureDoc* doc = NewStorage();
        View(doc)->AddFolder(QStringLiteral("F"), false);
        ModalSeam::Push(SaveTo(dir / c.typed));
        ModalSeam::Push(SetPassword(kPw));
        doc->OnCommand(ID_FILE_SAVE_AS);
        WaitForStorageSave(doc);
        EXPECT_EQ(StorageContents(dir / c.written, kPw.toStdString()).count("F"), 1u);
        EXPECT_EQ(doc->GetPathName(), QString::fromStdString(dir / c.written));
        EXPECT_EQ(View(doc)->RootItem()->text(0), QString::fromLatin1(c.written));
        doc->OnCloseDocument();
    }
}

TEST_F(StorageDocTest, SaveAsCancelledPasswordKeepsNewNameAndWritesNothing) {
    CPictureDoc* doc = NewStorage();
    View(doc)->AddFolder(QStringLiteral("F"), false);
    ModalSeam::Push(SaveTo(dir / "named.ovs"));
    ModalSeam::Push(answer::Click(QStringLiteral("cancel")));
    doc->OnCommand(ID_FILE_SAVE_AS);
    WaitForStorageSave(doc);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(dir / "named.ovs")));
    EXPECT_EQ(doc->GetPathName(), QString::fromStdString(dir / "named.ovs"));
    EXPECT_FALSE(doc->HasPassword());
}

TEST_F(StorageDocTest, YesInSaveChangesClosesAfterTheSave) {
    const std::string path = dir / "close.ovs";
    CPictureDoc* doc = OpenStorage(path);
    View(doc)->AddFolder(QStringLiteral("Kept"), false);
    QString question;
    ModalSeam::Push(Message(question, QStringLiteral("yes")));
    ModalSeam::Push(SetPassword(kPw));
    FrameOf(doc)->close();
    EXPECT_TRUE(question.contains(QStringLiteral("close.ovs")));
    // The window waits for its save through the normal event loop, then closes.
    EXPECT_TRUE(IsOpen(doc));
    EXPECT_TRUE(doc->IsSaving());
    while (IsOpen(doc)) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    EXPECT_EQ(StorageContents(path, kPw.toStdString()).count("Kept"), 1u);
}

TEST_F(StorageDocTest, YesThenCancelledPasswordKeepsWindowOpen) {
    CPictureDoc* doc = OpenStorage(dir / "close.ovs");
    View(doc)->AddFolder(QStringLiteral("Kept"), false);
    QString question;
    ModalSeam::Push(Message(question, QStringLiteral("yes")));
    ModalSeam::Push(answer::Click(QStringLiteral("cancel")));
    FrameOf(doc)->close();
    ASSERT_TRUE(IsOpen(doc));
    // A later save does not close the window on its own.
    ModalSeam::Push(SetPassword(kPw));
    ASSERT_TRUE(SaveAndWait(doc));
    EXPECT_TRUE(IsOpen(doc));
}

TEST_F(StorageDocTest, WrongPasswordRefusesTheFile) {
    const std::string path = dir / "locked.ovs";
    CPictureDoc* doc = OpenStorage(path);
    View(doc)->AddFolder(QStringLiteral("F"), false);
    ModalSeam::Push(SetPassword(kPw));
    ASSERT_TRUE(SaveAndWait(doc));
    doc->OnCloseDocument();

    QString message;
    ModalSeam::Push(EnterPassword(QStringLiteral("wrong")));
    ModalSeam::Push(Message(message));
    EXPECT_EQ(app->OpenDocumentFile(QString::fromStdString(path)), nullptr);
    EXPECT_EQ(message, QStringLiteral("Failed to decrypt the file: locked.ovs"));
}

// Strong protection in the storage window: the window opens busy while the key is derived
// (nothing changes meanwhile), reads the storage through the envelope, and saves it strong
// with the key it has (no second derivation), the old file kept as the backup. A wrong
// password closes the window again; File > Protection... makes a compatible storage strong.
TEST_F(StorageDocTest, AStorageWithStrongProtectionOpensAndSavesStrong) {
    const std::string path = dir / "strong.ovs";
    CPictureDoc* doc = OpenStorage(path);
    View(doc)->AddFolder(QStringLiteral("F"), false);
    ModalSeam::Push(SetPassword(kPw));
    ASSERT_TRUE(SaveAndWait(doc));
    doc->OnCloseDocument();
    const auto contents = StorageContents(path, kPw.toStdString());
    strong::Key key;
    ASSERT_EQ(key.Derive(kPw.toStdString(), {1, 8192}), strong::Status::Ok);
    int error = 0;
    ASSERT_EQ(strong::WrapFile(path, path, key, &error), strong::Status::Ok);

    HeldWorker worker;
    worker.Hold();
    ModalSeam::Push(EnterPassword(kPw));
    doc = dynamic_cast<CPictureDoc*>(app->OpenDocumentFile(QString::fromStdString(path)));
    ASSERT_NE(doc, nullptr);
    ASSERT_TRUE(ProcessEventsUntil([&] { return worker.Started() == 1; }));
    EXPECT_TRUE(doc->IsDerivingKey());
    EXPECT_EQ(View(doc)->AddFolder(QStringLiteral("early"), false), nullptr)
        << "nothing changes before the storage is read";
    worker.Release();
    ASSERT_TRUE(ProcessEventsUntil([&] { return doc->OpenFile() != nullptr; }));
    WaitForStorageLoad(View(doc));
    EXPECT_TRUE(Labels(View(doc)->RootItem()).contains(QStringLiteral("F")));
    EXPECT_EQ(CEncryptedDocument::ProtectionPaneText(doc), QStringLiteral("Strong"));

    View(doc)->AddFolder(QStringLiteral("G"), false);
    ASSERT_TRUE(SaveAndWait(doc)) << doc->LastSaveError().toStdString();
    EXPECT_EQ(worker.Started(), 1) << "the save reuses the key the open derived";
    EXPECT_TRUE(strong::FileHasMagic(path));
    EXPECT_TRUE(strong::FileHasMagic(dir / "strong.BAK"));
    auto saved = contents;
    saved["G"] = saved.at("F");
    EXPECT_EQ(StorageContents(path, kPw.toStdString()), saved);
    doc->OnCloseDocument();

    QString message;
    ModalSeam::Push(EnterPassword(QStringLiteral("wrong")));
    ModalSeam::Push(Message(message));
    app->OpenDocumentFile(QString::fromStdString(path));
    ASSERT_TRUE(ProcessEventsUntil([&] { return !message.isEmpty(); }));
    EXPECT_EQ(message, QStringLiteral("Failed to decrypt the file: strong.ovs"));
    EXPECT_TRUE(StorageTemplate()->GetDocuments().empty());

    // A compatible storage made strong from the menu.
    const std::string plain = dir / "plain.ovs";
    doc = OpenStorage(plain);
    View(doc)->AddFolder(QStringLiteral("P"), false);
    ModalSeam::Push(SetPassword(kPw));
    ASSERT_TRUE(SaveAndWait(doc));
    QString question;
    ModalSeam::Push(Message(question, QStringLiteral("Yes")));
    ASSERT_TRUE(doc->OnCommand(ID_FILE_PROTECTION));
    EXPECT_TRUE(question.startsWith("Protect plain.ovs with strong protection?"));
    ASSERT_TRUE(ProcessEventsUntil([&] { return !doc->IsDerivingKey(); }));
    ASSERT_TRUE(SaveAndWait(doc)) << doc->LastSaveError().toStdString();
    EXPECT_TRUE(strong::FileHasMagic(plain));
    EXPECT_EQ(StorageContents(plain, kPw.toStdString()).count("P"), 1u);

    // A new storage saved with "Strong protection" ticked: the key comes first, and the save
    // follows by itself.
    const std::string fresh = dir / "fresh.ovs";
    doc = OpenStorage(fresh);
    View(doc)->AddFolder(QStringLiteral("N"), false);
    ModalSeam::Push(SetStrongPassword(kPw));
    ASSERT_TRUE(doc->SaveCommand());
    ASSERT_TRUE(ProcessEventsUntil(
        [&] { return !doc->IsDerivingKey() && !doc->IsSaving() && !doc->IsModified(); }));
    EXPECT_TRUE(strong::FileHasMagic(fresh));
    EXPECT_EQ(StorageContents(fresh, kPw.toStdString()).count("N"), 1u);
}

TEST_F(StorageDocTest, DamagedStreamOpensWithWhatWasReadAndSaysSoOnce) {
    // A storage by hand: the root record, one good note, and two streams that are not
    // encrypted under the password, one at the top and one in a folder.
    const std::string path = dir / "damaged.ovs";
    {
        CompoundWriter compound;
        ASSERT_EQ(compound.Create(path), CompoundResult::Ok);
        StorageWriter writer(compound, kPw.toStdString());
        ASSERT_EQ(writer.CreateStorageFile(), CompoundResult::Ok);
        StorageItem note;
        note.type = static_cast<int32_t>(StorageItemType::Text);
        note.name = "good";
        note.text = "kept";
        ASSERT_EQ(writer.WriteItem(CompoundReader::kRoot, note, 0), CompoundResult::Ok);
        StorageItem folder;
        folder.type = static_cast<int32_t>(StorageItemType::Folder);
        folder.name = "Box";
        uint32_t box = 0;
        ASSERT_EQ(writer.WriteFolder(CompoundReader::kRoot, folder, 1, box), CompoundResult::Ok);
        const std::string junk(64, 'x');
        ASSERT_EQ(compound.WriteStream(CompoundReader::kRoot, "9", junk.data(), junk.size()),
                  CompoundResult::Ok);
        ASSERT_EQ(compound.WriteStream(box, "8", junk.data(), junk.size()), CompoundResult::Ok);
        ASSERT_EQ(compound.Commit(), CompoundResult::Ok);
    }
    QString message;
    ModalSeam::Push(EnterPassword(kPw));
    ModalSeam::Push(Message(message, QStringLiteral("OK")));
    auto* doc = dynamic_cast<CPictureDoc*>(app->OpenDocumentFile(QString::fromStdString(path)));
    ASSERT_NE(doc, nullptr);
    WaitForStorageLoad(View(doc));
    EXPECT_TRUE(message.startsWith(QStringLiteral("Failed to decrypt the file: damaged.ovs")));
    EXPECT_TRUE(Labels(View(doc)->RootItem()).contains(QStringLiteral("good")));
    EXPECT_TRUE(ModalSeam::Unanswered().isEmpty()) << "one message for two damaged levels";
}

TEST_F(StorageDocTest, SaveThatCannotWriteKeepsOldFileAndModifiedMark) {
    const std::string path = dir / "full.ovs";
    CPictureDoc* doc = OpenStorage(path);
    View(doc)->AddFolder(QStringLiteral("Old"), false);
    ModalSeam::Push(SetPassword(kPw));
    ASSERT_TRUE(SaveAndWait(doc));
    const std::string before = ReadFileBytes(path);

    View(doc)->AddItem(QString::fromStdString(File("big.bin", std::string(256 * 1024, 'b'))),
                       StorageItemType::File, false);
    QString error;
    ModalSeam::Push(Message(error));
    {
        FileSizeLimit full(64 * 1024);
        ASSERT_TRUE(full.active());
        EXPECT_FALSE(SaveAndWait(doc));
    }
    EXPECT_TRUE(error.contains(QStringLiteral("could not be saved")));
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(ReadFileBytes(path), before);
    // The window still holds its file: a second save goes through.
    ASSERT_TRUE(SaveAndWait(doc));
    EXPECT_EQ(StorageContents(path, kPw.toStdString()).count("big.bin"), 1u);
}

TEST_F(StorageDocTest, SetNewPasswordCountsFromTheNextSave) {
    const std::string path = dir / "pw.ovs";
    CPictureDoc* doc = OpenStorage(path);
    View(doc)->AddFolder(QStringLiteral("F"), false);
    ModalSeam::Push(SetPassword(kPw));
    ASSERT_TRUE(SaveAndWait(doc));
    ModalSeam::Push(SetPassword(QStringLiteral("second pw")));
    doc->OnCommand(ID_SET_FILE_PASSWORD);
    EXPECT_FALSE(doc->IsModified());
    ASSERT_TRUE(SaveAndWait(doc));
    EXPECT_EQ(StorageContents(path, "second pw").count("F"), 1u);
}

TEST_F(StorageDocTest, OpenWindowHoldsItsFile) {
    const std::string path = dir / "held.ovs";
    CPictureDoc* doc = OpenStorage(path);
    View(doc)->AddFolder(QStringLiteral("F"), false);
    ModalSeam::Push(SetPassword(kPw));
    ASSERT_TRUE(SaveAndWait(doc));
    CompoundReader other;
    EXPECT_EQ(other.Open(path), CompoundResult::ShareViolation);
    doc->OnCloseDocument();
    EXPECT_EQ(other.Open(path), CompoundResult::Ok);
}

// --- Files shared with the command-line tool ---------------------------------------------------

class StorageCliInterop : public StorageWindowFixture {
protected:
    QString Run(const QStringList& args, int* exitCode = nullptr) {
        return RunCli(kPw, args, exitCode);
    }
};

TEST_F(StorageCliInterop, WindowStorageListsAndExportsWithTheTool) {
    const std::string path = dir / "made.ovs";
    CPictureDoc* doc = OpenStorage(path);
    View(doc)->AddFolder(QStringLiteral("Docs"), true);
    View(doc)->AddItem(QString::fromStdString(File("a.txt", "hello note")), StorageItemType::Text,
                       false);
    ModalSeam::Push(SetPassword(kPw));
    ASSERT_TRUE(SaveAndWait(doc));

    // The window still holds the storage: the tool's readers read it, its writer is refused.
    int code = -1;
    QString listing = Run({QStringLiteral("ls"), QString::fromStdString(path)}, &code);
    EXPECT_EQ(code, 0) << listing.toStdString();
    EXPECT_TRUE(listing.contains(QStringLiteral("Docs/a.txt\ttext\t10"))) << listing.toStdString();
    Run({QStringLiteral("export"), QString::fromStdString(path), QStringLiteral("Docs/a.txt"),
         QStringLiteral("-o"), QString::fromStdString(dir / "out.txt")},
        &code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadFileBytes(dir / "out.txt"), "hello note");
    Run({QStringLiteral("check"), QString::fromStdString(path)}, &code);
    EXPECT_EQ(code, 0);
    const QString added = Run({QStringLiteral("add"), QString::fromStdString(path),
                               QString::fromStdString(File("b.dat", "b"))},
                              &code);
    EXPECT_NE(code, 0) << added.toStdString();
    doc->OnCloseDocument();
    listing = Run({QStringLiteral("ls"), QString::fromStdString(path)}, &code);
    EXPECT_FALSE(listing.contains(QStringLiteral("b.dat"))) << listing.toStdString();
}

TEST_F(StorageCliInterop, ToolStorageOpensInWindowWithEveryItem) {
    const std::string path = dir / "tool.ovs";
    int code = -1;
    Run({QStringLiteral("add"), QString::fromStdString(path),
         QString::fromStdString(File("one.pdf", "%PDF-1.4 x")),
         QString::fromStdString(File("two.dat", "data"))},
        &code);
    ASSERT_EQ(code, 0);
    CPictureDoc* doc = OpenStorage(path, kPw);
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(Labels(View(doc)->RootItem()),
              (QStringList{QStringLiteral("one.pdf"), QStringLiteral("two.dat")}));
}

// The size and caret panes belong to the active window: a new storage never shows another's
// size, a text window shows its caret and no size, and both panes empty with the last window.
TEST_F(StorageDocTest, SizeAndCaretPanesFollowTheActiveWindow) {
    CPictureDoc* full = NewStorage();
    ASSERT_NE(full, nullptr);
    View(full)->AddItem(QString::fromStdString(File("big.bin", std::string(256 * 1024, 'b'))),
                        StorageItemType::File, false);
    Frame().OnTimer();
    const QString fullSize = Frame().StatusPaneText(kStatusSize);
    EXPECT_EQ(fullSize, CFrameStatusBar::SizeText(static_cast<qint64>(full->TotalBytes())));
    EXPECT_TRUE(fullSize.endsWith(QStringLiteral(" KB"))) << fullSize.toStdString();

    CDocument* text = app->TextTemplate()->OpenDocumentFile(QString());
    ASSERT_NE(text, nullptr);
    auto* editor = qobject_cast<CEditorView*>(text->GetViews().front());
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor->Edit(), QStringLiteral("ab"));
    QTest::keyClick(editor->Edit(), Qt::Key_Return);
    QTest::keyClicks(editor->Edit(), QStringLiteral("cd"));
    Frame().OnTimer();
    EXPECT_EQ(Frame().StatusPaneText(kStatusSize), QString()) << "a text has no size to show";
    EXPECT_EQ(Frame().StatusPaneText(kStatusCaret), QStringLiteral(" Ln 2, Col 3"));

    CPictureDoc* empty = NewStorage();
    ASSERT_NE(empty, nullptr);
    Frame().OnTimer();
    EXPECT_EQ(Frame().StatusPaneText(kStatusSize), QStringLiteral("0 B"));
    EXPECT_EQ(Frame().StatusPaneText(kStatusCaret), QString()) << "the tree has no caret";

    Frame().ActivateChildFrame(text->GetFrames().front());
    EXPECT_EQ(Frame().StatusPaneText(kStatusCaret), QStringLiteral(" Ln 2, Col 3"));
    Frame().ActivateChildFrame(full->GetFrames().front());
    Frame().OnTimer();
    EXPECT_EQ(Frame().StatusPaneText(kStatusSize), fullSize);
    EXPECT_EQ(Frame().StatusPaneText(kStatusCaret), QString());

    for (CDocument* doc : {static_cast<CDocument*>(empty), text}) {
        doc->SetModifiedFlag(false);
        doc->OnCloseDocument();
    }
    full->SetModifiedFlag(false);
    full->OnCloseDocument();
    QCoreApplication::processEvents();
    Frame().OnTimer();
    EXPECT_EQ(Frame().StatusPaneText(kStatusSize), QString());
    EXPECT_EQ(Frame().StatusPaneText(kStatusCaret), QString());
}

// A file added from the window is read whole up to the in-memory bound; a larger one stays in
// its file and is copied into the storage in pieces by the save.
TEST_F(StorageDocTest, AddedFilesAboveTheMemoryBoundStayInTheirFileUntilSaved) {
    const std::string path = dir / "added.ovs";
    CPictureDoc* doc = OpenStorage(path);
    ASSERT_NE(doc, nullptr);
    struct Case {
        const char* name;
        uint64_t size;
        bool inMemory;
    };
    const Case cases[] = {{"small.bin", 4096, true},
                          {"large.bin", kAddInMemoryBytes + 4097, false}};
    for (const Case& c : cases) {
        std::string bytes(c.size, '\0');
        for (size_t i = 0; i < bytes.size(); i += 4096) {
            bytes[i] = static_cast<char>(i / 4096 + 1);
        }
        QTreeWidgetItem* item = View(doc)->AddItem(QString::fromStdString(File(c.name, bytes)),
                                                   StorageItemType::File, false);
        ASSERT_NE(item, nullptr) << c.name;
        const StorageItem* record = View(doc)->RecordOf(item);
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(record->data.size(), c.size) << c.name;
        EXPECT_EQ(record->data.data() != nullptr, c.inMemory) << c.name;
    }
    ModalSeam::Push(SetPassword(kPw));
    ASSERT_TRUE(SaveAndWait(doc));
    for (const Case& c : cases) {
        const std::string out = dir / (std::string("out-") + c.name);
        int code = -1;
        RunCli(kPw,
               {QStringLiteral("export"), QString::fromStdString(path), QString::fromLatin1(c.name),
                QStringLiteral("-o"), QString::fromStdString(out)},
               &code);
        EXPECT_EQ(code, 0) << c.name;
        EXPECT_EQ(ReadFileBytes(out), ReadFileBytes(dir / c.name)) << c.name;
    }
}
