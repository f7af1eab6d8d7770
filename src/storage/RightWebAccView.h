// CRightWebAccView: a web account item (address, user id, password, notes); Open URL opens
// the focused field's address with the desktop's default handler.
#pragma once

#include "storage/RightAccountView.h"

class CRightWebAccView : public CRightAccountView {
    Q_OBJECT
public:
    CRightWebAccView(CDocument* document, CStorageViewSite* site, QWidget* parent = nullptr)
        : CRightAccountView(document, site, parent, StorageItemType::WebAccount) {}
};
