// The in-memory items of a storage document: one record per item, the table that owns them
// (a deleted item leaves a null slot, so an index stays an item's identity while the document
// is open), and the plain tree that says where each item sits.
//
// Records in a table never change: a change puts a changed copy in the slot, and the bytes of
// an item are shared between copies. A copy of the table is therefore a snapshot that costs
// one pointer per item and never sees later changes (what a save on a worker thread reads).
#pragma once

#include "compound/CompoundFile.h"
#include "crypto/Ciphers.h"
#include "storage/StorageLayout.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The open storage file that item data left on disk is read from, with the key its streams
// decrypt under. Shared by every reference into the file: the file stays open while any
// item, table snapshot or worker still refers to it.
struct StorageSource {
    StorageSource(std::shared_ptr<const CompoundReader> file, const AesKey& key);
    ~StorageSource();
    StorageSource(const StorageSource&) = delete;
    StorageSource& operator=(const StorageSource&) = delete;

    std::shared_ptr<const CompoundReader> file;
    AesKey key;
};

// Where an item's data lies in an open file: its stream, the stream's length, the length of
// the data in its plaintext and the header the stream carries (a save copies the stream as
// it is while the item still matches that header).
struct StoredStream {
    std::shared_ptr<const StorageSource> source;
    uint32_t stream = 0;
    uint64_t streamLength = 0;
    uint64_t dataLength = 0;
    StorageItemHeader header;
};

// A file on disk whose bytes become an item's data, read in pieces when the item is written,
// so that adding a file costs no memory for its bytes. Either held open, or (for the many
// files of a folder tree, which could not all be held open at once) left closed and opened
// again by its path, where it must still be the very file that was looked at.
struct OutsideFile {
    OutsideFile(int fd, uint64_t size) : fd(fd), size(size) {}
    OutsideFile(std::string path, uint64_t size, uint64_t device, uint64_t inode)
        : path(std::move(path)), size(size), device(device), inode(inode) {}
    ~OutsideFile();
    OutsideFile(const OutsideFile&) = delete;
    OutsideFile& operator=(const OutsideFile&) = delete;

    int fd = -1;      // owned, closed with the last reference; -1 for a file left closed
    std::string path; // a file left closed: where it is
    uint64_t size;    // the length it had when it was opened
    uint64_t device = 0;
    uint64_t inode = 0; // a file left closed: which file it was
};

enum class ItemDataRead {
    Ok,
    Damaged,  // the stream cannot be read or does not decrypt to what the load found
    NoMemory, // the bytes do not fit in memory
    Stopped,  // the receiver of the pieces stopped the read
};

// The bytes of an image, PDF or file item: either bytes in memory (immutable and shared by
// every copy of the record, wiped when the last copy lets go of them) or a reference to the
// item's stream in the open file, read and decrypted when something needs them.
class ItemData {
public:
    ItemData() = default;
    // Takes the bytes over (a plain assignment from a Bytes value reads as that).
    ItemData(Bytes&& bytes); // NOLINT(google-explicit-constructor)
    explicit ItemData(std::shared_ptr<const StoredStream> stored);
    explicit ItemData(std::shared_ptr<const OutsideFile> file);

    // The data's length, wherever it is.
    size_t size() const;
    bool empty() const { return size() == 0; }
    // The stream the data is in, or null for bytes in memory.
    const StoredStream* Stored() const { return stored_.get(); }

    // Bytes in memory only: null (and an empty view) for data left in the file.
    const uint8_t* data() const { return bytes_ ? bytes_->data() : nullptr; }
    const uint8_t* begin() const { return data(); }
    const uint8_t* end() const { return data() + (bytes_ ? bytes_->size() : 0); }
    uint8_t operator[](size_t i) const { return data()[i]; }
    bool operator==(const Bytes& other) const {
        return bytes_ && size() == other.size() && std::equal(begin(), end(), other.begin());
    }
    std::string_view view() const {
        return {reinterpret_cast<const char*>(data()), bytes_ ? bytes_->size() : 0};
    }
    // Whether two records share the same data (not merely equal bytes).
    bool SharesWith(const ItemData& other) const {
        return bytes_ == other.bytes_ && stored_ == other.stored_ && file_ == other.file_;
    }

    // The data in memory: bytes in memory are shared, data in a file is read (and
    // decrypted) into `out` now (wiped when the last copy lets go of it).
    ItemDataRead Load(ItemData& out) const;
    // Hands the data over in order, in pieces of at most kItemPieceBytes; `sink` returning
    // false stops the read. Memory stays at one piece, whatever the item's size.
    using PieceSink = std::function<bool(const uint8_t* data, size_t length)>;
    ItemDataRead ReadPieces(const PieceSink& sink) const;

private:
    std::shared_ptr<const Bytes> bytes_;
    std::shared_ptr<const StoredStream> stored_;
    std::shared_ptr<const OutsideFile> file_;
};

// The largest piece item data is read, decrypted, written or copied in.
inline constexpr size_t kItemPieceBytes = size_t{2} << 20;

struct StorageItem {
    StorageItem() = default;
    StorageItem(const StorageItem&) = default;
    StorageItem& operator=(const StorageItem&) = default;
    // The text may be a secret: it is wiped (the data wipes itself).
    ~StorageItem();

    int32_t type = 0;      // a StorageItemType value, or an unknown value read from a file
    int32_t imageType = 0; // images: the ImageType of the data
    int64_t size = 0;      // data length; for text-like items only a recorded length
    std::string name;      // display name in the program's code page
    std::string text;      // notes and accounts: the note text or the account's XML
    ItemData data;         // images, PDFs and files: the raw bytes
    int32_t fitToView = 0; // images: shown scaled to fit the view
    int32_t expanded = 0;  // folders: expanded in the tree when saved

    bool Is(StorageItemType t) const { return type == static_cast<int32_t>(t); }
    bool IsFolder() const { return Is(StorageItemType::Folder); }
    // Length of the bytes that follow the header when the item is written: the data, or the
    // text and its NUL; an unknown type writes none.
    uint64_t StoredDataLength() const;
};

class StorageItemTable {
public:
    // Appends the item and returns its index (the next index).
    int32_t Add(std::unique_ptr<StorageItem> item);
    // Null for a deleted item and for an index out of range.
    const StorageItem* Get(int32_t index) const;
    // Puts a copy of the item, changed by `change`, in its slot (the data stays shared unless
    // `change` replaces it); false for a deleted item or an index out of range.
    bool Update(int32_t index, const std::function<void(StorageItem&)>& change);
    // Lets go of the item; its slot stays empty, the index is never handed out again.
    void Delete(int32_t index);
    int32_t NextIndex() const { return static_cast<int32_t>(slots_.size()); }
    void Clear() { slots_.clear(); }

private:
    std::vector<std::shared_ptr<const StorageItem>> slots_;
};

// Where one item sits: its table index and the index of the folder holding it (kRootParent
// for the top level).
struct StorageTreeEntry {
    int32_t item = 0;
    int32_t parent = -1;
};
inline constexpr int32_t kRootParent = -1;

// A tree as a list in pre-order: every folder comes before the items inside it. Loading
// produces one in reading order; saving takes one in the order to write.
using StorageTree = std::vector<StorageTreeEntry>;

// The tree in display order: siblings sorted by name without regard to ASCII case (equal
// names keep their order), each folder followed by its contents. Entries whose item or parent
// is missing are dropped along with what they hold.
StorageTree SortedTree(const StorageTree& tree, const StorageItemTable& table);
