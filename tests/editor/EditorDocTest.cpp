// The encrypted text document inside the running program: real files in a scratch folder,
// the real main window, every dialog answered through the modal seam.
#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QLabel>
#include <QMimeData>
#include <QPrinter>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

#include "PdfText.h"
#include "app/AppSettings.h"
#include "app/DocumentTemplates.h"
#include "app/EditorApp.h"
#include "app/FrameStatusBar.h"
#include "app/MainFrame.h"
#include "base/CodePage.h"
#include "controls/SecretClipboard.h"
#include "crypto/EncryptedFile.h"
#include "crypto/StrongFile.h"
#include "editor/EditorDoc.h"
#include "editor/EditorEdit.h"
#include "editor/EditorView.h"
#include "framework/ChildFrame.h"
#include "framework/Clock.h"
#include "framework/CommandActions.h"
#include "framework/CommandIds.h"
#include "framework/DocTemplate.h"
#include "framework/ModalSeam.h"
#include "framework/ResultCodes.h"
#include "support/DocumentDialogs.h"
#include "support/GuiFixture.h"
#include "support/StrongSupport.h"
#include "support/TestFiles.h"

namespace {

// Picks `path` in the Save As dialog after noting what the dialog proposed and offered.
ModalSeam::Script SaveAs(const std::string& path, QString* proposed = nullptr,
                         QStringList* filters = nullptr) {
    return [=](QDialog& d) {
        auto& dialog = static_cast<QFileDialog&>(d);
        if (proposed != nullptr) {
            const QStringList selected = dialog.selectedFiles();
            *proposed = selected.isEmpty() ? QString() : QFileInfo(selected.front()).fileName();
        }
        if (filters != nullptr) {
            *filters = dialog.nameFilters();
        }
        answer::Files({QString::fromStdString(path)})(d);
    };
}

// Several lines, blank ones among them, with letters and signs outside ASCII.
const QString kText =
    QStringLiteral("Konto Überweisung: 1234\n\nПароль → «секрет»\n日本語のメモ\t€ 5");
const std::string kStored = "Konto \xC3\x9C"
                            "berweisung: 1234\r\n\r\n"
                            "\xD0\x9F\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C \xE2\x86\x92 "
                            "\xC2\xAB\xD1\x81\xD0\xB5\xD0\xBA\xD1\x80\xD0\xB5\xD1\x82\xC2\xBB\r\n"
                            "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE3\x83\xA1\xE3\x83"
                            "\xA2\t\xE2\x82\xAC 5";

class EditorDocTest : public ProgramFixture {
protected:
    void SetUp() override {
        ProgramFixture::SetUp();
        ASSERT_TRUE(Start({}));
    }
    CEditorDoc* New() {
        return static_cast<CEditorDoc*>(app->TextTemplate()->OpenDocumentFile({}));
    }
    CEditorDoc* Open(const std::string& path, const QString& password) {
        ModalSeam::Push(EnterPassword(password));
        return dynamic_cast<CEditorDoc*>(app->OpenDocumentFile(QString::fromStdString(path)));
    }
    static QString Text(CEditorDoc* doc) { return doc->GetView()->GetAllText(); }
    static void Type(CEditorDoc* doc, const QString& text) {
        doc->GetView()->Edit()->insertPlainText(text);
    }
    bool IsOpen(const CDocument* doc) const {
        const auto docs = app->DocManager().GetDocuments();
        return std::find(docs.begin(), docs.end(), doc) != docs.end();
    }

    ScratchDir dir;
};

} // namespace

TEST_F(EditorDocTest, NewDocumentRoundTripsInBothFormsByExtension) {
    struct Case {
        const char* name;
        BlobForm form;
        int templateId;
    };
    const Case cases[] = {
        {"notes.ovt", BlobForm::Current, IDR_TEXT_TYPE},
        {"notes.etx", BlobForm::Legacy, IDR_TEXT_ETX_TYPE},
        {"NOTES.OVT", BlobForm::Current, IDR_TEXT_TYPE},
        {"Old.Etx", BlobForm::Legacy, IDR_TEXT_ETX_TYPE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir / c.name;
        CEditorDoc* doc = New();
        ASSERT_NE(doc, nullptr);
        EXPECT_FALSE(doc->IsModified());
        Type(doc, kText);
        EXPECT_TRUE(doc->IsModified());

        ModalSeam::Push(SaveAs(path));
        ModalSeam::Push(SetPassword(QStringLiteral("pässwört")));
        Frame().ExecuteCommand(ID_FILE_SAVE_AS);
        EXPECT_FALSE(doc->IsModified());
        EXPECT_EQ(doc->GetTitle().toStdString(), c.name);
        EXPECT_EQ(Decrypt(path, "p\xC3\xA4sswb\xC3\xB6rt" + std::string(), c.form), "<failed>");
        EXPECT_EQ(Decrypt(path, "p\xC3\xA4ssw\xC3\xB6rt", c.form), kStored);
        doc->OnCloseDocument();

        CEditorDoc* again = Open(path, QStringLiteral("pässwört"));
        ASSERT_NE(again, nullptr);
        EXPECT_EQ(again->GetDocTemplate()->GetResourceId(), c.templateId);
        EXPECT_EQ(Text(again), kText);
        EXPECT_FALSE(again->IsModified());
        EXPECT_FALSE(again->GetView()->Edit()->document()->isUndoAvailable());
        EXPECT_EQ(again->GetView()->Edit()->textCursor().position(), 0);

        // Saving again keeps the form of the file's extension.
        Type(again, QStringLiteral("+"));
        Frame().ExecuteCommand(ID_FILE_SAVE);
        EXPECT_EQ(Decrypt(path, "p\xC3\xA4ssw\xC3\xB6rt", c.form), "+" + kStored);
        again->OnCloseDocument();
    }
}

TEST_F(EditorDocTest, FilesWithLfOrCrLineEndsOpenAsLines) {
    ASSERT_TRUE(SaveEncryptedText(dir / "lf.ovt", "one\ntwo\rthree\r\n", "pw", BlobForm::Current));
    CEditorDoc* doc = Open(dir / "lf.ovt", QStringLiteral("pw"));
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(Text(doc), QStringLiteral("one\ntwo\nthree\n"));
    EXPECT_EQ(doc->GetView()->Edit()->document()->blockCount(), 4);
    Type(doc, QStringLiteral("0"));
    Frame().ExecuteCommand(ID_FILE_SAVE);
    EXPECT_EQ(Decrypt(dir / "lf.ovt", "pw", BlobForm::Current), "0one\r\ntwo\r\nthree\r\n");
}

TEST_F(EditorDocTest, WrongPasswordOpensNoWindow) {
    ASSERT_TRUE(SaveEncryptedText(dir / "s.etx", "secret", "right", BlobForm::Legacy));
    QString shown;
    ModalSeam::Push(EnterPassword(QStringLiteral("wrong")));
    ModalSeam::Push(Message(shown));
    EXPECT_EQ(app->OpenDocumentFile(QString::fromStdString(dir / "s.etx")), nullptr);
    EXPECT_EQ(shown, QStringLiteral("Failed to decrypt the file: s.etx"));
    EXPECT_TRUE(app->DocManager().GetDocuments().empty());
}

TEST_F(EditorDocTest, SaveAsKeepsTheKnownPasswordProposesOvtAndAppendsIt) {
    ASSERT_TRUE(SaveEncryptedText(dir / "diary.etx", "dear diary", "old", BlobForm::Legacy));
    CEditorDoc* doc = Open(dir / "diary.etx", QStringLiteral("old"));
    ASSERT_NE(doc, nullptr);

    QString proposed;
    QStringList filters;
    const QStringList before = ModalSeam::Shown();
    ModalSeam::Push(SaveAs(dir / "copy", &proposed, &filters));
    Frame().ExecuteCommand(ID_FILE_SAVE_AS);
    // Only the file dialog came up: no password was asked for.
    EXPECT_EQ(ModalSeam::Shown().size(), before.size() + 1);
    EXPECT_EQ(proposed, QStringLiteral("diary.ovt"));
    EXPECT_EQ(filters, QStringList{QStringLiteral("Ombrivault Encrypted Text Files (*.ovt)")});
    // A name without a dot gets ".ovt" and the current form, under the old password.
    EXPECT_EQ(Decrypt(dir / "copy.ovt", "old", BlobForm::Current), "dear diary");
    EXPECT_EQ(doc->GetPathName(), QString::fromStdString(dir / "copy.ovt"));
    EXPECT_FALSE(std::filesystem::exists(dir / "copy"));
    // The first file is untouched.
    EXPECT_EQ(Decrypt(dir / "diary.etx", "old", BlobForm::Legacy), "dear diary");
}

TEST_F(EditorDocTest, AnyOtherExtensionIsWrittenInTheLegacyForm) {
    CEditorDoc* doc = New();
    Type(doc, QStringLiteral("plain"));
    ModalSeam::Push(SaveAs(dir / "notes.txt"));
    ModalSeam::Push(SetPassword(QStringLiteral("pw")));
    Frame().ExecuteCommand(ID_FILE_SAVE_AS);
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(Decrypt(dir / "notes.txt", "pw", BlobForm::Legacy), "plain");
}

TEST_F(EditorDocTest, SavingAnEmptyTextKeepsTheOldFileAndStaysModified) {
    ASSERT_TRUE(SaveEncryptedText(dir / "keep.ovt", "old text", "pw", BlobForm::Current));
    const std::string bytes = ReadFileBytes(dir / "keep.ovt");
    CEditorDoc* doc = Open(dir / "keep.ovt", QStringLiteral("pw"));
    ASSERT_NE(doc, nullptr);
    Frame().ExecuteCommand(ID_EDIT_SELECT_ALL);
    Frame().ExecuteCommand(ID_EDIT_CUT);
    ASSERT_TRUE(Text(doc).isEmpty());
    ASSERT_TRUE(doc->IsModified());

    QString shown;
    ModalSeam::Push(Message(shown));
    Frame().ExecuteCommand(ID_FILE_SAVE);
    EXPECT_TRUE(shown.contains(QStringLiteral("empty"))) << shown.toStdString();
    EXPECT_EQ(ReadFileBytes(dir / "keep.ovt"), bytes);
    EXPECT_TRUE(doc->IsModified());

    // Closing with Yes cannot save either, so the document stays open.
    ModalSeam::Push(answer::Result(IDYES));
    ModalSeam::Push(Message(shown));
    EXPECT_FALSE(doc->SaveModified());
    EXPECT_TRUE(IsOpen(doc));
}

TEST_F(EditorDocTest, AFailedWriteIsShownAndKeepsTheChangesAndTheOldFile) {
    ASSERT_TRUE(SaveEncryptedText(dir / "full.ovt", "short", "pw", BlobForm::Current));
    const std::string bytes = ReadFileBytes(dir / "full.ovt");
    CEditorDoc* doc = Open(dir / "full.ovt", QStringLiteral("pw"));
    ASSERT_NE(doc, nullptr);
    Type(doc, QString(20000, QLatin1Char('x')));
    QString shown;
    ModalSeam::Push(Message(shown));
    {
        FileSizeLimit disk(4096);
        ASSERT_TRUE(disk.active());
        Frame().ExecuteCommand(ID_FILE_SAVE);
    }
    EXPECT_TRUE(shown.contains(QStringLiteral("could not be saved"))) << shown.toStdString();
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(ReadFileBytes(dir / "full.ovt"), bytes);
}

TEST_F(EditorDocTest, CloseCheckNamesTheTitleWithOvt) {
    CEditorDoc* doc = New();
    Type(doc, QStringLiteral("x"));
    QString shown;
    ModalSeam::Push([&shown](QDialog& d) {
        shown = d.findChild<QLabel*>(QStringLiteral("text"))->text();
        d.done(IDCANCEL);
    });
    doc->GetFrames().front()->close();
    EXPECT_EQ(shown, QStringLiteral("Save changes to %1.ovt?").arg(doc->GetTitle()));
    EXPECT_TRUE(IsOpen(doc));
}

TEST_F(EditorDocTest, TextOutsideTheCodePageIsSavedOnlyWhenTheUserAgrees) {
    ASSERT_TRUE(CodePage::SetProgram("CP1252"));
    struct Restore {
        ~Restore() { CodePage::SetProgram("UTF-8"); }
    } restore;
    CEditorDoc* doc = New();
    Type(doc, QStringLiteral("café 日本"));
    QString question;
    ModalSeam::Push(SaveAs(dir / "cp.ovt"));
    ModalSeam::Push(Message(question, QStringLiteral("No")));
    Frame().ExecuteCommand(ID_FILE_SAVE_AS);
    EXPECT_TRUE(question.contains(QStringLiteral("CP1252"))) << question.toStdString();
    EXPECT_FALSE(std::filesystem::exists(dir / "cp.ovt"));
    EXPECT_TRUE(doc->IsModified());

    ModalSeam::Push(SetPassword(QStringLiteral("pw")));
    ModalSeam::Push(answer::Click(QStringLiteral("Yes")));
    Frame().ExecuteCommand(ID_FILE_SAVE);
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(Decrypt(dir / "cp.ovt", "pw", BlobForm::Current), "caf\xE9 ??");

    // Text the code page holds is saved without a question.
    Frame().ExecuteCommand(ID_EDIT_SELECT_ALL);
    Type(doc, QStringLiteral("café ü"));
    const int shown = static_cast<int>(ModalSeam::Shown().size());
    Frame().ExecuteCommand(ID_FILE_SAVE);
    EXPECT_EQ(ModalSeam::Shown().size(), shown);
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(Decrypt(dir / "cp.ovt", "pw", BlobForm::Current), "caf\xE9 \xFC");
}

TEST_F(EditorDocTest, CaretPaneFollowsKeysAndMouse) {
    CEditorDoc* doc = New();
    CEditorEdit* edit = doc->GetView()->Edit();
    edit->setFocus();
    QTest::keyClicks(edit, QStringLiteral("first"));
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClicks(edit, QStringLiteral("second"));
    EXPECT_EQ(Frame().StatusPaneText(CFrameStatusBar::Caret), QStringLiteral(" Ln 2, Col 7"));
    QTest::keyClick(edit, Qt::Key_Home);
    QTest::keyClick(edit, Qt::Key_Right);
    QTest::keyClick(edit, Qt::Key_Right);
    EXPECT_EQ(Frame().StatusPaneText(CFrameStatusBar::Caret), QStringLiteral(" Ln 2, Col 3"));

    // A click on the first line moves it there once the button is released.
    const QRect first = edit->cursorRect(QTextCursor(edit->document()));
    QTest::mouseClick(edit->viewport(), Qt::LeftButton, {}, first.center() + QPoint(1, 0));
    EXPECT_TRUE(Frame().StatusPaneText(CFrameStatusBar::Caret).startsWith(" Ln 1, Col "));
}

TEST_F(EditorDocTest, EditCommandsOfTheMenusReachTheView) {
    CEditorDoc* doc = New();
    Type(doc, QStringLiteral("copy me"));
    EXPECT_FALSE(Frame().Actions().State(ID_EDIT_COPY).enabled);
    EXPECT_TRUE(Frame().Actions().State(ID_EDIT_UNDO).enabled);
    Frame().ExecuteCommand(ID_EDIT_SELECT_ALL);
    EXPECT_TRUE(Frame().Actions().State(ID_EDIT_COPY).enabled);
    Frame().ExecuteCommand(ID_EDIT_COPY);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("copy me"));
    Frame().ExecuteCommand(ID_EDIT_UNDO);
    EXPECT_TRUE(Text(doc).isEmpty());
    EXPECT_TRUE(Frame().Actions().State(ID_FILE_PRINT_PREVIEW).enabled);
    EXPECT_TRUE(Frame().Actions().State(ID_SET_FILE_PASSWORD).enabled);
}

TEST_F(EditorDocTest, CopiedTextIsASecretThatLeavesAfterItsTimeOrWithItsDocument) {
    CEditorDoc* doc = New();
    Type(doc, QStringLiteral("the safe opens with 4711"));
    QClipboard* clipboard = QApplication::clipboard();
    Frame().ExecuteCommand(ID_EDIT_SELECT_ALL);
    Frame().ExecuteCommand(ID_EDIT_COPY);
    EXPECT_EQ(clipboard->text(), QStringLiteral("the safe opens with 4711"));
    EXPECT_TRUE(SecretClipboard::IsMarkedSecret(clipboard->mimeData()));
    clock.Advance(SecretClipboard::kClearAfterMs - 1);
    SecretClipboard::Instance().Tick();
    EXPECT_FALSE(clipboard->text().isEmpty());
    clock.Advance(1);
    SecretClipboard::Instance().Tick();
    EXPECT_TRUE(clipboard->text().isEmpty());

    // Ctrl+X in the text: cut, and a secret as well, until the document closes.
    CEditorEdit* edit = doc->GetView()->Edit();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_X, Qt::ControlModifier);
    EXPECT_TRUE(Text(doc).isEmpty());
    EXPECT_EQ(clipboard->text(), QStringLiteral("the safe opens with 4711"));
    EXPECT_TRUE(SecretClipboard::IsMarkedSecret(clipboard->mimeData()));
    doc->SetModifiedFlag(false);
    doc->OnCloseDocument();
    EXPECT_TRUE(clipboard->text().isEmpty());
}

TEST_F(EditorDocTest, AFileDroppedOnTheTextOpensAsADocument) {
    ASSERT_TRUE(SaveEncryptedText(dir / "dropped.ovt", "from the drop", "pw", BlobForm::Current));
    CEditorDoc* doc = New();
    Type(doc, QStringLiteral("unchanged"));
    QWidget* target = doc->GetView()->Edit()->viewport();

    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir / "dropped.ovt"))});
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    EXPECT_TRUE(enter.isAccepted()); // by the main window
    ModalSeam::Push(EnterPassword(QStringLiteral("pw")));
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);

    EXPECT_EQ(Text(doc), QStringLiteral("unchanged"));
    const auto docs = app->DocManager().GetDocuments();
    ASSERT_EQ(docs.size(), 2u);
    auto* opened = dynamic_cast<CEditorDoc*>(docs[0] == doc ? docs[1] : docs[0]);
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(Text(opened), QStringLiteral("from the drop"));
}

// A file with strong protection prints once its key is derived, with the window hidden.
TEST_F(EditorDocTest, PrintingFromTheCommandLinePrintsTheTextAndEnds) {
    for (const bool strongFile : {false, true}) {
        SCOPED_TRACE(strongFile);
        const std::string path = dir / (strongFile ? "strong.etx" : "print.etx");
        const std::string pdf = dir / (strongFile ? "strong.pdf" : "shell.pdf");
        strong::Key key;
        ASSERT_EQ(key.Derive("pw", {1, 8192}), strong::Status::Ok);
        ASSERT_TRUE(SaveEncryptedText(path, "printed\r\nfrom the shell", "pw", BlobForm::Legacy,
                                      nullptr, strongFile ? &key : nullptr));
        app = std::make_unique<CEditorApp>();
        QPrinter& printer = app->Printer();
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(pdf));
        ModalSeam::Push(EnterPassword(QStringLiteral("pw")));
        EXPECT_EQ(app->InitInstance({QStringLiteral("/p"), QString::fromStdString(path)}),
                  strongFile);
        ASSERT_TRUE(ProcessEventsUntil([&] { return app->DocManager().GetDocuments().empty(); }));
        EXPECT_FALSE(app->MainFrame()->isVisible());

        const QString text = PdfText(QString::fromStdString(pdf));
        EXPECT_TRUE(text.contains(QStringLiteral("printed\nfrom the shell"))) << text.toStdString();
        app.reset();
    }
}

namespace {

// Runs ombrivault-cli with `args` in `folder`; the exit code and standard output.
std::pair<int, std::string> Cli(const QString& folder, const QStringList& args,
                                const std::string& input = {}) {
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(QStringLiteral(OV_BINARY_DIR "/bin/ombrivault-cli"), args);
    process.write(input.data(), static_cast<qint64>(input.size()));
    process.closeWriteChannel();
    if (!process.waitForFinished(60000)) {
        return {-1, {}};
    }
    return {process.exitCode(), process.readAllStandardOutput().toStdString()};
}

} // namespace

TEST_F(EditorDocTest, FilesAreExchangedWithTheCommandLineTool) {
    const QString folder = QString::fromStdString(dir.path().string());
    WriteFileBytes(dir / "pw", "pässwört\n");

    // Written here, read there: the UTF-8 text with CR LF line ends.
    CEditorDoc* doc = New();
    Type(doc, kText);
    ModalSeam::Push(SaveAs(dir / "gui.ovt"));
    ModalSeam::Push(SetPassword(QStringLiteral("pässwört")));
    Frame().ExecuteCommand(ID_FILE_SAVE_AS);
    auto [code, out] = Cli(folder, {"--password-file", "pw", "decrypt", "gui.ovt"});
    EXPECT_EQ(code, 0);
    EXPECT_EQ(out, kStored);

    // Written there from a Linux text file, read here line by line, in both forms.
    WriteFileBytes(dir / "in.txt", "Zeile 1\nZeile ä 2\n");
    for (const char* name : {"cli.ovt", "cli.etx"}) {
        SCOPED_TRACE(name);
        std::tie(code, out) =
            Cli(folder, {"--password-file", "pw", "encrypt", "in.txt", "-o", name});
        ASSERT_EQ(code, 0);
        CEditorDoc* opened = Open(dir / name, QStringLiteral("pässwört"));
        ASSERT_NE(opened, nullptr);
        EXPECT_EQ(Text(opened), QStringLiteral("Zeile 1\nZeile ä 2\n"));
        EXPECT_FALSE(opened->IsModified());
    }
}

namespace {

// Strong protection in the real text window, both forms inside: the text arrives in the view
// once the key is derived, and a save (which streams the current form) stays strong.
TEST_F(EditorDocTest, StrongFilesOpenIntoTheViewAndSaveStrongInBothForms) {
    for (const BlobForm form : {BlobForm::Current, BlobForm::Legacy}) {
        const std::string path = dir / (form == BlobForm::Current ? "s.ovt" : "s.etx");
        strong::Key key;
        ASSERT_EQ(key.Derive("pw", {1, 8192}), strong::Status::Ok);
        ASSERT_TRUE(SaveEncryptedText(path, kStored, "pw", form, nullptr, &key));
        CEditorDoc* doc = Open(path, QStringLiteral("pw"));
        ASSERT_NE(doc, nullptr);
        // The window stays busy until the key has reached the document, so no command slips
        // in between the two.
        ASSERT_TRUE(ProcessEventsUntil([] { return !CBusyHost::Current()->Busy().IsBusy(); }));
        EXPECT_FALSE(doc->IsDerivingKey());
        EXPECT_EQ(Text(doc), kText);
        EXPECT_FALSE(doc->IsModified());
        EXPECT_FALSE(doc->GetView()->Edit()->document()->isUndoAvailable());

        Type(doc, QStringLiteral("+"));
        Frame().ExecuteCommand(ID_FILE_SAVE);
        EXPECT_FALSE(doc->IsModified());
        EXPECT_TRUE(strong::FileHasMagic(path));
        EXPECT_EQ(Decrypt(path, "pw", form), "+" + kStored);
        doc->OnCloseDocument();
    }
}

} // namespace
