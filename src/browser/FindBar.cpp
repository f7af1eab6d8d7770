#include "browser/FindBar.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

CFindBar::CFindBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("findbar"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 2, 6, 2);
    row->setSpacing(6);

    auto* label = new QLabel(QStringLiteral("Fi&nd:"), this);
    edit_ = new QLineEdit(this);
    edit_->setObjectName(QStringLiteral("findtext"));
    edit_->setClearButtonEnabled(true);
    label->setBuddy(edit_);
    previous_ = new QToolButton(this);
    previous_->setObjectName(QStringLiteral("previous"));
    previous_->setText(QStringLiteral("&Previous"));
    previous_->setToolTip(QStringLiteral("Find the previous match (Shift+Enter)"));
    next_ = new QToolButton(this);
    next_->setObjectName(QStringLiteral("next"));
    next_->setText(QStringLiteral("Ne&xt"));
    next_->setToolTip(QStringLiteral("Find the next match (Enter, F3)"));
    matchCase_ = new QCheckBox(QStringLiteral("Match &case"), this);
    matchCase_->setObjectName(QStringLiteral("matchcase"));
    result_ = new QLabel(this);
    result_->setObjectName(QStringLiteral("result"));
    auto* close = new QToolButton(this);
    close->setObjectName(QStringLiteral("close"));
    close->setText(QStringLiteral("Close"));
    close->setToolTip(QStringLiteral("Hide the find bar (Escape)"));
    close->setAutoRaise(true);

    row->addWidget(label);
    row->addWidget(edit_, 1);
    row->addWidget(previous_);
    row->addWidget(next_);
    row->addWidget(matchCase_);
    row->addWidget(result_, 1);
    row->addWidget(close);

    // Typing looks as it goes, from where the page stands.
    connect(edit_, &QLineEdit::textEdited, this, [this] {
        result_->clear(); // the count of the text before is no longer true
        emit FindRequested(false);
    });
    connect(previous_, &QToolButton::clicked, this, [this] { emit FindRequested(true); });
    connect(next_, &QToolButton::clicked, this, [this] { emit FindRequested(false); });
    connect(matchCase_, &QCheckBox::toggled, this, [this] {
        result_->clear();
        emit FindRequested(false);
    });
    connect(close, &QToolButton::clicked, this, &CFindBar::Close);
    edit_->installEventFilter(this);
    hide();
}

void CFindBar::Open() {
    show();
    edit_->setFocus(Qt::ShortcutFocusReason);
    edit_->selectAll();
}

QString CFindBar::Text() const {
    return edit_->text();
}

bool CFindBar::CaseSensitive() const {
    return matchCase_->isChecked();
}

void CFindBar::ShowResult(int current, int count) {
    if (edit_->text().isEmpty()) {
        result_->clear();
    } else if (count <= 0) {
        result_->setText(QStringLiteral("Not found"));
    } else {
        result_->setText(QStringLiteral("%1 of %2").arg(current).arg(count));
    }
}

QString CFindBar::ResultText() const {
    return result_->text();
}

void CFindBar::Close() {
    hide();
    result_->clear();
    emit Closed();
}

bool CFindBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edit_ &&
        (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress)) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (key->key() == Qt::Key_Escape || enter) {
            // These keys belong to the bar, not to the window's accelerators.
            if (event->type() == QEvent::ShortcutOverride) {
                event->accept();
            } else if (enter) {
                emit FindRequested((key->modifiers() & Qt::ShiftModifier) != 0);
            } else {
                Close();
            }
            return event->type() == QEvent::KeyPress;
        }
    }
    return QWidget::eventFilter(watched, event);
}
