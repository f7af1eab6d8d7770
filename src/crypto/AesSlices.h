// AES-256-ECB with block padding, run slice by slice so that a caller can work on each slice
// while it is still in cache (the blob's word scramble does). `offset` is where the slice
// starts in the whole buffer; slices are whole multiples of the 128-byte scramble period.
#pragma once

#include "crypto/Ciphers.h"

// The cipher's block, and the period of the word scramble: the scramble's rotation count
// repeats every 32 words, so whole periods encrypt alike wherever they stand in a text.
inline constexpr size_t kAesBlockBytes = 16;
inline constexpr size_t kScramblePeriodBytes = 128;

// Runs on each slice of ciphertext right after it is written, the padded last block included.
using EncryptedSliceHook = void (*)(uint8_t* slice, size_t length, size_t offset);
// Fills each output slice from the input before it is decrypted in place (null: a copy).
using CiphertextSliceHook = void (*)(const uint8_t* in, uint8_t* out, size_t length, size_t offset);

bool AesEncryptPaddedSlices(const uint8_t* data, size_t length, const AesKey& key, Bytes& out,
                            EncryptedSliceHook afterEncrypt);
bool AesDecryptPaddedSlices(const uint8_t* data, size_t length, const AesKey& key, Bytes& out,
                            CiphertextSliceHook fillSlice);

// The current-form blob's cipher: AES-256-ECB with block padding, each ciphertext word rotated
// (left on encryption, right before decryption). With vector AES the cipher and the rotation
// run in one pass; `allowVectorAes` false forces the two-pass EVP path, for tests.
bool AesEncryptRotated(const uint8_t* data, size_t length, const AesKey& key, Bytes& out,
                       bool allowVectorAes = true);
bool AesDecryptRotated(const uint8_t* data, size_t length, const AesKey& key, Bytes& out,
                       bool allowVectorAes = true);

// Makes `out` ready to be overwritten with `length` bytes without clearing it: a buffer that
// is big enough keeps its bytes, as every one is about to be overwritten, and a smaller one
// is reserved anew, empty. GrowTo then sizes it slice by slice, so new bytes are cleared while
// they are in cache.
void PrepareOutput(Bytes& out, size_t length);
inline void GrowTo(Bytes& out, size_t size) {
    if (out.size() < size) {
        out.resize(size);
    }
}
