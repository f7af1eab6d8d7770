// CRightNotepadView: the text of a note item in a fixed-pitch editor. Every change is written
// into the item at once and marks the document modified; only plain text can be pasted or
// dropped in; the caret's line and column show in the status bar.
#pragma once

#include <cstddef>
#include <cstdint>

#include "controls/SecretTextEdit.h"
#include "framework/Document.h"

class CStorageViewSite;
class QMenu;

// The longest note the view opens: a text document takes about ten times its text's size in
// memory, and a longer note is better read in another program after an export.
inline constexpr size_t kLongestNoteShown = size_t{64} << 20;

class CRightNotepadView : public CView {
    Q_OBJECT
public:
    CRightNotepadView(CDocument* document, CStorageViewSite* site, QWidget* parent = nullptr);

    // Shows the note at a table index and takes the focus. Showing never marks the document
    // modified. A note longer than kLongestNoteShown is not opened: the view says so and takes
    // no typing.
    void ShowNote(int32_t index);
    // Lets go of the shown note (the tree deleted it): the editor empties.
    void Forget();
    int32_t ItemIndex() const { return index_; }
    SecretTextEdit* Editor() const { return edit_; }
    // " Ln %d, Col %d" for the caret, both counted from 1.
    QString CaretText() const;
    QString CaretPaneText() const override { return CaretText(); }

    bool OnCommand(int id) override;
    bool OnUpdateCommand(CCmdUI& ui) override;
    // The context menu (not shown).
    QMenu* CreateContextMenu(QWidget* parent);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class PlainEditor;
    void OnTextChanged();
    void ShowCaret();

    CStorageViewSite* site_;
    SecretTextEdit* edit_;
    int32_t index_ = -1;
    bool loading_ = false;
    bool tooLong_ = false;
};
