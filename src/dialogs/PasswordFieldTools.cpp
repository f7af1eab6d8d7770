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
    // A flat button no taller than the text, so the forms stay within their windows.
    generate_->setFlat(true);
    generate_->setStyleSheet(QStringLiteral("QPushButton { padding: 0px 6px; }"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
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

void PasswordFieldTools::MoveGenerateButtonTo(QBoxLayout* row) {
    layout()->removeWidget(generate_);
    row->addWidget(generate_, 0, Qt::AlignBottom);
}

void PasswordFieldTools::SetUserWords(std::function<std::vector<std::string>()> words) {
    userWords_ = std::move(words);
    Refresh();
}

void PasswordFieldTools::Refresh() {
    if (userWords_) {
        meter_->SetUserWords(userWords_());
    }
    const QString password = field_->Text();
    meter_->SetPassword(password);
    // An empty field has nothing to weigh: the meter takes no room in the form until then.
    meter_->setVisible(!password.isEmpty());
}
