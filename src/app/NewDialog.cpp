#include "app/NewDialog.h"

#include <QBoxLayout>
#include <QCloseEvent>
#include <QFrame>
#include <QIcon>
#include <QLabel>

#include "controls/ShadeButton.h"
#include "dialogs/DialogLook.h"
#include "dialogs/DialogWidgets.h"
#include "framework/LockHost.h"

namespace {
constexpr int kChoiceWidth = 300;
constexpr int kChoiceIconSide = 32;
const QColor kChoiceTint(55, 55, 255);
} // namespace

CShadeButtonST* MakeChoiceButton(QWidget* parent, const QString& name, const QString& text,
                                 const QString& tooltip, const QString& iconPath) {
    auto* button = new CShadeButtonST(text, parent);
    button->setObjectName(name);
    button->setToolTip(tooltip);
    button->setIcon(QIcon(iconPath));
    button->setIconSize(QSize(kChoiceIconSide, kChoiceIconSide));
    button->SetTint(kChoiceTint);
    button->setMinimumWidth(kChoiceWidth);
    // Enter presses the choice that has the focus, as Space does, not the dialog's first one.
    button->setAutoDefault(true);
    return button;
}

CNewDialog::CNewDialog(QWidget* parent) : CLockAwareDialog(parent) {
    setWindowTitle(QStringLiteral("Create New Document..."));

    auto* label = new QLabel(QStringLiteral("Select type of the document:"), this);
    label->setObjectName(QStringLiteral("label"));
    label->setFont(TimesNewRomanPixels(14));
    SetLabelColour(label, QColor(0, 0, 150));

    auto* line = new QFrame(this);
    line->setObjectName(QStringLiteral("separator"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(8);
    layout->setContentsMargins(14, 12, 14, 14);
    layout->addWidget(label);
    layout->addWidget(AddChoice("storage", "Encrypted Storage...",
                                "New Encrypted Storage for Images, PDF Files and Passwords...",
                                "doc_storage", Storage));
    layout->addWidget(line);
    layout->addWidget(
        AddChoice("text", "Encrypted Text...", "New Encrypted Text Document...", "doc_text", Text));
    layout->addWidget(AddChoice("passwords", "Encrypted Passwords...",
                                "New Encrypted Passwords Document...", "doc_passwords", Passwords));
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

CShadeButtonST* CNewDialog::AddChoice(const char* name, const char* text, const char* tooltip,
                                      const char* icon, int result) {
    CShadeButtonST* button = MakeChoiceButton(
        this, QString::fromLatin1(name), QString::fromLatin1(text), QString::fromLatin1(tooltip),
        QStringLiteral(":/icons/%1.svg").arg(QLatin1String(icon)));
    connect(button, &QPushButton::clicked, this, [this, result] { EndDialog(result); });
    return button;
}

void CNewDialog::OnLockClose() {
    if (CLockHost* host = CLockHost::Current()) {
        host->SetReopenFlag(ReopenFlag::New);
    }
}

void CNewDialog::closeEvent(QCloseEvent* event) {
    // The close box ends the chooser with 0; Escape goes through reject() and gives Cancel.
    if (isVisible()) {
        EndDialog(Closed);
    }
    event->accept();
}
