#include "storage/RightAccountView.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QUrl>

#include "controls/AccountText.h"
#include "controls/EditEx.h"
#include "dialogs/PaneLook.h"
#include "documents/AccountFields.h"
#include "framework/CommandIds.h"
#include "framework/FrameHosts.h"
#include "framework/LockHost.h"
#include "framework/MessageBox.h"
#include "storage/CreateFormBase.h"
#include "storage/ItemXml.h"
#include "storage/RightViewDrops.h"
#include "storage/StorageItem.h"
#include "storage/StorageViewSite.h"

namespace {

constexpr int kMaxUrlLength = 255;

AccountKind KindOf(StorageItemType type) {
    return type == StorageItemType::WebAccount ? AccountKind::Web : AccountKind::Other;
}

AccountField AccountFieldOf(CRightAccountView::Field field) {
    switch (field) {
    case CRightAccountView::Field::Address:
        return AccountField::Address;
    case CRightAccountView::Field::UserId:
        return AccountField::UserId;
    case CRightAccountView::Field::Password:
        return AccountField::Password;
    case CRightAccountView::Field::Notes:
        break;
    }
    return AccountField::Notes;
}

std::string* ItemField(ItemAccount& account, CRightAccountView::Field field) {
    switch (field) {
    case CRightAccountView::Field::Address:
        return &account.address;
    case CRightAccountView::Field::UserId:
        return &account.userId;
    case CRightAccountView::Field::Password:
        return &account.password;
    case CRightAccountView::Field::Notes:
        break;
    }
    return &account.notes;
}

} // namespace

CRightAccountView::CRightAccountView(CDocument* document, CStorageViewSite* site, QWidget* parent,
                                     StorageItemType type)
    : CView(document, parent), site_(site), type_(type) {
    const bool web = type == StorageItemType::WebAccount;
    const AccountKind kind = KindOf(type);
    setObjectName(web ? QStringLiteral("webAccountView") : QStringLiteral("otherAccountView"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 14, 20, 14);
    layout->setSpacing(3);

    location_ = AddLocationLine(layout, this);
    layout->addSpacing(6);

    auto* top = new QHBoxLayout;
    top->addWidget(MakePaneLabel(QString::fromLatin1(FieldLabel(kind, AccountField::Name)), 17,
                                 kPaneBlue, this, QStringLiteral("heading")));
    name_ = MakePaneLabel(QString(), 16, Qt::black, this, QStringLiteral("name"));
    name_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    top->addWidget(name_, 1);
    layout->addLayout(top);
    layout->addSpacing(8);

    std::vector<std::pair<Field, const char*>> onScreen;
    if (web) {
        onScreen.emplace_back(Field::Address, "address");
    }
    onScreen.emplace_back(Field::UserId, "userId");
    onScreen.emplace_back(Field::Password, "password");
    onScreen.emplace_back(Field::Notes, "notes");
    for (const auto& [field, objectName] : onScreen) {
        const bool notes = field == Field::Notes;
        auto* label = MakePaneLabel(QString::fromLatin1(FieldLabel(kind, AccountFieldOf(field))),
                                    12, kPaneBlue, this);
        auto* edit = new CEditEx(notes, this);
        edit->setObjectName(QString::fromLatin1(objectName));
        edit->SetBackgroundColor(kFieldYellow);
        edit->SetTextColor(Qt::black);
        edit->SetFieldFont(notes ? 12 : 15, kTimesNewRoman);
        // Whatever a storage keeps is a secret; a password's selection also stays private.
        edit->SetSensitive(field == Field::Password);
        edit->SetSecretCopies(true);
        label->setBuddy(edit);
        layout->addWidget(label);
        layout->addWidget(edit, notes ? 1 : 0);
        layout->addSpacing(4);
        fields_.emplace_back(field, edit);
        connect(edit, &CEditEx::Changed, this, &CRightAccountView::OnFieldChanged);
        new StorageDropTarget(edit->viewport(), site_);
    }

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    addMore_ = MakeShadedButton(QStringLiteral("&Add More..."), PasswordsIcon("add_more"), this,
                                QStringLiteral("addMore"));
    delete_ = MakeShadedButton(QStringLiteral("&Delete"), PasswordsIcon("delete"), this,
                               QStringLiteral("delete"));
    save_ = MakeShadedButton(QStringLiteral("&Save"), PasswordsIcon("save"), this,
                             QStringLiteral("save"));
    buttons->addWidget(addMore_);
    buttons->addWidget(delete_);
    buttons->addWidget(save_);
    buttons->addStretch(1);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    connect(addMore_, &QPushButton::clicked, this, &CRightAccountView::OnAddMore);
    connect(delete_, &QPushButton::clicked, this, &CRightAccountView::OnDelete);
    connect(save_, &QPushButton::clicked, this, &CRightAccountView::OnSave);
    new StorageDropTarget(this, site_);
}

CEditEx* CRightAccountView::FieldEdit(Field field) const {
    for (const auto& [f, edit] : fields_) {
        if (f == field) {
            return edit;
        }
    }
    return nullptr;
}

void CRightAccountView::ShowAccount(int32_t index, const QString& label, const QString& path) {
    index_ = index;
    const StorageItem* item = site_ != nullptr ? site_->Item(index) : nullptr;
    ItemAccount account;
    if (item != nullptr) {
        account = ReadItemXml(type_, item->text);
    }
    loading_ = true;
    name_->setText(AccountText(account.name));
    for (const auto& [field, edit] : fields_) {
        edit->SetText(AccountText(*ItemField(account, field)));
    }
    loading_ = false;
    location_->setText(path);
    name_->setText(label);
    fields_.front().second->setFocus();
}

void CRightAccountView::Forget() {
    index_ = -1;
    loading_ = true;
    name_->clear();
    for (const auto& entry : fields_) {
        entry.second->SetText(QString());
    }
    loading_ = false;
}

void CRightAccountView::OnFieldChanged() {
    ResetIdleTimer();
    if (loading_) {
        return;
    }
    // An item the tree has deleted is not written to.
    StorageItem* item = site_ != nullptr ? site_->Item(index_) : nullptr;
    if (item == nullptr || !item->Is(type_)) {
        return;
    }
    ItemAccount account;
    account.name = AccountBytes(name_->text());
    for (const auto& [field, edit] : fields_) {
        *ItemField(account, field) = AccountBytes(edit->Text());
    }
    item->text = WriteItemXml(type_, account);
    item->size = static_cast<int64_t>(item->text.size());
    if (CDocument* doc = GetDocument()) {
        doc->SetModifiedFlag(true);
    }
}

void CRightAccountView::OnAddMore() {
    ResetIdleTimer();
    if (site_ != nullptr) {
        site_->ShowForm(type_ == StorageItemType::WebAccount ? StorageForm::NewWebAccount
                                                             : StorageForm::NewOtherAccount,
                        location_->text());
    }
}

void CRightAccountView::OnDelete() {
    ResetIdleTimer();
    if (site_ != nullptr) {
        site_->DeleteSelected();
    }
}

void CRightAccountView::OnSave() {
    ResetIdleTimer();
    if (CCommandHost* host = CCommandHost::Current()) {
        host->PostCommand(ID_FILE_SAVE);
    }
}

CEditEx* CRightAccountView::FocusedField() const {
    for (const auto& entry : fields_) {
        if (entry.second->hasFocus()) {
            return entry.second;
        }
    }
    return nullptr;
}

QString CRightAccountView::UrlTarget() const {
    const CEditEx* edit = FocusedField();
    return edit != nullptr ? edit->FirstLine().left(kMaxUrlLength).trimmed() : QString();
}

void CRightAccountView::OpenUrl() {
    ResetIdleTimer();
    const QString target = UrlTarget();
    if (!target.isEmpty()) {
        OpenUrlOrSay(this, QUrl::fromUserInput(target));
    }
}

bool CRightAccountView::OnCommand(int id) {
    if (id == ID_OPEN_URL && type_ == StorageItemType::WebAccount) {
        OpenUrl();
        return true;
    }
    if (!RunEditCommand(FocusedField(), id)) {
        return false;
    }
    ResetIdleTimer();
    return true;
}

bool CRightAccountView::OnUpdateCommand(CCmdUI& ui) {
    if (ui.id == ID_OPEN_URL && type_ == StorageItemType::WebAccount) {
        return true;
    }
    return UpdateEditCommand(FocusedField(), ui);
}
