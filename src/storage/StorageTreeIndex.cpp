#include <algorithm>

#include <QFile>
#include <QTreeWidget>

#include "base/CodePage.h"
#include "framework/FrameHosts.h"
#include "storage/PictureDoc.h"
#include "storage/PictureLeftView.h"
#include "storage/StorageFile.h"
#include "storage/StorageTreeParts.h"

QString ToLabel(const std::string& name) {
    return QString::fromStdString(CodePage::Program()->ToUtf8(name));
}

std::string FromLabel(const QString& label) {
    return CodePage::Program()->FromUtf8(label.toStdString());
}

std::string NativePath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

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

namespace {

// Sibling order: names without regard to ASCII case, as the storage sorts them on loading.
bool NameLess(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lx = static_cast<unsigned char>(x >= 'A' && x <= 'Z' ? x + 32 : x);
        const auto ly = static_cast<unsigned char>(y >= 'A' && y <= 'Z' ? y + 32 : y);
        return lx < ly;
    });
}

} // namespace

QTreeWidgetItem* CPictureLeftView::MakeTreeItem(int32_t index, const StorageItem& record) {
    auto* item = new QTreeWidgetItem();
    item->setText(0, ToLabel(record.name));
    item->setData(0, kStorageIndexRole, index);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    switch (static_cast<StorageItemType>(record.type)) {
    case StorageItemType::Folder:
        item->setIcon(0, icons_.At(IconFolder));
        break;
    case StorageItemType::File:
        item->setIcon(0, FileIconFor(item->text(0)));
        break;
    default:
        item->setIcon(0,
                      IsKnownItemType(record.type) ? icons_.At(record.type) : icons_.At(IconFile));
        break;
    }
    if (static_cast<size_t>(index) >= byIndex_.size()) {
        byIndex_.resize(static_cast<size_t>(index) + 1, nullptr);
    }
    byIndex_[static_cast<size_t>(index)] = item;
    return item;
}

StorageTree CPictureLeftView::TreeForSave(StorageItemTable* expandedInto) const {
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
        const StorageItem* record = table.Get(index);
        if (record == nullptr) {
            continue;
        }
        out.push_back({index, parent});
        if (record->IsFolder()) {
            const int32_t expanded = item->isExpanded() ? 1 : 0;
            if (expandedInto != nullptr && record->expanded != expanded) {
                expandedInto->Update(index,
                                     [&](StorageItem& folder) { folder.expanded = expanded; });
            }
            for (int i = item->childCount() - 1; i >= 0; --i) {
                stack.emplace_back(item->child(i), index);
            }
        }
    }
    return out;
}

int32_t CPictureLeftView::IndexOf(const QTreeWidgetItem* item) {
    if (item == nullptr) {
        return -1;
    }
    const QVariant value = item->data(0, kStorageIndexRole);
    return value.isValid() ? value.toInt() : -1;
}

const StorageItem* CPictureLeftView::RecordOf(const QTreeWidgetItem* item) const {
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
