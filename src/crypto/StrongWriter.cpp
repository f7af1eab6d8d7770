#include "crypto/StrongChunk.h"
#include "crypto/StrongEnvelope.h"

#include <sodium.h>

#include <algorithm>
#include <cstring>

namespace strong {

// --- Writer ---------------------------------------------------------------------------------

Writer::Writer(Sink sink, uint32_t chunkBytes) : sink_(std::move(sink)), chunkBytes_(chunkBytes) {}

Writer::~Writer() {
    sodium_memzero(key_.data(), key_.size());
    sodium_memzero(pending_.data(), pending_.size());
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
    index_ = 0;
    begun_ = true;
    finished_ = false;
    return sink_(headerBytes_.data(), headerBytes_.size()) ? Status::Ok : Status::WriteFailed;
}

Status Writer::Seal(const uint8_t* plain, size_t length, bool last) {
    const auto nonce = ChunkNonce(nonceBase_, index_);
    const auto ad = AdditionalData(headerBytes_, last);
    unsigned long long sealedLength = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt(sealed_.data(), &sealedLength, plain, length,
                                               ad.data(), ad.size(), nullptr, nonce.data(),
                                               key_.data());
    ++index_;
    return sink_(sealed_.data(), static_cast<size_t>(sealedLength)) ? Status::Ok
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
            const Status s = Seal(pending_.data(), pending_.size(), false);
            sodium_memzero(pending_.data(), pending_.size());
            pending_.clear();
            if (s != Status::Ok) {
                return s;
            }
        }
        if (pending_.empty() && length > chunkBytes_) {
            // Whole chunks with more behind them go straight from the caller's bytes.
            if (const Status s = Seal(data, chunkBytes_, false); s != Status::Ok) {
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
    const Status s = Seal(pending_.data(), pending_.size(), true);
    sodium_memzero(pending_.data(), pending_.size());
    pending_.clear();
    sodium_memzero(key_.data(), key_.size());
    return s;
}

} // namespace strong
