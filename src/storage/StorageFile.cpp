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
    plain.clear();
    if (reader.ReadStream(stream, plain) != CompoundResult::Ok) {
        SecureWipe(plain.data(), plain.size());
        plain.clear();
        return false;
    }
    return DecryptItemInPlace(plain, key);
}

StorageReadResult ReadStorage(const CompoundReader& reader, std::string_view password,
                              StorageItemTable& table, StorageTree& tree,
                              const StorageReadProgress& progress,
                              const std::atomic<bool>* cancel) {
    const WipedKey key(password);
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
                const bool read = DecryptItemBytes(reader, info.id, key.key, plain);
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
        if (!DecryptItemBytes(reader, entry.id, key.key, plain)) {
            cutShort();
            continue;
        }
        // A plaintext too short for its header is as damaged as one that does not decrypt.
        const auto header = StorageItemHeader::FromBytes(plain.data(), plain.size());
        if (!header) {
            SecureWipe(plain.data(), plain.size());
            cutShort();
            continue;
        }
        item->type = header->type;
        item->name = header->name;
        plain.erase(plain.begin(), plain.begin() + static_cast<long>(kItemHeaderBytes));
        if (IsBinaryType(header->type)) {
            item->size = static_cast<int64_t>(plain.size());
            if (item->Is(StorageItemType::Image)) {
                item->imageType = header->imageType;
                item->fitToView = header->fitToView;
            }
            item->data = std::move(plain);
            plain = Bytes();
        } else if (IsTextLikeType(header->type)) {
            item->size = static_cast<int64_t>(plain.size());
            const auto* begin = reinterpret_cast<const char*>(plain.data());
            item->text.assign(begin, strnlen(begin, plain.size()));
            SecureWipe(plain.data(), plain.size());
        } else {
            SecureWipe(plain.data(), plain.size());
        }
        const int32_t index = table.Add(std::move(item));
        tree.push_back({index, parent});
    }
    return result;
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

CompoundResult StorageWriter::CreateStorageFile() {
    const auto record = StorageInfoRecord::Root().ToBytes();
    return EncryptItemBytes(CompoundWriter::kRoot, kInfoStreamName,
                            {{record.data(), record.size()}});
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
    StorageItemHeader header;
    header.type = item.type;
    header.name = item.name;
    header.dataLength = static_cast<int32_t>(item.StoredDataLength());
    if (item.Is(StorageItemType::Image)) {
        header.imageType = item.imageType;
        header.imageLength = header.dataLength;
        header.fitToView = item.fitToView;
    }
    const auto head = header.ToBytes();
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
        return EncryptItemBytes(container, name,
                                {{head.data(), head.size()}, {item.data.data(), item.data.size()}});
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
