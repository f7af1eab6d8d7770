// CEditEx: the edit field of the account forms and add panes - its own background and text
// colours and font, an optional character filter, and a context menu with Undo, Cut, Copy,
// Paste, Delete, Select All and "Go to the URL...". Single-line fields scroll sideways;
// the notes field is multi-line. A sensitive field (a password) copies as a secret and keeps
// its selection private; other fields may copy as secrets too (see SecretTextEdit).
#pragma once

#include <functional>

#include <QColor>

#include "controls/SecretTextEdit.h"
#include "framework/CmdTarget.h"

class QMenu;

class CEditEx : public SecretTextEdit {
    Q_OBJECT
public:
    explicit CEditEx(bool multiLine, QWidget* parent = nullptr);

    bool IsMultiLine() const { return multiLine_; }

    // Each returns the previous colour.
    QColor SetBackgroundColor(const QColor& colour);
    QColor SetTextColor(const QColor& colour);
    QColor BackgroundColor() const { return background_; }
    QColor TextColor() const { return text_; }
    // Regular weight, `pixelHeight` pixels high; a serif face stands in where `face` is missing.
    void SetFieldFont(int pixelHeight, const QString& face);

    // A typed character the filter rejects is refused with a beep.
    using CharFilter = std::function<bool(QChar)>;
    void SetCharFilter(CharFilter filter) { filter_ = std::move(filter); }
    // Whether the context menu offers "Go to the URL..." (on when created).
    bool UrlLaunch() const { return urlLaunch_; }
    // Copy and Cut of a sensitive field put a secret on the clipboard, and selecting its text
    // does not feed the primary selection.
    void SetSensitive(bool on) {
        SetSecretCopies(on);
        SetPrivateSelection(on);
    }

    // The text; a multi-line field separates its lines by CR LF, as the stored notes do.
    QString Text() const;
    // Replaces the text (lines separated by CR LF, LF or CR); the change notification follows
    // as for typing.
    void SetText(const QString& text);

    // The first line, at most 255 characters.
    QString FirstLine() const;
    // The length of the caret's line without its selected characters.
    int CaretLineLength() const;
    bool HasSelection() const;
    // The rule of "Go to the URL...": the first line holds "http://" and the line is longer
    // than 7 characters, or holds "https://" and is at least 9 long.
    static bool OffersUrl(const QString& firstLine, int lineLength);
    // What Open URL hands to the desktop: the first line up to its first blank.
    QString UrlTarget() const;

    // The edit operations of the shared edit commands and the context menu.
    void Undo();
    void Cut();
    void Copy();
    void Paste();
    void Erase();
    void SelectAllText();

    // The context menu with its entries enabled as the command routing says (not shown).
    QMenu* CreateContextMenu(QWidget* parent);
    // The route the field's commands take: the view it lives in, its document and frame.
    CommandRoute Route() const;

signals:
    // Every change of the text: typing, paste, cut, undo, SetText.
    void Changed();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

private:
    void ApplyColours();
    void OnTextChanged();

    bool multiLine_;
    bool urlLaunch_ = true;
    QColor background_;
    QColor text_;
    CharFilter filter_;
    QString lastText_;
};

// The shared edit commands (Undo, Cut, Copy, Paste, Clear, Select All) on the focused field of
// a pane: `edit`, or null when no field has the focus (the command is then handled and does
// nothing). False for any other command.
bool RunEditCommand(CEditEx* edit, int id);
// Their states: Cut and Copy need a selection, Paste a writable field and text on the
// clipboard. False for any other command.
bool UpdateEditCommand(const CEditEx* edit, CCmdUI& ui);
