// Races between the storage window's workers and the user, made to happen every time: a
// worker is held at a chosen point through the workers' test hook while the test acts, then
// let go. Each case once lost or mixed up data.
#include <condition_variable>
#include <filesystem>
#include <mutex>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTest>
#include <QToolButton>

#include "app/FrameStatusBar.h"

#include "framework/FrameHosts.h"
#include "storage/RightNotepadView.h"
#include "storage/StorageWindowFixture.h"
#include "storage/StorageWorkerHook.h"

namespace {

const QString kPw = QStringLiteral("race pw");

// Holds the worker that reaches `point` for the `hold`-th time (counting from 1) until Open().
class WorkerGate {
public:
    explicit WorkerGate(StorageWorkerPoint point, int hold = 1) : point_(point), hold_(hold) {
        SetStorageWorkerHook([this](StorageWorkerPoint at) { Arrive(at); });
    }
    ~WorkerGate() {
        Open();
        SetStorageWorkerHook({});
    }
    // Waits until the worker is held (it needs no events to get there).
    void WaitHeld() {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [this] { return held_; });
    }
    void Open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        wake_.notify_all();
    }
    int Calls() {
        std::lock_guard lock(mutex_);
        return calls_;
    }

private:
    void Arrive(StorageWorkerPoint at) {
        std::unique_lock lock(mutex_);
        if (at != point_ || ++calls_ != hold_ || open_) {
            return;
        }
        held_ = true;
        wake_.notify_all();
        wake_.wait(lock, [this] { return open_; });
    }

    StorageWorkerPoint point_;
    int hold_;
    std::mutex mutex_;
    std::condition_variable wake_;
    int calls_ = 0;
    bool held_ = false;
    bool open_ = false;
};

class StorageRaceTest : public StorageWindowFixture {
protected:
    // A storage with a note and two files, written by the storage layer.
    std::string Sample() {
        SampleStorage sample;
        sample.AddText(StorageItemType::Text, "alpha note", "alpha text");
        sample.AddFile("bravo.bin", QByteArray("bravo bytes"));
        sample.AddFile("charlie.bin", QByteArray("charlie bytes"));
        const std::string path = dir / "race.ovs";
        EXPECT_TRUE(sample.Save(path, kPw.toStdString()));
        return path;
    }
    // Opens without waiting for the load.
    CPictureDoc* StartOpen(const std::string& path) {
        ModalSeam::Push(EnterPassword(kPw));
        return dynamic_cast<CPictureDoc*>(app->OpenDocumentFile(QString::fromStdString(path)));
    }
    QString StatusMessage() { return Frame().StatusPaneText(kStatusMessage); }
    // Every tree item shows the record it stands for.
    static void ExpectTreeMatchesRecords(CPictureLeftView* view) {
        std::vector<QTreeWidgetItem*> stack{view->RootItem()};
        while (!stack.empty()) {
            QTreeWidgetItem* at = stack.back();
            stack.pop_back();
            for (int i = 0; i < at->childCount(); ++i) {
                QTreeWidgetItem* child = at->child(i);
                const StorageItem* record = view->RecordOf(child);
                ASSERT_NE(record, nullptr) << child->text(0).toStdString();
                EXPECT_EQ(record->name, child->text(0).toStdString());
                stack.push_back(child);
            }
        }
    }
};

TEST_F(StorageRaceTest, DropWhileLoadingIsRefusedAndEveryItemKeepsItsOwnRecord) {
    const std::string path = Sample();
    const std::string dropped = File("dropped.txt", "dropped text");
    WorkerGate gate(StorageWorkerPoint::LoadItem);
    CPictureDoc* doc = StartOpen(path);
    ASSERT_NE(doc, nullptr);
    gate.WaitHeld();
    View(doc)->AddDroppedPaths({QString::fromStdString(dropped)});
    EXPECT_TRUE(StatusMessage().contains(QStringLiteral("still being read")));
    gate.Open();
    WaitForStorageLoad(View(doc));

    EXPECT_EQ(Labels(View(doc)->RootItem()),
              (QStringList{"alpha note", "bravo.bin", "charlie.bin"}));
    ExpectTreeMatchesRecords(View(doc));
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(StorageRaceTest, ChangesDuringASaveStayOutOfItsFileAndGoIntoTheNext) {
    const std::string path = Sample();
    CPictureDoc* doc = OpenStorage(path, kPw);
    CPictureLeftView* view = View(doc);
    const std::map<std::string, std::string> before = StorageContents(path, kPw.toStdString());
    QTreeWidgetItem* note = Child(view->RootItem(), "alpha note");
    ASSERT_NE(note, nullptr);
    view->Tree()->setCurrentItem(note);

    WorkerGate gate(StorageWorkerPoint::SaveItem);
    ASSERT_TRUE(doc->SaveCommand());
    gate.WaitHeld();
    // The drop, the rename box's commit and the note editor all change items now.
    view->AddDroppedPaths({QString::fromStdString(File("late.bin", "late bytes"))});
    view->EndLabelEdit(Child(view->RootItem(), "bravo.bin"), QStringLiteral("bravo renamed.bin"));
    auto* notes =
        FrameOf(doc)->StorageView(StorageViewKind::NoteEditor)->ViewAs<CRightNotepadView>();
    ASSERT_NE(notes, nullptr);
    notes->Editor()->setPlainText(QStringLiteral("changed during the save"));
    gate.Open();
    ASSERT_TRUE(WaitForStorageSave(doc));

    EXPECT_EQ(StorageContents(path, kPw.toStdString()), before) << "the save wrote its snapshot";
    EXPECT_TRUE(doc->IsModified()) << "the changes made meanwhile are not in the file";
    ASSERT_TRUE(SaveAndWait(doc));
    EXPECT_FALSE(doc->IsModified());
    const auto after = StorageContents(path, kPw.toStdString());
    EXPECT_EQ(after.count("late.bin"), 1u);
    EXPECT_EQ(after.count("bravo renamed.bin"), 1u);
    EXPECT_EQ(after.count("bravo.bin"), 0u);
    EXPECT_EQ(after.at("alpha note"), "3:" + std::to_string(strlen("changed during the save") + 1));
}

TEST_F(StorageRaceTest, RenameBoxCommitsToTheItemItWasOpenedOn) {
    CPictureDoc* doc = OpenStorage(dir / "rename.ovs");
    CPictureLeftView* view = View(doc);
    QTreeWidgetItem* first = view->AddFolder(QStringLiteral("first"), true);
    QTreeWidgetItem* second = view->AddFolder(QStringLiteral("second"), false);
    view->Tree()->setCurrentItem(first);
    view->RenameSelected();
    auto* box = view->Tree()->findChild<QLineEdit*>(QStringLiteral("labelEdit"));
    ASSERT_NE(box, nullptr);
    box->setText(QStringLiteral("first renamed"));
    // A drop or a finished import moves the selection while the box is open: Qt commits the
    // box then, with the other item current.
    view->Tree()->setCurrentItem(second);
    QApplication::processEvents();
    EXPECT_EQ(view->RecordOf(first)->name, "first renamed");
    EXPECT_EQ(view->RecordOf(second)->name, "second");
    EXPECT_EQ(second->text(0), QStringLiteral("second"));
}

TEST_F(StorageRaceTest, OperationsAreCountedAndAnImportStopsBetweenFiles) {
    CPictureDoc* doc = OpenStorage(dir / "busy.ovs");
    std::filesystem::create_directories(dir.path() / "many");
    for (int i = 0; i < 300; ++i) {
        WriteFileBytes(dir / ("many/f" + std::to_string(i)), "x");
    }
    {
        // Another long operation runs meanwhile: the import's end must not end it.
        BusyReport other;
        View(doc)->StartAddDirectory(QString::fromStdString(dir / "in-none"));
        WaitForStorageImports(View(doc));
        EXPECT_TRUE(Frame().Busy().IsBusy());
    }
    EXPECT_FALSE(Frame().Busy().IsBusy());

    WorkerGate gate(StorageWorkerPoint::ImportFile, 5);
    View(doc)->StartAddDirectory(QString::fromStdString(dir / "many"));
    gate.WaitHeld();
    View(doc)->CancelImports();
    gate.Open();
    WaitForStorageImports(View(doc));
    EXPECT_EQ(gate.Calls(), 5) << "the walk stopped before the next file";
    QTreeWidgetItem* many = Child(View(doc)->RootItem(), "many");
    ASSERT_NE(many, nullptr);
    EXPECT_EQ(many->childCount(), 5) << "what was read stays";
    ExpectTreeMatchesRecords(View(doc));
}

// The user stops an import or a save while its worker is held, with the status bar's Cancel
// or with Escape in the window. The work done stays (an import's items, a save's old file).
TEST_F(StorageRaceTest, ImportsAndSavesStopOnCancelOrEscape) {
    std::error_code error;
    ASSERT_TRUE(std::filesystem::create_directories(dir.path() / "many", error)) << error;
    for (int i = 0; i < 40; ++i) {
        WriteFileBytes(dir / ("many/f" + std::to_string(i)), "x");
    }
    enum Way { Button, Escape };
    const struct {
        const char* what;
        bool save;
        Way way;
    } cases[] = {
        {"import, Cancel", false, Button},
        {"import, Escape", false, Escape},
        {"save, Cancel", true, Button},
        {"save, Escape", true, Escape},
    };
    CFrameStatusBar* bar = Frame().FrameStatusBar();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = Sample();
        CPictureDoc* doc = OpenStorage(path, kPw);
        ASSERT_NE(doc, nullptr);
        CPictureLeftView* view = View(doc);
        const std::string before = ReadFileBytes(path);
        if (c.save) {
            view->AddFolder(QStringLiteral("unsaved"), false);
        }
        EXPECT_EQ(bar->CancelButton(), nullptr) << "nothing to stop yet";

        // A save is held before its first item, an import after its fifth file.
        WorkerGate gate(c.save ? StorageWorkerPoint::SaveItem : StorageWorkerPoint::ImportFile,
                        c.save ? 1 : 5);
        if (c.save) {
            ASSERT_TRUE(doc->SaveCommand());
        } else {
            view->StartAddDirectory(QString::fromStdString(dir / "many"));
        }
        gate.WaitHeld();
        QApplication::processEvents();
        ASSERT_NE(bar->CancelButton(), nullptr);
        EXPECT_TRUE(bar->CancelButton()->isVisible());
        ASSERT_NE(bar->Progress(), nullptr);
        if (!c.save) {
            EXPECT_EQ(bar->Progress()->text(), QStringLiteral("5 files"));
        }
        // The work goes on beside the user: a click in the tree selects.
        EXPECT_FALSE(Frame().Busy().IsBusy());
        QTreeWidgetItem* bravo = Child(view->RootItem(), "bravo.bin");
        QTest::mouseClick(view->Tree()->viewport(), Qt::LeftButton, Qt::NoModifier,
                          view->Tree()->visualItemRect(bravo).center());
        EXPECT_EQ(view->Tree()->currentItem(), bravo);

        if (c.way == Button) {
            QTest::mouseClick(bar->CancelButton(), Qt::LeftButton);
        } else {
            QTest::keyClick(view->Tree(), Qt::Key_Escape);
        }
        gate.Open();
        if (c.save) {
            EXPECT_FALSE(WaitForStorageSave(doc)) << "the save did not write";
            EXPECT_EQ(ReadFileBytes(path), before) << "the file is as it was";
            EXPECT_TRUE(doc->IsModified());
            EXPECT_TRUE(StatusMessage().startsWith(QStringLiteral("Saving cancelled")))
                << StatusMessage().toStdString();
        } else {
            WaitForStorageImports(view);
            EXPECT_EQ(gate.Calls(), 5) << "the walk stopped before the next file";
            QTreeWidgetItem* many = Child(view->RootItem(), "many");
            ASSERT_NE(many, nullptr);
            EXPECT_EQ(many->childCount(), 5) << "what was read stays";
            ExpectTreeMatchesRecords(view);
            QApplication::processEvents();
            EXPECT_EQ(StatusMessage(), QStringLiteral("Adding folders cancelled: 5 files added"));
        }
        QApplication::processEvents();
        EXPECT_EQ(bar->CancelButton(), nullptr) << "nothing left to stop";
        doc->SetModifiedFlag(false);
        doc->OnCloseDocument();
    }
}

TEST_F(StorageRaceTest, LoadReadsTheFileThePasswordWasCheckedOn) {
    const std::string path = Sample();
    WorkerGate gate(StorageWorkerPoint::LoadStart);
    CPictureDoc* doc = StartOpen(path);
    ASSERT_NE(doc, nullptr);
    gate.WaitHeld();
    // Another program puts a different file in its place between the check and the load.
    const std::string other = File("other.bin", "not a storage at all");
    std::filesystem::rename(other, path);
    gate.Open();
    WaitForStorageLoad(View(doc));
    EXPECT_EQ(Labels(View(doc)->RootItem()),
              (QStringList{"alpha note", "bravo.bin", "charlie.bin"}));
}

TEST_F(StorageRaceTest, SaveWhileLoadingIsRefusedAndLeavesTheFile) {
    const std::string path = Sample();
    const std::string bytes = ReadFileBytes(path);
    WorkerGate gate(StorageWorkerPoint::LoadItem, 2);
    CPictureDoc* doc = StartOpen(path);
    ASSERT_NE(doc, nullptr);
    gate.WaitHeld();
    EXPECT_FALSE(doc->OnSaveDocument(QString::fromStdString(path)));
    EXPECT_TRUE(StatusMessage().contains(QStringLiteral("still being read")));
    EXPECT_FALSE(doc->IsSaving());
    gate.Open();
    WaitForStorageLoad(View(doc));
    EXPECT_EQ(ReadFileBytes(path), bytes);
    EXPECT_EQ(View(doc)->RootItem()->childCount(), 3);
}

} // namespace
