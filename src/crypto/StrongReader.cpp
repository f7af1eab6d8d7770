#include "crypto/StrongChunk.h"
#include "crypto/StrongEnvelope.h"

#include <sodium.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace strong {

// --- Sources --------------------------------------------------------------------------------

bool MemorySource::ReadAt(uint64_t offset, uint8_t* out, size_t length) {
    if (offset > length_ || length > length_ - offset) {
        return false;
    }
    if (length > 0) {
        std::memcpy(out, data_ + offset, length);
    }
    return true;
}

FileSource::~FileSource() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool FileSource::Open(const std::string& path) {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    // O_NONBLOCK: a FIFO must not hang the open; it is refused below.
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) {
        error_ = errno;
        return false;
    }
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        error_ = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    size_ = static_cast<uint64_t>(st.st_size);
    error_ = 0;
    return true;
}

bool FileSource::ReadAt(uint64_t offset, uint8_t* out, size_t length) {
    while (length > 0) {
        const ssize_t n = ::pread(fd_, out, length, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            error_ = n < 0 ? errno : EIO;
            return false;
        }
        out += n;
        offset += static_cast<uint64_t>(n);
        length -= static_cast<size_t>(n);
    }
    return true;
}

// --- Reader ---------------------------------------------------------------------------------

struct Reader::CachedChunk {
    uint64_t index = UINT64_MAX;
    uint64_t lastUse = 0;
    size_t length = 0;
    std::vector<uint8_t> plain;
};

Reader::Reader() : cache_(std::make_unique<CachedChunk[]>(kCachedChunks)) {}

Reader::~Reader() {
    for (size_t i = 0; i < kCachedChunks; ++i) {
        sodium_memzero(cache_[i].plain.data(), cache_[i].plain.size());
    }
}

Status Reader::Open(Source& source) {
    source_ = &source;
    unlocked_ = false;
    for (size_t i = 0; i < kCachedChunks; ++i) {
        cache_[i].index = UINT64_MAX;
    }
    const uint64_t size = source.Size();
    if (size < kMagic.size()) {
        return Status::NotStrong;
    }
    std::array<uint8_t, kHeaderBytes> bytes{};
    const size_t headerLength = static_cast<size_t>(std::min<uint64_t>(size, kHeaderBytes));
    if (!source.ReadAt(0, bytes.data(), headerLength)) {
        return Status::ReadFailed;
    }
    if (const Status s = ParseHeader(bytes.data(), headerLength, header_); s != Status::Ok) {
        return s;
    }
    headerBytes_ = bytes;
    // The layout follows from the size: every chunk but the last is full, the last holds at
    // least its tag. Anything else is a damaged file; whether the last chunk really is the
    // last is checked when it is opened.
    const uint64_t body = size - kHeaderBytes;
    const uint64_t stride = uint64_t{header_.chunkBytes} + kTagBytes;
    if (body < kTagBytes) {
        return Status::Damaged;
    }
    chunkCount_ = (body + stride - 1) / stride;
    const uint64_t lastSealed = body - (chunkCount_ - 1) * stride;
    if (lastSealed < kTagBytes) {
        return Status::Damaged;
    }
    plainSize_ = body - chunkCount_ * kTagBytes;
    return Status::Ok;
}

Status Reader::Unlock(std::string_view password) {
    Key key;
    return Unlock(password, key);
}

Status Reader::Unlock(std::string_view password, Key& key) {
    if (source_ == nullptr) {
        return Status::NotStrong;
    }
    if (!key.Fits(header_)) {
        if (const Status s = key.DeriveFor(password, header_); s != Status::Ok) {
            return s;
        }
    }
    return UnlockWithKey(key);
}

Status Reader::UnlockWithKey(const Key& key) {
    if (source_ == nullptr) {
        return Status::NotStrong;
    }
    if (!key.Fits(header_)) {
        return Status::WrongPassword;
    }
    const std::array<uint8_t, kKeyCheckBytes> check = key.Check();
    if (sodium_memcmp(check.data(), header_.keyCheck.data(), kKeyCheckBytes) != 0) {
        return Status::WrongPassword;
    }
    // A copy of our own: the caller's key may go away while we read.
    key_.CopyFrom(key);
    unlocked_ = true;
    return Status::Ok;
}

size_t Reader::SealedLength(uint64_t index) const {
    const uint64_t stride = uint64_t{header_.chunkBytes} + kTagBytes;
    return index + 1 == chunkCount_
               ? static_cast<size_t>(source_->Size() - kHeaderBytes - index * stride)
               : static_cast<size_t>(stride);
}

Status Reader::OpenChunk(uint64_t index, uint8_t* plain, size_t& plainLength) {
    const uint64_t stride = uint64_t{header_.chunkBytes} + kTagBytes;
    const bool last = index + 1 == chunkCount_;
    const uint64_t offset = kHeaderBytes + index * stride;
    const size_t sealedLength = SealedLength(index);
    sealed_.resize(sealedLength);
    if (!source_->ReadAt(offset, sealed_.data(), sealedLength)) {
        return Status::ReadFailed;
    }
    const auto nonce = ChunkNonce(header_.nonceBase, index);
    const auto ad = AdditionalData(headerBytes_, last);
    unsigned long long length = 0;
    if (crypto_aead_xchacha20poly1305_ietf_decrypt(plain, &length, nullptr, sealed_.data(),
                                                   sealedLength, ad.data(), ad.size(), nonce.data(),
                                                   key_.Bytes()) != 0) {
        return Status::Damaged;
    }
    plainLength = static_cast<size_t>(length);
    return Status::Ok;
}

const Reader::CachedChunk* Reader::Chunk(uint64_t index, Status& status) {
    CachedChunk* slot = &cache_[0];
    for (size_t i = 0; i < kCachedChunks; ++i) {
        if (cache_[i].index == index) {
            cache_[i].lastUse = ++useCounter_;
            return &cache_[i];
        }
        if (cache_[i].lastUse < slot->lastUse) {
            slot = &cache_[i];
        }
    }
    // The chunk that leaves takes its plaintext with it.
    sodium_memzero(slot->plain.data(), slot->plain.size());
    slot->index = UINT64_MAX;
    slot->plain.resize(SealedLength(index) - kTagBytes);
    status = OpenChunk(index, slot->plain.data(), slot->length);
    if (status != Status::Ok) {
        sodium_memzero(slot->plain.data(), slot->plain.size());
        return nullptr;
    }
    slot->index = index;
    slot->lastUse = ++useCounter_;
    return slot;
}

Status Reader::ReadAt(uint64_t offset, uint8_t* out, size_t length) {
    if (!unlocked_) {
        return Status::WrongPassword;
    }
    if (offset > plainSize_ || length > plainSize_ - offset) {
        return Status::Damaged;
    }
    while (length > 0) {
        const uint64_t index = offset / header_.chunkBytes;
        const size_t within = static_cast<size_t>(offset % header_.chunkBytes);
        Status status = Status::Ok;
        const CachedChunk* chunk = Chunk(index, status);
        if (chunk == nullptr) {
            return status;
        }
        if (within >= chunk->length) {
            return Status::Damaged;
        }
        const size_t n = std::min(length, chunk->length - within);
        std::memcpy(out, chunk->plain.data() + within, n);
        out += n;
        offset += n;
        length -= n;
    }
    return Status::Ok;
}

Status Reader::ReadAll(const std::function<bool(const uint8_t*, size_t)>& sink) {
    if (!unlocked_) {
        return Status::WrongPassword;
    }
    std::vector<uint8_t> plain(chunkCount_ > 1 ? header_.chunkBytes : SealedLength(0) - kTagBytes);
    Status status = Status::Ok;
    for (uint64_t i = 0; i < chunkCount_ && status == Status::Ok; ++i) {
        size_t length = 0;
        status = OpenChunk(i, plain.data(), length);
        if (status == Status::Ok && !sink(plain.data(), length)) {
            status = Status::WriteFailed;
        }
    }
    sodium_memzero(plain.data(), plain.size());
    return status;
}

} // namespace strong
