// CCreateWebAcc: "New Web Account". The new account is selected and its editor shown.
#pragma once

#include "storage/CreateFormBase.h"
#include "storage/StorageViewSite.h"

class CCreateWebAcc : public CCreateFormBase {
    Q_OBJECT
public:
    CCreateWebAcc(CDocument* document, CStorageViewSite* site, QWidget* parent = nullptr)
        : CCreateFormBase(document, site, parent,
                          {"createWebAcc", "New Web Account", "Enter Web Account Name: ", "Add"}) {}

protected:
    void Action(const QString& text) override {
        if (Site() != nullptr) {
            Site()->AddItem(text, StorageItemType::WebAccount, true);
        }
    }
};
