// The account tree's find bar: what an account is found by.
#include "passwords/LeftView.h"

#include <QTreeWidget>

#include "controls/AccountText.h"
#include "controls/TreeFinder.h"
#include "passwords/OmbrivaultDoc.h"

TreeFinder* CLeftView::MakeFinder() {
    auto textsOf = [this](QTreeWidgetItem* item, bool withNotes, QString& fields, QString& notes) {
        const std::optional<AccountKind> kind = AccountKindOf(item);
        const COmbrivaultDoc* doc = Doc();
        const Account* account =
            kind && doc != nullptr ? doc->GetAccount(*kind, SlotOf(item)) : nullptr;
        if (account == nullptr) {
            return false; // the document and the categories only lead to accounts
        }
        // The label is the account's name; the password is never searched.
        for (AccountField field : {AccountField::Address, AccountField::UserId}) {
            if (const std::string* value = account->Field(field); value && !value->empty()) {
                fields += AccountText(*value) + QLatin1Char('\n');
            }
        }
        if (withNotes) {
            if (const std::string* value = account->Field(AccountField::Notes)) {
                notes = AccountText(*value);
            }
        }
        return true;
    };
    return new TreeFinder(tree_, textsOf, QStringLiteral("Search notes"), this);
}

void CLeftView::StartFind() {
    finder_->Focus();
}
