#include "storage/PictureLeftView.h"

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QImage>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "base/WholeFile.h"
#include "framework/MessageBox.h"
#include "image/ImageType.h"
#include "image/ObjImage.h"
#include "storage/PictureChildFrame.h"
#include "storage/PictureDoc.h"
#include "storage/StorageAdd.h"
#include "storage/StorageFile.h"
#include "storage/StorageTreeParts.h"
#include "storage/StorageTreeWidgets.h"
#include "storage/StorageViews.h"

CPictureLeftView::CPictureLeftView(CDocument* document, QWidget* parent) : CView(document, parent) {
    setObjectName(QStringLiteral("CPictureLeftView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    tree_ = new StorageTreeWidget(this, this);
    tree_->setObjectName(QStringLiteral("tree"));
    tree_->setHeaderHidden(true);
    tree_->setColumnCount(1);
    tree_->setIconSize(QSize(16, 16));
    tree_->setUniformRowHeights(true);
    tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree_->setItemDelegate(new LabelEditDelegate(this));
    tree_->setContextMenuPolicy(Qt::DefaultContextMenu);
    tree_->viewport()->installEventFilter(this);
    layout->addWidget(tree_);
    connect(tree_, &QTreeWidget::currentItemChanged, this, &CPictureLeftView::OnSelectionChanged);
}

CPictureLeftView::~CPictureLeftView() {
    StopWorkers();
    if (doc_ != nullptr && doc_->TreeView() == this) {
        doc_->SetTreeView(nullptr);
    }
}

void CPictureLeftView::StopWorkers() {
    {
        std::lock_guard lock(dirMutex_);
        dirStop_ = true;
        dirJobs_.clear();
    }
    dirWake_.notify_all();
    if (dirWorker_.joinable()) {
        dirWorker_.join();
    }
    if (loader_.joinable()) {
        loader_.join();
    }
    loading_ = false;
    if (directoriesPending_ > 0) {
        directoriesPending_ = 0;
        jobs_.clear();
        heldBatches_.clear();
        SetStatusBusy(false);
    }
}

void CPictureLeftView::DetachDocument() {
    StopWorkers();
    // The views let go of the items (and their decrypted copies) with the document.
    if (CPictureChildFrame* frame = ChildFrame()) {
        frame->ForgetShownItems();
    }
    doc_ = nullptr;
}

CPictureChildFrame* CPictureLeftView::ChildFrame() const {
    return dynamic_cast<CPictureChildFrame*>(GetParentFrame());
}

// --- Initialisation and loading -----------------------------------------------------------

void CPictureLeftView::OnInitialUpdate() {
    if (initialised_) {
        return;
    }
    initialised_ = true;
    doc_ = dynamic_cast<CPictureDoc*>(GetDocument());
    CPictureDoc* doc = doc_;
    root_ = new QTreeWidgetItem();
    root_->setIcon(0, icons_.At(IconRoot));
    root_->setFlags(root_->flags() & ~Qt::ItemIsEditable);
    tree_->addTopLevelItem(root_);
    OnUpdate(nullptr);
    tree_->setCurrentItem(root_);
    lastSelected_ = root_;
    lastFolder_ = nullptr;
    if (doc == nullptr) {
        return;
    }
    doc->SetTreeView(this);
    const QString path = doc->OwnPath();
    uint64_t size = 0;
    if (!path.isEmpty() && GetFileSizeByName(NativePath(path), size) && size > 0 &&
        doc->HasPassword()) {
        StartLoad(NativePath(path), size);
    }
}

void CPictureLeftView::OnUpdate(CView*) {
    if (root_ == nullptr) {
        return;
    }
    const CPictureDoc* doc = Document();
    const QString path = doc != nullptr ? doc->OwnPath() : QString();
    root_->setText(0, path.isEmpty() ? QStringLiteral("Untitled Storage")
                                     : QFileInfo(path).fileName());
}

QTreeWidgetItem* CPictureLeftView::InsertRecord(QTreeWidgetItem* parent,
                                                std::unique_ptr<StorageItem> record, bool select,
                                                int style) {
    CPictureDoc* doc = Document();
    // While a save reads the table nothing is added to it (the frame is busy meanwhile; this
    // also holds for drops, which do not go through the frame).
    if (doc == nullptr || parent == nullptr || doc->IsSaving()) {
        return nullptr;
    }
    StorageItem* kept = record.get();
    const int32_t index = doc->Items().Add(std::move(record));
    QTreeWidgetItem* item = MakeTreeItem(index, *kept);
    InsertSorted(parent, item);
    parent->setExpanded(true);
    SetItemStyle(item, style, QColor(kStyleColour));
    if (select) {
        tree_->setCurrentItem(item);
    }
    doc->SetModifiedFlag(true);
    return item;
}

QTreeWidgetItem* CPictureLeftView::AddFolder(const QString& name, bool select) {
    auto record = std::make_unique<StorageItem>();
    record->type = static_cast<int32_t>(StorageItemType::Folder);
    record->name = BoundedName(FromLabel(name));
    return InsertRecord(CurrentFolder(), std::move(record), select, Italic);
}

QTreeWidgetItem* CPictureLeftView::AddItem(const QString& nameOrPath, StorageItemType type,
                                           bool select) {
    std::unique_ptr<StorageItem> record;
    switch (type) {
    case StorageItemType::Text:
    case StorageItemType::Pdf:
    case StorageItemType::File: {
        Bytes bytes;
        const bool read = ReadWholeFile(NativePath(nameOrPath), bytes);
        if (type != StorageItemType::Text && (!read || bytes.empty())) {
            return nullptr; // a missing or empty file adds nothing
        }
        record = MakeItemFromFile(NativePath(nameOrPath), std::move(bytes));
        record->type = static_cast<int32_t>(type);
        break;
    }
    case StorageItemType::WebAccount:
    case StorageItemType::OtherAccount:
        record = std::make_unique<StorageItem>();
        record->type = static_cast<int32_t>(type);
        record->name = BoundedName(FromLabel(nameOrPath));
        break;
    default:
        return nullptr;
    }
    GrowStatusSize(static_cast<uint64_t>(record->size));
    return InsertRecord(CurrentFolder(), std::move(record), select, Italic);
}

QTreeWidgetItem* CPictureLeftView::AddImageFile(const QString& path, bool select) {
    Bytes bytes;
    if (!ReadWholeFile(NativePath(path), bytes) || bytes.empty()) {
        return nullptr;
    }
    std::unique_ptr<StorageItem> record = MakeItemFromFile(NativePath(path), std::move(bytes));
    record->type = static_cast<int32_t>(StorageItemType::Image);
    record->imageType = ImageTypeFromPath(NativePath(path));
    record->fitToView = 1;
    GrowStatusSize(static_cast<uint64_t>(record->size));
    return InsertRecord(CurrentFolder(), std::move(record), select, Plain);
}

QTreeWidgetItem* CPictureLeftView::AddFileByType(const QString& path, bool select) {
    switch (const StorageItemType type = StorageItemTypeForPath(NativePath(path))) {
    case StorageItemType::Image:
        return AddImageFile(path, select);
    case StorageItemType::Pdf:
    case StorageItemType::Text:
        return AddItem(path, type, select);
    default:
        // Other files are never selected, so a drop of many keeps the view where it is.
        return AddItem(path, StorageItemType::File, false);
    }
}

QTreeWidgetItem* CPictureLeftView::AddPastedImage(const QString& name) {
    const QImage clip = QApplication::clipboard()->image();
    if (clip.isNull()) {
        return nullptr;
    }
    const QImage argb = clip.convertToFormat(QImage::Format_ARGB32);
    FCObjImage picture;
    if (!picture.CreateBlank(argb.width(), argb.height(), 32)) {
        return nullptr;
    }
    for (int y = 0; y < argb.height(); ++y) {
        std::memcpy(picture.LineAt(y), argb.constScanLine(y),
                    static_cast<size_t>(argb.width()) * 4);
    }
    QApplication::clipboard()->clear();
    std::vector<uint8_t> bmp;
    if (!picture.SaveBmpToMemory(bmp) || bmp.empty()) {
        return nullptr;
    }
    auto record = std::make_unique<StorageItem>();
    record->type = static_cast<int32_t>(StorageItemType::Image);
    record->imageType = ImageType::Bmp;
    record->fitToView = 1;
    record->size = static_cast<int64_t>(bmp.size());
    record->data = std::move(bmp);
    record->name = BoundedName(FromLabel(name));
    GrowStatusSize(static_cast<uint64_t>(record->size));
    return InsertRecord(CurrentFolder(), std::move(record), true, Plain);
}

bool CPictureLeftView::ReplaceImageData(const FCObjImage& picture) {
    StorageItem* record = RecordOf(tree_->currentItem());
    std::vector<uint8_t> bmp;
    if (record == nullptr || !record->Is(StorageItemType::Image) || !picture.SaveBmpToMemory(bmp) ||
        bmp.empty()) {
        return false;
    }
    record->size = static_cast<int64_t>(bmp.size());
    record->data = std::move(bmp);
    record->imageType = ImageType::Bmp;
    Document()->SetModifiedFlag(true);
    return true;
}

// --- Selection and styles ------------------------------------------------------------------

void CPictureLeftView::OnSelectionChanged(QTreeWidgetItem* current, QTreeWidgetItem*) {
    if (current == nullptr) {
        return;
    }
    const QColor colour(kStyleColour);
    if (lastSelected_ != nullptr) {
        SetItemStyle(lastSelected_, Plain, colour, false);
    }
    if (lastFolder_ != nullptr) {
        SetItemStyle(lastFolder_, Plain, colour, false);
    }
    StorageItem* record = RecordOf(current);
    const StorageViewKind kind = current == root_ || record == nullptr
                                     ? StorageViewKind::FolderOverview
                                     : ViewForType(record->type);
    if (CPictureChildFrame* frame = ChildFrame()) {
        CStorageRightView* view = frame->ShowStorageView(kind);
        if (view != nullptr) {
            if (kind == StorageViewKind::FolderOverview) {
                view->SetLocation(current == root_ ? StorageFolderPath({})
                                                   : GetCurrentFolderPath());
            } else {
                view->ShowItem(IndexOf(current), current->text(0), FolderPathOf(current->parent()));
            }
        }
        if (keyboardSelection_) {
            tree_->setFocus();
        }
    }
    SetItemStyle(current, Italic, colour, true);
    if (kind != StorageViewKind::FolderOverview) {
        QTreeWidgetItem* parent = current->parent();
        if (parent != nullptr) {
            parent->setExpanded(true);
            SetItemStyle(parent, Italic, colour, true);
        }
        lastFolder_ = parent;
    } else {
        current->setExpanded(true);
        lastFolder_ = nullptr;
    }
    lastSelected_ = current;
}

void CPictureLeftView::SetItemStyle(QTreeWidgetItem* item, int style, const QColor& colour,
                                    bool bold) {
    if (item == nullptr) {
        return;
    }
    Color_Font entry;
    entry.color = colour;
    entry.font = tree_->font();
    entry.font.setItalic(style == Italic);
    entry.font.setUnderline(style == Underline);
    entry.bold = bold || style == Bold;
    entry.font.setBold(entry.bold);
    item->setFont(0, entry.font);
    if (colour.isValid()) {
        item->setForeground(0, colour);
    }
    itemColours_[item] = entry;
}

const CPictureLeftView::Color_Font*
CPictureLeftView::ItemStyleOf(const QTreeWidgetItem* item) const {
    const auto found = itemColours_.find(item);
    return found != itemColours_.end() ? &found->second : nullptr;
}

// --- Rename and delete -----------------------------------------------------------------------

void CPictureLeftView::RenameSelected() {
    QTreeWidgetItem* item = tree_->currentItem();
    if (item == nullptr || item == root_) {
        return;
    }
    Document()->SetModifiedFlag(true);
    tree_->editItem(item, 0);
}

void CPictureLeftView::EndLabelEdit(QTreeWidgetItem* item, const QString& text) {
    StorageItem* record = RecordOf(item);
    if (item == nullptr || item == root_ || record == nullptr) {
        return;
    }
    const QString label = text.left(kMaxLabel);
    record->name = BoundedName(FromLabel(label));
    // The item stays where it is; the next load sorts it.
    item->setText(0, ToLabel(record->name));
    if (CPictureChildFrame* frame = ChildFrame()) {
        if (record->IsFolder()) {
            frame->SetShownViewLocation(FolderPathOf(item));
        } else if (record->Is(StorageItemType::WebAccount) ||
                   record->Is(StorageItemType::OtherAccount)) {
            CStorageRightView* view = frame->ShowStorageView(ViewForType(record->type));
            if (view != nullptr) {
                view->ShowItem(IndexOf(item), item->text(0), FolderPathOf(item->parent()));
            }
        }
    }
    Document()->SetModifiedFlag(true);
}

void CPictureLeftView::DeleteSelected() {
    QTreeWidgetItem* item = tree_->currentItem();
    if (item == nullptr || item == root_ || RecordOf(item) == nullptr || Document()->IsSaving()) {
        return;
    }
    const QString question =
        QStringLiteral("Are you sure you want to delete \"%1\"?").arg(item->text(0));
    if (ShowMessageBox(this, question, QStringLiteral("Ombrivault Storage"), MessageButtons::YesNo,
                       MessageIcon::Question) != MessageResult::Yes) {
        return;
    }
    CPictureDoc* doc = Document();
    if (CPictureChildFrame* frame = ChildFrame()) {
        frame->ForgetShownItems();
    }
    // Everything below goes with it: records, styles, and the index lookup.
    std::vector<QTreeWidgetItem*> stack{item};
    while (!stack.empty()) {
        QTreeWidgetItem* at = stack.back();
        stack.pop_back();
        const int32_t index = IndexOf(at);
        doc->Items().Delete(index);
        if (index >= 0 && static_cast<size_t>(index) < byIndex_.size()) {
            byIndex_[static_cast<size_t>(index)] = nullptr;
        }
        itemColours_.erase(at);
        if (at == lastSelected_) {
            lastSelected_ = nullptr;
        }
        if (at == lastFolder_) {
            lastFolder_ = nullptr;
        }
        for (int i = 0; i < at->childCount(); ++i) {
            stack.push_back(at->child(i));
        }
    }
    delete item;
    doc->SetModifiedFlag(true);
}
