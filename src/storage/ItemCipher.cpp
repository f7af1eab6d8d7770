#include "storage/ItemCipher.h"

#include "crypto/WordRotation.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kBlock = 16;
// A whole number of the scramble's 128-byte period, small enough to stay in cache.
constexpr size_t kSlice = size_t{256} << 10;

evp_cipher_ctx_st* NewContext(const AesKey& key, bool encrypt) {
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    if (ctx != nullptr &&
        (EVP_CipherInit_ex(ctx, EVP_aes_256_ecb(), nullptr, key.data(), nullptr, encrypt) != 1 ||
         EVP_CIPHER_CTX_set_padding(ctx, 0) != 1)) {
        EVP_CIPHER_CTX_free(ctx);
        ctx = nullptr;
    }
    return ctx;
}

bool Cipher(EVP_CIPHER_CTX* ctx, uint8_t* data, size_t length) {
    int written = 0;
    return ctx != nullptr &&
           EVP_CipherUpdate(ctx, data, &written, data, static_cast<int>(length)) == 1 &&
           static_cast<size_t>(written) == length;
}

} // namespace

ItemEncryptor::ItemEncryptor(const AesKey& key, Sink sink, uint64_t plainLength)
    : ctx_(NewContext(key, true), EVP_CIPHER_CTX_free), sink_(std::move(sink)),
      // Room for the whole item and its padding block, in whole scramble periods.
      slice_(std::min(
          kSlice, static_cast<size_t>(std::min<uint64_t>(plainLength, kSlice)) / 128 * 128 + 128)) {
    failed_ = ctx_ == nullptr;
}

ItemEncryptor::~ItemEncryptor() {
    SecureWipe(slice_.data(), slice_.size());
}

bool ItemEncryptor::Flush(size_t length) {
    if (!Cipher(ctx_.get(), slice_.data(), length)) {
        failed_ = true;
        return false;
    }
    RotateWordRangeLeft(slice_.data(), length / 4, static_cast<size_t>(written_ / 4));
    written_ += length;
    if (!sink_(slice_.data(), length)) {
        failed_ = true;
        return false;
    }
    return true;
}

bool ItemEncryptor::Add(const uint8_t* data, size_t length) {
    if (failed_ || (data == nullptr && length > 0)) {
        return false;
    }
    added_ += length;
    while (length > 0) {
        const size_t n = std::min(length, slice_.size() - filled_);
        std::memcpy(slice_.data() + filled_, data, n);
        filled_ += n;
        data += n;
        length -= n;
        if (filled_ == slice_.size()) {
            filled_ = 0;
            if (!Flush(slice_.size())) {
                return false;
            }
        }
    }
    return true;
}

bool ItemEncryptor::Finish() {
    if (failed_ || added_ == 0) {
        return false;
    }
    // The slice is never full here, so there is room for a whole block of padding.
    const size_t pad = kBlock - filled_ % kBlock;
    std::memset(slice_.data() + filled_, static_cast<int>(pad), pad);
    const size_t length = filled_ + pad;
    filled_ = 0;
    return Flush(length);
}

ItemDecryptor::ItemDecryptor(const AesKey& key)
    : ctx_(NewContext(key, false), EVP_CIPHER_CTX_free) {}

ItemDecryptor::~ItemDecryptor() = default;

bool ItemDecryptor::Decrypt(uint8_t* data, size_t length, uint64_t offset) {
    if (ctx_ == nullptr || length % kBlock != 0 || offset % kBlock != 0) {
        return false;
    }
    for (size_t off = 0; off < length; off += kSlice) {
        const size_t n = std::min(kSlice, length - off);
        RotateWordRangeRight(data + off, data + off, n / 4,
                             static_cast<size_t>((offset + off) / 4));
        if (!Cipher(ctx_.get(), data + off, n)) {
            return false;
        }
    }
    return true;
}

bool DecryptItemInPlace(Bytes& buffer, const AesKey& key) {
    std::unique_ptr<EVP_CIPHER_CTX, void (*)(EVP_CIPHER_CTX*)> ctx(NewContext(key, false),
                                                                   EVP_CIPHER_CTX_free);
    bool ok = ctx != nullptr && !buffer.empty() && buffer.size() % kBlock == 0;
    for (size_t off = 0; ok && off < buffer.size(); off += kSlice) {
        const size_t n = std::min(kSlice, buffer.size() - off);
        RotateWordRangeRight(buffer.data() + off, buffer.data() + off, n / 4, off / 4);
        ok = Cipher(ctx.get(), buffer.data() + off, n);
    }
    if (!ok) {
        SecureWipe(buffer.data(), buffer.size());
        buffer.clear();
        return false;
    }
    return TrimBlockPadding(buffer, kBlock);
}
