// CCreateFolderView: "Create New Folder". The edit box empties after each folder, so several
// can be made in a row; the new folder is not selected.
#pragma once

#include "storage/CreateFormBase.h"
#include "storage/StorageViewSite.h"

#include "controls/EditEx.h"

class CCreateFolderView : public CCreateFormBase {
    Q_OBJECT
public:
    CCreateFolderView(CDocument* document, CStorageViewSite* site, QWidget* parent = nullptr)
        : CCreateFormBase(
              document, site, parent,
              {"createFolderView", "Create New Folder", "Enter Folder Name: ", "Add Folder"}) {}

protected:
    void Action(const QString& text) override {
        if (Site() != nullptr) {
            Site()->AddFolder(text, false);
        }
        Edit()->SetText(QString());
        Edit()->setFocus();
    }
};
