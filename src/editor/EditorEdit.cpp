#include "editor/EditorEdit.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>

#include "controls/AccountText.h"
#include "framework/LockHost.h"

namespace {

bool HoldsLocalFiles(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls()) {
        return false;
    }
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) {
            return true;
        }
    }
    return false;
}

} // namespace

QString TextAsLines(QString text) {
    text = LinesForEditing(std::move(text));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

CEditorEdit::CEditorEdit(QWidget* parent) : SecretTextEdit(parent) {
    SetSecretCopies(true);
    SetPrivateSelection(true);
    viewport()->setMouseTracking(true);
}

void CEditorEdit::keyPressEvent(QKeyEvent* event) {
    const bool newLine = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (newLine && event->modifiers().testFlag(Qt::ShiftModifier)) {
        // Shift+Enter would break the line inside its paragraph; every line is a paragraph.
        QKeyEvent plain(event->type(), event->key(), event->modifiers() & ~Qt::ShiftModifier,
                        event->text(), event->isAutoRepeat(), event->count());
        SecretTextEdit::keyPressEvent(&plain);
        event->setAccepted(plain.isAccepted());
    } else {
        SecretTextEdit::keyPressEvent(event);
    }
    ResetIdleTimer();
    emit CaretMayHaveMoved();
}

void CEditorEdit::keyReleaseEvent(QKeyEvent* event) {
    QPlainTextEdit::keyReleaseEvent(event);
    ResetIdleTimer();
    emit CaretMayHaveMoved();
}

void CEditorEdit::mouseMoveEvent(QMouseEvent* event) {
    SecretTextEdit::mouseMoveEvent(event);
    ResetIdleTimer();
}

void CEditorEdit::mouseReleaseEvent(QMouseEvent* event) {
    QPlainTextEdit::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton) {
        ResetIdleTimer();
        emit CaretMayHaveMoved();
    }
}

void CEditorEdit::contextMenuEvent(QContextMenuEvent* event) {
    emit ContextMenuRequested(event->globalPos());
    event->accept();
}

// Files dropped on the text are not inserted: ignoring them lets the drag go on to the main
// window, which opens them as documents.
void CEditorEdit::dragEnterEvent(QDragEnterEvent* event) {
    if (HoldsLocalFiles(event->mimeData())) {
        event->ignore();
        return;
    }
    QPlainTextEdit::dragEnterEvent(event);
}

void CEditorEdit::dragMoveEvent(QDragMoveEvent* event) {
    if (HoldsLocalFiles(event->mimeData())) {
        event->ignore();
        return;
    }
    QPlainTextEdit::dragMoveEvent(event);
}

void CEditorEdit::dropEvent(QDropEvent* event) {
    if (HoldsLocalFiles(event->mimeData())) {
        event->ignore();
        return;
    }
    QPlainTextEdit::dropEvent(event);
}

void CEditorEdit::insertFromMimeData(const QMimeData* source) {
    if (source != nullptr && source->hasText()) {
        insertPlainText(TextAsLines(source->text()));
        ensureCursorVisible();
        return;
    }
    QPlainTextEdit::insertFromMimeData(source);
}
