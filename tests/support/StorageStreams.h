// The item streams of a storage file as they lie on disk, for tests that compare or damage
// them behind the back of a program that holds the file.
#pragma once

#include <cstdint>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "compound/CompoundFile.h"
#include "storage/ItemCipher.h"
#include "storage/StorageFile.h"
#include "support/TestFiles.h"

// Every item stream by the item name in its header: the stream's encrypted bytes. The file is
// read without a lock, so a window or a document may hold it.
inline std::map<std::string, std::vector<uint8_t>> ItemStreams(const std::string& path,
                                                               const std::string& password) {
    std::map<std::string, std::vector<uint8_t>> out;
    CompoundReader reader;
    if (reader.Open(path, CompoundLock::None) != CompoundResult::Ok) {
        return out;
    }
    const AesKey key = DeriveAesKey(password);
    std::vector<uint32_t> storages{CompoundReader::kRoot};
    while (!storages.empty()) {
        std::vector<CompoundEntry> entries;
        reader.List(storages.back(), entries);
        storages.pop_back();
        for (const CompoundEntry& e : entries) {
            std::vector<uint8_t> stream;
            if (e.IsStorage()) {
                storages.push_back(e.id);
            } else if (e.name != kInfoStreamName &&
                       reader.ReadStream(e.id, stream) == CompoundResult::Ok &&
                       stream.size() >= 304) {
                // Only the header is decrypted: the rest may be damaged.
                std::vector<uint8_t> head(stream.begin(), stream.begin() + 304);
                ItemDecryptor(key).Decrypt(head.data(), head.size(), 0);
                if (const auto header = StorageItemHeader::FromBytes(head.data(), head.size())) {
                    out[header->name] = std::move(stream);
                }
            }
        }
    }
    return out;
}

// Damages the item `name` on disk where only reading its data finds it: its last block, which
// holds the padding, is overwritten with other bytes.
inline bool DamageItemOnDisk(const std::string& path, const std::string& password,
                             const std::string& name) {
    const auto streams = ItemStreams(path, password);
    const auto it = streams.find(name);
    if (it == streams.end() || it->second.size() < 16) {
        return false;
    }
    const std::string file = ReadFileBytes(path);
    const std::string last(it->second.end() - 16, it->second.end());
    const size_t at = file.find(last);
    if (at == std::string::npos || file.find(last, at + 1) != std::string::npos) {
        return false;
    }
    std::fstream out(path, std::ios::in | std::ios::out | std::ios::binary);
    out.seekp(static_cast<std::streamoff>(at));
    const std::string other(16, '\x5a');
    out.write(other.data(), 16);
    return static_cast<bool>(out.flush());
}
