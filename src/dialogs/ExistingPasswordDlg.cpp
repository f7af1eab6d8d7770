#include "dialogs/ExistingPasswordDlg.h"

#include <QBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "dialogs/DialogLook.h"
#include "dialogs/DialogWidgets.h"
#include "framework/LockHost.h"
#include "framework/ResultCodes.h"

CExistingPasswordDlg::CExistingPasswordDlg(QWidget* parent) : CLockAwareDialog(parent) {
    setWindowTitle(QStringLiteral("Enter Password"));
    label_ = new QLabel(QStringLiteral("File Password:"), this);
    label_->setObjectName(QStringLiteral("label"));
    edit_ = new QLineEdit(this);
    edit_->setObjectName(QStringLiteral("password"));
    edit_->setEchoMode(QLineEdit::Password);
    edit_->setMinimumWidth(220);
    label_->setBuddy(edit_);

    auto* row = new QHBoxLayout;
    row->addWidget(label_);
    row->addWidget(edit_, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setObjectName(QStringLiteral("ok"));
    ok_->setDefault(true);
    buttons->addWidget(ok_);
    connect(ok_, &QPushButton::clicked, this, &CExistingPasswordDlg::OnOk);
    AddResultButton(this, buttons, QStringLiteral("Cancel"), QStringLiteral("cancel"), IDCANCEL);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(edit_, &QLineEdit::textChanged, this, &CExistingPasswordDlg::OnEditChange);
}

CExistingPasswordDlg::~CExistingPasswordDlg() {
    edit_->clear();
}

void CExistingPasswordDlg::OnInitDialog() {
    SetCloseOnLock(autoClose_);
    if (screenMode_) {
        label_->setText(QStringLiteral("Screen Password:"));
    }
    ok_->setEnabled(!edit_->text().isEmpty());
    edit_->setFocus();
}

void CExistingPasswordDlg::OnEditChange(const QString& text) {
    password_.SetText(text);
    ok_->setEnabled(!text.isEmpty());
    ResetIdleTimer();
}

void CExistingPasswordDlg::OnOk() {
    password_.SetText(edit_->text());
    EndDialog(IDOK);
}
