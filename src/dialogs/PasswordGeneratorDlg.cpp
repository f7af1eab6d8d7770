#include "dialogs/PasswordGeneratorDlg.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include <cmath>

#include "controls/SecretClipboard.h"
#include "crypto/PassphraseWords.h"
#include "dialogs/DialogWidgets.h"
#include "framework/LockHost.h"
#include "framework/ResultCodes.h"

namespace {

QCheckBox* MakeBox(const QString& text, const QString& name, QWidget* parent) {
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(name);
    box->setChecked(true);
    return box;
}

} // namespace

CPasswordGeneratorDlg::CPasswordGeneratorDlg(QWidget* parent) : CLockAwareDialog(parent) {
    setWindowTitle(QStringLiteral("Generate Password"));
    setObjectName(QStringLiteral("passwordGenerator"));

    characters_ = new QRadioButton(QStringLiteral("&Characters"), this);
    characters_->setObjectName(QStringLiteral("characters"));
    characters_->setChecked(true);
    length_ = new QSpinBox(this);
    length_->setObjectName(QStringLiteral("length"));
    length_->setRange(passgen::kMinLength, passgen::kMaxLength);
    length_->setValue(passgen::kDefaultLength);
    auto* lengthLabel = new QLabel(QStringLiteral("&Length:"), this);
    lengthLabel->setBuddy(length_);
    lower_ = MakeBox(QStringLiteral("Lower case (a-z)"), QStringLiteral("lower"), this);
    upper_ = MakeBox(QStringLiteral("Upper case (A-Z)"), QStringLiteral("upper"), this);
    digits_ = MakeBox(QStringLiteral("Digits (0-9)"), QStringLiteral("digits"), this);
    symbols_ = MakeBox(QStringLiteral("Symbols (!#$%...)"), QStringLiteral("symbols"), this);
    lookAlikes_ = MakeBox(QStringLiteral("Avoid look-alikes (I l 1 | O 0 o)"),
                          QStringLiteral("avoidLookAlikes"), this);
    lookAlikes_->setChecked(false);

    passphrase_ = new QRadioButton(QStringLiteral("&Passphrase of words"), this);
    passphrase_->setObjectName(QStringLiteral("passphrase"));
    words_ = new QSpinBox(this);
    words_->setObjectName(QStringLiteral("words"));
    words_->setRange(passgen::kMinWords, passgen::kMaxWords);
    words_->setValue(passgen::kDefaultWords);
    auto* wordsLabel = new QLabel(QStringLiteral("&Words:"), this);
    wordsLabel->setBuddy(words_);
    separator_ = new QLineEdit(QStringLiteral("-"), this);
    separator_->setObjectName(QStringLiteral("separator"));
    separator_->setMaxLength(8);
    separator_->setMaximumWidth(60);
    auto* separatorLabel = new QLabel(QStringLiteral("&Separator:"), this);
    separatorLabel->setBuddy(separator_);
    auto* group = new QButtonGroup(this);
    group->addButton(characters_);
    group->addButton(passphrase_);

    auto* grid = new QGridLayout;
    grid->addWidget(characters_, 0, 0, 1, 4);
    grid->addWidget(lengthLabel, 1, 1);
    grid->addWidget(length_, 1, 2);
    grid->addWidget(lower_, 2, 1, 1, 2);
    grid->addWidget(upper_, 2, 3);
    grid->addWidget(digits_, 3, 1, 1, 2);
    grid->addWidget(symbols_, 3, 3);
    grid->addWidget(lookAlikes_, 4, 1, 1, 3);
    grid->addWidget(passphrase_, 5, 0, 1, 4);
    grid->addWidget(wordsLabel, 6, 1);
    grid->addWidget(words_, 6, 2);
    grid->addWidget(separatorLabel, 7, 1);
    grid->addWidget(separator_, 7, 2);
    grid->setColumnMinimumWidth(0, 16);
    grid->setColumnStretch(3, 1);

    result_ = new QLineEdit(this);
    result_->setObjectName(QStringLiteral("generated"));
    result_->setReadOnly(true);
    result_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    result_->setMinimumWidth(380);
    entropy_ = new QLabel(this);
    entropy_->setObjectName(QStringLiteral("entropy"));

    auto* buttons = new QHBoxLayout;
    auto* again = new QPushButton(QStringLiteral("&Generate Again"), this);
    again->setObjectName(QStringLiteral("again"));
    copy_ = new QPushButton(QStringLiteral("C&opy"), this);
    copy_->setObjectName(QStringLiteral("copy"));
    use_ = new QPushButton(QStringLiteral("&Use"), this);
    use_->setObjectName(QStringLiteral("use"));
    use_->setDefault(true);
    buttons->addWidget(again);
    buttons->addStretch(1);
    buttons->addWidget(copy_);
    buttons->addWidget(use_);
    AddResultButton(this, buttons, QStringLiteral("Cancel"), QStringLiteral("cancel"), IDCANCEL);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addWidget(result_);
    layout->addWidget(entropy_);
    layout->addSpacing(4);
    layout->addLayout(buttons);

    for (QSpinBox* spin : {length_, words_}) {
        connect(spin, &QSpinBox::valueChanged, this, &CPasswordGeneratorDlg::OnRulesChanged);
    }
    for (QAbstractButton* box : std::initializer_list<QAbstractButton*>{
             characters_, lower_, upper_, digits_, symbols_, lookAlikes_}) {
        connect(box, &QAbstractButton::toggled, this, &CPasswordGeneratorDlg::OnRulesChanged);
    }
    connect(separator_, &QLineEdit::textChanged, this, &CPasswordGeneratorDlg::OnRulesChanged);
    connect(again, &QPushButton::clicked, this, &CPasswordGeneratorDlg::Regenerate);
    connect(copy_, &QPushButton::clicked, this, &CPasswordGeneratorDlg::OnCopy);
    connect(use_, &QPushButton::clicked, this, [this] { EndDialog(IDOK); });
    OnRulesChanged();
}

CPasswordGeneratorDlg::~CPasswordGeneratorDlg() {
    result_->clear();
}

QString CPasswordGeneratorDlg::Password() const {
    return result_->text();
}

void CPasswordGeneratorDlg::OnRulesChanged() {
    const bool chars = characters_->isChecked();
    for (QWidget* w :
         std::initializer_list<QWidget*>{length_, lower_, upper_, digits_, symbols_, lookAlikes_}) {
        w->setEnabled(chars);
    }
    words_->setEnabled(!chars);
    separator_->setEnabled(!chars);
    Regenerate();
}

void CPasswordGeneratorDlg::Regenerate() {
    SecretBuffer made;
    bool ok = false;
    QString problem = QStringLiteral("The random source failed; try again.");
    if (characters_->isChecked()) {
        const passgen::CharacterRules rules{length_->value(),      lower_->isChecked(),
                                            upper_->isChecked(),   digits_->isChecked(),
                                            symbols_->isChecked(), lookAlikes_->isChecked()};
        if (!passgen::CheckRules(rules).empty()) {
            problem = QStringLiteral("Choose at least one kind of character.");
        }
        ok = passgen::GeneratePassword(rules, made);
        bits_ = passgen::PasswordEntropyBits(rules);
    } else {
        const QByteArray separator = separator_->text().toUtf8();
        const passgen::PassphraseRules rules{words_->value(), separator.toStdString()};
        const auto list = PassphraseWords();
        ok = passgen::GeneratePassphrase(rules, list, made);
        bits_ = passgen::PassphraseEntropyBits(rules.words, list.size());
    }
    result_->setText(ok ? QString::fromUtf8(made.View().data(), static_cast<int>(made.Size()))
                        : QString());
    entropy_->setText(ok ? QStringLiteral("%1 bits of entropy").arg(std::floor(bits_)) : problem);
    use_->setEnabled(ok);
    copy_->setEnabled(ok);
}

void CPasswordGeneratorDlg::OnCopy() {
    SecretClipboard::Instance().PutText(result_->text(), nullptr);
    ResetIdleTimer();
}

QString CPasswordGeneratorDlg::Pick(QWidget* parent) {
    CPasswordGeneratorDlg dialog(parent);
    return dialog.DoModal() == IDOK ? dialog.Password() : QString();
}
