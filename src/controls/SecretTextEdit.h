// A plain-text editor for text that is a secret: Copy and Cut (the keys and the calls below)
// put the selection on the clipboard through SecretClipboard, marked and cleared later, and a
// private selection does not feed the X11 primary selection, where any program could read it
// without the user asking. Dragging the selection still works and carries the mark.
#pragma once

#include <QPlainTextEdit>

class SecretTextEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit SecretTextEdit(QWidget* parent = nullptr);

    // Copies go through the secret clipboard (off when created).
    void SetSecretCopies(bool on) { secretCopies_ = on; }
    bool SecretCopies() const { return secretCopies_; }
    // Selecting text leaves the primary selection alone (off when created).
    void SetPrivateSelection(bool on) { privateSelection_ = on; }
    bool PrivateSelection() const { return privateSelection_; }

    // The selection to the clipboard, as a secret when copies are; Cut also removes it
    // (as one undo step) unless the editor is read-only.
    void CopySelection();
    void CutSelection();

    // The selection as plain text: paragraph separators become line breaks.
    QString SelectionText() const;
    // The document whose view holds this editor: a copy leaves the clipboard when it closes.
    const void* OwnerDocument() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    QMimeData* createMimeDataFromSelection() const override;

private:
    bool secretCopies_ = false;
    bool privateSelection_ = false;
    // Set while an explicit copy or a drag asks for the selection's data; any other request
    // comes from the primary selection.
    bool exporting_ = false;
};
