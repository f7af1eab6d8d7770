// CRightOtherAccView: an other account item (description, PIN, notes).
#pragma once

#include "storage/RightAccountView.h"

class CRightOtherAccView : public CRightAccountView {
    Q_OBJECT
public:
    CRightOtherAccView(CDocument* document, CStorageViewSite* site, QWidget* parent = nullptr)
        : CRightAccountView(document, site, parent, StorageItemType::OtherAccount) {}
};
