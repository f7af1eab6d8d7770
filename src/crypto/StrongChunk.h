#pragma once
// How each chunk of an envelope is bound to its place: its nonce and its additional data.

#include "crypto/StrongEnvelope.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace strong {

// The nonce of chunk `index`: the base with its first 8 bytes XORed with the index.
inline std::array<uint8_t, kNonceBytes> ChunkNonce(const std::array<uint8_t, kNonceBytes>& base,
                                                   uint64_t index) {
    std::array<uint8_t, kNonceBytes> nonce = base;
    for (int i = 0; i < 8; ++i) {
        nonce[static_cast<size_t>(i)] ^= static_cast<uint8_t>(index >> (8 * i));
    }
    return nonce;
}

// The additional data of a chunk: the header and the last-chunk flag.
inline std::array<uint8_t, kHeaderBytes + 1>
AdditionalData(const std::array<uint8_t, kHeaderBytes>& h, bool last) {
    std::array<uint8_t, kHeaderBytes + 1> ad{};
    std::memcpy(ad.data(), h.data(), kHeaderBytes);
    ad[kHeaderBytes] = last ? 1 : 0;
    return ad;
}

} // namespace strong
