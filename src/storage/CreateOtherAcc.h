// CCreateOtherAcc: "New Other Account". The new account is selected and its editor shown.
#pragma once

#include "storage/CreateFormBase.h"
#include "storage/StorageViewSite.h"

class CCreateOtherAcc : public CCreateFormBase {
    Q_OBJECT
public:
    CCreateOtherAcc(CDocument* document, CStorageViewSite* site, QWidget* parent = nullptr)
        : CCreateFormBase(
              document, site, parent,
              {"createOtherAcc", "New Other Account", "Enter Other Account Name: ", "Add"}) {}

protected:
    void Action(const QString& text) override {
        if (Site() != nullptr) {
            Site()->AddItem(text, StorageItemType::OtherAccount, true);
        }
    }
};
