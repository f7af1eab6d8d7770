// The text view on its own: set-up, loaded text, caret text, activity, drops, find and
// replace, the context menu and printing to a PDF file.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

#include <gtest/gtest.h>

#include "PdfText.h"
#include "editor/EditorView.h"
#include "editor/FindReplaceDlg.h"
#include "framework/CommandIds.h"
#include "framework/Document.h"
#include "framework/FrameHosts.h"
#include "framework/LockAwareDialog.h"
#include "framework/ModalSeam.h"
#include "framework/ResultCodes.h"
#include "support/FakeLockHost.h"
#include "support/GuiFixture.h"

namespace {

class EditorViewTest : public GuiFixture {
protected:
    void SetUp() override {
        GuiFixture::SetUp();
        view = new CEditorView(&document);
        view->resize(600, 400);
        view->show();
        view->OnInitialUpdate();
    }
    void ReleaseWindows() override { delete view; }

    void Load(const QString& text) { view->InsertLoadedText(text); }
    void Select(int start, int end) {
        QTextCursor cursor(view->Edit()->document());
        cursor.setPosition(start);
        cursor.setPosition(end, QTextCursor::KeepAnchor);
        view->Edit()->setTextCursor(cursor);
    }
    QString Selected() const { return view->Edit()->textCursor().selectedText(); }
    int Caret() const { return view->Edit()->textCursor().position(); }

    FakeLockHost host;
    ScopedModalSeam seam;
    CDocument document;
    CEditorView* view = nullptr;
};

} // namespace

TEST_F(EditorViewTest, FixedPitchTenPointsWithoutWrapInBlackOnWhite) {
    const QFont font = view->Edit()->font();
    const QFontMetricsF metrics(font);
    EXPECT_EQ(metrics.horizontalAdvance('i'), metrics.horizontalAdvance('W'))
        << QFontInfo(font).family().toStdString();
    EXPECT_EQ(font.pointSize(), 10);
    EXPECT_FALSE(font.bold() || font.italic() || font.underline() || font.strikeOut());
    EXPECT_EQ(view->Edit()->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(view->Edit()->palette().color(QPalette::Text), QColor(Qt::black));
    EXPECT_EQ(view->Edit()->palette().color(QPalette::Base), QColor(Qt::white));

    // A long line stays one line: the view scrolls sideways instead.
    Load(QString(500, QLatin1Char('x')));
    EXPECT_EQ(view->Edit()->document()->firstBlock().layout()->lineCount(), 1);
    EXPECT_GT(view->Edit()->horizontalScrollBar()->maximum(), 0);
}

TEST_F(EditorViewTest, LoadedTextCannotBeUndoneAndLeavesTheDocumentUnmodified) {
    view->Edit()->insertPlainText(QStringLiteral("typed before"));
    ASSERT_TRUE(document.IsModified());

    Load(QStringLiteral("Zeile eins\r\nzweite Zeile\rdritte\nÄÖÜ € 日本"));
    EXPECT_FALSE(document.IsModified());
    EXPECT_EQ(Caret(), 0);
    EXPECT_FALSE(view->Edit()->textCursor().hasSelection());
    EXPECT_FALSE(view->Edit()->document()->isUndoAvailable());
    // The loaded text went after what was there; every line break became one line.
    EXPECT_EQ(view->GetAllText(),
              QStringLiteral("typed beforeZeile eins\nzweite Zeile\ndritte\nÄÖÜ € 日本"));
    EXPECT_EQ(view->Edit()->document()->blockCount(), 4);

    QTest::keyClick(view->Edit(), Qt::Key_A);
    EXPECT_TRUE(document.IsModified());
    view->OnCommand(ID_EDIT_UNDO);
    EXPECT_EQ(view->GetAllText().left(12), QStringLiteral("typed before"));
    EXPECT_FALSE(view->Edit()->document()->isUndoAvailable());
}

TEST_F(EditorViewTest, TextKeepsWhatAPlainTextExportWouldChange) {
    // No-break spaces, tabs and trailing blanks must come back as they were.
    const QString text = QStringLiteral("a\u00A0b\tc  \n\n  d");
    Load(text);
    EXPECT_EQ(view->GetAllText(), text);
}

TEST_F(EditorViewTest, ShiftEnterAndPastedBreaksMakeRealLines) {
    Load(QStringLiteral("ab"));
    Select(1, 1);
    QTest::keyClick(view->Edit(), Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(view->GetAllText(), QStringLiteral("a\nb"));
    EXPECT_EQ(view->Edit()->document()->blockCount(), 2);

    QApplication::clipboard()->setText(QStringLiteral("x\r\ny\rz\u2028w"));
    view->OnCommand(ID_EDIT_PASTE);
    EXPECT_EQ(view->GetAllText(), QStringLiteral("a\nx\ny\nz\nwb"));
    EXPECT_EQ(view->Edit()->document()->blockCount(), 5);
}

TEST_F(EditorViewTest, CaretTextCountsLinesAndColumnsFromOne) {
    Load(QStringLiteral("first\nsecond line\n\U0001F600x"));
    struct Case {
        int start;
        int end;
        const char* text;
    };
    const Case cases[] = {
        {0, 0, " Ln 1, Col 1"},
        {8, 8, " Ln 2, Col 3"},   // before the third character of the second line
        {11, 8, " Ln 2, Col 3"},  // a selection counts from its start
        {5, 5, " Ln 1, Col 6"},   // end of the first line
        {18, 18, " Ln 3, Col 1"}, // start of the last line
        {20, 20, " Ln 3, Col 2"}, // after a character outside the basic plane
    };
    for (const Case& c : cases) {
        Select(c.start, c.end);
        EXPECT_EQ(view->CaretPositionText(), c.text) << c.start << "-" << c.end;
    }
}

TEST_F(EditorViewTest, KeysAndMouseRestartTheIdleClock) {
    Load(QStringLiteral("text"));
    host.idle = 30;
    QTest::keyPress(view->Edit(), Qt::Key_Right);
    EXPECT_EQ(host.idle, 0u);
    host.idle = 30;
    QTest::keyRelease(view->Edit(), Qt::Key_Right);
    EXPECT_EQ(host.idle, 0u);
    host.idle = 30;
    QTest::mouseMove(view->Edit()->viewport(), QPoint(40, 10));
    EXPECT_EQ(host.idle, 0u);
    host.idle = 30;
    QTest::mouseClick(view->Edit()->viewport(), Qt::LeftButton, {}, QPoint(20, 5));
    EXPECT_EQ(host.idle, 0u);
}

TEST_F(EditorViewTest, DroppedFilesAreRefusedAndDroppedTextIsTaken) {
    struct Case {
        QList<QUrl> urls;
        QString text;
        bool accepted;
    };
    const Case cases[] = {
        {{QUrl::fromLocalFile(QStringLiteral("/tmp/a.ovt"))}, {}, false},
        {{QUrl(QStringLiteral("https://example.org/")),
          QUrl::fromLocalFile(QStringLiteral("/tmp/b.ovd"))},
         QStringLiteral("b.ovd"),
         false},
        {{}, QStringLiteral("plain words"), true},
        {{QUrl(QStringLiteral("https://example.org/"))},
         QStringLiteral("https://example.org/"),
         true},
    };
    for (const Case& c : cases) {
        QMimeData data;
        if (!c.urls.isEmpty()) {
            data.setUrls(c.urls);
        }
        if (!c.text.isEmpty()) {
            data.setText(c.text);
        }
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        enter.setAccepted(false);
        QApplication::sendEvent(view->Edit()->viewport(), &enter);
        EXPECT_EQ(enter.isAccepted(), c.accepted) << c.text.toStdString();
    }
}

TEST_F(EditorViewTest, FindTable) {
    // Positions:  0         1         2
    //             0123456789012345678901234567
    Load(QStringLiteral("Cat cat\ncatalogue CAT\ncat"));
    struct Case {
        int from;
        FindOptions options;
        bool found;
        int start;
    };
    const Case cases[] = {
        {0, {false, false, true}, true, 0},
        {3, {false, false, true}, true, 4},
        {5, {false, false, true}, true, 8},
        {5, {false, true, true}, true, 18},   // whole words skip "catalogue"
        {5, {true, true, true}, true, 22},    // and case skips "CAT"
        {23, {true, false, true}, true, 4},   // wraps to the start
        {23, {true, true, false}, true, 4},   // upwards
        {2, {false, false, false}, true, 22}, // upwards, wrapping to the end
    };
    for (const Case& c : cases) {
        Select(c.from, c.from);
        EXPECT_EQ(view->FindText(QStringLiteral("cat"), c.options), c.found) << c.from;
        const QTextCursor cursor = view->Edit()->textCursor();
        EXPECT_EQ(cursor.selectionStart(), c.start) << c.from;
        EXPECT_EQ(cursor.selectionEnd() - cursor.selectionStart(), 3) << c.from;
    }
    Select(3, 3);
    EXPECT_FALSE(view->FindText(QStringLiteral("dog"), {}));
    EXPECT_EQ(Caret(), 3);
}

TEST_F(EditorViewTest, ReplaceOneThenAllAsOneUndoStep) {
    Load(QStringLiteral("red green red\nred"));
    const FindOptions options{true, true, true};
    Select(0, 0);
    // The first Replace only finds, as the selection is not the word yet.
    ASSERT_TRUE(view->ReplaceSelection(QStringLiteral("red"), QStringLiteral("blue"), options));
    EXPECT_EQ(view->GetAllText(), QStringLiteral("red green red\nred"));
    ASSERT_TRUE(view->ReplaceSelection(QStringLiteral("red"), QStringLiteral("blue"), options));
    EXPECT_EQ(view->GetAllText(), QStringLiteral("blue green red\nred"));
    EXPECT_EQ(Selected(), QStringLiteral("red"));
    EXPECT_EQ(view->Edit()->textCursor().selectionStart(), 11);

    // A replacement holding what is searched for does not loop.
    EXPECT_EQ(view->ReplaceAll(QStringLiteral("red"), QStringLiteral("red-red"), options), 2);
    EXPECT_EQ(view->GetAllText(), QStringLiteral("blue green red-red\nred-red"));
    EXPECT_TRUE(document.IsModified());
    view->OnCommand(ID_EDIT_UNDO);
    EXPECT_EQ(view->GetAllText(), QStringLiteral("blue green red\nred"));
    EXPECT_EQ(view->ReplaceAll(QStringLiteral("purple"), QStringLiteral("x"), options), 0);
}

TEST_F(EditorViewTest, FindDialogSearchesReplacesAndEndsOnLock) {
    Load(QStringLiteral("alpha beta\nbeta gamma"));
    Select(6, 10);
    view->OnCommand(ID_EDIT_FIND);
    CFindReplaceDlg* dialog = view->FindDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(dialog->isVisible());
    EXPECT_FALSE(dialog->isModal());
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Find"));
    // The selection is what the dialog offers to find.
    EXPECT_EQ(dialog->FindWhat(), QStringLiteral("beta"));
    EXPECT_FALSE(dialog->findChild<QLineEdit*>(QStringLiteral("replaceWith"))->isVisible());

    dialog->findChild<QPushButton*>(QStringLiteral("findNext"))->click();
    EXPECT_EQ(view->Edit()->textCursor().selectionStart(), 11);

    // Find Next repeats the last search with the dialog closed too.
    dialog->close();
    view->OnCommand(ID_EDIT_REPEAT);
    EXPECT_EQ(view->Edit()->textCursor().selectionStart(), 6);

    // An empty search cannot be started.
    view->OnCommand(ID_EDIT_REPLACE);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Replace"));
    auto* findWhat = dialog->findChild<QLineEdit*>(QStringLiteral("findWhat"));
    findWhat->clear();
    EXPECT_FALSE(dialog->findChild<QPushButton*>(QStringLiteral("replaceAll"))->isEnabled());
    host.idle = 20;
    QTest::keyClicks(findWhat, QStringLiteral("beta"));
    EXPECT_EQ(host.idle, 0u);
    dialog->findChild<QLineEdit*>(QStringLiteral("replaceWith"))->setText(QStringLiteral("BETA"));
    dialog->findChild<QPushButton*>(QStringLiteral("replaceAll"))->click();
    EXPECT_EQ(view->GetAllText(), QStringLiteral("alpha BETA\nBETA gamma"));

    // Nothing left to find: the user is told.
    ModalSeam::Push([](QDialog& box) {
        EXPECT_TRUE(box.findChild<QLabel*>() != nullptr);
        box.done(IDOK);
    });
    dialog->findChild<QCheckBox*>(QStringLiteral("matchCase"))->setChecked(true);
    dialog->findChild<QPushButton*>(QStringLiteral("replace"))->click();
    EXPECT_EQ(ModalSeam::Shown().size(), 1);

    host.Lock();
    EXPECT_TRUE(dialog->LockTick());
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(EditorViewTest, ContextMenuEntriesFollowTheEditState) {
    Load(QStringLiteral("some text"));
    QApplication::clipboard()->clear();
    std::unique_ptr<QMenu> menu = view->CreateContextMenu();
    QStringList texts;
    QList<bool> enabled;
    for (QAction* action : menu->actions()) {
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
        enabled << action->isEnabled();
    }
    EXPECT_EQ(texts, (QStringList{"&Undo\tCtrl+Z", "-", "Cu&t\tCtrl+X", "&Copy\tCtrl+C",
                                  "&Paste\tCtrl+V", "Select A&ll\tCtrl+A"}));
    EXPECT_EQ(enabled, (QList<bool>{false, true, false, false, false, true}));

    Select(0, 4);
    menu = view->CreateContextMenu();
    menu->actions().at(2)->trigger(); // Cut
    EXPECT_EQ(view->GetAllText(), QStringLiteral(" text"));
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("some"));
    menu = view->CreateContextMenu();
    EXPECT_TRUE(menu->actions().at(0)->isEnabled());
    EXPECT_TRUE(menu->actions().at(4)->isEnabled());
}

TEST_F(EditorViewTest, PrintsEveryLineToAPdfFileOverSeveralPages) {
    QStringList lines;
    for (int i = 1; i <= 150; ++i) {
        lines << QStringLiteral("Zeile %1 mit Umlauten äöü").arg(i, 3, 10, QLatin1Char('0'));
    }
    Load(lines.join(QLatin1Char('\n')));
    QTemporaryDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(QStringLiteral("out.pdf")));
    ASSERT_TRUE(view->PrintTo(printer));

    const QMarginsF margins = printer.pageLayout().margins(QPageLayout::Inch);
    EXPECT_DOUBLE_EQ(margins.left(), 0.5);
    EXPECT_DOUBLE_EQ(margins.top(), 0.5);
    const QString text = PdfText(printer.outputFileName());
    for (const QString& line : {lines.front(), lines[74], lines.back()}) {
        EXPECT_TRUE(text.contains(line)) << line.toStdString();
    }
    // 150 lines of 10 points do not fit on one page; none is printed twice.
    EXPECT_GE(PdfPages(text), 2);
    EXPECT_EQ(text.count(QStringLiteral("Zeile 075")), 1);
}

TEST_F(EditorViewTest, PrintDirectUsesTheSharedPrinterAndAFilePrinterNeedsAName) {
    Load(QStringLiteral("direct to file"));
    QTemporaryDir dir;
    QPrinter& printer = CPrintHost::SharedPrinter();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(QStringLiteral("direct.pdf")));
    view->OnCommand(ID_FILE_PRINT_DIRECT);
    EXPECT_TRUE(PdfText(printer.outputFileName()).contains(QStringLiteral("direct to file")));

    // Without a file to print to, the print dialog asks where to.
    printer.setOutputFileName(QString());
    ModalSeam::Push(answer::Result(QDialog::Rejected));
    view->OnCommand(ID_FILE_PRINT_DIRECT);
    ASSERT_EQ(ModalSeam::Shown().size(), 1);
}

TEST_F(EditorViewTest, PrintDialogPrintsToTheFileTheUserNames) {
    Load(QStringLiteral("chosen in the dialog\nsecond line"));
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("chosen.pdf"));
    CPrintHost::SharedPrinter().setOutputFormat(QPrinter::PdfFormat);
    ModalSeam::Push([&](QDialog& dialog) {
        // Without a printer the dialog offers printing to a PDF file.
        auto* file = dialog.findChild<QLineEdit*>(QStringLiteral("filename"));
        ASSERT_NE(file, nullptr);
        ASSERT_TRUE(file->isVisible());
        file->setText(pdf);
        dialog.accept();
    });
    view->OnCommand(ID_FILE_PRINT);
    const QString text = PdfText(pdf);
    EXPECT_TRUE(text.contains(QStringLiteral("chosen in the dialog")));
    EXPECT_TRUE(text.contains(QStringLiteral("second line")));
}

TEST_F(EditorViewTest, PrintDialogsEndWhenTheScreenLocks) {
    Load(QStringLiteral("secret"));
    for (int id : {ID_FILE_PRINT, ID_FILE_PRINT_PREVIEW}) {
        bool ended = false;
        host.locked = false;
        host.idle = 0;
        ModalSeam::Push([&](QDialog& dialog) {
            auto* watcher = dialog.findChild<LockWatcher*>();
            ASSERT_NE(watcher, nullptr);
            EXPECT_FALSE(watcher->Tick());
            host.Lock();
            ended = watcher->Tick();
        });
        view->OnCommand(id);
        EXPECT_TRUE(ended) << id;
    }
}
