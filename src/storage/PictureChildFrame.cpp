#include "storage/PictureChildFrame.h"

#include <algorithm>

#include <QKeyEvent>
#include <QMdiArea>
#include <QPointer>

#include "controls/AccountText.h"
#include "controls/MultiViewSplitter.h"
#include "framework/CommandIds.h"
#include "framework/DocManager.h"
#include "framework/DocTemplate.h"
#include "framework/FrameHosts.h"
#include "framework/LayoutMemory.h"
#include "storage/PictureDoc.h"
#include "storage/PictureLeftView.h"

namespace {

StorageViewKind KindOfForm(StorageForm form) {
    switch (form) {
    case StorageForm::NewFolder:
        return StorageViewKind::CreateFolder;
    case StorageForm::AddImage:
        return StorageViewKind::AddPicture;
    case StorageForm::NewNote:
        return StorageViewKind::CreateNote;
    case StorageForm::NewWebAccount:
        return StorageViewKind::CreateWebAccount;
    case StorageForm::NewOtherAccount:
        return StorageViewKind::CreateOtherAccount;
    case StorageForm::AddPdf:
        return StorageViewKind::AddPdf;
    case StorageForm::Overview:
        break;
    }
    return StorageViewKind::FolderOverview;
}

} // namespace

CPictureChildFrame::CPictureChildFrame(QWidget* parent) : CMDIChildWnd(parent) {}

CPictureChildFrame::~CPictureChildFrame() = default;

bool CPictureChildFrame::OnCreateClient(CDocument* document, CDocTemplate*) {
    splitter_ = new CMultiViewSplitter(1, 2, this);
    splitter_->setObjectName(QStringLiteral("splitter"));
    leftView_ = new CPictureLeftView(document);
    splitter_->SetPaneWidget(0, 0, leftView_);
    for (int i = 0; i < kStorageViewCount; ++i) {
        const auto kind = static_cast<StorageViewKind>(i);
        viewIds_[static_cast<size_t>(i)] =
            splitter_->AddView(0, 1, [this, kind, document](QWidget* pane) -> QWidget* {
                return CreateStorageView(kind, document, this, pane);
            });
        if (viewIds_[static_cast<size_t>(i)] < 0) {
            return false;
        }
    }
    setWidget(splitter_);
    // The tree's width is the user's, whichever storage the window shows.
    treeWidth_ = LayoutMemory::Size(kTreeWidthKey, kTreeWidth);
    splitter_->SetColumnWidth(0, treeWidth_, 0);
    // Stored once the user lets go of the divider, not at every step of the drag.
    connect(splitter_, &CMultiViewSplitter::handleReleased, this,
            [this] { LayoutMemory::Remember(kTreeWidthKey, splitter_->sizes().value(0)); });
    ShowStorageView(StorageViewKind::FolderOverview);
    SetActiveView(leftView_);
    return true;
}

QSize CPictureChildFrame::ContentMinimumSize() const {
    if (splitter_ == nullptr) {
        return CMDIChildWnd::ContentMinimumSize();
    }
    // Each view as it asks to be at least, whatever its pane's layout makes of the others.
    QSize right;
    for (int i = 0; i < kStorageViewCount; ++i) {
        if (const CStorageRightView* view = StorageView(static_cast<StorageViewKind>(i))) {
            right = right.expandedTo(view->minimumSizeHint());
        }
    }
    const QSize all = splitter_->ContentSize();
    return {std::max(all.width(), treeWidth_ + splitter_->handleWidth() + right.width()),
            std::max(all.height(), right.height())};
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
    CStorageRightView* shown = StorageView(kind);
    // The caret pane is the shown view's: a note's position, nothing for other items.
    if (mdiArea() != nullptr && mdiArea()->activeSubWindow() == this) {
        if (CStatusHost* status = CStatusHost::Of(this)) {
            const CView* view = shown != nullptr ? shown->View() : nullptr;
            status->SetStatusPaneText(kStatusCaret,
                                      view != nullptr ? view->CaretPaneText() : QString());
        }
    }
    return shown;
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
    const StorageViewKind shown = ShownKind();
    switch (shown) {
    case StorageViewKind::FolderOverview:
    case StorageViewKind::CreateFolder:
    case StorageViewKind::AddPicture:
    case StorageViewKind::CreateNote:
    case StorageViewKind::CreateWebAccount:
    case StorageViewKind::CreateMailAccount:
    case StorageViewKind::CreateOtherAccount:
    case StorageViewKind::AddPdf:
        if (CStorageRightView* view = StorageView(shown)) {
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

void CPictureChildFrame::keyPressEvent(QKeyEvent* event) {
    // Escape that no view used stops the window's import and save, as the status bar's Cancel.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        const bool imports = leftView_ != nullptr && leftView_->CancelImportsByUser();
        CPictureDoc* doc = Document();
        const bool save = doc != nullptr && doc->CancelSaveByUser();
        if (imports || save) {
            event->accept();
            return;
        }
    }
    CMDIChildWnd::keyPressEvent(event);
}

// --- What the views ask of the window ------------------------------------------------------

CPictureDoc* CPictureChildFrame::Document() const {
    return leftView_ != nullptr ? leftView_->Document() : nullptr;
}

const StorageItem* CPictureChildFrame::Item(int32_t index) {
    CPictureDoc* doc = Document();
    return doc != nullptr ? doc->Items().Get(index) : nullptr;
}

bool CPictureChildFrame::LoadItemData(int32_t index, ItemData& out) {
    const StorageItem* item = Item(index);
    if (item == nullptr || item->data.empty()) {
        return false;
    }
    const ItemDataRead read = item->data.Load(out);
    if (read == ItemDataRead::Damaged) {
        if (CPictureDoc* doc = Document()) {
            doc->ReportDamagedItem(index);
        }
    }
    return read == ItemDataRead::Ok;
}

bool CPictureChildFrame::ChangeItem(int32_t index,
                                    const std::function<void(StorageItem&)>& change) {
    CPictureDoc* doc = Document();
    if (doc == nullptr || !doc->ChangeItem(index, change)) {
        return false;
    }
    if (leftView_ != nullptr) {
        leftView_->ItemTextChanged(); // a note or an account may be found by other words now
    }
    return true;
}

PCL_Interface_ZoomScale& CPictureChildFrame::Zoom() {
    CPictureDoc* doc = Document();
    return doc != nullptr ? static_cast<PCL_Interface_ZoomScale&>(*doc) : spareZoom_;
}

QString CPictureChildFrame::CurrentFolderPath() const {
    return leftView_ != nullptr ? AccountText(leftView_->GetCurrentFolderPath()) : QString();
}

void CPictureChildFrame::ShowForm(StorageForm form, const QString& location) {
    if (CStorageRightView* view = ShowStorageView(KindOfForm(form))) {
        view->SetLocation(AccountBytes(location));
    }
}

void CPictureChildFrame::AddFolder(const QString& name, bool select) {
    if (Document() != nullptr) {
        leftView_->AddFolder(name, select);
    }
}

void CPictureChildFrame::AddItem(const QString& nameOrPath, StorageItemType type, bool select) {
    if (Document() != nullptr) {
        leftView_->AddItem(nameOrPath, type, select);
    }
}

void CPictureChildFrame::AddImageFile(const QString& path, bool select) {
    if (Document() != nullptr) {
        leftView_->AddImageFile(path, select);
    }
}

void CPictureChildFrame::AddPastedImage(const QString& name) {
    if (Document() != nullptr) {
        leftView_->AddPastedImage(name);
    }
}

void CPictureChildFrame::ReplaceImageData(const FCObjImage& picture) {
    if (Document() != nullptr) {
        leftView_->ReplaceImageData(picture);
    }
}

void CPictureChildFrame::DeleteSelected() {
    if (Document() != nullptr) {
        leftView_->DeleteSelected();
    }
}

void CPictureChildFrame::StartAddDirectory(const QString& path) {
    if (Document() != nullptr) {
        leftView_->StartAddDirectory(path);
    }
}

void CPictureChildFrame::AddFileByType(const QString& path, bool select) {
    if (Document() != nullptr) {
        leftView_->AddFileByType(path, select);
    }
}

void CPictureChildFrame::OpenDocumentFile(const QString& path) {
    CPictureDoc* doc = Document();
    CDocTemplate* docTemplate = doc != nullptr ? doc->GetDocTemplate() : nullptr;
    CDocManager* manager = docTemplate != nullptr ? docTemplate->GetDocManager() : nullptr;
    if (manager == nullptr) {
        return;
    }
    QMetaObject::invokeMethod(
        this, [manager, path] { manager->OpenDocumentFile(path); }, Qt::QueuedConnection);
}

bool CPictureChildFrame::OnCommand(int id) {
    if (id == ID_EDIT_FIND && leftView_ != nullptr) {
        leftView_->StartFind();
        return true;
    }
    // Edit > Rename and Delete act on the tree's selection from every view (a click in the
    // tree hands the focus to the view of the item); their keys stay with the focused view.
    if ((id == ID_EDIT_RENAME || id == ID_EDIT_DELETE) && leftView_ != nullptr) {
        return leftView_->OnCommand(id);
    }
    return CMDIChildWnd::OnCommand(id);
}

bool CPictureChildFrame::OnUpdateCommand(CCmdUI& ui) {
    if (ui.id == ID_EDIT_FIND && leftView_ != nullptr) {
        ui.Enable(true);
        return true;
    }
    if ((ui.id == ID_EDIT_RENAME || ui.id == ID_EDIT_DELETE) && leftView_ != nullptr) {
        return leftView_->OnUpdateCommand(ui);
    }
    return CMDIChildWnd::OnUpdateCommand(ui);
}
