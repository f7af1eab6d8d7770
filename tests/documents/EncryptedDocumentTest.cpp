// The whole-file document flows on a small document kind that holds one text, with real
// encrypted files in a scratch folder and every dialog answered through the modal seam.
#include "documents/EncryptedDocument.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include "crypto/StrongFile.h"
#include "dialogs/PasswordDlg.h"
#include "framework/ChildFrame.h"
#include "framework/CommandIds.h"
#include "framework/DocManager.h"
#include "framework/DocTemplate.h"
#include "framework/ModalSeam.h"
#include "framework/ResultCodes.h"
#include "framework/TimedFileDialog.h"
#include "support/DocumentDialogs.h"
#include "support/FakeLockHost.h"
#include "support/GuiFixture.h"
#include "support/StrongSupport.h"
#include "support/TestFiles.h"

namespace {

// A notepad-like kind: ".ovt" current, ".etx" legacy.
class NoteDoc : public CEncryptedDocument {
public:
    std::string text;
    bool asksNewPassword = true;

protected:
    DocumentClass Class() const override { return DocumentClass::Text; }
    bool SaveAsAsksNewPassword() const override { return asksNewPassword; }
    std::string ProducePlaintext() override { return text; }
    void ConsumePlaintext(std::string_view plain) override { text.assign(plain); }
    void DeleteContents() override { text.clear(); }
};

class Host : public CFrameHost {
public:
    void AddChildFrame(CMDIChildWnd* frame) override { area.addSubWindow(frame); }
    void ActivateChildFrame(CMDIChildWnd* frame) override { area.setActiveSubWindow(frame); }
    QMdiArea area;
};

class EncryptedDocumentTest : public GuiFixture {
protected:
    void SetUp() override {
        GuiFixture::SetUp();
        manager.SetFrameHost(&host);
        manager.AddDocTemplate(std::make_unique<CDocTemplate>(
            125,
            QStringLiteral("\nUntitled\nUEdit\nOmbrivault Encrypted Text Files (*.ovt)\n.ovt\n"
                           "Ovt.Document\nOmbrivault Encrypted Text"),
            [] { return std::make_unique<NoteDoc>(); }, [] { return new CMDIChildWnd(); },
            [](CDocument* d) { return new CView(d); }));
    }
    void ReleaseWindows() override {
        for (CDocument* doc : manager.GetDocuments()) {
            doc->SetModifiedFlag(false);
        }
        manager.CloseAllDocuments();
    }

    NoteDoc* Open(const std::string& path) {
        return static_cast<NoteDoc*>(manager.OpenDocumentFile(QString::fromStdString(path)));
    }
    NoteDoc* New() {
        return static_cast<NoteDoc*>(manager.GetTemplates().front()->OpenDocumentFile({}));
    }
    // A file of the kind with `text`, opened with its password.
    NoteDoc* OpenFile(const std::string& name, const std::string& text, BlobForm form,
                      const std::string& password = "old") {
        EXPECT_TRUE(SaveEncryptedText(dir / name, text, password, form));
        ModalSeam::Push(EnterPassword(QString::fromStdString(password)));
        return Open(dir / name);
    }
    bool IsOpen(const CDocument* doc) const {
        const auto docs = manager.GetDocuments();
        return std::find(docs.begin(), docs.end(), doc) != docs.end();
    }

    FakeLockHost lock;
    ScopedModalSeam seam;
    ScratchDir dir;
    Host host;
    CDocManager manager{4};
};

// --- Opening -------------------------------------------------------------------------------

TEST_F(EncryptedDocumentTest, AMissingFileOpensEmptyWithoutAPrompt) {
    NoteDoc* doc = Open(dir / "later.ovt");
    ASSERT_NE(doc, nullptr);
    EXPECT_TRUE(ModalSeam::Shown().isEmpty());
    EXPECT_EQ(doc->OwnPath().toStdString(), dir / "later.ovt");
    EXPECT_FALSE(doc->HasPassword());
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(doc->text, "");
}

TEST_F(EncryptedDocumentTest, OpenPicksTheFormByExtensionAndChecksThePassword) {
    struct Case {
        const char* name;
        BlobForm form;
        const char* typed;
        bool opens;
    };
    const Case cases[] = {
        {"a.ovt", BlobForm::Current, "right", true},  {"b.OVT", BlobForm::Current, "right", true},
        {"c.etx", BlobForm::Legacy, "right", true},   {"d.EtX", BlobForm::Legacy, "right", true},
        {"e.ovt", BlobForm::Current, "wrong", false}, {"f.etx", BlobForm::Legacy, "wrong", false},
    };
    for (const Case& c : cases) {
        ModalSeam::Install();
        ASSERT_TRUE(SaveEncryptedText(dir / c.name, "line one\r\nline two", "right", c.form));
        QString failure;
        ModalSeam::Push(EnterPassword(QString::fromLatin1(c.typed)));
        ModalSeam::Push(Message(failure));
        NoteDoc* doc = Open(dir / c.name);
        EXPECT_EQ(doc != nullptr, c.opens) << c.name;
        if (c.opens) {
            EXPECT_EQ(doc->text, "line one\r\nline two") << c.name;
            EXPECT_EQ(doc->Password(), "right");
            EXPECT_FALSE(doc->IsModified());
            EXPECT_EQ(ModalSeam::Pending(), 1) << "no failure shown for " << c.name;
        } else {
            EXPECT_EQ(failure, QStringLiteral("Failed to decrypt the file: %1").arg(c.name));
            EXPECT_TRUE(host.area.subWindowList().isEmpty()) << "no window for " << c.name;
        }
        manager.CloseAllDocuments();
    }
}

TEST_F(EncryptedDocumentTest, CancelledPasswordOpensNothing) {
    ASSERT_TRUE(SaveEncryptedText(dir / "a.ovt", "x", "pw", BlobForm::Current));
    ModalSeam::Push(answer::Click(QStringLiteral("cancel")));
    EXPECT_EQ(Open(dir / "a.ovt"), nullptr);
    EXPECT_EQ(ModalSeam::Shown(), QStringList{"Enter Password"});
    EXPECT_TRUE(manager.GetDocuments().empty());
}

TEST_F(EncryptedDocumentTest, FilesThatCannotBeReadAreReportedWithoutAskingAPassword) {
    WriteFileBytes(dir / "notes.txt", "plain");
    std::filesystem::create_directory(dir.path() / "folder.ovt");
    QString foreign;
    ModalSeam::Push(Message(foreign));
    EXPECT_EQ(Open(dir / "notes.txt"), nullptr);
    EXPECT_TRUE(foreign.contains("notes.txt")) << foreign.toStdString();
    EXPECT_TRUE(foreign.contains("\".ovt\" or \".etx\"")) << foreign.toStdString();
    EXPECT_EQ(ModalSeam::Shown(), QStringList{"Ombrivault Error..."});

    // A folder exists but cannot be read as a file: the password is asked, then the
    // system's reason is shown.
    QString unreadable;
    ModalSeam::Push(EnterPassword("pw"));
    ModalSeam::Push(Message(unreadable));
    EXPECT_EQ(Open(dir / "folder.ovt"), nullptr);
    EXPECT_TRUE(unreadable.startsWith("Cannot read the file folder.ovt: "))
        << unreadable.toStdString();
}

// --- Saving --------------------------------------------------------------------------------

TEST_F(EncryptedDocumentTest, LegacyNameInCapitalsIsSavedInTheLegacyFormToTheSamePath) {
    NoteDoc* doc = OpenFile("OLD.ETX", "before", BlobForm::Legacy);
    ASSERT_NE(doc, nullptr);
    doc->text = "after";
    doc->SetModifiedFlag(true);
    EXPECT_TRUE(doc->SaveCommand());
    EXPECT_EQ(ModalSeam::Shown().size(), 1) << "only the open prompt";
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(Decrypt(dir / "OLD.ETX", "old", BlobForm::Legacy), "after");
}

TEST_F(EncryptedDocumentTest, SaveAsAppendsTheExtensionAndAsksANewPasswordWhenTheKindSaysSo) {
    for (const bool asks : {true, false}) {
        ModalSeam::Install();
        NoteDoc* doc = OpenFile("source.ovt", "text", BlobForm::Current);
        ASSERT_NE(doc, nullptr);
        doc->asksNewPassword = asks;
        const std::string copy = dir / (asks ? "copy-new" : "copy-kept");
        QString proposed;
        QStringList filters;
        ModalSeam::Push([&](QDialog& d) {
            auto& files = static_cast<QFileDialog&>(d);
            proposed = files.selectedFiles().value(0);
            filters = files.nameFilters();
            answer::Files({QString::fromStdString(copy)})(d);
        });
        if (asks) {
            ModalSeam::Push(SetPassword("new"));
        }
        EXPECT_TRUE(doc->SaveAsCommand());
        EXPECT_EQ(proposed.toStdString(), dir / "source.ovt");
        EXPECT_EQ(filters, QStringList{"Ombrivault Encrypted Text Files (*.ovt)"});
        EXPECT_EQ(Decrypt(copy + ".ovt", asks ? "new" : "old", BlobForm::Current), "text");
        EXPECT_EQ(doc->GetPathName().toStdString(), copy + ".ovt");
        EXPECT_EQ(doc->OwnPath().toStdString(), copy + ".ovt");
        EXPECT_EQ(manager.RecentFiles().At(0).toStdString(), copy + ".ovt");
        EXPECT_EQ(ModalSeam::Shown().size(), asks ? 3 : 2);
        manager.CloseAllDocuments();
    }
}

TEST_F(EncryptedDocumentTest, SaveAsCancelPathsWriteNothing) {
    NoteDoc* doc = OpenFile("keep.ovt", "kept", BlobForm::Current);
    ASSERT_NE(doc, nullptr);
    doc->text = "changed";
    doc->SetModifiedFlag(true);
    const std::string before = ReadFileBytes(dir / "keep.ovt");

    // Cancel in the file dialog.
    ModalSeam::Push(answer::Result(QDialog::Rejected));
    EXPECT_FALSE(doc->SaveAsCommand());

    // An existing file, and the replace question answered No; the extension is added before
    // the question.
    ModalSeam::Push(answer::Files({QString::fromStdString(dir / "keep")}));
    ModalSeam::Push(answer::Click(QStringLiteral("no")));
    EXPECT_FALSE(doc->SaveAsCommand());
    EXPECT_EQ(ReadFileBytes(dir / "keep.ovt"), before);
    EXPECT_EQ(ModalSeam::Shown().mid(1), (QStringList{"Save As", "Save As", "Ombrivault Storage"}));

    // Cancel in the new-password prompt: nothing written, but the chosen name is the
    // document's name from now on (the one Save writes to), and no password is known.
    ModalSeam::Push(answer::Files({QString::fromStdString(dir / "other.ovt")}));
    ModalSeam::Push(answer::Click(QStringLiteral("cancel")));
    EXPECT_FALSE(doc->SaveAsCommand());
    EXPECT_FALSE(std::filesystem::exists(dir / "other.ovt"));
    EXPECT_EQ(doc->GetPathName().toStdString(), dir / "other.ovt");
    EXPECT_EQ(manager.RecentFiles().At(0).toStdString(), dir / "other.ovt");
    EXPECT_EQ(doc->OwnPath().toStdString(), dir / "other.ovt");
    EXPECT_FALSE(doc->HasPassword());
    EXPECT_TRUE(doc->IsModified());

    // So the next save asks for a password again, and writes the file the window names.
    ModalSeam::Push(answer::Click(QStringLiteral("cancel")));
    EXPECT_FALSE(doc->SaveCommand());
    EXPECT_EQ(ModalSeam::Shown().last(), "Set File Password");
    ModalSeam::Push(SetPassword("fresh"));
    EXPECT_TRUE(doc->SaveCommand());
    EXPECT_EQ(Decrypt(dir / "other.ovt", "fresh", BlobForm::Current), "changed");
    EXPECT_EQ(ReadFileBytes(dir / "keep.ovt"), before);
}

TEST_F(EncryptedDocumentTest, SaveOfANewDocumentRunsSaveAs) {
    NoteDoc* doc = New();
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->GetTitle(), "Untitled1");
    doc->text = "fresh";
    QString proposed;
    ModalSeam::Push([&](QDialog& d) {
        proposed = static_cast<QFileDialog&>(d).selectedFiles().value(0);
        answer::Files({QString::fromStdString(dir / "first")})(d);
    });
    ModalSeam::Push(SetPassword("pw"));
    EXPECT_TRUE(doc->SaveCommand());
    EXPECT_TRUE(proposed.endsWith("/Untitled1.ovt")) << proposed.toStdString();
    EXPECT_EQ(Decrypt(dir / "first.ovt", "pw", BlobForm::Current), "fresh");
    EXPECT_EQ(doc->GetTitle(), "first.ovt");
}

TEST_F(EncryptedDocumentTest, FailedWriteIsShownAndKeepsTheDocumentModified) {
    NoteDoc* doc = OpenFile("big.ovt", "small", BlobForm::Current);
    ASSERT_NE(doc, nullptr);
    const std::string before = ReadFileBytes(dir / "big.ovt");
    doc->text = std::string(64 * 1024, 'x');
    doc->SetModifiedFlag(true);
    QString error;
    ModalSeam::Push(Message(error));
    {
        FileSizeLimit limit(4096);
        ASSERT_TRUE(limit.active());
        EXPECT_FALSE(doc->SaveCommand());
    }
    EXPECT_TRUE(error.contains(QString::fromStdString(dir / "big.ovt"))) << error.toStdString();
    EXPECT_TRUE(error.contains("not enough space")) << error.toStdString();
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(ReadFileBytes(dir / "big.ovt"), before);
}

TEST_F(EncryptedDocumentTest, NothingIsWrittenUnderAForeignNameOrForAnEmptyText) {
    NoteDoc* doc = OpenFile("empty.ovt", "old text", BlobForm::Current);
    ASSERT_NE(doc, nullptr);
    const std::string before = ReadFileBytes(dir / "empty.ovt");
    doc->text.clear();
    doc->SetModifiedFlag(true);
    QString empty;
    ModalSeam::Push(Message(empty));
    EXPECT_FALSE(doc->SaveCommand());
    EXPECT_TRUE(empty.contains("empty")) << empty.toStdString();
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(ReadFileBytes(dir / "empty.ovt"), before);

    doc->text = "something";
    QString foreign;
    ModalSeam::Push(answer::Files({QString::fromStdString(dir / "notes.txt")}));
    ModalSeam::Push(SetPassword("pw"));
    ModalSeam::Push(Message(foreign));
    EXPECT_FALSE(doc->SaveAsCommand());
    EXPECT_FALSE(std::filesystem::exists(dir / "notes.txt"));
    EXPECT_TRUE(foreign.contains("notes.txt")) << foreign.toStdString();
    EXPECT_TRUE(doc->IsModified());
}

// --- Password ------------------------------------------------------------------------------

TEST_F(EncryptedDocumentTest, SetPasswordTakesEffectAtTheNextSaveWithoutModifying) {
    NoteDoc* doc = OpenFile("pw.ovt", "secret", BlobForm::Current);
    ASSERT_NE(doc, nullptr);
    const std::string before = ReadFileBytes(dir / "pw.ovt");

    // Cancel changes nothing.
    ModalSeam::Push(answer::Click(QStringLiteral("cancel")));
    EXPECT_FALSE(doc->SetPasswordCommand());
    EXPECT_EQ(doc->Password(), "old");

    QString prefilled;
    QString button;
    ModalSeam::Push([&](QDialog& d) {
        prefilled = d.findChild<QLineEdit*>(QStringLiteral("password"))->text();
        button = d.findChild<QPushButton*>(QStringLiteral("save"))->text();
        SetPassword("changed")(d);
    });
    EXPECT_TRUE(doc->OnCommand(ID_SET_FILE_PASSWORD));
    EXPECT_EQ(prefilled, "old");
    EXPECT_EQ(button, "Set");
    EXPECT_EQ(doc->Password(), "changed");
    EXPECT_FALSE(doc->IsModified());

    // Closing asks nothing and leaves the file under its old password.
    const int shown = ModalSeam::Shown().size();
    EXPECT_TRUE(doc->SaveModified());
    EXPECT_EQ(ModalSeam::Shown().size(), shown);
    EXPECT_EQ(ReadFileBytes(dir / "pw.ovt"), before);

    EXPECT_TRUE(doc->SaveCommand());
    EXPECT_EQ(Decrypt(dir / "pw.ovt", "changed", BlobForm::Current), "secret");
}

// --- Close check ---------------------------------------------------------------------------

TEST_F(EncryptedDocumentTest, CloseCheckNamesTheFileAndFollowsTheAnswer) {
    struct Case {
        const char* name;
        bool fromFile;
        const char* button;
        const char* question;
        bool closes;
        bool written;
    };
    const Case cases[] = {
        {"file, yes", true, "yes", "Save changes to close.ovt?", true, true},
        {"file, no", true, "no", "Save changes to close.ovt?", true, false},
        {"file, cancel", true, "cancel", "Save changes to close.ovt?", false, false},
        {"new, no", false, "no", "Save changes to Untitled1.ovt?", true, false},
    };
    for (const Case& c : cases) {
        ModalSeam::Install();
        NoteDoc* doc = c.fromFile ? OpenFile("close.ovt", "v1", BlobForm::Current) : New();
        ASSERT_NE(doc, nullptr);
        doc->text = "v2";
        doc->SetModifiedFlag(true);
        QString question;
        ModalSeam::Push(Message(question, QString::fromLatin1(c.button)));
        EXPECT_TRUE(doc->OnCommand(ID_FILE_CLOSE));
        EXPECT_EQ(question, c.question) << c.name;
        EXPECT_EQ(!IsOpen(doc), c.closes) << c.name;
        if (c.fromFile) {
            EXPECT_EQ(Decrypt(dir / "close.ovt", "old", BlobForm::Current), c.written ? "v2" : "v1")
                << c.name;
        }
        manager.CloseAllDocuments();
    }
}

TEST_F(EncryptedDocumentTest, CloseCheckAsksTheScreenLockFirstAndKeepsOpenWhenASaveFails) {
    NoteDoc* doc = New();
    ASSERT_NE(doc, nullptr);
    doc->SetModifiedFlag(true);
    lock.locked = true;
    lock.allowClose = false;
    EXPECT_FALSE(doc->SaveModified());
    EXPECT_EQ(lock.closeChecks, 1);
    EXPECT_TRUE(ModalSeam::Shown().isEmpty()) << "no question while the screen stays locked";

    // Unlocked for the question; Yes, then Cancel in Save As: the changes are not lost.
    lock.allowClose = true;
    ModalSeam::Push(answer::Click(QStringLiteral("yes")));
    ModalSeam::Push(answer::Result(QDialog::Rejected));
    EXPECT_FALSE(doc->SaveModified());
    EXPECT_EQ(lock.closeChecks, 2);
    EXPECT_EQ(ModalSeam::Shown(), (QStringList{"Ombrivault Storage", "Save As"}));
    EXPECT_TRUE(IsOpen(doc));
}

TEST_F(EncryptedDocumentTest, SaveAsDialogClosedByTheLockComesBackAsSaveAs) {
    NoteDoc* doc = New();
    ASSERT_NE(doc, nullptr);
    ModalSeam::Push([&](QDialog& d) {
        lock.Lock();
        static_cast<CTimedFileDialog&>(d).LockTick();
    });
    EXPECT_FALSE(doc->SaveAsCommand());
    ASSERT_EQ(lock.reopen.count(ReopenFlag::SaveDialog), 1u);
    EXPECT_EQ(lock.reopen[ReopenFlag::SaveDialog], ID_FILE_SAVE_AS);
}

// --- Open command --------------------------------------------------------------------------

TEST_F(EncryptedDocumentTest, OpenCommandOffersEveryEncryptedKindAndOpensByExtension) {
    NoteDoc* first = New();
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(SaveEncryptedText(dir / "other.etx", "legacy", "pw", BlobForm::Legacy));
    QStringList filters;
    ModalSeam::Push([&](QDialog& d) {
        filters = static_cast<QFileDialog&>(d).nameFilters();
        answer::Files({QString::fromStdString(dir / "other.etx")})(d);
    });
    ModalSeam::Push(EnterPassword("pw"));
    EXPECT_TRUE(first->OnCommand(ID_FILE_OPEN));
    EXPECT_EQ(filters, (QStringList{
                           "Ombrivault Encrypted Files (*.ovs *.ovd *.ovt *.ovf *.etx)",
                           "Ombrivault Encrypted Storage Files (*.ovs)",
                           "Ombrivault Encrypted Data Files (*.ovd)",
                           "Ombrivault Encrypted Text Files (*.ovt)",
                       }));
    ASSERT_EQ(manager.GetDocuments().size(), 2u);
    EXPECT_EQ(static_cast<NoteDoc*>(manager.GetDocuments().back())->text, "legacy");
}

// --- Strong protection -----------------------------------------------------------------------

// Small derivation parameters keep the tests quick; the header carries them.
constexpr strong::KdfParams kFastKdf{1, 8192};

bool FileIsStrong(const std::string& path) {
    return strong::FileHasMagic(path);
}

class StrongDocumentTest : public EncryptedDocumentTest {
protected:
    // A strong file of the kind, written the way a strong save writes it.
    void WriteStrong(const std::string& name, const std::string& text,
                     BlobForm form = BlobForm::Current) {
        strong::Key key;
        ASSERT_EQ(key.Derive("pw", kFastKdf), strong::Status::Ok);
        ASSERT_TRUE(SaveEncryptedText(dir / name, text, "pw", form, nullptr, &key));
    }
    // Opens a strong file and waits for its key; `then` answers what comes after the
    // password.
    NoteDoc* OpenStrong(const std::string& name, const std::string& password = "pw",
                        ModalSeam::Script then = {}) {
        ModalSeam::Push(EnterPassword(QString::fromStdString(password)));
        if (then) {
            ModalSeam::Push(then);
        }
        NoteDoc* doc = Open(dir / name);
        EXPECT_TRUE(ProcessEventsUntil([&] { return !IsOpen(doc) || !doc->IsDerivingKey(); }));
        return IsOpen(doc) ? doc : nullptr;
    }

    HeldWorker worker;
};

// The key is derived off the user-interface thread: the window opens at once, keeps handling
// events while the worker is held, and gets its contents when the worker reports back.
TEST_F(StrongDocumentTest, AStrongFileOpensWhateverItsExtensionWhileTheWindowStaysResponsive) {
    WriteStrong("a.ovt", "secret text");
    WriteStrong("legacy.etx", "older form inside", BlobForm::Legacy);
    worker.Hold();
    ModalSeam::Push(EnterPassword("pw"));
    NoteDoc* doc = Open(dir / "a.ovt");
    ASSERT_NE(doc, nullptr);
    EXPECT_TRUE(doc->IsDerivingKey());
    EXPECT_EQ(doc->text, "");
    bool ticked = false;
    QTimer::singleShot(0, [&] { ticked = true; });
    EXPECT_TRUE(ProcessEventsUntil([&] { return ticked && worker.Started() == 1; }));
    EXPECT_TRUE(doc->IsDerivingKey()) << "the worker is held";
    worker.Release();
    ASSERT_TRUE(ProcessEventsUntil([&] { return !doc->IsDerivingKey(); }));
    EXPECT_EQ(doc->text, "secret text");
    EXPECT_TRUE(doc->IsStrong());
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(CEncryptedDocument::ProtectionPaneText(doc), "Strong");

    // The extension still says which form is inside; the magic says it is strong.
    NoteDoc* legacy = OpenStrong("legacy.etx");
    ASSERT_NE(legacy, nullptr);
    EXPECT_EQ(legacy->text, "older form inside");
    EXPECT_TRUE(legacy->IsStrong());
}

// What cannot be opened closes the window again and says why, as for the compatible forms.
TEST_F(StrongDocumentTest, StrongFilesThatDoNotOpenCloseTheirWindowSayingWhy) {
    WriteStrong("good.ovt", "text");
    std::string bytes = ReadFileBytes(dir / "good.ovt");
    std::string huge = bytes;
    huge.replace(16, 4, std::string("\0\0\0\x04", 4)); // memory: 0x04000000 KiB, 64 GiB
    WriteFileBytes(dir / "huge.ovt", huge);
    std::string damaged = bytes;
    damaged.back() ^= 1;
    WriteFileBytes(dir / "damaged.ovt", damaged);
    const struct {
        const char* name;
        const char* password;
        const char* message;
    } cases[] = {
        {"good.ovt", "wrong", "Failed to decrypt the file: good.ovt"},
        {"damaged.ovt", "pw", "Failed to decrypt the file: damaged.ovt"},
        {"huge.ovt", "pw", "asks for more memory than this program allows"},
    };
    for (const auto& c : cases) {
        QString message;
        EXPECT_EQ(OpenStrong(c.name, c.password, Message(message)), nullptr) << c.name;
        EXPECT_TRUE(message.contains(QString::fromLatin1(c.message))) << message.toStdString();
        EXPECT_TRUE(manager.GetDocuments().empty()) << c.name;
        EXPECT_TRUE(host.area.subWindowList().isEmpty()) << c.name;
    }
}

// Saves keep the key: nothing is derived again, the salt stays and the nonce base is new.
TEST_F(StrongDocumentTest, SavesKeepTheKeyAndDrawANewNonceEachTime) {
    WriteStrong("a.ovt", "one");
    NoteDoc* doc = OpenStrong("a.ovt");
    ASSERT_NE(doc, nullptr);
    const int derived = worker.Started();
    std::string previous = ReadFileBytes(dir / "a.ovt");
    for (const char* text : {"two", "three"}) {
        doc->text = text;
        doc->SetModifiedFlag(true);
        EXPECT_TRUE(doc->SaveCommand()) << "a save with the key kept needs no worker";
        EXPECT_FALSE(doc->IsModified());
        const std::string now = ReadFileBytes(dir / "a.ovt");
        EXPECT_TRUE(FileIsStrong(dir / "a.ovt"));
        EXPECT_EQ(now.substr(24, 16), previous.substr(24, 16)) << "salt";
        EXPECT_NE(now.substr(40, 24), previous.substr(40, 24)) << "nonce base";
        EXPECT_EQ(Decrypt(dir / "a.ovt", "pw", BlobForm::Current), text);
        previous = now;
    }
    EXPECT_EQ(worker.Started(), derived);
}

// A new document saved with the box ticked: the save waits for the key, then writes; the
// close that asked for the save closes the window once the file is written.
TEST_F(StrongDocumentTest, ANewDocumentWithTheBoxTickedIsSavedStrongOnceItsKeyIsReady) {
    NoteDoc* doc = New();
    ASSERT_NE(doc, nullptr);
    doc->SetStrongParams(kFastKdf);
    doc->text = "fresh";
    doc->SetModifiedFlag(true);
    const std::string path = dir / "fresh.ovt";
    bool boxShown = false;
    ModalSeam::Push(answer::Click(QStringLiteral("yes")));
    ModalSeam::Push(answer::Files({QString::fromStdString(path)}));
    ModalSeam::Push([&](QDialog& d) {
        auto* box = d.findChild<QCheckBox*>(QStringLiteral("strong"));
        boxShown = box != nullptr && box->isVisible() && !box->isChecked() &&
                   box->text() == CPasswordDlg::kStrongText;
        SetStrongPassword("pw")(d);
    });
    worker.Hold();
    EXPECT_FALSE(doc->SaveModified()) << "the close waits for the save";
    EXPECT_TRUE(boxShown);
    EXPECT_TRUE(doc->IsStrong());
    EXPECT_TRUE(doc->IsDerivingKey());
    EXPECT_FALSE(std::filesystem::exists(path));
    worker.Release();
    ASSERT_TRUE(ProcessEventsUntil([&] { return !IsOpen(doc); }));
    EXPECT_TRUE(FileIsStrong(path));
    EXPECT_EQ(Decrypt(path, "pw", BlobForm::Current), "fresh");
    strong::FileSource source;
    ASSERT_TRUE(source.Open(path));
    strong::Reader reader;
    ASSERT_EQ(reader.Open(source), strong::Status::Ok);
    EXPECT_EQ(reader.GetHeader().params, kFastKdf);
}

// File > Protection... both ways: on after a question, off only after the question that says
// what is lost; each counts from the next save.
TEST_F(StrongDocumentTest, ProtectionSwitchesBothWaysAfterItsQuestions) {
    NoteDoc* doc = OpenFile("a.ovt", "text", BlobForm::Current, "pw");
    ASSERT_NE(doc, nullptr);
    doc->SetStrongParams(kFastKdf);
    QString question;
    ModalSeam::Push(Message(question, QStringLiteral("Yes")));
    EXPECT_TRUE(doc->ProtectionCommand());
    EXPECT_TRUE(question.contains("not in the Windows edition")) << question.toStdString();
    EXPECT_TRUE(doc->IsStrong());
    EXPECT_TRUE(doc->IsModified());
    ASSERT_TRUE(ProcessEventsUntil([&] { return !doc->IsDerivingKey(); }));
    EXPECT_TRUE(doc->SaveCommand());
    EXPECT_TRUE(FileIsStrong(dir / "a.ovt"));

    for (const char* answerWith : {"No", "Yes"}) {
        ModalSeam::Push(Message(question, QString::fromLatin1(answerWith)));
        EXPECT_EQ(doc->ProtectionCommand(), answerWith == std::string("Yes"));
        EXPECT_TRUE(question.contains("What is lost")) << question.toStdString();
        EXPECT_TRUE(question.contains("billions of guesses")) << question.toStdString();
    }
    EXPECT_FALSE(doc->IsStrong());
    EXPECT_EQ(CEncryptedDocument::ProtectionPaneText(doc), "");
    EXPECT_TRUE(doc->SaveCommand());
    EXPECT_FALSE(FileIsStrong(dir / "a.ovt"));
    EXPECT_EQ(Decrypt(dir / "a.ovt", "pw", BlobForm::Current), "text");
}

// Set New File Password shows the box ticked as the document is; unticking it asks the
// question, and a new password derives a new key (with a new salt) before the next save.
TEST_F(StrongDocumentTest, SetPasswordShowsTheProtectionAndANewPasswordGetsANewKey) {
    WriteStrong("a.ovt", "text");
    NoteDoc* doc = OpenStrong("a.ovt");
    ASSERT_NE(doc, nullptr);
    const std::string before = ReadFileBytes(dir / "a.ovt");
    bool ticked = false;
    ModalSeam::Push([&](QDialog& d) {
        auto* box = d.findChild<QCheckBox*>(QStringLiteral("strong"));
        ticked = box != nullptr && box->isChecked();
        SetPassword("new")(d);
    });
    EXPECT_TRUE(doc->SetPasswordCommand());
    EXPECT_TRUE(ticked);
    ASSERT_TRUE(ProcessEventsUntil([&] { return !doc->IsDerivingKey(); }));
    EXPECT_TRUE(doc->SaveCommand());
    EXPECT_NE(ReadFileBytes(dir / "a.ovt").substr(24, 16), before.substr(24, 16)) << "salt";
    EXPECT_EQ(Decrypt(dir / "a.ovt", "new", BlobForm::Current), "text");

    // Unticked, and the question answered No: the protection stays.
    QString question;
    ModalSeam::Push(answer::Steps({answer::Type(QStringLiteral("password"), "newer"),
                                   answer::Type(QStringLiteral("confirm"), "newer"),
                                   answer::Click(QStringLiteral("strong")),
                                   answer::Click(QStringLiteral("save"))}));
    ModalSeam::Push(Message(question, QStringLiteral("No")));
    EXPECT_TRUE(doc->SetPasswordCommand());
    EXPECT_TRUE(question.contains("What is lost"));
    EXPECT_TRUE(doc->IsStrong());
    ASSERT_TRUE(ProcessEventsUntil([&] { return !doc->IsDerivingKey(); }));
    EXPECT_TRUE(doc->SaveCommand());
    EXPECT_TRUE(FileIsStrong(dir / "a.ovt"));
    EXPECT_EQ(Decrypt(dir / "a.ovt", "newer", BlobForm::Current), "text");
}

} // namespace
