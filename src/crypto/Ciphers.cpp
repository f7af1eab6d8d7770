#include "crypto/Ciphers.h"

#include "base/CodePage.h"
#include "crypto/AesSlices.h"

// The DES key schedule and string-to-key have no replacement outside the deprecated
// low-level interface, and the legacy file form depends on exactly them.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/crypto.h>
#include <openssl/des.h>
#include <openssl/evp.h>

#include <cstring>
#include <memory>
#include <string>
#include <sys/mman.h>

namespace {

constexpr size_t kDesBlock = 8;

struct CipherCtxDeleter {
    void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};
using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, CipherCtxDeleter>;

CipherCtx NewAesEcb(const AesKey& key, bool encrypt) {
    CipherCtx ctx(EVP_CIPHER_CTX_new());
    if (!ctx || EVP_CipherInit_ex(ctx.get(), EVP_aes_256_ecb(), nullptr, key.data(), nullptr,
                                  encrypt ? 1 : 0) != 1) {
        return nullptr;
    }
    EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
    return ctx;
}

// Slices are cache-sized, and a multiple of the 128-byte scramble period.
constexpr size_t kSlice = 64 * 1024;

bool CipherSlice(EVP_CIPHER_CTX* ctx, const uint8_t* in, uint8_t* out, size_t length) {
    int written = 0;
    return EVP_CipherUpdate(ctx, out, &written, in, static_cast<int>(length)) == 1 &&
           static_cast<size_t>(written) == length;
}

bool FailAndWipe(Bytes& out) {
    SecureWipe(out.data(), out.size());
    out.clear();
    return false;
}

bool DesSchedule(const DesKey& key, DES_key_schedule& schedule) {
    DES_cblock block;
    std::memcpy(block, key.data(), key.size());
    const bool ok = DES_set_key_checked(&block, &schedule) == 0;
    OPENSSL_cleanse(block, sizeof block);
    return ok;
}

} // namespace

bool TrimBlockPadding(Bytes& plain, size_t blockSize) {
    const size_t length = plain.size();
    const uint8_t pad = length > 0 ? plain.back() : 0;
    bool ok = pad >= 1 && pad <= blockSize && pad <= length;
    for (size_t i = length - (ok ? pad : 0); ok && i < length; ++i) {
        ok = plain[i] == pad;
    }
    if (!ok) {
        SecureWipe(plain.data(), plain.size());
        plain.clear();
        return false;
    }
    plain.resize(length - pad);
    return true;
}

Md5Hash Md5Digest(const uint8_t* data, size_t length) {
    Md5Hash digest{};
    unsigned int size = 0;
    static const uint8_t kEmpty = 0;
    EVP_Digest(data != nullptr ? data : &kEmpty, length, digest.data(), &size, EVP_md5(), nullptr);
    return digest;
}

AesKey DeriveAesKey(std::string_view password) {
    return DeriveAesKey(password, *CodePage::Program());
}

AesKey DeriveAesKey(std::string_view password, const CodePage& codePage) {
    password = password.substr(0, password.find('\0'));
    AesKey key{};
    const auto* bytes = reinterpret_cast<const uint8_t*>(password.data());
    const Md5Hash front = Md5Digest(bytes, password.size());
    std::string reversed = codePage.ReverseCharacters(password);
    const Md5Hash back =
        Md5Digest(reinterpret_cast<const uint8_t*>(reversed.data()), reversed.size());
    SecureWipe(reversed.data(), reversed.size());
    std::memcpy(key.data(), front.data(), front.size());
    std::memcpy(key.data() + front.size(), back.data(), back.size());
    return key;
}

DesKey DeriveDesKey(const char* password) {
    DES_cblock block;
    DES_string_to_key(password != nullptr ? password : "", &block);
    DesKey key;
    std::memcpy(key.data(), block, key.size());
    OPENSSL_cleanse(block, sizeof block);
    return key;
}

void PrepareOutput(Bytes& out, size_t length) {
    if (out.capacity() < length) {
        out.clear();
        ReserveLarge(out, length);
    } else if (out.size() > length) {
        out.resize(length);
    }
}

bool AesEncryptPaddedSlices(const uint8_t* data, size_t length, const AesKey& key, Bytes& out,
                            EncryptedSliceHook afterEncrypt) {
    if (data == nullptr || length == 0) {
        out.clear();
        return false;
    }
    CipherCtx ctx = NewAesEcb(key, true);
    if (!ctx) {
        out.clear();
        return false;
    }
    const size_t pad = kAesBlockBytes - length % kAesBlockBytes;
    const size_t whole = length - length % kAesBlockBytes;
    // A fresh output grows slice by slice, so each slice is cleared, encrypted and handed on
    // while it is in cache instead of the whole buffer being cleared up front.
    PrepareOutput(out, length + pad);
    for (size_t off = 0; off < whole; off += kSlice) {
        const size_t n = std::min(kSlice, whole - off);
        GrowTo(out, off + n);
        if (!CipherSlice(ctx.get(), data + off, out.data() + off, n)) {
            return FailAndWipe(out);
        }
        if (afterEncrypt != nullptr) {
            afterEncrypt(out.data() + off, n, off);
        }
    }
    uint8_t last[kAesBlockBytes];
    std::memcpy(last, data + whole, length - whole);
    std::memset(last + (length - whole), static_cast<int>(pad), pad);
    GrowTo(out, length + pad);
    const bool ok = CipherSlice(ctx.get(), last, out.data() + whole, kAesBlockBytes);
    SecureWipe(last, sizeof last);
    if (!ok) {
        return FailAndWipe(out);
    }
    if (afterEncrypt != nullptr) {
        afterEncrypt(out.data() + whole, kAesBlockBytes, whole);
    }
    return true;
}

bool AesDecryptPaddedSlices(const uint8_t* data, size_t length, const AesKey& key, Bytes& out,
                            CiphertextSliceHook fillSlice) {
    if (data == nullptr || length == 0 || length % kAesBlockBytes != 0) {
        out.clear();
        return false;
    }
    CipherCtx ctx = NewAesEcb(key, false);
    if (!ctx) {
        out.clear();
        return false;
    }
    PrepareOutput(out, length);
    for (size_t off = 0; off < length; off += kSlice) {
        const size_t n = std::min(kSlice, length - off);
        GrowTo(out, off + n);
        if (fillSlice != nullptr) {
            fillSlice(data + off, out.data() + off, n, off);
        } else {
            std::memcpy(out.data() + off, data + off, n);
        }
        if (!CipherSlice(ctx.get(), out.data() + off, out.data() + off, n)) {
            return FailAndWipe(out);
        }
    }
    return TrimBlockPadding(out, kAesBlockBytes);
}

bool AesEncryptPadded(const uint8_t* data, size_t length, const AesKey& key, Bytes& out) {
    return AesEncryptPaddedSlices(data, length, key, out, nullptr);
}

bool AesDecryptPadded(const uint8_t* data, size_t length, const AesKey& key, Bytes& out) {
    return AesDecryptPaddedSlices(data, length, key, out, nullptr);
}

bool DesEncryptPadded(const uint8_t* data, size_t length, const DesKey& key, Bytes& out) {
    out.clear();
    DES_key_schedule schedule;
    if (data == nullptr || length == 0 || !DesSchedule(key, schedule)) {
        return false;
    }
    const size_t pad = kDesBlock - length % kDesBlock;
    out.resize(length + pad);
    std::memcpy(out.data(), data, length);
    std::memset(out.data() + length, static_cast<int>(pad), pad);
    DES_cblock iv = {0};
    DES_ncbc_encrypt(out.data(), out.data(), static_cast<long>(out.size()), &schedule, &iv,
                     DES_ENCRYPT);
    OPENSSL_cleanse(&schedule, sizeof schedule);
    return true;
}

bool DesDecryptPadded(const uint8_t* data, size_t length, const DesKey& key, Bytes& out) {
    out.clear();
    DES_key_schedule schedule;
    if (data == nullptr || length == 0 || length % kDesBlock != 0 || !DesSchedule(key, schedule)) {
        return false;
    }
    out.assign(data, data + length);
    DES_cblock iv = {0};
    DES_ncbc_encrypt(out.data(), out.data(), static_cast<long>(length), &schedule, &iv,
                     DES_DECRYPT);
    OPENSSL_cleanse(&schedule, sizeof schedule);
    return TrimBlockPadding(out, kDesBlock);
}
