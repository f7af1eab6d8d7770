#include "crypto/WordRotation.h"

#include "crypto/Ciphers.h"

#include <cstring>
#include <immintrin.h>

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

// Whole periods, portable form.
template <bool Left> void RotatePeriodsScalar(const uint8_t* in, uint8_t* out, size_t periods) {
    for (size_t i = 0; i < periods * kPeriod; ++i) {
        RotateOne<Left>(in + 4 * i, out + 4 * i, i);
    }
}

// Whole periods, eight words per instruction: a period is four vectors whose lanes turn by
// fixed amounts. A lane that turns by 0 also shifts by 32, which AVX2 makes 0, keeping it.
template <bool Left>
__attribute__((target("avx2"))) void RotatePeriodsAvx2(const uint8_t* in, uint8_t* out,
                                                       size_t periods) {
    const __m256i up[4] = {
        _mm256_setr_epi32(1, 2, 3, 4, 5, 6, 7, 8),
        _mm256_setr_epi32(9, 10, 11, 12, 13, 14, 15, 16),
        _mm256_setr_epi32(17, 18, 19, 20, 21, 22, 23, 24),
        _mm256_setr_epi32(25, 26, 27, 28, 29, 30, 31, 0),
    };
    const __m256i width = _mm256_set1_epi32(32);
    __m256i left[4], right[4];
    for (int q = 0; q < 4; ++q) {
        const __m256i rest = _mm256_sub_epi32(width, up[q]);
        left[q] = Left ? up[q] : rest;
        right[q] = Left ? rest : up[q];
    }
    for (size_t p = 0; p < periods; ++p) {
        const auto* src = reinterpret_cast<const __m256i*>(in + p * kPeriod * 4);
        auto* dst = reinterpret_cast<__m256i*>(out + p * kPeriod * 4);
        for (int q = 0; q < 4; ++q) {
            const __m256i w = _mm256_loadu_si256(src + q);
            _mm256_storeu_si256(dst + q, _mm256_or_si256(_mm256_sllv_epi32(w, left[q]),
                                                         _mm256_srlv_epi32(w, right[q])));
        }
    }
}

// Whole periods, sixteen words per instruction: AVX-512 rotates each lane by its own count.
template <bool Left>
__attribute__((target("avx512f"))) void RotatePeriodsAvx512(const uint8_t* in, uint8_t* out,
                                                            size_t periods) {
    const __m512i low = _mm512_setr_epi32(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
    const __m512i high =
        _mm512_setr_epi32(17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 0);
    // The masked forms with every lane selected are the plain rotations; they spare the
    // compiler an undefined pass-through operand it would warn about.
    constexpr __mmask16 kAll = 0xFFFF;
    for (size_t p = 0; p < periods; ++p) {
        const uint8_t* src = in + p * kPeriod * 4;
        uint8_t* dst = out + p * kPeriod * 4;
        const __m512i a = _mm512_loadu_si512(src);
        const __m512i b = _mm512_loadu_si512(src + 64);
        if constexpr (Left) {
            _mm512_storeu_si512(dst, _mm512_mask_rolv_epi32(a, kAll, a, low));
            _mm512_storeu_si512(dst + 64, _mm512_mask_rolv_epi32(b, kAll, b, high));
        } else {
            _mm512_storeu_si512(dst, _mm512_mask_rorv_epi32(a, kAll, a, low));
            _mm512_storeu_si512(dst + 64, _mm512_mask_rorv_epi32(b, kAll, b, high));
        }
    }
}

template <bool Left> void RotatePeriods(const uint8_t* in, uint8_t* out, size_t periods) {
    static const bool avx512 = __builtin_cpu_supports("avx512f");
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx512) {
        RotatePeriodsAvx512<Left>(in, out, periods);
    } else if (avx2) {
        RotatePeriodsAvx2<Left>(in, out, periods);
    } else {
        RotatePeriodsScalar<Left>(in, out, periods);
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

void RotateWordRangeLeft(uint8_t* buffer, size_t words, size_t firstWord) {
    RotateRange<true>(buffer, buffer, words, firstWord);
}

void RotateWordRangeRight(const uint8_t* in, uint8_t* out, size_t words, size_t firstWord) {
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
