#include "storage/PictureLeftView.h"

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QHeaderView>
#include <QImage>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "base/ProductInfo.h"
#include "base/WholeFile.h"
#include "controls/TreeFinder.h"
#include "framework/MessageBox.h"
#include "image/ImageType.h"
#include "image/ObjImage.h"
#include "storage/ItemXml.h"
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
    // Long labels are scrolled to, not cut off.
    tree_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tree_->header()->setStretchLastSection(false);
    tree_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree_->setItemDelegate(new LabelEditDelegate(this));
    tree_->setContextMenuPolicy(Qt::DefaultContextMenu);
    tree_->viewport()->installEventFilter(this);
    finder_ = MakeFinder();
    layout->addWidget(finder_->Bar());
    layout->addWidget(finder_->Stack(), 1);
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
    StopLoad();
    directoriesPending_ = 0;
    jobs_.clear();
    importCancel_.Reset();
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
    LoadDocumentFile();
}

void CPictureLeftView::LoadDocumentFile() {
    // The open left the file it checked open: the load reads that one. (A file with strong
    // protection is held only once its key is derived, which may come after this view.)
    const CPictureDoc* doc = Document();
    if (doc != nullptr && doc->OpenFile() != nullptr && !doc->IsLoading()) {
        const std::string path = NativePath(doc->OwnPath());
        uint64_t size = 0;
        GetFileSizeByName(path, size);
        StartLoad(path, size);
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
    if (doc == nullptr || parent == nullptr) {
        return nullptr;
    }
    const int32_t index = doc->AddItem(std::move(record));
    if (index < 0) {
        return nullptr; // refused: the status bar says why
    }
    QTreeWidgetItem* item = MakeTreeItem(index, *doc->Items().Get(index));
    InsertSorted(parent, item);
    parent->setExpanded(true);
    SetItemStyle(item, style, QColor(kStyleColour));
    if (select) {
        tree_->setCurrentItem(item);
    }
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
        int error = 0;
        record = MakeItemFromPath(NativePath(nameOrPath), error);
        if (type != StorageItemType::Text && (record == nullptr || record->data.empty())) {
            return nullptr; // a missing or empty file adds nothing
        }
        if (record == nullptr) {
            record = MakeItemFromFile(NativePath(nameOrPath), Bytes()); // an empty note
        }
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
    return InsertRecord(CurrentFolder(), std::move(record), select, Italic);
}

QTreeWidgetItem* CPictureLeftView::AddImageFile(const QString& path, bool select) {
    int error = 0;
    std::unique_ptr<StorageItem> record = MakeItemFromPath(NativePath(path), error);
    if (record == nullptr || record->data.empty()) {
        return nullptr;
    }
    record->type = static_cast<int32_t>(StorageItemType::Image);
    record->imageType = ImageTypeFromPath(NativePath(path));
    record->fitToView = 1;
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
    return InsertRecord(CurrentFolder(), std::move(record), true, Plain);
}

bool CPictureLeftView::ReplaceImageData(const FCObjImage& picture) {
    const int32_t index = IndexOf(tree_->currentItem());
    const StorageItem* record = RecordOf(tree_->currentItem());
    std::vector<uint8_t> bmp;
    if (record == nullptr || !record->Is(StorageItemType::Image) || !picture.SaveBmpToMemory(bmp) ||
        bmp.empty()) {
        return false;
    }
    const bool changed = Document()->ChangeItem(index, [&](StorageItem& item) {
        item.size = static_cast<int64_t>(bmp.size());
        item.data = std::move(bmp);
        item.imageType = ImageType::Bmp;
    });
    return changed;
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
    const StorageItem* record = RecordOf(current);
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
    if (item == nullptr || item == root_ || !Document()->MayChange()) {
        return;
    }
    tree_->editItem(item, 0);
}

void CPictureLeftView::EndLabelEdit(QTreeWidgetItem* item, const QString& text) {
    const int32_t index = IndexOf(item);
    const StorageItem* old = RecordOf(item);
    if (item == nullptr || item == root_ || old == nullptr) {
        return;
    }
    const std::string name = BoundedName(FromLabel(text.left(kMaxLabel)));
    if (name == old->name) {
        return; // nothing changed: the document stays as it was
    }
    const bool account =
        old->Is(StorageItemType::WebAccount) || old->Is(StorageItemType::OtherAccount);
    const bool renamed = Document()->ChangeItem(index, [&](StorageItem& record) {
        record.name = name;
        if (account) {
            // The account's stored form carries its name too: both change together.
            const auto type = static_cast<StorageItemType>(record.type);
            ItemAccount fields = ReadItemXml(type, record.text);
            fields.name = name;
            record.text = WriteItemXml(type, fields);
            record.size = static_cast<int64_t>(record.text.size());
        }
    });
    if (!renamed) {
        item->setText(0, ToLabel(old->name));
        return;
    }
    const StorageItem* record = RecordOf(item);
    // The item stays where it is; the next load sorts it.
    item->setText(0, ToLabel(record->name));
    if (CPictureChildFrame* frame = ChildFrame()) {
        if (record->IsFolder()) {
            frame->SetShownViewLocation(FolderPathOf(item));
        } else if (account && tree_->currentItem() == item) {
            CStorageRightView* view = frame->ShowStorageView(ViewForType(record->type));
            if (view != nullptr) {
                view->ShowItem(index, item->text(0), FolderPathOf(item->parent()));
            }
        }
    }
}

void CPictureLeftView::DeleteSelected() {
    QTreeWidgetItem* item = tree_->currentItem();
    if (item == nullptr || item == root_ || RecordOf(item) == nullptr || !Document()->MayChange()) {
        return;
    }
    const QString question =
        QStringLiteral("Are you sure you want to delete \"%1\"?").arg(item->text(0));
    if (ShowMessageBox(this, question, QString::fromLatin1(kAppTitle), MessageButtons::YesNo,
                       MessageIcon::Question) != MessageResult::Yes) {
        return;
    }
    CPictureDoc* doc = Document();
    if (doc == nullptr || !doc->MayChange()) {
        return; // the storage closed or began to load while the question was open
    }
    if (CPictureChildFrame* frame = ChildFrame()) {
        frame->ForgetShownItems();
    }
    // Everything below goes with it: records, styles, and the index lookup.
    std::vector<int32_t> indexes;
    std::vector<QTreeWidgetItem*> stack{item};
    while (!stack.empty()) {
        QTreeWidgetItem* at = stack.back();
        stack.pop_back();
        const int32_t index = IndexOf(at);
        indexes.push_back(index);
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
    doc->DeleteItems(indexes);
}
