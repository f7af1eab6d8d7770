#include "storage/StorageFile.h"

#include "base/FileNames.h"
#include "storage/ItemCipher.h"

#include <cstring>
#include <limits>
#include <memory>

namespace {

// A password ends at its first NUL, like the fixed buffer it comes from.
AesKey KeyOf(std::string_view password) {
    return DeriveAesKey(password.substr(0, password.find('\0')));
}

struct WipedKey {
    explicit WipedKey(std::string_view password) : key(KeyOf(password)) {}
    ~WipedKey() { SecureWipe(key.data(), key.size()); }
    AesKey key;
};

StoragePasswordCheck CheckRoot(const CompoundReader& reader, const AesKey& key) {
    StoragePasswordCheck check;
    CompoundEntry info;
    if (reader.Find(CompoundReader::kRoot, kInfoStreamName, info) != CompoundResult::Ok ||
        info.IsStorage()) {
        check.status = StoragePasswordStatus::NoInfoStream;
        return check;
    }
    Bytes plain;
    if (!DecryptItemBytes(reader, info.id, key, plain)) {
        check.status = StoragePasswordStatus::DecryptFailed;
        return check;
    }
    const auto record = StorageInfoRecord::FromBytes(plain.data(), plain.size());
    SecureWipe(plain.data(), plain.size());
    check.status =
        record && record->IsRoot() ? StoragePasswordStatus::Ok : StoragePasswordStatus::WrongName;
    return check;
}

// One storage being read: its listing and how far the walk has come.
struct Level {
    uint32_t storage;
    int32_t folder;
    std::vector<CompoundEntry> entries;
    size_t next = 0;
};

} // namespace

std::string StorageOpenReason(CompoundResult result) {
    switch (result) {
    case CompoundResult::FileNotFound:
        return "The specified file does not exist.";
    case CompoundResult::PathNotFound:
        return "File not found";
    case CompoundResult::TooManyOpenFiles:
        return "There are too many open files";
    case CompoundResult::AccessDenied:
    case CompoundResult::ShareViolation:
    case CompoundResult::LockViolation:
        return "Another instance of Ombrivault process has opened the file.";
    case CompoundResult::NotEnoughMemory:
        return "Not enough memory";
    case CompoundResult::NotCompoundFile:
        return "File exists but is not a storage object.";
    case CompoundResult::InvalidName:
        return "The file name is invalid...";
    default:
        return "Unknown Error";
    }
}

std::string StorageOpenErrorText(const std::string& path, CompoundResult result) {
    return "Failed to open the file: " + FileNameOf(path) + "\n" + StorageOpenReason(result);
}

CompoundResult OpenStorageFile(const std::string& path, CompoundReader& reader, CompoundLock lock) {
    return reader.Open(path, lock);
}

StoragePasswordCheck CheckStoragePassword(const std::string& path, std::string_view password) {
    CompoundReader reader;
    const CompoundResult opened = reader.Open(path);
    if (opened != CompoundResult::Ok) {
        StoragePasswordCheck check;
        check.status = StoragePasswordStatus::OpenFailed;
        check.openResult = opened;
        return check;
    }
    return CheckStoragePassword(reader, password);
}

StoragePasswordCheck CheckStoragePassword(const CompoundReader& reader, std::string_view password) {
    const WipedKey key(password);
    return CheckRoot(reader, key.key);
}

bool DecryptItemBytes(const CompoundReader& reader, uint32_t stream, const AesKey& key,
                      Bytes& plain) {
    if (reader.ReadStream(stream, plain) != CompoundResult::Ok) {
        SecureWipe(plain.data(), plain.size());
        plain.clear();
        return false;
    }
    return DecryptItemInPlace(plain, key);
}

namespace {

// The walk of ReadStorage. With `eager` every item's data is read into memory before the
// call returns; otherwise items refer to their streams through `source`.
StorageReadResult ReadItems(const std::shared_ptr<const StorageSource>& source, bool eager,
                            StorageItemTable& table, StorageTree& tree,
                            const StorageReadProgress& progress, const std::atomic<bool>* cancel) {
    const CompoundReader& reader = *source->file;
    const AesKey& key = source->key;
    StorageReadResult result;
    // Folders nest as deep as the file says: the walk keeps its own stack.
    std::vector<Level> stack;
    stack.push_back({CompoundReader::kRoot, kRootParent, {}});
    reader.List(CompoundReader::kRoot, stack.back().entries);
    Bytes plain;
    while (!stack.empty()) {
        if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) {
            result.cancelled = true;
            break;
        }
        Level& level = stack.back();
        if (level.next >= level.entries.size()) {
            stack.pop_back();
            continue;
        }
        const CompoundEntry entry = level.entries[level.next++];
        const int32_t parent = level.folder;
        auto cutShort = [&] {
            result.damaged.push_back({parent, entry.name});
            stack.pop_back();
        };
        auto item = std::make_unique<StorageItem>();
        if (entry.IsStorage()) {
            item->type = static_cast<int32_t>(StorageItemType::Folder);
            CompoundEntry info;
            if (reader.Find(entry.id, kInfoStreamName, info) == CompoundResult::Ok &&
                !info.IsStorage()) {
                const bool read = DecryptItemBytes(reader, info.id, key, plain);
                const auto record =
                    read ? StorageInfoRecord::FromBytes(plain.data(), plain.size()) : std::nullopt;
                if (!record) {
                    cutShort();
                    continue;
                }
                item->name = record->name;
                item->expanded = record->expanded;
            }
            const int32_t index = table.Add(std::move(item));
            tree.push_back({index, parent});
            Level inner{entry.id, index, {}};
            reader.List(entry.id, inner.entries);
            stack.push_back(std::move(inner)); // `level` is not used after this
            continue;
        }
        if (entry.name == kInfoStreamName) {
            continue;
        }
        result.bytesRead += entry.size;
        if (progress) {
            progress(result.bytesRead);
        }
        StorageItemHeader header;
        uint64_t streamLength = 0;
        uint64_t dataLength = 0;
        if (!ReadStoredHeader(reader, entry.id, key, header, streamLength, dataLength)) {
            cutShort();
            continue;
        }
        item->type = header.type;
        item->name = header.name;
        if (IsBinaryType(header.type)) {
            item->size = static_cast<int64_t>(dataLength);
            if (item->Is(StorageItemType::Image)) {
                item->imageType = header.imageType;
                item->fitToView = header.fitToView;
            }
            auto stored = std::make_shared<StoredStream>();
            stored->source = source;
            stored->stream = entry.id;
            stored->streamLength = streamLength;
            stored->dataLength = dataLength;
            stored->header = std::move(header);
            item->data = ItemData(std::move(stored));
            if (eager) {
                ItemData loaded;
                if (item->data.Load(loaded) != ItemDataRead::Ok) {
                    cutShort();
                    continue;
                }
                item->data = std::move(loaded);
            }
        } else if (IsTextLikeType(header.type)) {
            // Notes and accounts are small, and the search reads them: they stay in memory.
            if (!DecryptItemBytes(reader, entry.id, key, plain) ||
                plain.size() < kItemHeaderBytes) {
                SecureWipe(plain.data(), plain.size());
                cutShort();
                continue;
            }
            item->size = static_cast<int64_t>(plain.size() - kItemHeaderBytes);
            const auto* begin = reinterpret_cast<const char*>(plain.data() + kItemHeaderBytes);
            item->text.assign(begin, strnlen(begin, plain.size() - kItemHeaderBytes));
            SecureWipe(plain.data(), plain.size());
        }
        const int32_t index = table.Add(std::move(item));
        tree.push_back({index, parent});
    }
    return result;
}

} // namespace

StorageReadResult ReadStorage(std::shared_ptr<const CompoundReader> file, std::string_view password,
                              StorageItemTable& table, StorageTree& tree,
                              const StorageReadProgress& progress,
                              const std::atomic<bool>* cancel) {
    const WipedKey key(password);
    const auto source = std::make_shared<const StorageSource>(std::move(file), key.key);
    return ReadItems(source, false, table, tree, progress, cancel);
}

StorageReadResult ReadStorage(const CompoundReader& reader, std::string_view password,
                              StorageItemTable& table, StorageTree& tree,
                              const StorageReadProgress& progress,
                              const std::atomic<bool>* cancel) {
    const WipedKey key(password);
    // Not owned: no item keeps a reference once the call returns.
    const auto source = std::make_shared<const StorageSource>(
        std::shared_ptr<const CompoundReader>(&reader, [](const CompoundReader*) {}), key.key);
    return ReadItems(source, true, table, tree, progress, cancel);
}

StorageWriter::StorageWriter(CompoundWriter& writer, std::string_view password)
    : writer_(writer), key_(KeyOf(password)) {}

StorageWriter::~StorageWriter() {
    SecureWipe(key_.data(), key_.size());
    SecureWipe(blob_.data(), blob_.size());
}

CompoundResult
StorageWriter::EncryptItemBytes(uint32_t container, std::string_view name,
                                std::initializer_list<std::pair<const uint8_t*, size_t>> parts) {
    uint64_t plainLength = 0;
    for (const auto& part : parts) {
        plainLength += part.second;
    }
    // The buffer keeps its capacity from item to item: no fresh pages for every stream.
    blob_.clear();
    blob_.reserve(ItemEncryptor::BlobLength(plainLength));
    ItemEncryptor encryptor(
        key_,
        [this](const uint8_t* data, size_t length) {
            blob_.insert(blob_.end(), data, data + length);
            return true;
        },
        plainLength);
    for (const auto& part : parts) {
        if (!encryptor.Add(part.first, part.second)) {
            return CompoundResult::Unknown;
        }
    }
    if (!encryptor.Finish()) {
        return CompoundResult::Unknown;
    }
    const CompoundResult written = writer_.WriteStream(container, name, blob_.data(), blob_.size());
    if (written == CompoundResult::Ok) {
        plainBytes_ += plainLength;
    }
    return written;
}

CompoundResult StorageWriter::CopyStream(uint32_t container, std::string_view name,
                                         const StoredStream& stored) {
    CompoundReader::Cursor cursor;
    CompoundResult r = cursor.Open(*stored.source->file, stored.stream);
    if (r == CompoundResult::Ok) {
        r = writer_.BeginStream(container, name, cursor.Size());
    }
    if (r != CompoundResult::Ok) {
        return r;
    }
    r = cursor.CopyTo(writer_, cursor.Size());
    if (r != CompoundResult::Ok) {
        // Half a stream cannot stay in the file: the save ends.
        writer_.EndStream();
        return r == CompoundResult::Corrupt ? CompoundResult::Unknown : r;
    }
    r = writer_.EndStream();
    if (r == CompoundResult::Ok) {
        plainBytes_ += kItemHeaderBytes + stored.dataLength;
        ++copied_;
    }
    return r;
}

CompoundResult StorageWriter::EncryptDataStream(uint32_t container, std::string_view name,
                                                const std::array<uint8_t, kItemHeaderBytes>& head,
                                                const ItemData& data) {
    const uint64_t plainLength = kItemHeaderBytes + data.size();
    CompoundResult r = writer_.BeginStream(container, name, ItemEncryptor::BlobLength(plainLength));
    if (r != CompoundResult::Ok) {
        return r;
    }
    CompoundResult appended = CompoundResult::Ok;
    ItemEncryptor encryptor(
        key_,
        [&](const uint8_t* bytes, size_t length) {
            appended = writer_.AppendStream(bytes, length);
            return appended == CompoundResult::Ok;
        },
        plainLength);
    bool ok = encryptor.Add(head.data(), head.size());
    const ItemDataRead read = ok ? data.ReadPieces([&](const uint8_t* bytes, size_t length) {
        return encryptor.Add(bytes, length);
    })
                                 : ItemDataRead::Stopped;
    ok = ok && read == ItemDataRead::Ok && encryptor.Finish();
    r = writer_.EndStream();
    if (!ok) {
        // The stream is begun: whatever stopped it ends the save.
        return appended != CompoundResult::Ok ? appended : CompoundResult::Unknown;
    }
    if (r == CompoundResult::Ok) {
        plainBytes_ += plainLength;
    }
    return r;
}

CompoundResult StorageWriter::CreateStorageFile() {
    const auto record = StorageInfoRecord::Root().ToBytes();
    return EncryptItemBytes(CompoundWriter::kRoot, kInfoStreamName,
                            {{record.data(), record.size()}});
}

StorageItemHeader HeaderOf(const StorageItem& item) {
    StorageItemHeader header;
    header.type = item.type;
    header.name = item.name;
    header.dataLength = static_cast<int32_t>(item.StoredDataLength());
    if (item.Is(StorageItemType::Image)) {
        header.imageType = item.imageType;
        header.imageLength = header.dataLength;
        header.fitToView = item.fitToView;
    }
    return header;
}

bool CopiesAsItIs(const StorageItem& item, const StoredStream& stored, const AesKey& key) {
    const StorageItemHeader& header = stored.header;
    const bool image = item.Is(StorageItemType::Image);
    return stored.source->key == key && header.type == item.type && header.name == item.name &&
           stored.dataLength == item.data.size() &&
           (!image || (header.imageType == item.imageType && header.fitToView == item.fitToView));
}

bool StorageItemTooLarge(const StorageItem& item) {
    // The header's lengths are 32-bit and the whole stream must stay within them.
    return item.StoredDataLength() >
           static_cast<uint64_t>(std::numeric_limits<int32_t>::max()) - kItemHeaderBytes - 16;
}

CompoundResult StorageWriter::WriteItem(uint32_t container, const StorageItem& item,
                                        int32_t index) {
    if (StorageItemTooLarge(item)) {
        return CompoundResult::TooLarge;
    }
    const auto head = HeaderOf(item).ToBytes();
    const std::string name = std::to_string(index);
    static const uint8_t kNul = 0;
    if (IsTextLikeType(item.type)) {
        return EncryptItemBytes(
            container, name,
            {{head.data(), head.size()},
             {reinterpret_cast<const uint8_t*>(item.text.data()), item.text.size()},
             {&kNul, 1}});
    }
    if (IsBinaryType(item.type)) {
        if (const StoredStream* stored = item.data.Stored()) {
            if (CopiesAsItIs(item, *stored, key_)) {
                return CopyStream(container, name, *stored);
            }
            // A stream that no longer reads as the load found it is kept as it was rather
            // than lost: the save cannot write what it cannot read.
            StorageItemHeader found;
            uint64_t streamLength = 0;
            uint64_t dataLength = 0;
            if (!ReadStoredHeader(*stored->source->file, stored->stream, stored->source->key, found,
                                  streamLength, dataLength) ||
                streamLength != stored->streamLength || dataLength != stored->dataLength ||
                found.type != stored->header.type || found.name != stored->header.name) {
                return CopyStream(container, name, *stored);
            }
        }
        return EncryptDataStream(container, name, head, item.data);
    }
    return EncryptItemBytes(container, name, {{head.data(), head.size()}});
}

CompoundResult StorageWriter::WriteFolder(uint32_t container, const StorageItem& item,
                                          int32_t index, uint32_t& storage) {
    const CompoundResult created =
        writer_.CreateStorage(container, std::to_string(index), &storage);
    if (created != CompoundResult::Ok) {
        return created;
    }
    const auto record = StorageInfoRecord::Folder(item.name, item.expanded != 0).ToBytes();
    return EncryptItemBytes(storage, kInfoStreamName, {{record.data(), record.size()}});
}

std::string StorageFolderPath(const std::vector<std::string>& folderNames) {
    std::string path = "$:\\";
    for (const std::string& name : folderNames) {
        path += name;
        path += '\\';
    }
    return path;
}
