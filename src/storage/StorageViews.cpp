#include "storage/StorageViews.h"

#include <QVBoxLayout>

#include "controls/AccountText.h"
#include "framework/CmdTarget.h"
#include "framework/CommandIds.h"
#include "storage/AddPictureView.h"
#include "storage/CreateFolderView.h"
#include "storage/CreateNotepad.h"
#include "storage/CreateOtherAcc.h"
#include "storage/CreateWebAcc.h"
#include "storage/PDFView.h"
#include "storage/RightImageView.h"
#include "storage/RightMainView.h"
#include "storage/RightNotepadView.h"
#include "storage/RightOtherAccView.h"
#include "storage/RightPDFView.h"
#include "storage/RightWebAccView.h"
#include "storage/StorageItem.h"
#include "storage/StorageViewSite.h"

namespace {

CView* MakeView(StorageViewKind kind, CDocument* doc, CStorageViewSite* site, QWidget* parent) {
    switch (kind) {
    case StorageViewKind::FolderOverview:
        return new CPictureRigthMainView(doc, site, parent);
    case StorageViewKind::ImageViewer:
        return new CPictureRightImageView(doc, site, parent);
    case StorageViewKind::CreateFolder:
        return new CCreateFolderView(doc, site, parent);
    case StorageViewKind::AddPicture:
        return new CAddPictureView(doc, site, parent);
    case StorageViewKind::CreateNote:
        return new CCreateNotepad(doc, site, parent);
    case StorageViewKind::NoteEditor:
        return new CRightNotepadView(doc, site, parent);
    case StorageViewKind::CreateWebAccount:
        return new CCreateWebAcc(doc, site, parent);
    case StorageViewKind::CreateOtherAccount:
        return new CCreateOtherAcc(doc, site, parent);
    case StorageViewKind::WebAccountEditor:
        return new CRightWebAccView(doc, site, parent);
    case StorageViewKind::OtherAccountEditor:
        return new CRightOtherAccView(doc, site, parent);
    case StorageViewKind::AddPdf:
        return new CPDFView(doc, site, parent);
    case StorageViewKind::PdfViewer:
        return new CRightPDFView(doc, site, parent);
    case StorageViewKind::CreateMailAccount:
        break;
    }
    return nullptr;
}

bool IsZoomCommand(int id) {
    return id == ID_ZOOM_IN || id == ID_ZOOM_OUT || id == ID_ZOOM_ACTUAL || id == ID_ZOOM_FIT;
}

} // namespace

const char* StorageViewName(StorageViewKind kind) {
    static constexpr std::array<const char*, kStorageViewCount> kNames = {
        "CPictureRigthMainView", "CPictureRightImageView", "CCreateFolderView",  "CAddPictureView",
        "CCreateNotepad",        "CRightNotepadView",      "CCreateWebAcc",      "CCreateMailAcc",
        "CCreateOtherAcc",       "CRightWebAccView",       "CRightOtherAccView", "CPDFView",
        "CRightPDFView",
    };
    const auto i = static_cast<size_t>(kind);
    return i < kNames.size() ? kNames[i] : "";
}

CStorageRightView::CStorageRightView(StorageViewKind kind, CDocument* document,
                                     CStorageViewSite* site, QWidget* parent)
    : QWidget(parent), kind_(kind), site_(site) {
    setObjectName(QLatin1String(StorageViewName(kind)));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    view_ = MakeView(kind, document, site, this);
    if (view_ != nullptr) {
        layout->addWidget(view_);
        setFocusProxy(view_);
    }
}

void CStorageRightView::SetLocation(const std::string& folderPath) {
    location_ = folderPath;
    const QString text = AccountText(folderPath);
    if (auto* overview = ViewAs<CPictureRigthMainView>()) {
        overview->SetLocation(text);
    } else if (auto* form = ViewAs<CCreateFormBase>()) {
        form->SetLocation(text);
    }
}

void CStorageRightView::ShowItem(int32_t index, const QString& label,
                                 const std::string& folderPath) {
    index_ = index;
    label_ = label;
    location_ = folderPath;
    if (auto* image = ViewAs<CPictureRightImageView>()) {
        image->ShowImage(index);
    } else if (auto* note = ViewAs<CRightNotepadView>()) {
        note->ShowNote(index);
    } else if (auto* account = ViewAs<CRightAccountView>()) {
        account->ShowAccount(index, label, AccountText(folderPath));
    } else if (auto* pdf = ViewAs<CRightPDFView>()) {
        pdf->ShowPdf(index);
    }
}

void CStorageRightView::ForgetItem() {
    if (index_ < 0) {
        return;
    }
    index_ = -1;
    label_.clear();
    if (auto* image = ViewAs<CPictureRightImageView>()) {
        image->Forget();
    } else if (auto* note = ViewAs<CRightNotepadView>()) {
        note->Forget();
    } else if (auto* account = ViewAs<CRightAccountView>()) {
        account->Forget();
    } else if (auto* pdf = ViewAs<CRightPDFView>()) {
        pdf->Forget();
    }
}

const StorageItem* CStorageRightView::ShownItem() const {
    return index_ >= 0 && site_ != nullptr ? site_->Item(index_) : nullptr;
}

bool CStorageRightView::OnZoomCommand(int id) {
    if (!IsZoomCommand(id)) {
        return false;
    }
    if (auto* image = ViewAs<CPictureRightImageView>()) {
        return image->OnCommand(id);
    }
    if (auto* pdf = ViewAs<CRightPDFView>()) {
        return pdf->OnCommand(id);
    }
    return false;
}

bool CStorageRightView::OnUpdateZoomCommand(CCmdUI& ui) {
    if (!IsZoomCommand(ui.id)) {
        return false;
    }
    if (auto* image = ViewAs<CPictureRightImageView>()) {
        return image->OnUpdateCommand(ui);
    }
    if (auto* pdf = ViewAs<CRightPDFView>()) {
        return pdf->OnUpdateCommand(ui);
    }
    return false;
}

CStorageRightView* CreateStorageView(StorageViewKind kind, CDocument* document,
                                     CStorageViewSite* site, QWidget* parent) {
    return new CStorageRightView(kind, document, site, parent);
}

bool CStorageViewSite::LoadItemData(int32_t index, ItemData& out) {
    const StorageItem* item = Item(index);
    return item != nullptr && !item->data.empty() && item->data.Load(out) == ItemDataRead::Ok;
}
