// The current-form blob's cipher in one pass: each 128-byte period of the word scramble is
// eight AES blocks, so on processors with vector AES two registers hold a period, and the
// rotation runs on them between the cipher and the store. Elsewhere the EVP path in slices
// does the same work in two passes over cache-sized slices.
#include "crypto/AesSlices.h"
#include "crypto/WordRotation.h"

#include <algorithm>
#include <cpuid.h>
#include <cstring>
#include <immintrin.h>

namespace {

constexpr int kRounds = 14;
// Output is grown in slices of this size, as in the EVP path, so a fresh buffer is cleared
// while it is in cache.
constexpr size_t kSlice = 64 * 1024;

struct RoundKeys {
    __m128i k[kRounds + 1];
    ~RoundKeys() { SecureWipe(k, sizeof k); }
};

// The AES-256 key schedule, two round keys per step.
// Each word of the result is the xor of the words of `key` up to it, then `assist`.
__attribute__((target("sse2"))) __m128i PrefixXor(__m128i key, __m128i assist) {
    __m128i t = _mm_slli_si128(key, 4);
    key = _mm_xor_si128(key, t);
    t = _mm_slli_si128(t, 4);
    key = _mm_xor_si128(key, t);
    t = _mm_slli_si128(t, 4);
    key = _mm_xor_si128(key, t);
    return _mm_xor_si128(key, assist);
}

__attribute__((target("aes,sse2"))) __m128i NextEven(__m128i previous, __m128i assist) {
    return PrefixXor(previous, _mm_shuffle_epi32(assist, 0xff));
}

__attribute__((target("aes,sse2"))) __m128i NextOdd(__m128i even, __m128i previous) {
    return PrefixXor(previous, _mm_shuffle_epi32(_mm_aeskeygenassist_si128(even, 0), 0xaa));
}

__attribute__((target("aes,sse2"))) void ExpandKey(const AesKey& key, RoundKeys& rk) {
    __m128i* k = rk.k;
    k[0] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(key.data()));
    k[1] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(key.data() + 16));
#define OV_KEY_STEP(i, rcon)                                                                       \
    k[i] = NextEven(k[i - 2], _mm_aeskeygenassist_si128(k[i - 1], rcon));                          \
    if ((i) + 1 <= kRounds) {                                                                      \
        k[(i) + 1] = NextOdd(k[i], k[i - 1]);                                                      \
    }
    OV_KEY_STEP(2, 0x01)
    OV_KEY_STEP(4, 0x02)
    OV_KEY_STEP(6, 0x04)
    OV_KEY_STEP(8, 0x08)
    OV_KEY_STEP(10, 0x10)
    OV_KEY_STEP(12, 0x20)
    k[14] = NextEven(k[12], _mm_aeskeygenassist_si128(k[13], 0x40));
#undef OV_KEY_STEP
}

// The equivalent inverse cipher's schedule: reversed, inner keys through InvMixColumns.
__attribute__((target("aes,sse2"))) void InvertKeys(const RoundKeys& enc, RoundKeys& dec) {
    dec.k[0] = enc.k[kRounds];
    for (int i = 1; i < kRounds; ++i) {
        dec.k[i] = _mm_aesimc_si128(enc.k[kRounds - i]);
    }
    dec.k[kRounds] = enc.k[0];
}

// Word i of a period turns by (i + 1) mod 32 bits; the low register holds words 0-15.
#define OV_TURNS_LOW _mm512_setr_epi32(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16)
#define OV_TURNS_HIGH                                                                              \
    _mm512_setr_epi32(17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 0)

template <bool Encrypt>
__attribute__((target("avx512f,vaes"), always_inline)) inline __m512i Round(__m512i x, __m512i k) {
    return Encrypt ? _mm512_aesenc_epi128(x, k) : _mm512_aesdec_epi128(x, k);
}

// Loads four blocks; before decryption their words turn right by their place in the period.
template <bool Encrypt>
__attribute__((target("avx512f"), always_inline)) inline __m512i First(const uint8_t* src,
                                                                       __m512i k, __m512i turns) {
    __m512i x = _mm512_loadu_si512(src);
    if constexpr (!Encrypt) {
        x = _mm512_mask_rorv_epi32(x, 0xFFFF, x, turns);
    }
    return _mm512_xor_si512(x, k);
}

// The last round; on encryption the words then turn left by their place in the period.
template <bool Encrypt>
__attribute__((target("avx512f,vaes"), always_inline)) inline __m512i Last(__m512i x, __m512i k,
                                                                           __m512i turns) {
    if constexpr (Encrypt) {
        x = _mm512_aesenclast_epi128(x, k);
        return _mm512_mask_rolv_epi32(x, 0xFFFF, x, turns);
    } else {
        return _mm512_aesdeclast_epi128(x, k);
    }
}

// Whole periods from `in` to `out`. The masked rotations with every lane selected are the
// plain ones; they spare the compiler an undefined pass-through operand it warns about.
template <bool Encrypt>
__attribute__((target("avx512f,vaes,aes"))) void
CipherPeriods(const RoundKeys& rk, const uint8_t* in, uint8_t* out, size_t periods) {
    constexpr __mmask16 kAll = 0xFFFF;
    const __m512i low = OV_TURNS_LOW;
    const __m512i high = OV_TURNS_HIGH;
    __m512i k[kRounds + 1];
    for (int i = 0; i <= kRounds; ++i) {
        k[i] = _mm512_maskz_broadcast_i32x4(kAll, rk.k[i]);
    }
    // Two periods at a time keep four registers of blocks in flight through the rounds; all
    // fifteen round keys stay in registers.
    size_t p = 0;
    for (; p + 2 <= periods; p += 2) {
        const uint8_t* src = in + p * kScramblePeriodBytes;
        uint8_t* dst = out + p * kScramblePeriodBytes;
        __m512i x0, x1, x2, x3;
        x0 = First<Encrypt>(src, k[0], low);
        x1 = First<Encrypt>(src + 64, k[0], high);
        x2 = First<Encrypt>(src + 128, k[0], low);
        x3 = First<Encrypt>(src + 192, k[0], high);
#pragma GCC unroll 16
        for (int r = 1; r < kRounds; ++r) {
            x0 = Round<Encrypt>(x0, k[r]);
            x1 = Round<Encrypt>(x1, k[r]);
            x2 = Round<Encrypt>(x2, k[r]);
            x3 = Round<Encrypt>(x3, k[r]);
        }
        _mm512_storeu_si512(dst, Last<Encrypt>(x0, k[kRounds], low));
        _mm512_storeu_si512(dst + 64, Last<Encrypt>(x1, k[kRounds], high));
        _mm512_storeu_si512(dst + 128, Last<Encrypt>(x2, k[kRounds], low));
        _mm512_storeu_si512(dst + 192, Last<Encrypt>(x3, k[kRounds], high));
    }
    for (; p < periods; ++p) {
        const uint8_t* src = in + p * kScramblePeriodBytes;
        uint8_t* dst = out + p * kScramblePeriodBytes;
        __m512i x0, x1;
        x0 = First<Encrypt>(src, k[0], low);
        x1 = First<Encrypt>(src + 64, k[0], high);
#pragma GCC unroll 16
        for (int r = 1; r < kRounds; ++r) {
            x0 = Round<Encrypt>(x0, k[r]);
            x1 = Round<Encrypt>(x1, k[r]);
        }
        _mm512_storeu_si512(dst, Last<Encrypt>(x0, k[kRounds], low));
        _mm512_storeu_si512(dst + 64, Last<Encrypt>(x1, k[kRounds], high));
    }
    SecureWipe(k, sizeof k);
}

#undef OV_TURNS_LOW
#undef OV_TURNS_HIGH

// AVX-512 and AES as the compiler's runtime reports them (which includes the operating
// system's support for the registers); vector AES from CPUID leaf 7, ECX bit 9, which not
// every compiler's runtime names.
bool VectorAesAvailable() {
    static const bool available = [] {
        unsigned a = 0, b = 0, c = 0, d = 0;
        const bool vaes = __get_cpuid_count(7, 0, &a, &b, &c, &d) != 0 && (c & (1u << 9)) != 0;
        return vaes && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("aes");
    }();
    return available;
}

// Whole periods of [in, in + length) into `out`.
template <bool Encrypt>
void CipherBody(const RoundKeys& rk, const uint8_t* in, Bytes& out, size_t length) {
    for (size_t off = 0; off < length; off += kSlice) {
        const size_t n = std::min(kSlice, length - off);
        GrowTo(out, off + n);
        CipherPeriods<Encrypt>(rk, in + off, out.data() + off, n / kScramblePeriodBytes);
    }
}

// The last, partial period goes through a period-sized buffer on the stack.
template <bool Encrypt>
void CipherTail(const RoundKeys& rk, const uint8_t* tail, size_t tailLength, size_t padTo,
                Bytes& out, size_t at) {
    alignas(64) uint8_t period[kScramblePeriodBytes] = {};
    std::memcpy(period, tail, tailLength);
    const auto pad = static_cast<uint8_t>(padTo - tailLength);
    std::memset(period + tailLength, pad, padTo - tailLength);
    CipherPeriods<Encrypt>(rk, period, period, 1);
    out.resize(at + padTo);
    std::memcpy(out.data() + at, period, padTo);
    SecureWipe(period, sizeof period);
}

} // namespace

bool AesEncryptRotated(const uint8_t* data, size_t length, const AesKey& key, Bytes& out,
                       bool allowVectorAes) {
    if (!allowVectorAes || !VectorAesAvailable()) {
        return AesEncryptPaddedSlices(data, length, key, out,
                                      [](uint8_t* slice, size_t n, size_t offset) {
                                          RotateWordRangeLeft(slice, n / 4, offset / 4);
                                      });
    }
    if (data == nullptr || length == 0) {
        out.clear();
        return false;
    }
    RoundKeys rk;
    ExpandKey(key, rk);
    const size_t pad = kAesBlockBytes - length % kAesBlockBytes;
    const size_t body = length - length % kScramblePeriodBytes;
    PrepareOutput(out, length + pad);
    CipherBody<true>(rk, data, out, body);
    CipherTail<true>(rk, data + body, length - body, length + pad - body, out, body);
    return true;
}

bool AesDecryptRotated(const uint8_t* data, size_t length, const AesKey& key, Bytes& out,
                       bool allowVectorAes) {
    if (!allowVectorAes || !VectorAesAvailable()) {
        return AesDecryptPaddedSlices(
            data, length, key, out, [](const uint8_t* in, uint8_t* slice, size_t n, size_t offset) {
                RotateWordRangeRight(in, slice, n / 4, offset / 4);
            });
    }
    if (data == nullptr || length == 0 || length % kAesBlockBytes != 0) {
        out.clear();
        return false;
    }
    RoundKeys enc, rk;
    ExpandKey(key, enc);
    InvertKeys(enc, rk);
    const size_t body = length - length % kScramblePeriodBytes;
    PrepareOutput(out, length);
    CipherBody<false>(rk, data, out, body);
    if (body < length) {
        CipherTail<false>(rk, data + body, length - body, length - body, out, body);
    }
    return TrimBlockPadding(out, kAesBlockBytes);
}
