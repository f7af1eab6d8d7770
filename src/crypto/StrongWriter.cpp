#include "crypto/StrongChunk.h"
#include "crypto/StrongEnvelope.h"

#include <sodium.h>

#include <algorithm>
#include <cstring>

namespace strong {

// --- Writer ---------------------------------------------------------------------------------

Writer::Writer(Sink sink, uint32_t chunkBytes)
    : sink_([sink = std::move(sink)](uint64_t, const uint8_t* data, size_t length) {
          return sink(data, length);
      }),
      chunkBytes_(chunkBytes) {}

Writer::Writer(PlacedSink sink, FirstChunk first, uint32_t chunkBytes)
    : sink_(std::move(sink)), holdFirst_(first == FirstChunk::Held), chunkBytes_(chunkBytes) {}

Writer::~Writer() {
    sodium_memzero(key_.data(), key_.size());
    sodium_memzero(pending_.data(), pending_.size());
    sodium_memzero(first_.data(), first_.size());
}

Status Writer::Begin(const Key& key) {
    if (!key.IsSet() || chunkBytes_ < kMinChunkBytes || chunkBytes_ > kMaxChunkBytes || !Init()) {
        return Status::BadHeader;
    }
    Header h;
    h.params = key.Params();
    h.chunkBytes = chunkBytes_;
    h.salt = key.Salt();
    randombytes_buf(h.nonceBase.data(), h.nonceBase.size());
    h.keyCheck = key.Check();
    headerBytes_ = EncodeHeader(h);
    nonceBase_ = h.nonceBase;
    std::memcpy(key_.data(), key.Bytes(), kKeyBytes);
    pending_.clear();
    pending_.reserve(chunkBytes_);
    sealed_.resize(size_t{chunkBytes_} + kTagBytes);
    first_.clear();
    index_ = 0;
    fileBytes_ = kHeaderBytes;
    begun_ = true;
    finished_ = false;
    return sink_(0, headerBytes_.data(), headerBytes_.size()) ? Status::Ok : Status::WriteFailed;
}

Status Writer::Seal(uint64_t index, const uint8_t* plain, size_t length, bool last) {
    const auto nonce = ChunkNonce(nonceBase_, index);
    const auto ad = AdditionalData(headerBytes_, last);
    unsigned long long sealedLength = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt(sealed_.data(), &sealedLength, plain, length,
                                               ad.data(), ad.size(), nullptr, nonce.data(),
                                               key_.data());
    const uint64_t offset = kHeaderBytes + index * (uint64_t{chunkBytes_} + kTagBytes);
    fileBytes_ = std::max<uint64_t>(fileBytes_, offset + sealedLength);
    return sink_(offset, sealed_.data(), static_cast<size_t>(sealedLength)) ? Status::Ok
                                                                            : Status::WriteFailed;
}

Status Writer::Append(const uint8_t* data, size_t length) {
    if (!begun_ || finished_) {
        return Status::WriteFailed;
    }
    // A full chunk is sealed only once more plaintext follows it: until then it may be the
    // last one.
    while (length > 0) {
        if (pending_.size() == chunkBytes_) {
            if (holdFirst_ && index_ == 0) {
                // The first chunk waits for its last changes; it is sealed by Finish.
                first_.swap(pending_);
                pending_.reserve(chunkBytes_);
                ++index_;
                continue;
            }
            const Status s = Seal(index_++, pending_.data(), pending_.size(), false);
            sodium_memzero(pending_.data(), pending_.size());
            pending_.clear();
            if (s != Status::Ok) {
                return s;
            }
        }
        if (pending_.empty() && length > chunkBytes_ && !(holdFirst_ && index_ == 0)) {
            // Whole chunks with more behind them go straight from the caller's bytes.
            if (const Status s = Seal(index_++, data, chunkBytes_, false); s != Status::Ok) {
                return s;
            }
            data += chunkBytes_;
            length -= chunkBytes_;
            continue;
        }
        const size_t n = std::min(length, chunkBytes_ - pending_.size());
        pending_.insert(pending_.end(), data, data + n);
        data += n;
        length -= n;
    }
    return Status::Ok;
}

Status Writer::Finish() {
    if (!begun_ || finished_) {
        return Status::WriteFailed;
    }
    finished_ = true;
    Status s = Seal(index_, pending_.data(), pending_.size(), true);
    sodium_memzero(pending_.data(), pending_.size());
    pending_.clear();
    if (s == Status::Ok && !first_.empty()) {
        s = Seal(0, first_.data(), first_.size(), false);
    }
    sodium_memzero(first_.data(), first_.size());
    first_.clear();
    sodium_memzero(key_.data(), key_.size());
    return s;
}

Status Writer::Rewrite(uint64_t offset, const uint8_t* data, size_t length) {
    // Before the first chunk is complete it is still the pending one.
    std::vector<uint8_t>& chunk = index_ == 0 ? pending_ : first_;
    if (!holdFirst_ || !begun_ || finished_ || offset > chunk.size() ||
        length > chunk.size() - offset) {
        return Status::WriteFailed;
    }
    std::memcpy(chunk.data() + offset, data, length);
    return Status::Ok;
}

} // namespace strong
