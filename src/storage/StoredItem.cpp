// Item data left in the open file: the header read of the load, and the reads of the whole
// data or of its pieces when something needs it.
#include "storage/StorageFile.h"

#include "storage/ItemCipher.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uint64_t kBlock = 16;
// The header and the rest of its last block.
constexpr uint64_t kHeadBlocks = (kItemHeaderBytes + kBlock - 1) / kBlock * kBlock;

// The padding's length when the last block ends in valid padding, else 0.
size_t PaddingOf(const uint8_t* lastBlock) {
    const uint8_t pad = lastBlock[kBlock - 1];
    if (pad < 1 || pad > kBlock) {
        return 0;
    }
    for (size_t i = kBlock - pad; i < kBlock; ++i) {
        if (lastBlock[i] != pad) {
            return 0;
        }
    }
    return pad;
}

bool SameHeader(const StorageItemHeader& a, const StorageItemHeader& b) {
    return a.type == b.type && a.imageType == b.imageType && a.dataLength == b.dataLength &&
           a.name == b.name && a.imageLength == b.imageLength && a.fitToView == b.fitToView;
}

} // namespace

StorageSource::StorageSource(std::shared_ptr<const CompoundReader> f, const AesKey& k)
    : file(std::move(f)), key(k) {}

StorageSource::~StorageSource() {
    SecureWipe(key.data(), key.size());
}

bool ReadStoredHeader(const CompoundReader& file, uint32_t stream, const AesKey& key,
                      StorageItemHeader& header, uint64_t& streamLength, uint64_t& dataLength) {
    CompoundReader::Cursor cursor;
    if (cursor.Open(file, stream) != CompoundResult::Ok) {
        return false;
    }
    streamLength = cursor.Size();
    if (streamLength % kBlock != 0 || streamLength < kHeadBlocks) {
        return false;
    }
    uint8_t head[kHeadBlocks];
    uint8_t last[kBlock];
    ItemDecryptor decryptor(key);
    bool ok = cursor.Read(head, sizeof head) == CompoundResult::Ok &&
              decryptor.Decrypt(head, sizeof head, 0);
    if (ok && streamLength == kHeadBlocks) {
        std::memcpy(last, head + kHeadBlocks - kBlock, kBlock);
    } else if (ok) {
        ok = cursor.Seek(streamLength - kBlock) == CompoundResult::Ok &&
             cursor.Read(last, kBlock) == CompoundResult::Ok &&
             decryptor.Decrypt(last, kBlock, streamLength - kBlock);
    }
    const size_t pad = ok ? PaddingOf(last) : 0;
    // A plaintext too short for its header is as damaged as one that does not decrypt.
    ok = pad > 0 && streamLength - pad >= kItemHeaderBytes;
    if (ok) {
        header = *StorageItemHeader::FromBytes(head, sizeof head);
        dataLength = streamLength - pad - kItemHeaderBytes;
    }
    SecureWipe(head, sizeof head);
    SecureWipe(last, sizeof last);
    return ok;
}

namespace {

ItemDataRead ReadStoredPieces(const StoredStream& stored, const ItemData::PieceSink& sink) {
    CompoundReader::Cursor cursor;
    if (cursor.Open(*stored.source->file, stored.stream) != CompoundResult::Ok ||
        cursor.Size() != stored.streamLength || stored.streamLength < kHeadBlocks) {
        return ItemDataRead::Damaged;
    }
    const uint64_t length = stored.streamLength;
    const uint64_t dataEnd = kItemHeaderBytes + stored.dataLength;
    const uint64_t pad = length - dataEnd;
    Bytes buffer;
    try {
        buffer.resize(static_cast<size_t>(std::min<uint64_t>(length, kItemPieceBytes)));
    } catch (const std::bad_alloc&) {
        return ItemDataRead::NoMemory;
    }
    ItemDecryptor decryptor(stored.source->key);
    ItemDataRead result = ItemDataRead::Ok;
    for (uint64_t at = 0; at < length && result == ItemDataRead::Ok;) {
        const auto n = static_cast<size_t>(std::min<uint64_t>(buffer.size(), length - at));
        if (cursor.Read(buffer.data(), n) != CompoundResult::Ok ||
            !decryptor.Decrypt(buffer.data(), n, at)) {
            result = ItemDataRead::Damaged;
            break;
        }
        // The stream must still be the one the load found: its header at the front, its
        // padding at the end.
        if (at == 0) {
            const auto header = StorageItemHeader::FromBytes(buffer.data(), n);
            if (!header || !SameHeader(*header, stored.header)) {
                result = ItemDataRead::Damaged;
                break;
            }
        }
        if (at + n == length && (n < kBlock || PaddingOf(buffer.data() + n - kBlock) != pad)) {
            result = ItemDataRead::Damaged;
            break;
        }
        const uint64_t from = std::max(at, uint64_t{kItemHeaderBytes});
        const uint64_t to = std::min<uint64_t>(at + n, dataEnd);
        if (from < to && !sink(buffer.data() + (from - at), static_cast<size_t>(to - from))) {
            result = ItemDataRead::Stopped;
        }
        at += n;
    }
    SecureWipe(buffer.data(), buffer.size());
    return result;
}

// The bytes of the file open at `fd`, which must still be `size` bytes long.
ItemDataRead ReadOutsidePieces(int fd, uint64_t size, const ItemData::PieceSink& sink) {
    Bytes buffer;
    try {
        buffer.resize(static_cast<size_t>(std::min<uint64_t>(size, kItemPieceBytes)));
    } catch (const std::bad_alloc&) {
        return ItemDataRead::NoMemory;
    }
    ItemDataRead result = ItemDataRead::Ok;
    for (uint64_t at = 0; at < size && result == ItemDataRead::Ok;) {
        const auto want = static_cast<size_t>(std::min<uint64_t>(buffer.size(), size - at));
        const ssize_t n = ::pread(fd, buffer.data(), want, static_cast<off_t>(at));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            result = ItemDataRead::Damaged; // cut short or unreadable since it was opened
        } else if (!sink(buffer.data(), static_cast<size_t>(n))) {
            result = ItemDataRead::Stopped;
        }
        at += n > 0 ? static_cast<uint64_t>(n) : 0;
    }
    SecureWipe(buffer.data(), buffer.size());
    return result;
}

// A file left closed, opened again: -1 unless it is still the file that was looked at.
int OpenOutsideAgain(const OutsideFile& file) {
    const int fd = ::open(file.path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat st {};
    if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
                    static_cast<uint64_t>(st.st_dev) != file.device ||
                    static_cast<uint64_t>(st.st_ino) != file.inode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The bytes of a file on disk, which must still be as long as it was when it was opened.
ItemDataRead ReadOutsidePieces(const OutsideFile& file, const ItemData::PieceSink& sink) {
    int fd = file.fd;
    if (fd < 0) {
        fd = OpenOutsideAgain(file);
        if (fd < 0) {
            return ItemDataRead::Damaged; // gone or replaced since it was looked at
        }
    }
    const ItemDataRead result = ReadOutsidePieces(fd, file.size, sink);
    if (fd != file.fd) {
        ::close(fd);
    }
    return result;
}

} // namespace

ItemDataRead ItemData::ReadPieces(const PieceSink& sink) const {
    if (stored_) {
        return ReadStoredPieces(*stored_, sink);
    }
    if (file_) {
        return ReadOutsidePieces(*file_, sink);
    }
    const size_t length = bytes_ ? bytes_->size() : 0;
    for (size_t at = 0; at < length; at += kItemPieceBytes) {
        if (!sink(bytes_->data() + at, std::min(kItemPieceBytes, length - at))) {
            return ItemDataRead::Stopped;
        }
    }
    return ItemDataRead::Ok;
}

ItemDataRead ItemData::Load(ItemData& out) const {
    if (!stored_ && !file_) {
        out = *this;
        return ItemDataRead::Ok;
    }
    Bytes bytes;
    try {
        bytes.reserve(size());
    } catch (const std::exception&) {
        return ItemDataRead::NoMemory;
    }
    const ItemDataRead read = ReadPieces([&](const uint8_t* data, size_t n) {
        bytes.insert(bytes.end(), data, data + n);
        return true;
    });
    if (read != ItemDataRead::Ok) {
        SecureWipe(bytes.data(), bytes.size());
        return read;
    }
    out = ItemData(std::move(bytes));
    return ItemDataRead::Ok;
}
