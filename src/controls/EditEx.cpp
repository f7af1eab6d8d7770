#include "controls/EditEx.h"

#include <algorithm>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMimeData>
#include <QRegularExpression>
#include <QTextBlock>

#include "controls/AccountText.h"
#include "framework/ChildFrame.h"
#include "framework/CommandIds.h"
#include "framework/Document.h"

namespace {
CView* ViewOf(const QWidget* widget) {
    for (QWidget* w = widget->parentWidget(); w != nullptr; w = w->parentWidget()) {
        if (auto* view = qobject_cast<CView*>(w)) {
            return view;
        }
    }
    return nullptr;
}
} // namespace

CEditEx::CEditEx(bool multiLine, QWidget* parent) : SecretTextEdit(parent), multiLine_(multiLine) {
    background_ = palette().color(QPalette::Base);
    text_ = palette().color(QPalette::Text);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setTabChangesFocus(true);
    document()->setDocumentMargin(2);
    if (multiLine_) {
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    } else {
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }
    connect(this, &QPlainTextEdit::textChanged, this, &CEditEx::OnTextChanged);
}

QColor CEditEx::SetBackgroundColor(const QColor& colour) {
    const QColor previous = background_;
    background_ = colour;
    ApplyColours();
    return previous;
}

QColor CEditEx::SetTextColor(const QColor& colour) {
    const QColor previous = text_;
    text_ = colour;
    ApplyColours();
    return previous;
}

void CEditEx::ApplyColours() {
    QPalette p = palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(group, QPalette::Base, background_);
        p.setColor(group, QPalette::Text, text_);
    }
    setPalette(p);
    viewport()->update();
}

void CEditEx::SetFieldFont(int pixelHeight, const QString& face) {
    QFont font(face);
    font.setStyleHint(QFont::Serif);
    font.setPixelSize(pixelHeight);
    font.setWeight(QFont::Normal);
    setFont(font);
    updateGeometry();
}

QString CEditEx::Text() const {
    return multiLine_ ? LinesForStoring(toPlainText()) : toPlainText();
}

void CEditEx::SetText(const QString& text) {
    setPlainText(LinesForEditing(text));
}

void CEditEx::OnTextChanged() {
    // Qt also reports changes of layout and format; only changes of the text count.
    QString now = toPlainText();
    if (now == lastText_) {
        return;
    }
    lastText_ = std::move(now);
    emit Changed();
}

QString CEditEx::FirstLine() const {
    return document()->firstBlock().text().left(255);
}

int CEditEx::CaretLineLength() const {
    const QTextCursor cursor = textCursor();
    const QTextBlock block = cursor.block();
    const int start = block.position();
    const int length = block.length() - 1;
    const int overlap = std::max(0, std::min(cursor.selectionEnd(), start + length) -
                                        std::max(cursor.selectionStart(), start));
    return length - overlap;
}

bool CEditEx::HasSelection() const {
    return textCursor().hasSelection();
}

bool CEditEx::OffersUrl(const QString& firstLine, int lineLength) {
    return (firstLine.contains(QLatin1String("http://")) && lineLength > 7) ||
           (firstLine.contains(QLatin1String("https://")) && lineLength >= 9);
}

QString CEditEx::UrlTarget() const {
    const QString line = FirstLine();
    const qsizetype blank = line.indexOf(QLatin1Char(' '));
    return blank >= 0 ? line.left(blank) : line;
}

void CEditEx::Undo() {
    undo();
}

void CEditEx::Copy() {
    CopySelection();
}

void CEditEx::Cut() {
    CutSelection();
}

void CEditEx::Paste() {
    paste();
}

void CEditEx::Erase() {
    if (!isReadOnly()) {
        textCursor().removeSelectedText();
    }
}

void CEditEx::SelectAllText() {
    selectAll();
    ensureCursorVisible();
}

CommandRoute CEditEx::Route() const {
    CView* view = ViewOf(this);
    if (view == nullptr) {
        return CommandRoute({});
    }
    return CommandRoute({view, view->GetDocument(), view->GetParentFrame()});
}

QMenu* CEditEx::CreateContextMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("editContextMenu"));
    const CommandRoute route = Route();
    // Entries under ID_NONE are handled by no one, so they show disabled.
    const auto add = [&](const char* text, int id, const char* icon) {
        QAction* action = menu->addAction(QString::fromLatin1(text));
        if (icon != nullptr) {
            action->setIcon(QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(icon))));
        }
        CCmdUI ui(id);
        const bool handled = id != ID_NONE && route.Update(ui);
        action->setEnabled(handled && ui.enabled);
        action->setData(id);
    };
    add("&Undo\tCtrl+Z", ID_EDIT_UNDO, "undo");
    menu->addSeparator();
    add("Cu&t\tCtrl+X", ID_EDIT_CUT, "cut");
    add("&Copy\tCtrl+C", ID_EDIT_COPY, "copy");
    add("&Paste\tCtrl+V", ID_EDIT_PASTE, "paste");
    const int length = CaretLineLength();
    const bool lineHasText = length >= 1;
    add("&Delete\tDel", lineHasText && HasSelection() ? ID_EDIT_CLEAR : ID_NONE, nullptr);
    menu->addSeparator();
    add("Select A&ll\tCtrl+A", lineHasText ? ID_EDIT_SELECT_ALL : ID_NONE, "select_all");
    if (urlLaunch_) {
        menu->addSeparator();
        add("Go to the URL...\tCtrl+G",
            lineHasText && OffersUrl(FirstLine(), length) ? ID_OPEN_URL : ID_NONE, "web_site");
    }
    return menu;
}

void CEditEx::contextMenuEvent(QContextMenuEvent* event) {
    // The commands act on the field with the focus.
    setFocus(Qt::OtherFocusReason);
    QMenu* menu = CreateContextMenu(window());
    QAction* chosen = menu->exec(event->globalPos());
    const int id = chosen != nullptr ? chosen->data().toInt() : ID_NONE;
    delete menu;
    if (id != ID_NONE) {
        Route().Dispatch(id);
    }
}

void CEditEx::keyPressEvent(QKeyEvent* event) {
    if (!multiLine_ && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        event->ignore();
        return;
    }
    const QString typed = event->text();
    if (filter_ && !typed.isEmpty() && typed.front().isPrint() && !filter_(typed.front())) {
        QApplication::beep();
        return;
    }
    SecretTextEdit::keyPressEvent(event);
}

void CEditEx::insertFromMimeData(const QMimeData* source) {
    if (multiLine_ || source == nullptr || !source->hasText()) {
        QPlainTextEdit::insertFromMimeData(source);
        return;
    }
    // A single-line field takes the first line of what is pasted.
    QString text = source->text();
    const qsizetype end = text.indexOf(QRegularExpression(QStringLiteral("[\r\n]")));
    if (end >= 0) {
        text.truncate(end);
    }
    insertPlainText(text);
}

QSize CEditEx::sizeHint() const {
    if (multiLine_) {
        return QPlainTextEdit::sizeHint();
    }
    const int frame = 2 * frameWidth();
    const int margin = 2 * static_cast<int>(document()->documentMargin());
    return {200, fontMetrics().lineSpacing() + frame + margin + 2};
}

QSize CEditEx::minimumSizeHint() const {
    if (multiLine_) {
        return QPlainTextEdit::minimumSizeHint();
    }
    return {40, sizeHint().height()};
}

bool RunEditCommand(CEditEx* edit, int id) {
    const auto run = [edit](void (CEditEx::*operation)()) {
        if (edit != nullptr) {
            (edit->*operation)();
        }
        return true;
    };
    switch (id) {
    case ID_EDIT_UNDO:
        return run(&CEditEx::Undo);
    case ID_EDIT_CUT:
        return run(&CEditEx::Cut);
    case ID_EDIT_COPY:
        return run(&CEditEx::Copy);
    case ID_EDIT_PASTE:
        return run(&CEditEx::Paste);
    case ID_EDIT_CLEAR:
        return run(&CEditEx::Erase);
    case ID_EDIT_SELECT_ALL:
        return run(&CEditEx::SelectAllText);
    default:
        return false;
    }
}

bool UpdateEditCommand(const CEditEx* edit, CCmdUI& ui) {
    switch (ui.id) {
    case ID_EDIT_UNDO:
    case ID_EDIT_CLEAR:
    case ID_EDIT_SELECT_ALL:
        return true;
    case ID_EDIT_CUT:
    case ID_EDIT_COPY:
        ui.Enable(edit != nullptr && edit->HasSelection());
        return true;
    case ID_EDIT_PASTE: {
        const QMimeData* data = QApplication::clipboard()->mimeData();
        ui.Enable(edit != nullptr && !edit->isReadOnly() && data != nullptr && data->hasText());
        return true;
    }
    default:
        return false;
    }
}
