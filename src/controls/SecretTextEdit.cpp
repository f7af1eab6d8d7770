#include "controls/SecretTextEdit.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>

#include "controls/SecretClipboard.h"
#include "framework/Document.h"

namespace {
// Sets a flag for the lifetime of the object.
class FlagScope {
public:
    explicit FlagScope(bool& flag) : flag_(flag), before_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = before_; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag_;
    bool before_;
};
} // namespace

SecretTextEdit::SecretTextEdit(QWidget* parent) : QPlainTextEdit(parent) {}

QString SecretTextEdit::SelectionText() const {
    QString text = textCursor().selectedText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text;
}

const void* SecretTextEdit::OwnerDocument() const {
    for (QWidget* w = parentWidget(); w != nullptr; w = w->parentWidget()) {
        if (auto* view = qobject_cast<CView*>(w)) {
            return static_cast<const void*>(view->GetDocument());
        }
    }
    return nullptr;
}

void SecretTextEdit::CopySelection() {
    if (!textCursor().hasSelection()) {
        return;
    }
    if (secretCopies_) {
        SecretClipboard::Instance().PutText(SelectionText(), OwnerDocument());
        return;
    }
    const FlagScope exporting(exporting_);
    copy();
}

void SecretTextEdit::CutSelection() {
    if (!textCursor().hasSelection() || isReadOnly()) {
        return;
    }
    CopySelection();
    textCursor().removeSelectedText();
}

void SecretTextEdit::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        CopySelection();
        return;
    }
    if (event->matches(QKeySequence::Cut)) {
        CutSelection();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void SecretTextEdit::mouseMoveEvent(QMouseEvent* event) {
    // A move with the left button down on the selection starts a drag, which takes the data.
    if (event->buttons().testFlag(Qt::LeftButton)) {
        const FlagScope exporting(exporting_);
        QPlainTextEdit::mouseMoveEvent(event);
        return;
    }
    QPlainTextEdit::mouseMoveEvent(event);
}

QMimeData* SecretTextEdit::createMimeDataFromSelection() const {
    if (privateSelection_ && !exporting_) {
        return nullptr;
    }
    QMimeData* data = QPlainTextEdit::createMimeDataFromSelection();
    if (data != nullptr && secretCopies_) {
        SecretClipboard::MarkSecret(*data);
    }
    return data;
}
