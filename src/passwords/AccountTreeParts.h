// The pieces of the account tree that its source files share: the category labels and the
// tree widget.
#pragma once

#include <QTreeWidget>

#include "passwords/Accounts.h"

namespace account_tree {

// The label of a kind's category item and the kind's name in the delete question.
struct KindTexts {
    const char* category;
    const char* name;
};

inline const KindTexts& TextsOf(AccountKind kind) {
    static constexpr KindTexts kTexts[] = {
        {"Web Accounts", "Web"}, {"Email Accounts", "Email"}, {"Other Accounts", "Other"}};
    return kTexts[static_cast<int>(kind)];
}

// The tree widget, with its items reachable from model indexes for the label editor.
class AccountTree : public QTreeWidget {
public:
    using QTreeWidget::QTreeWidget;
    QTreeWidgetItem* ItemAt(const QModelIndex& index) const { return itemFromIndex(index); }
    bool Editing() const { return state() == EditingState; }
};

} // namespace account_tree
