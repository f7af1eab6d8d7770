// The text control of the encrypted text view: a plain-text editor that keeps one line per
// paragraph, tells the view when the caret may have moved, counts keys and mouse as activity
// for the screen lock, and lets files dropped on it go on to the main window. The text is a
// secret: copies are marked and cleared, and its selection stays private.
#pragma once

#include "controls/SecretTextEdit.h"

class CEditorEdit : public SecretTextEdit {
    Q_OBJECT
public:
    explicit CEditorEdit(QWidget* parent = nullptr);

signals:
    // A key press or release, or a left mouse-button release: the caret may have moved.
    void CaretMayHaveMoved();
    void ContextMenuRequested(const QPoint& globalPos);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;
};

// Text from outside (the clipboard, a drop, a loaded file) with every line break (CR LF,
// CR, LF, Unicode line and paragraph separators) made a plain LF: one paragraph per line.
QString TextAsLines(QString text);
