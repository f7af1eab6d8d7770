#include "passwords/AccountForms.h"

#include <QBoxLayout>
#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

#include "controls/AccountText.h"
#include "controls/EditEx.h"
#include "controls/TreeFinder.h"
#include "dialogs/PasswordFieldTools.h"
#include "framework/CommandIds.h"
#include "framework/FrameHosts.h"
#include "framework/LockHost.h"
#include "framework/MessageBox.h"
#include "passwords/LeftView.h"
#include "passwords/OmbrivaultDoc.h"

CAccountForm::CAccountForm(CDocument* document, QWidget* parent, FormKind form)
    : CEditPane(document, parent, form.mouseMoveIsActivity), form_(std::move(form)) {
    // The web form starts at the first slot; the others get theirs from their first load.
    slot_ = form_.kind == AccountKind::Web ? 0 : -1;

    // The gaps are set one by one: a label sits close above its field, fields keep apart, so
    // the largest form still fits the document window a default main window opens with.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 8, 20, 8);
    layout->setSpacing(0);

    auto* top = new QHBoxLayout;
    top->setSpacing(4);
    auto* icon = new QLabel(this);
    icon->setPixmap(PasswordsIcon(form_.icon).pixmap(32, 32));
    top->addWidget(icon);
    top->addWidget(MakePaneLabel(QString::fromLatin1(FieldLabel(form_.kind, AccountField::Name)),
                                 17, kPaneBlue, this, QStringLiteral("heading")));
    name_ = MakePaneLabel(QString(), 16, Qt::black, this, QStringLiteral("name"));
    name_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    top->addWidget(name_, 1);
    layout->addLayout(top);
    layout->addSpacing(4);

    for (const FormField& f : form_.onScreen) {
        const bool notes = f.field == AccountField::Notes;
        auto* label =
            MakePaneLabel(QString::fromLatin1(FieldLabel(form_.kind, f.field)), 12, kPaneBlue, this,
                          QString::fromLatin1(f.objectName) + QStringLiteral("Label"));
        CEditEx* edit = MakeField(notes, notes ? 12 : 15, QString::fromLatin1(f.objectName));
        edit->SetSensitive(f.field == AccountField::Password);
        label->setBuddy(edit);
        const bool password = f.field == AccountField::Password;
        if (password) {
            // The Generate button on the label's line and the meter in the gap under the
            // field: the form is no taller for them.
            passwordTools_ = new PasswordFieldTools(edit, this);
            auto* labelRow = new QHBoxLayout;
            labelRow->addWidget(label, 1);
            passwordTools_->MoveGenerateButtonTo(labelRow);
            layout->addLayout(labelRow);
        } else {
            layout->addWidget(label);
        }
        layout->addSpacing(1);
        layout->addWidget(edit, notes ? 1 : 0);
        if (password) {
            layout->addWidget(passwordTools_);
        } else {
            layout->addSpacing(4);
        }
        fields_.emplace_back(f.field, edit);
        const AccountField field = f.field;
        connect(edit, &CEditEx::Changed, this,
                [this, field, edit] { OnFieldChanged(field, edit); });
    }

    if (passwordTools_ != nullptr) {
        passwordTools_->SetUserWords([this] {
            const CEditEx* user = Field(AccountField::UserId);
            return std::vector<std::string>{name_->text().toStdString(),
                                            user ? user->Text().toStdString() : std::string()};
        });
    }

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    QPushButton* addMore = MakeShadedButton(
        QStringLiteral("&Add More..."), PasswordsIcon("add_more"), this, QStringLiteral("addMore"));
    QPushButton* remove = MakeShadedButton(QStringLiteral("&Delete"), PasswordsIcon("delete"), this,
                                           QStringLiteral("delete"));
    QPushButton* save = MakeShadedButton(QStringLiteral("&Save"), PasswordsIcon("save"), this,
                                         QStringLiteral("save"));
    buttons->addWidget(addMore);
    buttons->addWidget(remove);
    buttons->addWidget(save);
    buttons->addStretch(1);
    layout->addSpacing(4);
    layout->addLayout(buttons);

    connect(addMore, &QPushButton::clicked, this, &CAccountForm::OnAddMore);
    connect(remove, &QPushButton::clicked, this, &CAccountForm::OnDelete);
    connect(save, &QPushButton::clicked, this, &CAccountForm::OnSave);
}

CEditEx* CAccountForm::Field(AccountField field) const {
    for (const auto& [f, edit] : fields_) {
        if (f == field) {
            return edit;
        }
    }
    return nullptr;
}

std::vector<CEditEx*> CAccountForm::FieldsOnScreen() const {
    std::vector<CEditEx*> edits;
    for (const auto& entry : fields_) {
        edits.push_back(entry.second);
    }
    return edits;
}

void CAccountForm::LoadAccount(int slot) {
    COmbrivaultDoc* doc = Doc();
    if (doc == nullptr) {
        return;
    }
    const bool wasModified = doc->IsModified();
    const Account* account = doc->GetAccount(form_.kind, slot);
    if (account == nullptr) {
        return;
    }
    slot_ = slot;
    name_->setText(AccountText(account->name));
    for (AccountField field : form_.loadOrder) {
        if (CEditEx* edit = Field(field); edit != nullptr && account->Field(field) != nullptr) {
            edit->SetText(AccountText(*account->Field(field)));
        }
    }
    doc->SetModifiedFlag(wasModified);
}

void CAccountForm::OnFieldChanged(AccountField field, CEditEx* edit) {
    if (COmbrivaultDoc* doc = Doc()) {
        if (Account* account = doc->GetAccount(form_.kind, slot_)) {
            if (std::string* value = account->Field(field)) {
                *value = AccountBytes(edit->Text());
                doc->SetModifiedFlag(true);
                if (CLeftView* tree = Tree()) {
                    tree->Finder()->Invalidate(); // its address or user id may be found now
                }
            }
        }
    }
    ResetIdleTimer();
}

void CAccountForm::OnAddMore() {
    if (CLeftView* tree = Tree()) {
        tree->SelectCategory(form_.kind);
    }
    ResetIdleTimer();
}

void CAccountForm::OnDelete() {
    if (CLeftView* tree = Tree()) {
        tree->DeleteSelectedAccount();
    }
    ResetIdleTimer();
    if (form_.deleteMarksModified) {
        if (CDocument* doc = GetDocument()) {
            doc->SetModifiedFlag(true);
        }
    }
}

void CAccountForm::OnSave() {
    ResetIdleTimer();
    // Saved from the main window's route once this click is done, as the Save command is.
    if (CCommandHost* host = CCommandHost::Current()) {
        host->PostCommand(ID_FILE_SAVE);
    }
}

void CAccountForm::OpenUrl() {
    const CEditEx* edit = FocusedEdit();
    if (edit == nullptr) {
        return;
    }
    const QString target = edit->UrlTarget();
    if (!target.isEmpty()) {
        OpenUrlOrSay(this, QUrl::fromUserInput(target));
    }
}

bool CAccountForm::OnCommand(int id) {
    if (id == ID_OPEN_URL && form_.opensUrls) {
        OpenUrl();
        return true;
    }
    return CEditPane::OnCommand(id);
}

bool CAccountForm::OnUpdateCommand(CCmdUI& ui) {
    if (ui.id == ID_OPEN_URL && form_.opensUrls) {
        return true;
    }
    return CEditPane::OnUpdateCommand(ui);
}

CWebAccView::CWebAccView(CDocument* document, QWidget* parent)
    : CAccountForm(document, parent,
                   {AccountKind::Web,
                    "web",
                    {{AccountField::Address, "address"},
                     {AccountField::UserId, "userId"},
                     {AccountField::Password, "password"},
                     {AccountField::Notes, "notes"}},
                    {AccountField::Address, AccountField::Notes, AccountField::Password,
                     AccountField::UserId},
                    true,
                    true,
                    true}) {}

CMailAccView::CMailAccView(CDocument* document, QWidget* parent)
    : CAccountForm(document, parent,
                   {AccountKind::Mail,
                    "mail",
                    {{AccountField::Address, "address"},
                     {AccountField::WebInterface, "webInterface"},
                     {AccountField::UserId, "userId"},
                     {AccountField::Password, "password"},
                     {AccountField::SmtpServer, "smtpServer"},
                     {AccountField::PopServer, "popServer"},
                     {AccountField::Notes, "notes"}},
                    {AccountField::Address, AccountField::WebInterface, AccountField::Password,
                     AccountField::UserId, AccountField::SmtpServer, AccountField::PopServer,
                     AccountField::Notes},
                    true,
                    false,
                    false}) {}

COtherAccView::COtherAccView(CDocument* document, QWidget* parent)
    : CAccountForm(document, parent,
                   {AccountKind::Other,
                    "other",
                    {{AccountField::UserId, "userId"},
                     {AccountField::Password, "password"},
                     {AccountField::Notes, "notes"}},
                    {AccountField::Password, AccountField::UserId, AccountField::Notes},
                    false,
                    false,
                    true}) {}
