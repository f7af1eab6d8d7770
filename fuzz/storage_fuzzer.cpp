// Hostile storage files: the compound structure, the password check and the walk over every
// level, with the password the seeds were made with so that their items do decrypt.
#include "compound/CompoundFile.h"
#include "storage/StorageFile.h"

#include <cstdlib>
#include <unordered_set>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CompoundReader reader;
    if (reader.OpenBytes(std::vector<uint8_t>(data, data + size)) != CompoundResult::Ok) {
        return 0;
    }
    CheckStoragePassword(reader, "fuzz");
    StorageItemTable table;
    StorageTree tree;
    const StorageReadResult result = ReadStorage(reader, "fuzz", table, tree);
    // Every entry names a live item, and a folder always comes before what it holds.
    std::unordered_set<int32_t> seen;
    for (const StorageTreeEntry& entry : tree) {
        const StorageItem* item = table.Get(entry.item);
        if (item == nullptr || (entry.parent != kRootParent && !seen.count(entry.parent))) {
            std::abort();
        }
        if (!item->IsFolder() && !item->data.empty() && !IsBinaryType(item->type)) {
            std::abort();
        }
        seen.insert(entry.item);
    }
    if (result.damaged.size() > tree.size() + 1) {
        std::abort();
    }
    const StorageTree sorted = SortedTree(tree, table);
    if (sorted.size() > tree.size()) {
        std::abort();
    }
    return 0;
}
