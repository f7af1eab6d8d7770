#include "storage/PictureLeftView.h"

#include <algorithm>
#include <filesystem>
#include <stack>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMimeDatabase>
#include <QPainter>
#include <QPainterPath>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "base/CodePage.h"
#include "base/FileErrors.h"
#include "base/WholeFile.h"
#include "controls/DirectoryDlg.h"
#include "framework/CommandIds.h"
#include "framework/FrameHosts.h"
#include "framework/LockHost.h"
#include "framework/MessageBox.h"
#include "framework/ResultCodes.h"
#include "framework/TimedFileDialog.h"
#include "image/ImageType.h"
#include "image/ObjImage.h"
#include "storage/PictureChildFrame.h"
#include "storage/PictureDoc.h"
#include "storage/StorageAdd.h"
#include "storage/StorageExport.h"
#include "storage/StorageFile.h"
#include "storage/StorageViews.h"

namespace fs = std::filesystem;

// What the load worker reads and hands back: the records and where they sit.
struct StorageLoadJob {
    std::string path;
    std::string password;
    uint64_t fileSize = 0;
    bool opened = false;
    StorageItemTable table;
    StorageTree tree;
    StorageReadResult read;
    ~StorageLoadJob() { std::fill(password.begin(), password.end(), '\0'); }
};

// Records of one directory import on their way to the tree. A folder carries the worker's
// number for it; every record names the number of its folder (-1: the import's own top
// folder goes into the folder the import was started in).
struct DirectoryBatch {
    struct Entry {
        int32_t folder = -1;
        int32_t parent = -1;
        std::unique_ptr<StorageItem> item;
    };
    int job = 0;
    std::vector<Entry> entries;
    bool last = false;
};

namespace {

constexpr int kIndexRole = Qt::UserRole + 1;
// Records per batch and bytes per batch a directory import hands over at a time.
constexpr size_t kBatchEntries = 512;
constexpr uint64_t kBatchBytes = 8u << 20;

QString ToLabel(const std::string& name) {
    return QString::fromStdString(CodePage::Program()->ToUtf8(name));
}

std::string FromLabel(const QString& label) {
    return CodePage::Program()->FromUtf8(label.toStdString());
}

std::string NativePath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// Sibling order: names without regard to ASCII case, as the storage sorts them on loading.
bool NameLess(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lx = static_cast<unsigned char>(x >= 'A' && x <= 'Z' ? x + 32 : x);
        const auto ly = static_cast<unsigned char>(y >= 'A' && y <= 'Z' ? y + 32 : y);
        return lx < ly;
    });
}

// The nine tree icons, drawn for this program.
QPixmap DrawIcon(int position) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor outline(60, 60, 60);
    p.setPen(QPen(outline, 1));
    auto page = [&](const QColor& fill, const QColor& band) {
        QPainterPath path;
        path.moveTo(3.5, 1.5);
        path.lineTo(10.5, 1.5);
        path.lineTo(13.5, 4.5);
        path.lineTo(13.5, 14.5);
        path.lineTo(3.5, 14.5);
        path.closeSubpath();
        p.setBrush(fill);
        p.drawPath(path);
        p.fillRect(QRectF(4, 10, 9, 4), band);
    };
    switch (position) {
    case CPictureLeftView::IconFolder:
    case CPictureLeftView::IconOpenFolder: {
        p.setBrush(QColor(230, 180, 60));
        p.drawRect(QRectF(1.5, 3.5, 6, 3));
        p.drawRect(QRectF(1.5, 5.5, 13, 9));
        if (position == CPictureLeftView::IconOpenFolder) {
            QPolygonF flap({{3.5, 8.5}, {15.5, 8.5}, {13.5, 14.5}, {1.5, 14.5}});
            p.setBrush(QColor(250, 215, 110));
            p.drawPolygon(flap);
        }
        break;
    }
    case CPictureLeftView::IconImage:
        p.setBrush(QColor(170, 210, 250));
        p.drawRect(QRectF(1.5, 2.5, 13, 11));
        p.setBrush(QColor(70, 150, 60));
        p.drawPolygon(QPolygonF({{2, 13}, {7, 7}, {10, 10}, {12, 8}, {14, 13}}));
        p.setBrush(QColor(250, 220, 60));
        p.drawEllipse(QPointF(11, 5.5), 1.5, 1.5);
        break;
    case CPictureLeftView::IconNote:
        page(Qt::white, Qt::transparent);
        for (int y = 5; y <= 12; y += 2) {
            p.drawLine(QPointF(5, y + 0.5), QPointF(12, y + 0.5));
        }
        break;
    case CPictureLeftView::IconWebAccount:
        p.setBrush(QColor(90, 160, 230));
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        p.drawLine(QPointF(1.5, 8), QPointF(14.5, 8));
        p.drawEllipse(QRectF(5, 1.5, 6, 13));
        break;
    case CPictureLeftView::IconOtherAccount:
        p.setBrush(QColor(240, 200, 80));
        p.drawEllipse(QRectF(1.5, 4.5, 7, 7));
        p.drawRect(QRectF(8.5, 7, 6.5, 2));
        p.drawRect(QRectF(12, 9, 1.5, 2.5));
        break;
    case CPictureLeftView::IconPdf:
        page(Qt::white, QColor(200, 30, 30));
        break;
    case CPictureLeftView::IconFile:
        page(QColor(245, 245, 245), QColor(150, 150, 150));
        break;
    case CPictureLeftView::IconRoot:
        p.setBrush(QColor(120, 120, 130));
        p.drawRoundedRect(QRectF(2.5, 6.5, 11, 8), 1.5, 1.5);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(outline, 2));
        p.drawArc(QRectF(4.5, 1.5, 7, 9), 0, 180 * 16);
        p.setPen(QPen(QColor(250, 220, 60), 2));
        p.drawPoint(QPointF(8, 10.5));
        break;
    default:
        break;
    }
    return pixmap;
}

// The tree: takes files and directories dropped from the desktop.
class StorageTreeWidget : public QTreeWidget {
public:
    StorageTreeWidget(CPictureLeftView* view, QWidget* parent) : QTreeWidget(parent), view_(view) {
        setAcceptDrops(true);
        viewport()->setAcceptDrops(true);
        setDropIndicatorShown(false);
    }

protected:
    static QStringList LocalPaths(const QMimeData* data) {
        QStringList paths;
        if (data == nullptr || !data->hasUrls()) {
            return paths;
        }
        for (const QUrl& url : data->urls()) {
            if (url.isLocalFile()) {
                paths.push_back(url.toLocalFile());
            }
        }
        return paths;
    }
    void dragEnterEvent(QDragEnterEvent* event) override {
        if (!LocalPaths(event->mimeData()).isEmpty()) {
            event->acceptProposedAction();
        }
    }
    void dragMoveEvent(QDragMoveEvent* event) override {
        if (!LocalPaths(event->mimeData()).isEmpty()) {
            event->acceptProposedAction();
        }
    }
    void keyPressEvent(QKeyEvent* event) override {
        // A selection the keyboard moves keeps the focus here, so the arrow keys go on
        // walking the tree; a click hands it to the view that shows the item.
        const bool outer = view_->KeyboardSelection();
        view_->SetKeyboardSelection(true);
        QTreeWidget::keyPressEvent(event);
        view_->SetKeyboardSelection(outer);
    }
    void dropEvent(QDropEvent* event) override {
        const QStringList paths = LocalPaths(event->mimeData());
        if (paths.isEmpty()) {
            return;
        }
        event->acceptProposedAction();
        view_->AddDroppedPaths(paths);
    }

private:
    CPictureLeftView* view_;
};

// The in-place label editor: 127 characters, and the end of the edit goes to the view.
class LabelEditDelegate : public QStyledItemDelegate {
public:
    LabelEditDelegate(CPictureLeftView* view) : QStyledItemDelegate(view), view_(view) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        auto* edit = new QLineEdit(parent);
        edit->setObjectName(QStringLiteral("labelEdit"));
        edit->setMaxLength(CPictureLeftView::kMaxLabelEdit);
        return edit;
    }
    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex&) const override {
        auto* edit = qobject_cast<QLineEdit*>(editor);
        if (edit != nullptr) {
            view_->EndLabelEdit(view_->Tree()->currentItem(), edit->text());
        }
    }

private:
    CPictureLeftView* view_;
};

StorageViewKind ViewForType(int32_t type) {
    switch (static_cast<StorageItemType>(type)) {
    case StorageItemType::Image:
        return StorageViewKind::ImageViewer;
    case StorageItemType::Text:
        return StorageViewKind::NoteEditor;
    case StorageItemType::WebAccount:
        return StorageViewKind::WebAccountEditor;
    case StorageItemType::OtherAccount:
        return StorageViewKind::OtherAccountEditor;
    case StorageItemType::Pdf:
        return StorageViewKind::PdfViewer;
    default:
        return StorageViewKind::FolderOverview;
    }
}

void SetStatusBusy(bool on) {
    if (CBusyHost* busy = CBusyHost::Current()) {
        busy->Busy().BusyFlag = on;
    }
}

void GrowStatusSize(uint64_t bytes) {
    if (CBusyHost* busy = CBusyHost::Current()) {
        const int64_t now = busy->Busy().StatusSizeBytes + static_cast<int64_t>(bytes);
        busy->Busy().StatusSizeBytes = static_cast<int32_t>(std::min<int64_t>(now, INT32_MAX));
    }
}

} // namespace

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
    for (int i = 0; i < kIconCount; ++i) {
        icons_.emplace_back(DrawIcon(i));
    }
    // A folder shows open while it is selected.
    icons_[IconFolder].addPixmap(DrawIcon(IconOpenFolder), QIcon::Selected);
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

QIcon CPictureLeftView::TreeIconAt(int position) const {
    return position >= 0 && position < kIconCount ? icons_[static_cast<size_t>(position)] : QIcon();
}

bool CPictureLeftView::FileIconFromTheme(const QString& name) {
    const QString suffix = QFileInfo(name).suffix().toLower();
    auto found = fileIcons_.find(suffix);
    if (found == fileIcons_.end()) {
        QIcon icon;
        if (!suffix.isEmpty()) {
            // By the extension alone: the file is never opened for its icon.
            const QMimeType type =
                QMimeDatabase().mimeTypeForFile(name, QMimeDatabase::MatchExtension);
            if (type.isValid() && !type.isDefault()) {
                icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
            }
        }
        found = fileIcons_.emplace(suffix, icon).first;
    }
    return !found->second.isNull();
}

QIcon CPictureLeftView::FileIconFor(const QString& name) {
    if (FileIconFromTheme(name)) {
        return fileIcons_[QFileInfo(name).suffix().toLower()];
    }
    return icons_[IconFile];
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
    root_->setIcon(0, icons_[IconRoot]);
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

void CPictureLeftView::StartLoad(const std::string& path, uint64_t fileSize) {
    CPictureDoc* doc = Document();
    auto job = std::make_shared<StorageLoadJob>();
    job->path = path;
    job->password = std::string(doc->Password());
    job->fileSize = fileSize;
    loading_ = true;
    CompoundReader* file = &doc->OpenFile();
    // The worker owns the document's file until it reports back: nothing else touches it
    // while loading_ is set.
    loader_ = std::thread([this, job, file] {
        {
            BusyReport report;
            CBusyHost* busy = CBusyHost::Current();
            int shown = -1;
            if (OpenStorageFile(job->path, *file) == CompoundResult::Ok) {
                job->opened = true;
                job->read =
                    ReadStorage(*file, job->password, job->table, job->tree, [&](uint64_t bytes) {
                        if (busy != nullptr) {
                            busy->Busy().StatusSizeBytes =
                                static_cast<int32_t>(std::min<uint64_t>(bytes, INT32_MAX));
                        }
                        const int percent = static_cast<int>(bytes * 100 / job->fileSize);
                        if (percent != shown) {
                            shown = percent;
                            report.Progress(percent);
                        }
                    });
            }
        }
        QMetaObject::invokeMethod(
            this, [this, job] { FinishLoad(job); }, Qt::QueuedConnection);
    });
}

void CPictureLeftView::FinishLoad(const std::shared_ptr<StorageLoadJob>& job) {
    if (loader_.joinable()) {
        loader_.join();
    }
    CPictureDoc* doc = Document();
    if (doc == nullptr || !loading_) {
        return; // the window is closing
    }
    if (job->opened) {
        doc->NoteFileHeld(job->path);
    }
    // Nothing was added while loading (the frame was busy): the table starts as read.
    doc->Items() = std::move(job->table);
    const StorageItemTable& table = doc->Items();
    byIndex_.assign(static_cast<size_t>(table.NextIndex()), nullptr);

    // Built off the widget, folder by folder, then attached in one step per top-level list.
    const StorageTree sorted = SortedTree(job->tree, table);
    QList<QTreeWidgetItem*> top;
    std::vector<QTreeWidgetItem*> expand;
    for (const StorageTreeEntry& entry : sorted) {
        const StorageItem* record = table.Get(entry.item);
        QTreeWidgetItem* item = MakeTreeItem(entry.item, *record);
        if (entry.parent == kRootParent) {
            top.push_back(item);
        } else {
            byIndex_[static_cast<size_t>(entry.parent)]->addChild(item);
        }
        if (record->IsFolder() && record->expanded == 1) {
            expand.push_back(item);
        }
    }
    tree_->setUpdatesEnabled(false);
    root_->addChildren(top);
    root_->setExpanded(true);
    for (QTreeWidgetItem* item : expand) {
        if (item->childCount() > 0) {
            item->setExpanded(true);
        }
    }
    tree_->setUpdatesEnabled(true);
    loading_ = false;
    if (!job->read.damaged.empty()) {
        // Once, however many levels were cut short: the window shows what was read.
        ShowMessageBox(this,
                       QStringLiteral("Failed to decrypt the file: %1\nParts of the storage "
                                      "could not be read; the window shows the items that were.")
                           .arg(QFileInfo(QFile::decodeName(job->path.c_str())).fileName()),
                       QStringLiteral("Ombrivault Storage"), MessageButtons::Ok,
                       MessageIcon::Error);
    }
    emit loadFinished();
}

void CPictureLeftView::WaitForLoad() {
    if (!loading_) {
        return;
    }
    QEventLoop wait;
    connect(this, &CPictureLeftView::loadFinished, &wait, &QEventLoop::quit);
    if (loading_) {
        wait.exec();
    }
}

QTreeWidgetItem* CPictureLeftView::MakeTreeItem(int32_t index, const StorageItem& record) {
    auto* item = new QTreeWidgetItem();
    item->setText(0, ToLabel(record.name));
    item->setData(0, kIndexRole, index);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    switch (static_cast<StorageItemType>(record.type)) {
    case StorageItemType::Folder:
        item->setIcon(0, icons_[IconFolder]);
        break;
    case StorageItemType::File:
        item->setIcon(0, FileIconFor(item->text(0)));
        break;
    default:
        item->setIcon(0, IsKnownItemType(record.type) ? icons_[static_cast<size_t>(record.type)]
                                                      : icons_[IconFile]);
        break;
    }
    if (static_cast<size_t>(index) >= byIndex_.size()) {
        byIndex_.resize(static_cast<size_t>(index) + 1, nullptr);
    }
    byIndex_[static_cast<size_t>(index)] = item;
    return item;
}

StorageTree CPictureLeftView::TreeForSave() {
    StorageTree out;
    const StorageItemTable& table = Document()->Items();
    std::vector<std::pair<QTreeWidgetItem*, int32_t>> stack; // item, its folder's index
    for (int i = root_ != nullptr ? root_->childCount() - 1 : -1; i >= 0; --i) {
        stack.emplace_back(root_->child(i), kRootParent);
    }
    while (!stack.empty()) {
        auto [item, parent] = stack.back();
        stack.pop_back();
        const int32_t index = IndexOf(item);
        StorageItem* record = table.Get(index);
        if (record == nullptr) {
            continue;
        }
        out.push_back({index, parent});
        if (record->IsFolder()) {
            record->expanded = item->isExpanded() ? 1 : 0;
            for (int i = item->childCount() - 1; i >= 0; --i) {
                stack.emplace_back(item->child(i), index);
            }
        }
    }
    return out;
}

void CPictureLeftView::OnSaveEnded() {
    std::vector<std::shared_ptr<DirectoryBatch>> held;
    held.swap(heldBatches_);
    for (auto& batch : held) {
        ApplyDirectoryBatch(std::move(batch));
    }
}

// --- Items and folders ----------------------------------------------------------------------

int32_t CPictureLeftView::IndexOf(const QTreeWidgetItem* item) {
    if (item == nullptr) {
        return -1;
    }
    const QVariant value = item->data(0, kIndexRole);
    return value.isValid() ? value.toInt() : -1;
}

StorageItem* CPictureLeftView::RecordOf(const QTreeWidgetItem* item) const {
    const CPictureDoc* doc = Document();
    const int32_t index = IndexOf(item);
    return doc != nullptr && index >= 0 ? doc->Items().Get(index) : nullptr;
}

QTreeWidgetItem* CPictureLeftView::ItemOfIndex(int32_t index) const {
    return index >= 0 && static_cast<size_t>(index) < byIndex_.size()
               ? byIndex_[static_cast<size_t>(index)]
               : nullptr;
}

bool CPictureLeftView::IsFolderItem(const QTreeWidgetItem* item) const {
    if (item == root_) {
        return true;
    }
    const StorageItem* record = RecordOf(item);
    return record != nullptr && record->IsFolder();
}

QTreeWidgetItem* CPictureLeftView::CurrentFolder() const {
    QTreeWidgetItem* selected = tree_->currentItem();
    if (selected == nullptr) {
        return root_;
    }
    if (IsFolderItem(selected)) {
        return selected;
    }
    QTreeWidgetItem* parent = selected->parent();
    return parent != nullptr && IsFolderItem(parent) ? parent : root_;
}

std::string CPictureLeftView::FolderPathOf(const QTreeWidgetItem* folder) const {
    std::vector<std::string> names;
    for (const QTreeWidgetItem* at = folder; at != nullptr && at != root_; at = at->parent()) {
        if (const StorageItem* record = RecordOf(at)) {
            names.push_back(record->name);
        }
    }
    std::reverse(names.begin(), names.end());
    return StorageFolderPath(names);
}

std::string CPictureLeftView::GetCurrentFolderPath() const {
    return FolderPathOf(CurrentFolder());
}

void CPictureLeftView::InsertSorted(QTreeWidgetItem* parent, QTreeWidgetItem* item) {
    const StorageItem* record = RecordOf(item);
    const std::string& name = record != nullptr ? record->name : std::string();
    // After every sibling whose name does not sort after the new one: equal names keep
    // the order they came in.
    int low = 0;
    int high = parent->childCount();
    while (low < high) {
        const int mid = low + (high - low) / 2;
        const StorageItem* other = RecordOf(parent->child(mid));
        if (other != nullptr && NameLess(name, other->name)) {
            high = mid;
        } else {
            low = mid + 1;
        }
    }
    parent->insertChild(low, item);
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

// --- Directories ------------------------------------------------------------------------------

void CPictureLeftView::StartAddDirectory(const QString& path) {
    if (Document() == nullptr) {
        return;
    }
    const int id = nextJobId_++;
    JobState& state = jobs_[id];
    state.target = IndexOf(CurrentFolder());
    if (directoriesPending_++ == 0) {
        SetStatusBusy(true);
    }
    {
        std::lock_guard lock(dirMutex_);
        dirJobs_.push_back({id, NativePath(path)});
    }
    if (!dirWorker_.joinable()) {
        dirStop_ = false;
        dirWorker_ = std::thread([this] { DirectoryWorkerLoop(); });
    }
    dirWake_.notify_one();
}

void CPictureLeftView::DirectoryWorkerLoop() {
    for (;;) {
        DirectoryJob job;
        {
            std::unique_lock lock(dirMutex_);
            dirWake_.wait(lock, [this] { return dirStop_ || !dirJobs_.empty(); });
            if (dirStop_) {
                return;
            }
            job = std::move(dirJobs_.front());
            dirJobs_.pop_front();
        }
        auto batch = std::make_shared<DirectoryBatch>();
        batch->job = job.id;
        uint64_t batchBytes = 0;
        auto send = [&](bool last) {
            batch->last = last;
            QMetaObject::invokeMethod(
                this, [this, b = batch] { ApplyDirectoryBatch(b); }, Qt::QueuedConnection);
            batch = std::make_shared<DirectoryBatch>();
            batch->job = job.id;
            batchBytes = 0;
        };
        std::string top = job.path;
        while (top.size() > 1 && top.back() == '/') {
            top.pop_back();
        }
        const size_t slash = top.rfind('/');
        const std::string name = slash == std::string::npos ? std::string() : top.substr(slash + 1);
        if (name.empty()) {
            send(true);
            continue;
        }
        int32_t folders = 0;
        auto addFolder = [&](const std::string& folderName, int32_t parent) {
            auto record = std::make_unique<StorageItem>();
            record->type = static_cast<int32_t>(StorageItemType::Folder);
            record->name = BoundedName(CodePage::Program()->FromUtf8(folderName));
            batch->entries.push_back({folders, parent, std::move(record)});
            return folders++;
        };
        std::vector<std::pair<std::string, int32_t>> pending{{top, addFolder(name, -1)}};
        bool stopped = false;
        while (!pending.empty() && !stopped) {
            auto [dir, number] = pending.back();
            pending.pop_back();
            std::error_code ec;
            for (fs::directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec),
                 end;
                 !ec && it != end; it.increment(ec)) {
                const fs::file_status status = it->symlink_status(ec);
                if (ec) {
                    ec.clear();
                    continue;
                }
                const std::string path = it->path().string();
                if (fs::is_directory(status)) {
                    // Linked directories are not followed, so a loop of links cannot recur.
                    pending.emplace_back(path, addFolder(it->path().filename().string(), number));
                    continue;
                }
                Bytes bytes;
                const bool read = ReadWholeFile(path, bytes);
                const StorageItemType type = StorageItemTypeForPath(path);
                if ((!read || bytes.empty()) && type != StorageItemType::Text) {
                    continue;
                }
                batchBytes += bytes.size();
                batch->entries.push_back({-1, number, MakeItemFromFile(path, std::move(bytes))});
                if (batch->entries.size() >= kBatchEntries || batchBytes >= kBatchBytes) {
                    send(false);
                    std::lock_guard lock(dirMutex_);
                    stopped = dirStop_;
                }
            }
        }
        send(true);
    }
}

void CPictureLeftView::ApplyDirectoryBatch(std::shared_ptr<DirectoryBatch> batch) {
    CPictureDoc* doc = Document();
    if (doc == nullptr) {
        return;
    }
    if (doc->IsSaving()) {
        heldBatches_.push_back(std::move(batch)); // the save is reading the table
        return;
    }
    JobState& state = jobs_[batch->job];
    for (DirectoryBatch::Entry& entry : batch->entries) {
        StorageItem* kept = entry.item.get();
        const bool folder = kept->IsFolder();
        const int32_t index = doc->Items().Add(std::move(entry.item));
        QTreeWidgetItem* item = MakeTreeItem(index, *kept);
        GrowStatusSize(static_cast<uint64_t>(folder ? 0 : kept->size));
        SetItemStyle(item, kept->Is(StorageItemType::Image) ? Plain : Italic, QColor(kStyleColour));
        if (entry.parent < 0) {
            state.top = item; // joins the tree when the whole directory is in
        } else if (static_cast<size_t>(entry.parent) < state.folders.size()) {
            InsertSorted(state.folders[static_cast<size_t>(entry.parent)], item);
        }
        if (folder && entry.folder >= 0) {
            if (static_cast<size_t>(entry.folder) >= state.folders.size()) {
                state.folders.resize(static_cast<size_t>(entry.folder) + 1, nullptr);
            }
            state.folders[static_cast<size_t>(entry.folder)] = item;
        }
    }
    if (!batch->last) {
        return;
    }
    QTreeWidgetItem* target = ItemOfIndex(state.target);
    if (target == nullptr) {
        target = root_;
    }
    if (state.top != nullptr) {
        InsertSorted(target, state.top);
        target->setExpanded(true);
        tree_->setCurrentItem(target);
        doc->SetModifiedFlag(true);
    }
    jobs_.erase(batch->job);
    if (--directoriesPending_ == 0) {
        SetStatusBusy(false);
        emit directoriesFinished();
    }
}

void CPictureLeftView::WaitForDirectories() {
    while (directoriesPending_ > 0) {
        QEventLoop wait;
        connect(this, &CPictureLeftView::directoriesFinished, &wait, &QEventLoop::quit);
        if (directoriesPending_ > 0) {
            wait.exec();
        }
    }
}

void CPictureLeftView::AddDroppedPaths(const QStringList& paths) {
    if (Document() == nullptr || Document()->IsSaving()) {
        return;
    }
    for (const QString& path : paths) {
        if (QFileInfo(path).isDir()) {
            StartAddDirectory(path);
        } else {
            AddFileByType(path, false);
        }
    }
}

bool CPictureLeftView::ClipboardHasFiles() {
    const QMimeData* data = QApplication::clipboard()->mimeData();
    if (data == nullptr || !data->hasUrls()) {
        return false;
    }
    const QList<QUrl> urls = data->urls();
    return std::any_of(urls.begin(), urls.end(), [](const QUrl& u) { return u.isLocalFile(); });
}

bool CPictureLeftView::PasteFiles() {
    if (!ClipboardHasFiles()) {
        return false;
    }
    QStringList paths;
    for (const QUrl& url : QApplication::clipboard()->mimeData()->urls()) {
        if (url.isLocalFile()) {
            paths.push_back(url.toLocalFile());
        }
    }
    QApplication::clipboard()->clear();
    AddDroppedPaths(paths);
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

// --- Export ------------------------------------------------------------------------------------

QString CPictureLeftView::ImageDefaultExtension(int imageType) {
    // By image type 1 (BMP) to 9 (ICO).
    static const char* const kExtensions[] = {"bmp", "pcx", "jpg", "gif", "tga",
                                              "tif", "png", "psd", "ico"};
    return imageType >= ImageType::Bmp && imageType <= ImageType::Ico
               ? QLatin1String(kExtensions[imageType - ImageType::Bmp])
               : QString();
}

QString CPictureLeftView::ImageExportFilter(int imageType) {
    enum { BMP, JPG, PCX, GIF, TGA, PNG, PSD, ICO, TIF };
    static const char* const kEntries[] = {
        "Bitmap Files (*.BMP)|*.bmp|",
        "Joint Photographic Experts Group (*.JPG;*.JPEG)|*.jpg;*.jpeg|",
        "PC Paintbrush Exchange (*.PCX)|*.pcx|",
        "Graphics Interchange Format (*.GIF)|*.gif|",
        "TGA File Format (*.TGA)|*.tga|",
        "Portable Network Graphics (*.PNG)|*.png|",
        "Photoshop Format (*.PSD)|*.psd|",
        "Icon Image File Format (*.ICO)|*.ico|",
        "Tagged Image File Format (*.TIF;*.TIFF)|*.tif;*.tiff|",
    };
    // By image type 1 (BMP) to 9 (ICO): the entries in the order the dialog lists them.
    static constexpr int kOrders[9][9] = {
        {BMP, JPG, PCX, GIF, TGA, PNG, PSD, ICO, TIF},
        {PCX, GIF, JPG, BMP, TGA, PNG, PSD, ICO, TIF},
        {JPG, BMP, PCX, GIF, TGA, PNG, PSD, ICO, TIF},
        {GIF, JPG, BMP, PCX, TGA, PNG, PSD, ICO, TIF},
        {TGA, PCX, GIF, JPG, BMP, PNG, PSD, ICO, TIF},
        {TIF, TGA, PCX, GIF, JPG, BMP, PNG, PSD, ICO},
        {PNG, TIF, TGA, PCX, GIF, JPG, BMP, PSD, ICO},
        {PCX, PNG, TIF, TGA, GIF, JPG, BMP, PSD, ICO},
        {ICO, PCX, PNG, TIF, TGA, GIF, JPG, BMP, PSD},
    };
    QString filter;
    if (imageType >= ImageType::Bmp && imageType <= ImageType::Ico) {
        for (const int entry : kOrders[imageType - ImageType::Bmp]) {
            filter += QLatin1String(kEntries[entry]);
        }
    }
    return filter;
}

void CPictureLeftView::ExportSelected() {
    QTreeWidgetItem* item = tree_->currentItem();
    const StorageItem* record = RecordOf(item);
    if (item == nullptr || item == root_ || record == nullptr) {
        return;
    }
    const QString label = item->text(0);
    const QString suffix = QFileInfo(label).suffix();
    QString filter;
    switch (static_cast<StorageItemType>(record->type)) {
    case StorageItemType::Folder:
        ExportFolder(item);
        return;
    case StorageItemType::Image: {
        CTimedFileDialog dialog(false, ImageDefaultExtension(record->imageType),
                                QFileInfo(label).completeBaseName(), 0,
                                ImageExportFilter(record->imageType), this, 0);
        dialog.SetFolderKind(FolderKind::Export);
        if (dialog.DoModal() != IDOK) {
            return;
        }
        const QString path = dialog.GetPathName();
        const QString failed =
            QStringLiteral("Failed to convert image to this format...\nPlease, try other formats "
                           "or export file in the original format.");
        int error = 0;
        if (ImageTypeFromPath(NativePath(path)) == record->imageType) {
            // The same format: the stored bytes, unchanged.
            if (!WriteWholeFile(NativePath(path), record->data.data(), record->data.size(),
                                &error)) {
                ShowMessageBox(this,
                               QStringLiteral("Cannot write %1: %2")
                                   .arg(path, QString::fromStdString(FileErrorMessage(error))),
                               QStringLiteral("Ombrivault Storage"), MessageButtons::Ok,
                               MessageIcon::Error);
            }
            return;
        }
        FCObjImage picture;
        if (!picture.LoadImage(record->data.data(), record->data.size(),
                               static_cast<ImageType>(record->imageType)) ||
            !picture.SaveImage(NativePath(path), -1)) {
            ShowMessageBox(this, failed, QStringLiteral("Ombrivault Storage"), MessageButtons::Ok,
                           MessageIcon::Error);
        }
        return;
    }
    case StorageItemType::Text:
        filter =
            QStringLiteral("Not-Encrypted Notepad Text File (*.TXT)|*.txt|All Files (*.*)|*.*|");
        break;
    case StorageItemType::Pdf:
        filter = QStringLiteral("Not-Encrypted Adobe Portable Document Format "
                                "(*.PDF)|*.pdf|All Files (*.*)|*.*|");
        break;
    case StorageItemType::File:
        filter = QStringLiteral("All Files (*.*)|*.*|");
        break;
    default:
        return; // accounts and unknown items are not exported
    }
    CTimedFileDialog dialog(false, suffix, label, 0, filter, this, 0);
    dialog.SetFolderKind(FolderKind::Export);
    if (dialog.DoModal() != IDOK) {
        return;
    }
    const std::string_view bytes = ExportBytes(*record);
    int error = 0;
    if (!WriteWholeFile(NativePath(dialog.GetPathName()),
                        reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &error)) {
        ShowMessageBox(
            this,
            QStringLiteral("Cannot write %1: %2")
                .arg(dialog.GetPathName(), QString::fromStdString(FileErrorMessage(error))),
            QStringLiteral("Ombrivault Storage"), MessageButtons::Ok, MessageIcon::Error);
    }
}

void CPictureLeftView::ExportFolder(QTreeWidgetItem* item) {
    CDirectoryDlg picker(this);
    if (picker.DoModal() != IDOK || picker.SelectedPath().isEmpty()) {
        return;
    }
    const int32_t folder = IndexOf(item);
    const StorageItem* record = RecordOf(item);
    // A new sub-folder named like the folder, beside what the directory holds already.
    const std::string base = NativePath(picker.SelectedPath());
    std::string out = base + "/" + SafeFileName(record->name);
    for (int n = 2; fs::exists(fs::symlink_status(out)); ++n) {
        out = base + "/" + SafeFileName(record->name) + " (" + std::to_string(n) + ")";
    }
    const QString outText = QFile::decodeName(out.c_str());
    if (ShowMessageBox(this,
                       QStringLiteral("The items of \"%1\" will be written unencrypted to the "
                                      "folder %2. Anyone who can read that folder can read them."
                                      "\nExport them?")
                           .arg(item->text(0), outText),
                       QStringLiteral("Ombrivault Storage"), MessageButtons::YesNo,
                       MessageIcon::Exclamation) != MessageResult::Yes) {
        return;
    }
    const StorageItemTable& table = Document()->Items();
    const std::vector<StorageExportTarget> targets =
        PlanFolderExport(table, TreeForSave(), folder, out);
    std::string failedPath;
    int error = 0;
    if (!WriteFolderExport(table, out, targets, failedPath, error)) {
        ShowMessageBox(this,
                       QStringLiteral("The export stopped: %1 could not be written (%2).")
                           .arg(QFile::decodeName(failedPath.c_str()),
                                QString::fromStdString(FileErrorMessage(error))),
                       QStringLiteral("Ombrivault Storage"), MessageButtons::Ok,
                       MessageIcon::Error);
    }
}

// --- Menu and commands ------------------------------------------------------------------------

QMenu* CPictureLeftView::CreateContextMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("storageMenu"));
    auto add = [&](int id, const QString& text, int icon) {
        QAction* action = menu->addAction(text);
        action->setData(id);
        if (icon >= 0) {
            action->setIcon(icons_[static_cast<size_t>(icon)]);
        }
        CCmdUI ui(id);
        action->setEnabled(OnUpdateCommand(ui) && ui.enabled);
        connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    };
    add(ID_NEW_FOLDER, QStringLiteral("New &Folder..."), IconFolder);
    menu->addSeparator();
    add(ID_NEW_TEXT, QStringLiteral("New &Text Document..."), IconNote);
    add(ID_NEW_WEB_ACCOUNT, QStringLiteral("New &Web Account..."), IconWebAccount);
    add(ID_NEW_OTHER_ACCOUNT, QStringLiteral("New &Other Account..."), IconOtherAccount);
    menu->addSeparator();
    add(ID_ADD_IMAGE, QStringLiteral("Add &Image file..."), IconImage);
    add(ID_ADD_PDF, QStringLiteral("Add &PDF file..."), IconPdf);
    menu->addSeparator();
    add(ID_RENAME, QStringLiteral("&Rename ..."), -1);
    add(ID_DELETE, QStringLiteral("&Delete..."), -1);
    menu->addSeparator();
    add(ID_EXPORT, QStringLiteral("&Export..."), -1);
    menu->addSeparator();
    add(ClipboardHasFiles() ? ID_PASTE_FILES : ID_PASTE_NONE, QStringLiteral("&Paste..."), -1);
    return menu;
}

void CPictureLeftView::ShowContextMenu(const QPoint& globalPos) {
    ResetIdleTimer();
    QMenu* menu = CreateContextMenu(this);
    menu->exec(globalPos);
    delete menu;
}

bool CPictureLeftView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == tree_->viewport() && event->type() == QEvent::ContextMenu) {
        ShowContextMenu(static_cast<QContextMenuEvent*>(event)->globalPos());
        return true;
    }
    return CView::eventFilter(watched, event);
}

CStorageRightView* CPictureLeftView::ZoomTarget() const {
    const StorageItem* record = RecordOf(tree_->currentItem());
    CPictureChildFrame* frame = ChildFrame();
    if (record == nullptr || frame == nullptr) {
        return nullptr;
    }
    if (record->Is(StorageItemType::Image)) {
        return frame->StorageView(StorageViewKind::ImageViewer);
    }
    if (record->Is(StorageItemType::Pdf)) {
        return frame->StorageView(StorageViewKind::PdfViewer);
    }
    return nullptr;
}

bool CPictureLeftView::OnCommand(int id) {
    auto showForm = [this](StorageViewKind kind) {
        ResetIdleTimer();
        if (CPictureChildFrame* frame = ChildFrame()) {
            if (CStorageRightView* view = frame->ShowStorageView(kind)) {
                view->SetLocation(GetCurrentFolderPath());
            }
        }
        return true;
    };
    switch (id) {
    case ID_NEW_FOLDER:
        return showForm(StorageViewKind::CreateFolder);
    case ID_NEW_TEXT:
        return showForm(StorageViewKind::CreateNote);
    case ID_NEW_WEB_ACCOUNT:
        return showForm(StorageViewKind::CreateWebAccount);
    case ID_NEW_OTHER_ACCOUNT:
        return showForm(StorageViewKind::CreateOtherAccount);
    case ID_ADD_IMAGE:
        return showForm(StorageViewKind::AddPicture);
    case ID_ADD_PDF:
        return showForm(StorageViewKind::AddPdf);
    case ID_RENAME:
        RenameSelected();
        return true;
    case ID_DELETE:
        DeleteSelected();
        return true;
    case ID_EXPORT:
        ExportSelected();
        return true;
    case ID_PASTE_FILES:
        PasteFiles();
        return true;
    case ID_PICK_DIRECTORY: {
        CDirectoryDlg picker(this);
        picker.DoModal();
        return true;
    }
    case ID_ZOOM_IN:
    case ID_ZOOM_ACTUAL:
    case ID_ZOOM_OUT:
    case ID_ZOOM_FIT:
        if (CStorageRightView* view = ZoomTarget()) {
            view->OnZoomCommand(id);
        }
        return true;
    default:
        return CView::OnCommand(id);
    }
}

bool CPictureLeftView::OnUpdateCommand(CCmdUI& ui) {
    switch (ui.id) {
    case ID_NEW_FOLDER:
    case ID_NEW_TEXT:
    case ID_NEW_WEB_ACCOUNT:
    case ID_NEW_OTHER_ACCOUNT:
    case ID_ADD_IMAGE:
    case ID_ADD_PDF:
    case ID_RENAME:
    case ID_DELETE:
    case ID_EXPORT:
    case ID_PASTE_FILES:
    case ID_PICK_DIRECTORY:
        ui.Enable(true);
        return true;
    case ID_ZOOM_IN:
    case ID_ZOOM_ACTUAL:
    case ID_ZOOM_OUT:
    case ID_ZOOM_FIT: {
        // The shown picture's (or PDF's) own state: Fit and Actual Size show pressed as the
        // viewer says.
        CStorageRightView* view = ZoomTarget();
        ui.Enable(view != nullptr);
        if (ui.id == ID_ZOOM_FIT || ui.id == ID_ZOOM_ACTUAL) {
            ui.SetCheck(false);
        }
        if (view != nullptr) {
            view->OnUpdateZoomCommand(ui);
        }
        return true;
    }
    default:
        return CView::OnUpdateCommand(ui);
    }
}
