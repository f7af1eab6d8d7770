// An encrypted storage file on top of the compound-file library: opening it with the password
// check, reading every item into the item table and a plain tree, and writing items and
// folders. Every stream holds the encrypted blob of its record under the document password.
#pragma once

#include "compound/CompoundFile.h"
#include "crypto/Ciphers.h"
#include "storage/StorageItem.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// "Failed to open the file: NAME\nREASON", the message an open error shows.
std::string StorageOpenReason(CompoundResult result);
std::string StorageOpenErrorText(const std::string& path, CompoundResult result);

// Opens the root storage and keeps it open in `reader`: locked against other writers, or with
// no lock for a reader only.
CompoundResult OpenStorageFile(const std::string& path, CompoundReader& reader,
                               CompoundLock lock = CompoundLock::Exclusive);

enum class StoragePasswordStatus {
    Ok,
    OpenFailed,    // the file could not be opened: see openResult
    NoInfoStream,  // the root holds no info stream (not a storage of ours)
    DecryptFailed, // the info stream does not decrypt under this password
    WrongName,     // it decrypts, but not to the root record: a wrong password
};
struct StoragePasswordCheck {
    StoragePasswordStatus status = StoragePasswordStatus::OpenFailed;
    CompoundResult openResult = CompoundResult::Ok;
    bool ok() const { return status == StoragePasswordStatus::Ok; }
};

// Opens the file, checks the password against the root info record and closes it again.
StoragePasswordCheck CheckStoragePassword(const std::string& path, std::string_view password);
// The same check on a storage that is already open.
StoragePasswordCheck CheckStoragePassword(const CompoundReader& reader, std::string_view password);

// Reads one stream and decrypts it; false when it cannot be read or does not decrypt.
bool DecryptItemBytes(const CompoundReader& reader, uint32_t stream, const AesKey& key,
                      Bytes& plain);

// One storage level that was cut short: the stream (or folder) that failed and the items
// after it in the same storage were not read.
struct StorageDamage {
    int32_t folder = kRootParent; // the folder whose level was cut, kRootParent for the root
    std::string element;          // the element name that failed
};

struct StorageReadResult {
    std::vector<StorageDamage> damaged; // at most one per storage level
    uint64_t bytesRead = 0;             // stream bytes read, as reported to the progress
    bool cancelled = false;             // `cancel` was set: the tables hold part of the file
};

// Called after each stream is read with the running total of stream bytes.
using StorageReadProgress = std::function<void(uint64_t bytesRead)>;

// Reads the header of an item stream and checks its padding, decrypting only the blocks
// they are in: the stream's length and the data's length after the header come back too.
bool ReadStoredHeader(const CompoundReader& file, uint32_t stream, const AesKey& key,
                      StorageItemHeader& header, uint64_t& streamLength, uint64_t& dataLength);

// Reads every element of the root storage and, folder by folder, of every storage below it,
// in the order the file lists them. Each item is appended to `table` (its index is its place
// in reading order when the table starts empty) and to `tree`, a folder before its contents.
// A set `cancel` ends the read before the next element.
// Notes and accounts are read whole; the data of images, PDFs and files stays in the file
// (only its header is read), referenced through `file`, which stays open while any item
// refers to it.
StorageReadResult ReadStorage(std::shared_ptr<const CompoundReader> file, std::string_view password,
                              StorageItemTable& table, StorageTree& tree,
                              const StorageReadProgress& progress = {},
                              const std::atomic<bool>* cancel = nullptr);
// The same with every item's data read into memory, for a reader that does not outlive the
// call (checks of received data, tests).
StorageReadResult ReadStorage(const CompoundReader& reader, std::string_view password,
                              StorageItemTable& table, StorageTree& tree,
                              const StorageReadProgress& progress = {},
                              const std::atomic<bool>* cancel = nullptr);

// Writes items into a new storage file. Notes, accounts and info records are encrypted into
// one reused buffer; item data is encrypted in pieces, or its stream copied as it is from
// the file it was read from, so memory stays at a few megabytes beyond the tables.
class StorageWriter {
public:
    StorageWriter(CompoundWriter& writer, std::string_view password);
    ~StorageWriter();
    StorageWriter(const StorageWriter&) = delete;
    StorageWriter& operator=(const StorageWriter&) = delete;

    // The root info stream. `writer` must have been created or attached.
    CompoundResult CreateStorageFile();
    // One non-folder item as stream `index` of the storage `container`.
    CompoundResult WriteItem(uint32_t container, const StorageItem& item, int32_t index);
    // Storage `index` with its info stream; its id goes to `storage` for the folder's items.
    CompoundResult WriteFolder(uint32_t container, const StorageItem& item, int32_t index,
                               uint32_t& storage);
    // Plaintext bytes written so far (268 per info record, 292 plus data per item).
    uint64_t PlainBytesWritten() const { return plainBytes_; }
    // Items whose stream was copied as it was, without decrypting.
    uint64_t ItemsCopied() const { return copied_; }

private:
    CompoundResult EncryptItemBytes(uint32_t container, std::string_view name,
                                    std::initializer_list<std::pair<const uint8_t*, size_t>> parts);
    // The stream of an item whose data is in a file, copied as it is.
    CompoundResult CopyStream(uint32_t container, std::string_view name,
                              const StoredStream& stored);
    // The header and the data (read from its file in pieces when it is there), encrypted
    // under this key into a stream written in pieces.
    CompoundResult EncryptDataStream(uint32_t container, std::string_view name,
                                     const std::array<uint8_t, kItemHeaderBytes>& head,
                                     const ItemData& data);

    CompoundWriter& writer_;
    AesKey key_;
    Bytes blob_;
    uint64_t plainBytes_ = 0;
    uint64_t copied_ = 0;
};

// The header a save writes in front of the item's data.
StorageItemHeader HeaderOf(const StorageItem& item);
// Whether a save under `key` may copy the item's stream as it is: same key, and the item
// still matches the header the stream carries.
bool CopiesAsItIs(const StorageItem& item, const StoredStream& stored, const AesKey& key);

// Items whose data would not fit the 32-bit length of the header.
bool StorageItemTooLarge(const StorageItem& item);

// The location text of the storage views: "$:\" and each folder name from the top down
// followed by a backslash.
std::string StorageFolderPath(const std::vector<std::string>& folderNames);
