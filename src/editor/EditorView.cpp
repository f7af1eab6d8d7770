#include "editor/EditorView.h"

#include <QBoxLayout>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QIcon>
#include <QMenu>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include "base/ProductInfo.h"
#include "dialogs/MessageDialogs.h"
#include "editor/TextPrinting.h"
#include "framework/CommandIds.h"
#include "framework/FrameHosts.h"
#include "framework/LockAwareDialog.h"
#include "framework/LockHost.h"
#include "framework/MessageBox.h"
#include "framework/ModalSeam.h"

namespace {

QTextDocument::FindFlags FlagsOf(const FindOptions& options) {
    QTextDocument::FindFlags flags;
    if (options.matchCase) {
        flags |= QTextDocument::FindCaseSensitively;
    }
    if (options.wholeWord) {
        flags |= QTextDocument::FindWholeWords;
    }
    if (!options.down) {
        flags |= QTextDocument::FindBackward;
    }
    return flags;
}

// Whether every character of `font` is as wide as every other (font databases do not always
// say so of faces that are).
bool IsMonospaced(const QFont& font) {
    const QFontMetricsF metrics(font);
    return metrics.horizontalAdvance(QLatin1Char('i')) ==
               metrics.horizontalAdvance(QLatin1Char('W')) &&
           metrics.horizontalAdvance(QLatin1Char('.')) ==
               metrics.horizontalAdvance(QLatin1Char('m'));
}

// Print dialogs show the secret text too, so they end when the screen locks like ours do.
void EndOnLock(QDialog& dialog) {
    new LockWatcher(&dialog, [] { return static_cast<int>(QDialog::Rejected); });
}

} // namespace

CEditorView::CEditorView(CDocument* document, QWidget* parent) : CView(document, parent) {
    edit_ = new CEditorEdit(this);
    edit_->setObjectName(QStringLiteral("text"));
    edit_->setFont(TextFont());
    edit_->setLineWrapMode(QPlainTextEdit::NoWrap);
    edit_->setTabChangesFocus(false);
    QPalette palette = edit_->palette();
    palette.setColor(QPalette::Text, Qt::black);
    palette.setColor(QPalette::Base, Qt::white);
    edit_->setPalette(palette);
    setFocusProxy(edit_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(edit_);

    connect(edit_->document(), &QTextDocument::contentsChange, this,
            &CEditorView::OnContentsChange);
    connect(edit_, &CEditorEdit::CaretMayHaveMoved, this, &CEditorView::UpdateCaretPane);
    connect(edit_, &CEditorEdit::ContextMenuRequested, this, [this](const QPoint& at) {
        const std::unique_ptr<QMenu> menu = CreateContextMenu();
        menu->exec(at);
    });
}

CEditorView::~CEditorView() {
    delete findDialog_.data();
}

QFont CEditorView::TextFont() {
    QFont font(QStringLiteral("Courier New"), 10);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    if (!IsMonospaced(font)) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPointSize(10);
    }
    font.setBold(false);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

QString CEditorView::GetAllText() const {
    QString text = edit_->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text;
}

void CEditorView::InsertLoadedText(const QString& text) {
    InsertLoadedLines(TextAsLines(text));
}

void CEditorView::InsertLoadedLines(const QString& lines) {
    QTextDocument* document = edit_->document();
    loading_ = true;
    // Turning undo off and on again also forgets what came before.
    document->setUndoRedoEnabled(false);
    QTextCursor end(document);
    end.movePosition(QTextCursor::End);
    end.insertText(lines);
    document->setUndoRedoEnabled(true);
    edit_->setTextCursor(QTextCursor(document));
    loading_ = false;
    if (GetDocument() != nullptr) {
        GetDocument()->SetModifiedFlag(false);
    }
}

void CEditorView::ClearText() {
    QTextDocument* document = edit_->document();
    loading_ = true;
    document->setUndoRedoEnabled(false);
    QTextCursor all(document);
    all.select(QTextCursor::Document);
    all.removeSelectedText();
    document->setUndoRedoEnabled(true);
    loading_ = false;
}

void CEditorView::OnInitialUpdate() {
    CView::OnInitialUpdate();
    if (GetDocument() != nullptr) {
        GetDocument()->SetModifiedFlag(false);
    }
}

void CEditorView::OnContentsChange(int position, int removed, int added) {
    if (!loading_ && (removed != 0 || added != 0) && GetDocument() != nullptr) {
        GetDocument()->SetModifiedFlag(true);
    }
}

QString CEditorView::CaretPositionText() const {
    const int start = edit_->textCursor().selectionStart();
    const QTextBlock block = edit_->document()->findBlock(start);
    // Columns count characters, so a character outside the basic plane counts once.
    const qsizetype column =
        QStringView(block.text()).left(start - block.position()).toUcs4().size() + 1;
    return QStringLiteral(" Ln %1, Col %2").arg(block.blockNumber() + 1).arg(column);
}

void CEditorView::UpdateCaretPane() {
    if (CStatusHost* host = CStatusHost::Of(this)) {
        host->SetStatusPaneText(kStatusCaret, CaretPositionText());
    }
}

// --- Find and replace --------------------------------------------------------------------

bool CEditorView::FindText(const QString& what, const FindOptions& options) {
    if (what.isEmpty()) {
        return false;
    }
    QTextDocument* document = edit_->document();
    const QTextDocument::FindFlags flags = FlagsOf(options);
    // Upwards, only an occurrence that ends before `origin` counts, not one that overlaps it.
    const auto find = [&](int origin) {
        QTextCursor found = document->find(what, origin, flags);
        while (!options.down && !found.isNull() && found.selectionEnd() > origin) {
            found = document->find(what, found.selectionStart(), flags);
        }
        return found;
    };
    const QTextCursor selection = edit_->textCursor();
    QTextCursor found = find(options.down ? selection.selectionEnd() : selection.selectionStart());
    if (found.isNull()) {
        found = find(options.down ? 0 : document->characterCount() - 1);
    }
    if (found.isNull()) {
        return false;
    }
    edit_->setTextCursor(found);
    edit_->ensureCursorVisible();
    UpdateCaretPane();
    return true;
}

bool CEditorView::ReplaceSelection(const QString& what, const QString& with,
                                   const FindOptions& options) {
    if (what.isEmpty()) {
        return false;
    }
    QTextCursor cursor = edit_->textCursor();
    const Qt::CaseSensitivity sensitivity =
        options.matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    if (cursor.hasSelection() && cursor.selectedText().compare(what, sensitivity) == 0) {
        cursor.insertText(TextAsLines(with));
        edit_->setTextCursor(cursor);
    }
    return FindText(what, options);
}

int CEditorView::ReplaceAll(const QString& what, const QString& with, const FindOptions& options) {
    if (what.isEmpty()) {
        return 0;
    }
    QTextDocument* document = edit_->document();
    QTextDocument::FindFlags flags = FlagsOf(options);
    flags &= ~QTextDocument::FindBackward;
    const QString replacement = TextAsLines(with);
    // One cursor makes every replacement, so a single Undo takes them all back.
    QTextCursor editor(document);
    int count = 0;
    QTextCursor found = document->find(what, 0, flags);
    while (!found.isNull()) {
        if (count == 0) {
            editor.beginEditBlock();
        }
        editor.setPosition(found.selectionStart());
        editor.setPosition(found.selectionEnd(), QTextCursor::KeepAnchor);
        editor.insertText(replacement);
        ++count;
        found = document->find(what, editor.position(), flags);
    }
    if (count > 0) {
        editor.endEditBlock();
        edit_->setTextCursor(editor);
        UpdateCaretPane();
    }
    return count;
}

void CEditorView::OpenFindDialog(CFindReplaceDlg::Mode mode) {
    if (findDialog_ == nullptr) {
        findDialog_ = new CFindReplaceDlg(window());
        connect(findDialog_, &CFindReplaceDlg::FindNext, this, &CEditorView::OnFindNext);
        connect(findDialog_, &CFindReplaceDlg::Replace, this, &CEditorView::OnReplace);
        connect(findDialog_, &CFindReplaceDlg::ReplaceAll, this, &CEditorView::OnReplaceAll);
    }
    // A selection within one line is what the user most likely wants to find.
    const QString selected = edit_->textCursor().selectedText();
    const bool oneLine = !selected.contains(QChar::ParagraphSeparator);
    findDialog_->Open(mode, oneLine && !selected.isEmpty() ? selected : lastFind_);
}

void CEditorView::OnFindNext() {
    lastFind_ = findDialog_->FindWhat();
    lastOptions_ = findDialog_->Options();
    if (!FindText(lastFind_, lastOptions_)) {
        ReportNotFound(lastFind_);
    }
}

void CEditorView::OnReplace() {
    lastFind_ = findDialog_->FindWhat();
    lastOptions_ = findDialog_->Options();
    if (!ReplaceSelection(lastFind_, findDialog_->ReplaceWith(), lastOptions_)) {
        ReportNotFound(lastFind_);
    }
}

void CEditorView::OnReplaceAll() {
    lastFind_ = findDialog_->FindWhat();
    lastOptions_ = findDialog_->Options();
    if (ReplaceAll(lastFind_, findDialog_->ReplaceWith(), lastOptions_) == 0) {
        ReportNotFound(lastFind_);
    }
}

void CEditorView::OnFindRepeat() {
    if (lastFind_.isEmpty()) {
        OpenFindDialog(CFindReplaceDlg::Mode::Find);
        return;
    }
    if (!FindText(lastFind_, lastOptions_)) {
        ReportNotFound(lastFind_);
    }
}

void CEditorView::ReportNotFound(const QString& what) {
    QWidget* owner = findDialog_ != nullptr && findDialog_->isVisible()
                         ? static_cast<QWidget*>(findDialog_)
                         : window();
    ShowMessageBox(owner, QStringLiteral("Cannot find \"%1\".").arg(what),
                   QString::fromLatin1(kAppTitle), MessageButtons::Ok, MessageIcon::Information);
}

// --- Context menu ------------------------------------------------------------------------

std::unique_ptr<QMenu> CEditorView::CreateContextMenu() {
    struct Entry {
        int id;
        const char* text;
        const char* icon;
    };
    static constexpr Entry kEntries[] = {
        {ID_EDIT_UNDO, "&Undo\tCtrl+Z", "undo"},
        {ID_NONE, nullptr, nullptr},
        {ID_EDIT_CUT, "Cu&t\tCtrl+X", "cut"},
        {ID_EDIT_COPY, "&Copy\tCtrl+C", "copy"},
        {ID_EDIT_PASTE, "&Paste\tCtrl+V", "paste"},
        {ID_EDIT_SELECT_ALL, "Select A&ll\tCtrl+A", "select_all"},
    };
    auto menu = std::make_unique<QMenu>(this);
    for (const Entry& entry : kEntries) {
        if (entry.id == ID_NONE) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(QIcon(QStringLiteral(":/icons/%1.svg").arg(entry.icon)),
                                          QString::fromLatin1(entry.text));
        action->setData(entry.id);
        CCmdUI ui(entry.id);
        OnUpdateCommand(ui);
        action->setEnabled(ui.enabled);
        const int id = entry.id;
        connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    }
    return menu;
}

// --- Printing ----------------------------------------------------------------------------

bool CEditorView::PrintTo(QPrinter& printer) const {
    return PrintPlainText(*edit_->document(), TextFont(), printer);
}

QPrinter& CEditorView::PrinterForThisText() const {
    QPrinter& printer = CPrintHost::SharedPrinter();
    // Names the print job, and the PDF file the print dialog proposes.
    if (GetDocument() != nullptr) {
        printer.setDocName(GetDocument()->GetTitle());
    }
    return printer;
}

void CEditorView::OnFilePrint() {
    QPrinter& printer = PrinterForThisText();
    QPrintDialog dialog(&printer, window());
    dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    EndOnLock(dialog);
    if (ModalSeam::Run(dialog, QDialog::Rejected) != QDialog::Accepted) {
        return;
    }
    if (!PrintTo(printer)) {
        ReportPrintFailure();
    }
}

void CEditorView::OnFilePrintDirect() {
    QPrinter& printer = PrinterForThisText();
    // Without a printer there is nowhere to print to until the user names a file.
    if (printer.outputFormat() == QPrinter::PdfFormat && printer.outputFileName().isEmpty()) {
        OnFilePrint();
        return;
    }
    if (!PrintTo(printer)) {
        ReportPrintFailure();
    }
}

void CEditorView::OnFilePrintPreview() {
    QPrinter& printer = PrinterForThisText();
    QPrintPreviewDialog preview(&printer, window());
    preview.setWindowTitle(QStringLiteral("Print Preview"));
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* target) {
        if (!PrintTo(*target)) {
            ReportPrintFailure();
        }
    });
    EndOnLock(preview);
    ModalSeam::Run(preview, QDialog::Rejected);
}

void CEditorView::ReportPrintFailure() {
    CErrorDlg(QStringLiteral("The document could not be printed. Check the printer, or the name "
                             "of the file to print to, and try again."),
              window())
        .DoModal();
}

// --- Commands ----------------------------------------------------------------------------

bool CEditorView::OnCommand(int id) {
    switch (id) {
    case ID_EDIT_UNDO:
        edit_->undo();
        return true;
    case ID_EDIT_CUT:
        edit_->CutSelection();
        return true;
    case ID_EDIT_COPY:
        edit_->CopySelection();
        return true;
    case ID_EDIT_PASTE:
        edit_->paste();
        return true;
    case ID_EDIT_CLEAR:
        edit_->textCursor().removeSelectedText();
        return true;
    case ID_EDIT_SELECT_ALL:
        edit_->selectAll();
        return true;
    case ID_EDIT_FIND:
        OpenFindDialog(CFindReplaceDlg::Mode::Find);
        return true;
    case ID_EDIT_REPLACE:
        OpenFindDialog(CFindReplaceDlg::Mode::Replace);
        return true;
    case ID_EDIT_REPEAT:
        OnFindRepeat();
        return true;
    case ID_FILE_PRINT:
        OnFilePrint();
        return true;
    case ID_FILE_PRINT_DIRECT:
        OnFilePrintDirect();
        return true;
    case ID_FILE_PRINT_PREVIEW:
        OnFilePrintPreview();
        return true;
    default:
        return false;
    }
}

bool CEditorView::OnUpdateCommand(CCmdUI& ui) {
    const bool hasText = !edit_->document()->isEmpty();
    const bool hasSelection = edit_->textCursor().hasSelection();
    switch (ui.id) {
    case ID_EDIT_UNDO:
        ui.Enable(edit_->document()->isUndoAvailable());
        return true;
    case ID_EDIT_CUT:
    case ID_EDIT_CLEAR:
        ui.Enable(hasSelection && !edit_->isReadOnly());
        return true;
    case ID_EDIT_COPY:
        ui.Enable(hasSelection);
        return true;
    case ID_EDIT_PASTE:
        ui.Enable(edit_->canPaste());
        return true;
    case ID_EDIT_SELECT_ALL:
    case ID_EDIT_FIND:
    case ID_EDIT_REPLACE:
        ui.Enable(hasText);
        return true;
    case ID_EDIT_REPEAT:
        ui.Enable(hasText && !lastFind_.isEmpty());
        return true;
    case ID_FILE_PRINT:
    case ID_FILE_PRINT_DIRECT:
    case ID_FILE_PRINT_PREVIEW:
        ui.Enable(true);
        return true;
    default:
        return false;
    }
}
