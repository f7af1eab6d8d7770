// Feeds arbitrary bytes to the compound-file reader: open, list every storage without
// recursion, read every stream whole and through a cursor (from its middle, then from its
// start, in pieces), which must give the same bytes. Nothing may crash, hang or read out of
// bounds.
#include "compound/CompoundFile.h"

#include <algorithm>
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
            } else if (reader.ReadStream(e.id, bytes) == CompoundResult::Ok) {
                if (bytes.size() != e.size) {
                    __builtin_trap();
                }
                CompoundReader::Cursor cursor;
                std::vector<uint8_t> pieces(bytes.size());
                const size_t middle = bytes.size() / 2;
                bool ok = cursor.Open(reader, e.id) == CompoundResult::Ok &&
                          cursor.Seek(middle) == CompoundResult::Ok &&
                          cursor.Read(pieces.data() + middle, bytes.size() - middle) ==
                              CompoundResult::Ok &&
                          cursor.Seek(0) == CompoundResult::Ok;
                for (size_t at = 0; ok && at < middle; at += 700) {
                    ok = cursor.Read(pieces.data() + at, std::min<size_t>(700, middle - at)) ==
                         CompoundResult::Ok;
                }
                if (!ok || pieces != bytes) {
                    __builtin_trap();
                }
            }
            CompoundEntry found;
            reader.Find(storage, e.name, found);
        }
    }
    return 0;
}
