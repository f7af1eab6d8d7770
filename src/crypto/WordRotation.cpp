#include "crypto/WordRotation.h"

#include "crypto/Ciphers.h"

#include <cstring>

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "the scramble reads words little-endian; add byte swaps for this target");

namespace {

// The rotation pattern repeats every 32 words: word i turns by (i + 1) mod 32 bits.
constexpr size_t kPeriod = 32;

inline uint32_t RotL(uint32_t w, unsigned s) {
    return (w << s) | (w >> ((32 - s) & 31));
}
inline uint32_t RotR(uint32_t w, unsigned s) {
    return (w >> s) | (w << ((32 - s) & 31));
}

template <bool Left> inline void RotateOne(const uint8_t* in, uint8_t* out, size_t index) {
    uint32_t w;
    std::memcpy(&w, in, 4);
    const unsigned s = static_cast<unsigned>((index + 1) % kPeriod);
    w = Left ? RotL(w, s) : RotR(w, s);
    std::memcpy(out, &w, 4);
}

// Whole periods with the shift amounts known per lane, which the compiler turns into vector
// shifts where the processor has per-lane shift counts.
template <bool Left> inline void RotatePeriods(const uint8_t* in, uint8_t* out, size_t periods) {
    for (size_t p = 0; p < periods; ++p) {
        uint32_t w[kPeriod];
        std::memcpy(w, in + p * kPeriod * 4, sizeof w);
#pragma GCC unroll 32
        for (unsigned j = 0; j < kPeriod; ++j) {
            const unsigned s = (j + 1) % kPeriod;
            w[j] = Left ? RotL(w[j], s) : RotR(w[j], s);
        }
        std::memcpy(out + p * kPeriod * 4, w, sizeof w);
    }
}

template <bool Left>
inline void RotateRange(const uint8_t* in, uint8_t* out, size_t words, size_t firstWord) {
    size_t i = 0;
    // Lead-in up to the start of a period, then whole periods, then the tail.
    while (i < words && (firstWord + i) % kPeriod != 0) {
        RotateOne<Left>(in + 4 * i, out + 4 * i, firstWord + i);
        ++i;
    }
    const size_t periods = (words - i) / kPeriod;
    RotatePeriods<Left>(in + 4 * i, out + 4 * i, periods);
    i += periods * kPeriod;
    for (; i < words; ++i) {
        RotateOne<Left>(in + 4 * i, out + 4 * i, firstWord + i);
    }
}

} // namespace

__attribute__((target_clones("avx2", "default"))) void
RotateWordRangeLeft(uint8_t* buffer, size_t words, size_t firstWord) {
    RotateRange<true>(buffer, buffer, words, firstWord);
}

__attribute__((target_clones("avx2", "default"))) void
RotateWordRangeRight(const uint8_t* in, uint8_t* out, size_t words, size_t firstWord) {
    RotateRange<false>(in, out, words, firstWord);
}

size_t RotateWordsLeft(uint8_t* buffer, size_t length) {
    if (buffer == nullptr) {
        return 0;
    }
    RotateWordRangeLeft(buffer, length / 4, 0);
    return length / 4;
}

size_t RotateWordsRight(uint8_t* buffer, size_t length) {
    if (buffer == nullptr) {
        return 0;
    }
    RotateWordRangeRight(buffer, buffer, length / 4, 0);
    return length / 4;
}
