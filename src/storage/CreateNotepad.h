// CCreateNotepad: "New Text Document". The new note is selected, so its editor replaces the
// form.
#pragma once

#include "storage/CreateFormBase.h"
#include "storage/StorageViewSite.h"

class CCreateNotepad : public CCreateFormBase {
    Q_OBJECT
public:
    CCreateNotepad(CDocument* document, CStorageViewSite* site, QWidget* parent = nullptr)
        : CCreateFormBase(
              document, site, parent,
              {"createNotepad", "New Text Document", "Enter Document Name: ", "Create"}) {}

protected:
    void Action(const QString& text) override {
        if (Site() != nullptr) {
            Site()->AddItem(text, StorageItemType::Text, true);
        }
    }
};
