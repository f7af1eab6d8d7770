#include "editor/FindReplaceDlg.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "framework/LockHost.h"
#include "framework/ResultCodes.h"

namespace {

QPushButton* MakeButton(const QString& text, const QString& name, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

} // namespace

CFindReplaceDlg::CFindReplaceDlg(QWidget* parent) : CLockAwareDialog(parent) {
    setModal(false);

    auto* findLabel = new QLabel(QStringLiteral("Fi&nd what:"), this);
    findEdit_ = new QLineEdit(this);
    findEdit_->setObjectName(QStringLiteral("findWhat"));
    findEdit_->setMinimumWidth(220);
    findLabel->setBuddy(findEdit_);
    replaceLabel_ = new QLabel(QStringLiteral("Re&place with:"), this);
    replaceEdit_ = new QLineEdit(this);
    replaceEdit_->setObjectName(QStringLiteral("replaceWith"));
    replaceLabel_->setBuddy(replaceEdit_);

    auto* fields = new QGridLayout;
    fields->addWidget(findLabel, 0, 0);
    fields->addWidget(findEdit_, 0, 1);
    fields->addWidget(replaceLabel_, 1, 0);
    fields->addWidget(replaceEdit_, 1, 1);

    wholeWord_ = new QCheckBox(QStringLiteral("Match &whole word only"), this);
    wholeWord_->setObjectName(QStringLiteral("wholeWord"));
    matchCase_ = new QCheckBox(QStringLiteral("Match &case"), this);
    matchCase_->setObjectName(QStringLiteral("matchCase"));
    auto* checks = new QVBoxLayout;
    checks->addWidget(wholeWord_);
    checks->addWidget(matchCase_);
    checks->addStretch(1);

    direction_ = new QGroupBox(QStringLiteral("Direction"), this);
    up_ = new QRadioButton(QStringLiteral("&Up"), direction_);
    up_->setObjectName(QStringLiteral("up"));
    down_ = new QRadioButton(QStringLiteral("&Down"), direction_);
    down_->setObjectName(QStringLiteral("down"));
    down_->setChecked(true);
    auto* directions = new QHBoxLayout(direction_);
    directions->addWidget(up_);
    directions->addWidget(down_);

    auto* options = new QHBoxLayout;
    options->addLayout(checks);
    options->addWidget(direction_, 0, Qt::AlignBottom);

    auto* left = new QVBoxLayout;
    left->addLayout(fields);
    left->addLayout(options);
    left->addStretch(1);

    findNext_ = MakeButton(QStringLiteral("&Find Next"), QStringLiteral("findNext"), this);
    findNext_->setDefault(true);
    replace_ = MakeButton(QStringLiteral("&Replace"), QStringLiteral("replace"), this);
    replaceAll_ = MakeButton(QStringLiteral("Replace &All"), QStringLiteral("replaceAll"), this);
    QPushButton* cancel = MakeButton(QStringLiteral("Cancel"), QStringLiteral("cancel"), this);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(findNext_);
    buttons->addWidget(replace_);
    buttons->addWidget(replaceAll_);
    buttons->addWidget(cancel);
    buttons->addStretch(1);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addSpacing(6);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(findNext_, &QPushButton::clicked, this, [this] { Emit(&CFindReplaceDlg::FindNext); });
    connect(replace_, &QPushButton::clicked, this, [this] { Emit(&CFindReplaceDlg::Replace); });
    connect(replaceAll_, &QPushButton::clicked, this,
            [this] { Emit(&CFindReplaceDlg::ReplaceAll); });
    connect(cancel, &QPushButton::clicked, this, [this] { EndDialog(IDCANCEL); });
    connect(findEdit_, &QLineEdit::textChanged, this, [this] {
        UpdateButtons();
        ResetIdleTimer();
    });
    connect(replaceEdit_, &QLineEdit::textChanged, this, [] { ResetIdleTimer(); });
    for (QAbstractButton* option :
         {static_cast<QAbstractButton*>(wholeWord_), static_cast<QAbstractButton*>(matchCase_),
          static_cast<QAbstractButton*>(up_), static_cast<QAbstractButton*>(down_)}) {
        connect(option, &QAbstractButton::clicked, this, [] { ResetIdleTimer(); });
    }
    UpdateButtons();
}

void CFindReplaceDlg::Open(Mode mode, const QString& findWhat) {
    mode_ = mode;
    const bool replacing = mode == Mode::Replace;
    setWindowTitle(replacing ? QStringLiteral("Replace") : QStringLiteral("Find"));
    replaceLabel_->setVisible(replacing);
    replaceEdit_->setVisible(replacing);
    replace_->setVisible(replacing);
    replaceAll_->setVisible(replacing);
    direction_->setVisible(!replacing);
    if (!findWhat.isEmpty()) {
        findEdit_->setText(findWhat);
    }
    UpdateButtons();
    show();
    raise();
    activateWindow();
    findEdit_->setFocus();
    findEdit_->selectAll();
}

QString CFindReplaceDlg::FindWhat() const {
    return findEdit_->text();
}

QString CFindReplaceDlg::ReplaceWith() const {
    return replaceEdit_->text();
}

FindOptions CFindReplaceDlg::Options() const {
    FindOptions options;
    options.matchCase = matchCase_->isChecked();
    options.wholeWord = wholeWord_->isChecked();
    options.down = mode_ == Mode::Replace || down_->isChecked();
    return options;
}

void CFindReplaceDlg::UpdateButtons() {
    const bool any = !findEdit_->text().isEmpty();
    findNext_->setEnabled(any);
    replace_->setEnabled(any);
    replaceAll_->setEnabled(any);
}

void CFindReplaceDlg::Emit(void (CFindReplaceDlg::*signal)()) {
    ResetIdleTimer();
    emit(this->*signal)();
}
