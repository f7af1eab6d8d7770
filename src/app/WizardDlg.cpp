#include "app/WizardDlg.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QDesktopServices>
#include <QLabel>
#include <QUrl>

#include "app/AppSettings.h"
#include "app/NewDialog.h"
#include "base/ProductInfo.h"
#include "controls/ShadeButton.h"
#include "dialogs/DialogLook.h"
#include "dialogs/DialogWidgets.h"
#include "framework/CommandIds.h"
#include "framework/LockHost.h"
#include "framework/MessageBox.h"
#include "framework/ResultCodes.h"

CWizardDlg::CWizardDlg(QWidget* parent) : CLockAwareDialog(parent) {
    setWindowTitle(QStringLiteral("Welcome"));

    auto* heading = new QLabel(QStringLiteral("Welcome to Ombrivault Storage!"), this);
    heading->setObjectName(QStringLiteral("heading"));
    heading->setFont(TimesNewRomanPixels(20, true));
    SetLabelColour(heading, QColor(0, 0, 150));

    const QString create = QStringLiteral("Create a new encrypted document...");
    const QString open = QStringLiteral("Open an existing encrypted document...");
    const QString web = QStringLiteral("Ombrivault Storage on the Web...");
    auto* createButton = MakeChoiceButton(this, QStringLiteral("create"), create, create,
                                          QStringLiteral(":/icons/wizard_new.svg"));
    auto* openButton = MakeChoiceButton(this, QStringLiteral("open"), open, open,
                                        QStringLiteral(":/icons/wizard_open.svg"));
    auto* webButton = MakeChoiceButton(this, QStringLiteral("web"), web, web,
                                       QStringLiteral(":/icons/wizard_web.svg"));
    webButton->setCursor(Qt::PointingHandCursor);
    connect(createButton, &QPushButton::clicked, this, [this] { EndAndSend(ID_FILE_NEW); });
    connect(openButton, &QPushButton::clicked, this, [this] { EndAndSend(ID_FILE_OPEN); });
    connect(webButton, &QPushButton::clicked, this,
            [this] { OpenUrlOrSay(this, QUrl(QString::fromLatin1(kProductWebSite))); });

    showAtStartup_ = new QCheckBox(QStringLiteral("Show Welcome dialog at startup."), this);
    showAtStartup_->setObjectName(QStringLiteral("showAtStartup"));

    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(8);
    layout->setContentsMargins(16, 14, 16, 12);
    layout->addWidget(heading);
    layout->addSpacing(6);
    layout->addWidget(createButton);
    layout->addWidget(openButton);
    layout->addWidget(webButton);
    layout->addSpacing(6);
    layout->addWidget(showAtStartup_);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // Set here rather than when shown: the destructor stores it even for a wizard that
    // never came up.
    showAtStartup_->setChecked(AppSettings::GetShowWizard() != 0);
}

CWizardDlg::~CWizardDlg() {
    StoreShowAtStartup();
}

void CWizardDlg::OnLockClose() {
    if (CLockHost* host = CLockHost::Current()) {
        host->SetReopenFlag(ReopenFlag::Wizard);
    }
}

void CWizardDlg::EndAndSend(int command) {
    EndDialog(IDOK);
    if (receiver_) {
        receiver_(command);
    }
    StoreShowAtStartup();
}

void CWizardDlg::StoreShowAtStartup() const {
    AppSettings::SetShowWizard(showAtStartup_->isChecked() ? 1 : 0);
}
