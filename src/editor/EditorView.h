// The encrypted text document's view: a plain-text editor in a fixed-pitch font without word
// wrap. It shows the caret position in the main window's status bar, counts the user's keys
// and mouse as activity for the screen lock, handles the edit, find and print commands, and
// refuses files dropped on the text (the main window opens them as documents).
#pragma once

#include <memory>

#include <QPointer>

#include "editor/EditorEdit.h"
#include "editor/FindReplaceDlg.h"
#include "framework/Document.h"

class QMenu;
class QPrinter;

class CEditorView : public CView {
    Q_OBJECT
public:
    explicit CEditorView(CDocument* document, QWidget* parent = nullptr);
    ~CEditorView() override;

    CEditorEdit* Edit() const { return edit_; }

    // The whole text, lines separated by "\n".
    QString GetAllText() const;
    // Adds loaded text at the end as a step that cannot be undone, puts the caret at the
    // start and leaves the document unmodified.
    void InsertLoadedText(const QString& text);
    // The same for text whose only line breaks are LF already.
    void InsertLoadedLines(const QString& lines);
    // Empties the view as a step that cannot be undone.
    void ClearText();

    // " Ln %d, Col %d" for the start of the selection, both counted from 1.
    QString CaretPositionText() const;
    QString CaretPaneText() const override { return CaretPositionText(); }
    // Shows the caret position in pane 2 of the main window's status bar.
    void UpdateCaretPane();

    // Finds `what` from the selection in the given direction, wrapping around the text once,
    // and selects it. False when the text does not hold it.
    bool FindText(const QString& what, const FindOptions& options);
    // Replaces the selection when it is `what`, then finds the next occurrence.
    bool ReplaceSelection(const QString& what, const QString& with, const FindOptions& options);
    // Replaces every occurrence as one undo step; returns how many there were.
    int ReplaceAll(const QString& what, const QString& with, const FindOptions& options);
    // The find-and-replace dialog, once Find or Replace has opened it.
    CFindReplaceDlg* FindDialog() const { return findDialog_; }

    // The right-button menu, with its entries enabled as the commands are now.
    std::unique_ptr<QMenu> CreateContextMenu();

    // Prints the text; false when the printer could not be started.
    bool PrintTo(QPrinter& printer) const;

    // "Courier New" at 10 points, or the system's fixed-pitch face at 10 points without it.
    static QFont TextFont();

    void OnInitialUpdate() override;
    bool OnCommand(int id) override;
    bool OnUpdateCommand(CCmdUI& ui) override;

private:
    void OnContentsChange(int position, int removed, int added);
    void OpenFindDialog(CFindReplaceDlg::Mode mode);
    void OnFindNext();
    void OnReplace();
    void OnReplaceAll();
    void OnFindRepeat();
    void ReportNotFound(const QString& what);
    QPrinter& PrinterForThisText() const;
    void OnFilePrint();
    void OnFilePrintDirect();
    void OnFilePrintPreview();
    void ReportPrintFailure();

    CEditorEdit* edit_;
    QPointer<CFindReplaceDlg> findDialog_;
    // The last search, for Find Next while the dialog is closed.
    QString lastFind_;
    FindOptions lastOptions_;
    bool loading_ = false;
};
