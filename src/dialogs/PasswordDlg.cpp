#include "dialogs/PasswordDlg.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

#include "dialogs/DialogLook.h"
#include "dialogs/DialogWidgets.h"
#include "framework/LockHost.h"
#include "framework/MessageBox.h"
#include "framework/ResultCodes.h"

namespace {
QLineEdit* MakePasswordEdit(QWidget* parent, const QString& name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setEchoMode(QLineEdit::Password);
    edit->setMinimumWidth(220);
    return edit;
}
} // namespace

CPasswordDlg::CPasswordDlg(QWidget* parent) : CLockAwareDialog(parent) {
    setWindowTitle(QStringLiteral("Set File Password"));
    KeepSizeOnceShown(this);
    edit_ = MakePasswordEdit(this, QStringLiteral("password"));
    confirm_ = MakePasswordEdit(this, QStringLiteral("confirm"));

    auto* grid = new QGridLayout;
    auto* passwordLabel = new QLabel(QStringLiteral("Password:"), this);
    auto* confirmLabel = new QLabel(QStringLiteral("Confirm Password:"), this);
    passwordLabel->setBuddy(edit_);
    confirmLabel->setBuddy(confirm_);
    grid->addWidget(passwordLabel, 0, 0);
    grid->addWidget(edit_, 0, 1);
    grid->addWidget(confirmLabel, 1, 0);
    grid->addWidget(confirm_, 1, 1);

    auto* advice = MakeTextLabel(
        QStringLiteral("Please select your File Password long enough (at least 8 characters). "
                       "Use a combination of uppercase, lowercase, numbers and special "
                       "characters (e.g. !, $, #, %)."),
        this, QStringLiteral("advice"));
    advice->setFont(TimesNewRoman(12));
    SetLabelColour(advice, kDarkBlue);
    auto* note = MakeTextLabel(
        QStringLiteral("NOTE: This password is NOT written to a file, but it is used as an "
                       "encryption key. If you forget your password, it cannot be recovered. "
                       "Please remember it!"),
        this, QStringLiteral("note"));
    note->setFont(TimesNewRoman(12));
    SetLabelColour(note, kDarkRed);

    strongBox_ = new QCheckBox(QString::fromLatin1(kStrongText), this);
    strongBox_->setObjectName(QStringLiteral("strong"));
    strongBox_->setToolTip(
        QStringLiteral("Derives the key with Argon2id, which makes every guess at the password "
                       "slow, and seals the file so that any change to it is noticed. The "
                       "Windows edition cannot open such a file."));
    strongBox_->hide();

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    save_ = new QPushButton(QStringLiteral("Save"), this);
    save_->setObjectName(QStringLiteral("save"));
    save_->setDefault(true);
    buttons->addWidget(save_);
    connect(save_, &QPushButton::clicked, this, &CPasswordDlg::OnSave);
    AddResultButton(this, buttons, QStringLiteral("Cancel"), QStringLiteral("cancel"), IDCANCEL);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(6);
    layout->addWidget(advice);
    layout->addWidget(note);
    layout->addSpacing(6);
    layout->addWidget(strongBox_);
    layout->addLayout(buttons);
    setFixedWidth(420);

    connect(edit_, &QLineEdit::textChanged, this, &CPasswordDlg::OnPasswordChange);
    connect(confirm_, &QLineEdit::textChanged, this, &CPasswordDlg::OnConfirmChange);
}

void CPasswordDlg::OfferStrongProtection(bool checked) {
    strong_ = checked;
    strongBox_->setChecked(checked);
    strongBox_->show();
}

CPasswordDlg::~CPasswordDlg() {
    edit_->clear();
    confirm_->clear();
}

void CPasswordDlg::OnInitDialog() {
    {
        // A known password shows in both edits; filling them is not typing.
        const QSignalBlocker blockEdit(edit_);
        const QSignalBlocker blockConfirm(confirm_);
        const QString current = password_.ToText();
        edit_->setText(current);
        confirm_->setText(current);
    }
    save_->setEnabled(!password_.Empty());
    if (changeMode_) {
        save_->setText(QStringLiteral("Set"));
    }
    edit_->setFocus();
}

void CPasswordDlg::OnPasswordChange(const QString& text) {
    password_.SetText(text);
    save_->setEnabled(!text.isEmpty());
    clearingConfirm_ = true;
    confirm_->clear();
    clearingConfirm_ = false;
    ResetIdleTimer();
}

void CPasswordDlg::OnConfirmChange(const QString& text) {
    if (clearingConfirm_) {
        return;
    }
    save_->setEnabled(!text.isEmpty());
    ResetIdleTimer();
}

void CPasswordDlg::OnSave() {
    const SecretBuffer first = PasswordBuffer::Encode(edit_->text());
    const SecretBuffer second = PasswordBuffer::Encode(confirm_->text());
    // The button is disabled for an empty password; a stray click must not set one.
    const bool same = first.View() == second.View() && !first.Empty();
    if (!same) {
        if (edit_->text().isEmpty() && confirm_->text().isEmpty()) {
            return;
        }
        ShowMessageBox(this, QString::fromLatin1(kMismatchText),
                       QString::fromLatin1(kMismatchCaption), MessageButtons::Ok,
                       MessageIcon::Exclamation);
        edit_->clear();
        confirm_->clear();
        edit_->setFocus();
        return;
    }
    password_.SetText(edit_->text());
    strong_ = !strongBox_->isHidden() && strongBox_->isChecked();
    EndDialog(IDOK);
}
