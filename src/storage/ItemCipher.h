// The encrypted blob of a storage stream, produced and undone without holding a second copy of
// the item: encryption takes the plaintext in pieces (header, then data) and hands the
// ciphertext on slice by slice; decryption works in the buffer the stream was read into. The
// bytes are exactly those of EncryptBuffer / DecryptBuffer.
#pragma once

#include "crypto/Ciphers.h"

#include <functional>
#include <memory>

struct evp_cipher_ctx_st;

class ItemEncryptor {
public:
    // Receives each slice of ciphertext in order; false stops the encryption.
    using Sink = std::function<bool(const uint8_t* data, size_t length)>;

    // `plainLength`, when known, keeps the working buffer no larger than the item needs.
    ItemEncryptor(const AesKey& key, Sink sink, uint64_t plainLength = UINT64_MAX);
    ~ItemEncryptor();
    ItemEncryptor(const ItemEncryptor&) = delete;
    ItemEncryptor& operator=(const ItemEncryptor&) = delete;

    bool Add(const uint8_t* data, size_t length);
    // Pads and encrypts the rest. Fails when nothing was added, as EncryptBuffer does.
    bool Finish();

    // Length of the blob of a plaintext of `plainLength` bytes.
    static uint64_t BlobLength(uint64_t plainLength) { return (plainLength / 16 + 1) * 16; }

private:
    bool Flush(size_t length);

    std::unique_ptr<evp_cipher_ctx_st, void (*)(evp_cipher_ctx_st*)> ctx_;
    Sink sink_;
    Bytes slice_;
    size_t filled_ = 0;
    uint64_t written_ = 0;
    uint64_t added_ = 0;
    bool failed_ = false;
};

// Decrypts any whole blocks of a blob where they stand: blocks (and the scramble's words)
// are independent, so a stream can be undone piece by piece or only where it is needed.
class ItemDecryptor {
public:
    explicit ItemDecryptor(const AesKey& key);
    ~ItemDecryptor();
    ItemDecryptor(const ItemDecryptor&) = delete;
    ItemDecryptor& operator=(const ItemDecryptor&) = delete;

    // `length` bytes of the blob from byte `offset`, both multiples of 16.
    bool Decrypt(uint8_t* data, size_t length, uint64_t offset);

private:
    std::unique_ptr<evp_cipher_ctx_st, void (*)(evp_cipher_ctx_st*)> ctx_;
};

// Replaces the blob in `buffer` by its plaintext. On a length that is not a whole number of
// blocks or on bad padding the buffer is wiped and emptied and false is returned.
bool DecryptItemInPlace(Bytes& buffer, const AesKey& key);
