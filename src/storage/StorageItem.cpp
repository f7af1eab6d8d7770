#include "storage/StorageItem.h"

#include <algorithm>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

namespace {

struct WipingDelete {
    void operator()(const Bytes* bytes) const {
        auto* owned = const_cast<Bytes*>(bytes);
        SecureWipe(owned->data(), owned->size());
        delete owned;
    }
};

} // namespace

ItemData::ItemData(Bytes&& bytes) {
    if (!bytes.empty()) {
        bytes_ = std::shared_ptr<const Bytes>(new Bytes(std::move(bytes)), WipingDelete());
    }
}

ItemData::ItemData(std::shared_ptr<const StoredStream> stored) : stored_(std::move(stored)) {}

ItemData::ItemData(std::shared_ptr<const OutsideFile> file) : file_(std::move(file)) {}

OutsideFile::~OutsideFile() {
    if (fd >= 0) {
        ::close(fd);
    }
}

size_t ItemData::size() const {
    if (bytes_) {
        return bytes_->size();
    }
    if (file_) {
        return static_cast<size_t>(file_->size);
    }
    return stored_ ? static_cast<size_t>(stored_->dataLength) : 0;
}

StorageItem::~StorageItem() {
    SecureWipe(text.data(), text.size());
}

uint64_t StorageItem::StoredDataLength() const {
    if (IsBinaryType(type)) {
        return data.size();
    }
    if (IsTextLikeType(type)) {
        return text.size() + 1;
    }
    return 0;
}

int32_t StorageItemTable::Add(std::unique_ptr<StorageItem> item) {
    slots_.push_back(std::move(item));
    return static_cast<int32_t>(slots_.size() - 1);
}

const StorageItem* StorageItemTable::Get(int32_t index) const {
    if (index < 0 || static_cast<size_t>(index) >= slots_.size()) {
        return nullptr;
    }
    return slots_[static_cast<size_t>(index)].get();
}

bool StorageItemTable::Update(int32_t index, const std::function<void(StorageItem&)>& change) {
    const StorageItem* old = Get(index);
    if (old == nullptr) {
        return false;
    }
    auto copy = std::make_shared<StorageItem>(*old);
    change(*copy);
    slots_[static_cast<size_t>(index)] = std::move(copy);
    return true;
}

void StorageItemTable::Delete(int32_t index) {
    if (index >= 0 && static_cast<size_t>(index) < slots_.size()) {
        slots_[static_cast<size_t>(index)].reset();
    }
}

namespace {

int CompareNoCase(const std::string& a, const std::string& b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        auto ca = static_cast<unsigned char>(a[i]);
        auto cb = static_cast<unsigned char>(b[i]);
        ca = (ca >= 'A' && ca <= 'Z') ? static_cast<unsigned char>(ca + 32) : ca;
        cb = (cb >= 'A' && cb <= 'Z') ? static_cast<unsigned char>(cb + 32) : cb;
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

} // namespace

StorageTree SortedTree(const StorageTree& tree, const StorageItemTable& table) {
    // Children of each folder, in the given order; the root's under kRootParent.
    std::unordered_map<int32_t, std::vector<int32_t>> children;
    for (const StorageTreeEntry& entry : tree) {
        if (table.Get(entry.item) != nullptr) {
            children[entry.parent].push_back(entry.item);
        }
    }
    for (auto& [parent, list] : children) {
        std::stable_sort(list.begin(), list.end(), [&](int32_t a, int32_t b) {
            return CompareNoCase(table.Get(a)->name, table.Get(b)->name) < 0;
        });
    }
    StorageTree out;
    out.reserve(tree.size());
    // Explicit stack of (folder, next child position): nesting depth comes from the file.
    std::vector<std::pair<int32_t, size_t>> stack{{kRootParent, 0}};
    std::unordered_set<int32_t> opened;
    while (!stack.empty()) {
        auto& [folder, pos] = stack.back();
        const auto it = children.find(folder);
        if (it == children.end() || pos >= it->second.size()) {
            stack.pop_back();
            continue;
        }
        const int32_t item = it->second[pos++];
        const int32_t parent = folder;
        out.push_back({item, parent});
        // Each folder is opened once, so a folder listed inside itself cannot loop.
        if (table.Get(item)->IsFolder() && opened.insert(item).second) {
            stack.emplace_back(item, 0);
        }
    }
    return out;
}
