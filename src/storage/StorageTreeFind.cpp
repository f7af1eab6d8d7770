// The storage tree's find bar: items are found by their names, and with "Search notes"
// ticked by the text of their notes and the fields of their accounts (never an
// account's password).
#include "storage/PictureLeftView.h"

#include <QCheckBox>
#include <QTreeWidget>

#include "controls/AccountText.h"
#include "controls/TreeFinder.h"
#include "storage/ItemXml.h"
#include "storage/PictureDoc.h"

TreeFinder* CPictureLeftView::MakeFinder() {
    auto textsOf = [this](QTreeWidgetItem* item, bool withNotes, QString&, QString& notes) {
        const StorageItem* record = RecordOf(item);
        if (record == nullptr) {
            return false; // the root only leads to the items
        }
        if (!withNotes) {
            return true;
        }
        if (record->Is(StorageItemType::Text)) {
            notes = AccountText(record->text);
        } else if (record->Is(StorageItemType::WebAccount) ||
                   record->Is(StorageItemType::OtherAccount)) {
            const ItemAccount account =
                ReadItemXml(static_cast<StorageItemType>(record->type), record->text);
            for (const std::string* field : {&account.address, &account.userId, &account.notes}) {
                if (!field->empty()) {
                    notes += AccountText(*field) + QLatin1Char('\n');
                }
            }
        }
        return true;
    };
    // The box keeps the short label the account tree's has, so the bar fits the narrow tree
    // column; its tip says that accounts are searched too.
    auto* finder = new TreeFinder(tree_, textsOf, QStringLiteral("Search notes"), this);
    finder->NotesBox()->setToolTip(
        QStringLiteral("Also find items by the text of notes and the fields of accounts"));
    return finder;
}

void CPictureLeftView::StartFind() {
    finder_->Focus();
}

void CPictureLeftView::ItemTextChanged() {
    finder_->Invalidate();
}
