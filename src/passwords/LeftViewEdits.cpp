// The account tree's changes to accounts: adding, deleting and renaming them.
#include "passwords/LeftView.h"

#include <QTreeWidget>

#include "controls/AccountText.h"
#include "framework/MessageBox.h"
#include "framework/ResultCodes.h"
#include "passwords/AccountForms.h"
#include "passwords/AccountTreeParts.h"
#include "passwords/OmbrivaultChildFrame.h"
#include "passwords/OmbrivaultDoc.h"

using namespace account_tree;

QTreeWidgetItem* CLeftView::AddAccount(AccountKind kind, const QString& name) {
    COmbrivaultDoc* doc = Doc();
    if (doc == nullptr || root_ == nullptr) {
        return nullptr;
    }
    const int slot = doc->AddAccount(kind, AccountBytes(name));
    doc->SetModifiedFlag(true);
    QTreeWidgetItem* item = InsertAccountItem(kind, name, slot);
    tree_->setCurrentItem(item);
    return item;
}

QTreeWidgetItem* CLeftView::AddWebAccount(const QString& name) {
    return AddAccount(AccountKind::Web, name);
}

QTreeWidgetItem* CLeftView::AddMailAccount(const QString& name) {
    return AddAccount(AccountKind::Mail, name);
}

QTreeWidgetItem* CLeftView::AddOtherAccount(const QString& name) {
    return AddAccount(AccountKind::Other, name);
}

void CLeftView::DeleteSelectedAccount() {
    QTreeWidgetItem* item = tree_->currentItem();
    const std::optional<AccountKind> kind = AccountKindOf(item);
    COmbrivaultDoc* doc = Doc();
    if (!kind || doc == nullptr || doc->GetAccount(*kind, SlotOf(item)) == nullptr) {
        return;
    }
    const QString question = QStringLiteral("Are you sure you want to delete \"%1\" %2 Account?")
                                 .arg(item->text(0), QLatin1String(TextsOf(*kind).name));
    if (ShowMessageBox(nullptr, question, QStringLiteral("Ombrivault Storage"),
                       MessageButtons::YesNo, MessageIcon::Question) != MessageResult::Yes) {
        return;
    }
    doc->DeleteAccount(*kind, SlotOf(item));
    ForgetStyles(item);
    accounts_[static_cast<int>(*kind)].Remove(item);
    delete item;
    doc->SetModifiedFlag(true);
}

void CLeftView::RenameSelectedAccount() {
    QTreeWidgetItem* item = tree_->currentItem();
    const std::optional<AccountKind> kind = AccountKindOf(item);
    const COmbrivaultDoc* doc = Doc();
    if (kind && doc != nullptr && doc->GetAccount(*kind, SlotOf(item)) != nullptr) {
        tree_->editItem(item, 0);
    }
}

void CLeftView::EndLabelEdit(QTreeWidgetItem* item, const QString& typed) {
    if (item == nullptr) {
        return;
    }
    const QString text = typed.left(kMaxLabelLength);
    const std::optional<AccountKind> kind = AccountKindOf(item);
    COmbrivaultDoc* doc = Doc();
    Account* account = kind && doc != nullptr ? doc->GetAccount(*kind, SlotOf(item)) : nullptr;
    if (kind && item->parent() == CategoryItem(*kind)) {
        accounts_[static_cast<int>(*kind)].Relabel(item, text);
        FitColumnTo(item);
    } else {
        item->setText(0, text);
    }
    if (account == nullptr) {
        return;
    }
    account->name = AccountBytes(text);
    if (COmbrivaultChildFrame* frame = Frame()) {
        frame->Form(*kind)->LoadAccount(SlotOf(item));
        frame->ShowPane(COmbrivaultChildFrame::FormPane(*kind));
    }
    doc->SetModifiedFlag(true);
}
