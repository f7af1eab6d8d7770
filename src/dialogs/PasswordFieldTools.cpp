#include "dialogs/PasswordFieldTools.h"

#include <QBoxLayout>
#include <QPushButton>

#include "controls/EditEx.h"
#include "dialogs/PasswordGeneratorDlg.h"
#include "dialogs/StrengthMeter.h"

PasswordFieldTools::PasswordFieldTools(CEditEx* field, QWidget* parent)
    : QWidget(parent), field_(field) {
    setObjectName(QStringLiteral("passwordTools"));
    meter_ = new StrengthMeter(this);
    generate_ = new QPushButton(QStringLiteral("Generate..."), this);
    generate_->setObjectName(QStringLiteral("generate"));
    generate_->setAutoDefault(false);
    generate_->setFocusPolicy(Qt::TabFocus);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 2, 0, 2);
    row->addWidget(meter_, 1, Qt::AlignTop);
    row->addWidget(generate_, 0, Qt::AlignTop);
    connect(field_, &CEditEx::Changed, this, &PasswordFieldTools::Refresh);
    connect(generate_, &QPushButton::clicked, this, [this] {
        const QString password = CPasswordGeneratorDlg::Pick(window());
        if (!password.isEmpty()) {
            field_->SetText(password); // written into the account like typing
        }
    });
    Refresh();
}

void PasswordFieldTools::SetUserWords(std::function<std::vector<std::string>()> words) {
    userWords_ = std::move(words);
    Refresh();
}

void PasswordFieldTools::Refresh() {
    if (userWords_) {
        meter_->SetUserWords(userWords_());
    }
    meter_->SetPassword(field_->Text());
}
