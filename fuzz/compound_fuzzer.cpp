// Feeds arbitrary bytes to the compound-file reader: open, list every storage without
// recursion, read every stream. Nothing may crash, hang or read out of bounds.
#include "compound/CompoundFile.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CompoundReader reader;
    if (reader.OpenBytes(std::vector<uint8_t>(data, data + size)) != CompoundResult::Ok) {
        return 0;
    }
    std::vector<uint32_t> storages{CompoundReader::kRoot};
    std::vector<CompoundEntry> entries;
    std::vector<uint8_t> bytes;
    while (!storages.empty()) {
        const uint32_t storage = storages.back();
        storages.pop_back();
        reader.List(storage, entries);
        for (const CompoundEntry& e : entries) {
            if (e.IsStorage()) {
                storages.push_back(e.id);
            } else if (reader.ReadStream(e.id, bytes) == CompoundResult::Ok &&
                       bytes.size() != e.size) {
                __builtin_trap();
            }
            CompoundEntry found;
            reader.Find(storage, e.name, found);
        }
    }
    return 0;
}
