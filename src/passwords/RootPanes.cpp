#include "passwords/RootPanes.h"

#include <QBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include "controls/AccountText.h"
#include "controls/EditEx.h"
#include "framework/LockHost.h"
#include "passwords/LeftView.h"
#include "passwords/OmbrivaultDoc.h"

BlankRootView::BlankRootView(CDocument* document, QWidget* parent)
    : CPasswordsPane(document, parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 20);
    layout->setSpacing(12);
    layout->addWidget(MakePaneLabel(QStringLiteral("Add Accounts:"), 17, kPaneBlue, this,
                                    QStringLiteral("heading")));
    struct Button {
        const char* text;
        const char* tooltip;
        const char* icon;
        const char* name;
        AccountKind kind;
    };
    const Button buttons[] = {
        {"Add new Web Account...", "Add new Web Account...", "web", "addWeb", AccountKind::Web},
        {"Add new Email Account...", "Add new Mail Account...", "mail", "addMail",
         AccountKind::Mail},
        {"Add Other Accounts...", "Add Other Account...", "other", "addOther", AccountKind::Other},
    };
    for (const Button& b : buttons) {
        QPushButton* button = MakeShadedButton(QString::fromLatin1(b.text), PasswordsIcon(b.icon),
                                               this, QString::fromLatin1(b.name));
        button->setToolTip(QString::fromLatin1(b.tooltip));
        button->setIconSize(QSize(32, 32));
        button->setMinimumSize(260, 52);
        button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        const AccountKind kind = b.kind;
        connect(button, &QPushButton::clicked, this, [this, kind] {
            if (CLeftView* tree = Tree()) {
                tree->SelectCategory(kind);
            }
            ResetIdleTimer();
        });
        layout->addWidget(button);
    }
    layout->addStretch(1);
}

CAddAccountPane::CAddAccountPane(CDocument* document, QWidget* parent, AccountKind kind,
                                 const Texts& texts)
    : CEditPane(document, parent), kind_(kind) {
    name_ = MakeField(false, 15, QStringLiteral("name"));
    add_ = MakeShadedButton(QString::fromLatin1(texts.add), PasswordsIcon("add"), this,
                            QStringLiteral("add"));
    cancel_ = MakeShadedButton(QString::fromLatin1(texts.cancel), PasswordsIcon("delete"), this,
                               QStringLiteral("cancel"));
    add_->setEnabled(false);
    add_->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add_);
    buttons->addWidget(cancel_);
    buttons->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 20);
    layout->setSpacing(8);
    layout->addWidget(MakePaneLabel(QString::fromLatin1(texts.heading), 17, kPaneBlue, this,
                                    QStringLiteral("heading")));
    layout->addSpacing(8);
    layout->addWidget(MakePaneLabel(QStringLiteral("Account Name:"), 12, kPaneBlue, this,
                                    QStringLiteral("nameLabel")));
    layout->addWidget(name_);
    layout->addSpacing(4);
    layout->addLayout(buttons);
    layout->addStretch(1);

    connect(name_, &CEditEx::Changed, this, &CAddAccountPane::OnNameChanged);
    connect(add_, &QPushButton::clicked, this, &CAddAccountPane::OnAdd);
    connect(cancel_, &QPushButton::clicked, this, &CAddAccountPane::OnCancel);
}

void CAddAccountPane::OnNameChanged() {
    add_->setEnabled(!name_->Text().isEmpty());
    ResetIdleTimer();
    if (CDocument* doc = GetDocument()) {
        doc->SetModifiedFlag(true);
    }
}

void CAddAccountPane::OnAdd() {
    const QString name = name_->Text();
    if (CLeftView* tree = Tree()) {
        tree->AddAccount(kind_, name);
        // What the user types next is the new account's first field, however the add pane
        // was reached (the form it came from would otherwise get back its last focus).
        tree->FocusShownPane(true);
    }
    name_->SetText(QString());
    ResetIdleTimer();
    if (CDocument* doc = GetDocument()) {
        doc->SetModifiedFlag(true);
    }
}

void CAddAccountPane::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && add_->isEnabled()) {
        OnAdd();
        return;
    }
    CEditPane::keyPressEvent(event);
}

void CAddAccountPane::OnCancel() {
    name_->SetText(QString());
    if (CLeftView* tree = Tree()) {
        tree->SelectRoot();
    }
    ResetIdleTimer();
}

WebAccountsRootView::WebAccountsRootView(CDocument* document, QWidget* parent)
    : CAddAccountPane(document, parent, AccountKind::Web,
                      {"Add New Web Account:", "&Add", "&Cancel"}) {}

EMailAccountsRootView::EMailAccountsRootView(CDocument* document, QWidget* parent)
    : CAddAccountPane(document, parent, AccountKind::Mail,
                      {"Add New Email Account:", "Add", "&Cancel"}) {}

OtherAccountsRootView::OtherAccountsRootView(CDocument* document, QWidget* parent)
    : CAddAccountPane(document, parent, AccountKind::Other,
                      {"Add Other Account:", "&Add", "&Cancel"}) {}
