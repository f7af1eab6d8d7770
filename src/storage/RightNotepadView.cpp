#include "storage/RightNotepadView.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

#include "controls/AccountText.h"
#include "framework/CommandIds.h"
#include "framework/FrameHosts.h"
#include "framework/LockHost.h"
#include "storage/RightViewDrops.h"
#include "storage/StorageItem.h"
#include "storage/StorageViewSite.h"
#include "storage/ViewCommandMenu.h"

// Takes plain text only: rich text and objects offered by a paste or a drop are refused. A
// note is a secret: copies are marked and cleared, its selection stays private.
class CRightNotepadView::PlainEditor : public SecretTextEdit {
public:
    explicit PlainEditor(QWidget* parent) : SecretTextEdit(parent) {
        SetSecretCopies(true);
        SetPrivateSelection(true);
    }

protected:
    bool canInsertFromMimeData(const QMimeData* source) const override {
        return source != nullptr && source->hasText() && !source->hasUrls();
    }
    void insertFromMimeData(const QMimeData* source) override {
        if (canInsertFromMimeData(source)) {
            insertPlainText(source->text());
        }
    }
};

namespace {
// Notes keep their lines separated by CR LF.
QString NoteText(const std::string& stored) {
    return LinesForEditing(AccountText(stored));
}
std::string StoredNote(const QString& text) {
    return AccountBytes(LinesForStoring(text));
}
} // namespace

CRightNotepadView::CRightNotepadView(CDocument* document, CStorageViewSite* site, QWidget* parent)
    : CView(document, parent), site_(site), edit_(new PlainEditor(this)) {
    setObjectName(QStringLiteral("notepadView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(edit_);
    edit_->setObjectName(QStringLiteral("note"));
    QFont font(QStringLiteral("Courier New"), 10);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    edit_->setFont(font);
    edit_->setLineWrapMode(QPlainTextEdit::NoWrap);
    edit_->setContextMenuPolicy(Qt::NoContextMenu);
    edit_->viewport()->installEventFilter(this);
    edit_->installEventFilter(this);
    new StorageDropTarget(edit_->viewport(), site_);
    connect(edit_, &QPlainTextEdit::textChanged, this, &CRightNotepadView::OnTextChanged);
}

void CRightNotepadView::ShowNote(int32_t index) {
    index_ = index;
    const StorageItem* item = site_ != nullptr ? site_->Item(index) : nullptr;
    const size_t length = item != nullptr ? item->text.size() : 0;
    loading_ = true;
    edit_->clear();
    tooLong_ = length > kLongestNoteShown;
    edit_->setReadOnly(tooLong_);
    edit_->setPlaceholderText(
        tooLong_ ? QStringLiteral("This note is %1 MB long, more than the %2 MB this view opens. "
                                  "Export it to read it with another program.")
                       .arg(length >> 20)
                       .arg(kLongestNoteShown >> 20)
                 : QString());
    if (item != nullptr && !tooLong_) {
        // As the text window loads a file: one insertion into the empty document, recorded
        // nowhere for undo (which also forgets what came before).
        QTextDocument* document = edit_->document();
        document->setUndoRedoEnabled(false);
        QTextCursor(document).insertText(NoteText(item->text));
        document->setUndoRedoEnabled(true);
        edit_->setTextCursor(QTextCursor(document));
    }
    loading_ = false;
    edit_->setFocus();
}

void CRightNotepadView::Forget() {
    index_ = -1;
    loading_ = true;
    edit_->clear();
    tooLong_ = false;
    edit_->setReadOnly(false);
    edit_->setPlaceholderText(QString());
    loading_ = false;
}

void CRightNotepadView::OnTextChanged() {
    if (loading_ || tooLong_) {
        return;
    }
    // A note the tree has deleted is not written to.
    StorageItem* item = site_ != nullptr ? site_->Item(index_) : nullptr;
    if (item == nullptr || !item->Is(StorageItemType::Text)) {
        return;
    }
    item->text = StoredNote(edit_->toPlainText());
    item->size = static_cast<int64_t>(item->text.size());
    if (CDocument* doc = GetDocument()) {
        doc->SetModifiedFlag(true);
    }
}

QString CRightNotepadView::CaretText() const {
    const QTextCursor cursor = edit_->textCursor();
    return QString::asprintf(" Ln %d, Col %d", cursor.blockNumber() + 1,
                             cursor.positionInBlock() + 1);
}

void CRightNotepadView::ShowCaret() {
    if (CStatusHost* status = CStatusHost::Of(this)) {
        status->SetStatusPaneText(kStatusCaret, CaretText());
    }
    ResetIdleTimer();
}

bool CRightNotepadView::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::MouseButtonRelease:
        if (event->type() != QEvent::MouseButtonRelease ||
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            // After the editor has moved the caret.
            QMetaObject::invokeMethod(this, &CRightNotepadView::ShowCaret, Qt::QueuedConnection);
        }
        break;
    case QEvent::MouseButtonPress:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            QMetaObject::invokeMethod(this, &CRightNotepadView::ShowCaret, Qt::QueuedConnection);
        }
        break;
    case QEvent::ContextMenu: {
        ResetIdleTimer();
        QMenu* menu = CreateContextMenu(edit_);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(static_cast<QContextMenuEvent*>(event)->globalPos());
        return true;
    }
    default:
        break;
    }
    return CView::eventFilter(watched, event);
}

bool CRightNotepadView::OnCommand(int id) {
    switch (id) {
    case ID_EDIT_UNDO:
        edit_->undo();
        break;
    case ID_EDIT_CUT:
        edit_->CutSelection();
        break;
    case ID_EDIT_COPY:
        edit_->CopySelection();
        break;
    case ID_EDIT_PASTE:
        edit_->paste();
        break;
    case ID_EDIT_SELECT_ALL:
        edit_->selectAll();
        break;
    case ID_EDIT_CLEAR:
        edit_->textCursor().removeSelectedText();
        break;
    default:
        return false;
    }
    ResetIdleTimer();
    return true;
}

bool CRightNotepadView::OnUpdateCommand(CCmdUI& ui) {
    const bool selection = edit_->textCursor().hasSelection();
    switch (ui.id) {
    case ID_EDIT_UNDO:
        ui.Enable(edit_->document()->isUndoAvailable());
        return true;
    case ID_EDIT_CUT:
    case ID_EDIT_COPY:
    case ID_EDIT_CLEAR:
        ui.Enable(selection);
        return true;
    case ID_EDIT_PASTE:
        ui.Enable(edit_->canPaste());
        return true;
    case ID_EDIT_SELECT_ALL:
        ui.Enable(!edit_->document()->isEmpty());
        return true;
    default:
        return false;
    }
}

QMenu* CRightNotepadView::CreateContextMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    const auto add = [this, menu](const QString& text, int id) {
        AddCommandEntry(*menu, this, text, id);
    };
    add(QStringLiteral("&Undo\tCtrl+Z"), ID_EDIT_UNDO);
    menu->addSeparator();
    add(QStringLiteral("Cu&t\tCtrl+X"), ID_EDIT_CUT);
    add(QStringLiteral("&Copy\tCtrl+C"), ID_EDIT_COPY);
    add(QStringLiteral("&Paste\tCtrl+V"), ID_EDIT_PASTE);
    add(QStringLiteral("Select A&ll\tCtrl+A"), ID_EDIT_SELECT_ALL);
    return menu;
}
