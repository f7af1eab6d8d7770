#include "storage/PictureChildFrame.h"

#include "controls/MultiViewSplitter.h"
#include "storage/PictureLeftView.h"

CPictureChildFrame::CPictureChildFrame(QWidget* parent) : CMDIChildWnd(parent) {}

CPictureChildFrame::~CPictureChildFrame() = default;

bool CPictureChildFrame::OnCreateClient(CDocument* document, CDocTemplate*) {
    splitter_ = new CMultiViewSplitter(1, 2, this);
    splitter_->setObjectName(QStringLiteral("splitter"));
    leftView_ = new CPictureLeftView(document);
    splitter_->SetPaneWidget(0, 0, leftView_);
    for (int i = 0; i < kStorageViewCount; ++i) {
        const auto kind = static_cast<StorageViewKind>(i);
        viewIds_[static_cast<size_t>(i)] = splitter_->AddView(
            0, 1, [kind](QWidget* pane) -> QWidget* { return CreateStorageView(kind, pane); });
        if (viewIds_[static_cast<size_t>(i)] < 0) {
            return false;
        }
    }
    setWidget(splitter_);
    splitter_->SetColumnWidth(0, kTreeWidth, 0);
    ShowStorageView(StorageViewKind::FolderOverview);
    SetActiveView(leftView_);
    return true;
}

CStorageRightView* CPictureChildFrame::StorageView(StorageViewKind kind) const {
    const auto i = static_cast<size_t>(kind);
    return splitter_ != nullptr && i < viewIds_.size()
               ? static_cast<CStorageRightView*>(splitter_->GetView(viewIds_[i]))
               : nullptr;
}

CStorageRightView* CPictureChildFrame::ShowStorageView(StorageViewKind kind) {
    const auto i = static_cast<size_t>(kind);
    if (splitter_ == nullptr || i >= viewIds_.size()) {
        return nullptr;
    }
    splitter_->ShowView(viewIds_[i]);
    return StorageView(kind);
}

CStorageRightView* CPictureChildFrame::ShowView(int number) {
    if (number < 1 || number > kStorageViewCount) {
        return nullptr;
    }
    return ShowStorageView(static_cast<StorageViewKind>(number - 1));
}

StorageViewKind CPictureChildFrame::ShownKind() const {
    const int shown = splitter_ != nullptr ? splitter_->ShownViewId(0, 1) : -1;
    for (size_t i = 0; i < viewIds_.size(); ++i) {
        if (viewIds_[i] == shown) {
            return static_cast<StorageViewKind>(i);
        }
    }
    return StorageViewKind::FolderOverview;
}

void CPictureChildFrame::SetShownViewLocation(const std::string& folderPath) {
    switch (ShownKind()) {
    case StorageViewKind::FolderOverview:
    case StorageViewKind::CreateFolder:
    case StorageViewKind::AddPicture:
    case StorageViewKind::CreateNote:
    case StorageViewKind::CreateWebAccount:
    case StorageViewKind::CreateMailAccount:
    case StorageViewKind::CreateOtherAccount:
    case StorageViewKind::AddPdf:
        if (CStorageRightView* view = StorageView(ShownKind())) {
            view->SetLocation(folderPath);
        }
        break;
    default:
        break;
    }
}

void CPictureChildFrame::ForgetShownItems() {
    for (int i = 0; i < kStorageViewCount; ++i) {
        if (CStorageRightView* view = StorageView(static_cast<StorageViewKind>(i))) {
            view->ForgetItem();
        }
    }
    ShowStorageView(StorageViewKind::FolderOverview);
}
