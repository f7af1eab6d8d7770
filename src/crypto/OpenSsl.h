// The cipher library's entry points, opened when a key is first derived or a cipher first
// runs rather than at start (see SystemLibrary.h). Call through the table:
//     const OpenSslApi& ssl = OpenSsl();
//     ssl.EVP_CipherUpdate(...);
#pragma once

// The DES key schedule and string-to-key have no replacement outside the deprecated low-level
// interface, and the legacy file form depends on exactly them.
#ifndef OPENSSL_SUPPRESS_DEPRECATED
#define OPENSSL_SUPPRESS_DEPRECATED
#endif
#include <openssl/crypto.h>
#include <openssl/des.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <string>

struct OpenSslApi {
    decltype(&::CRYPTO_memcmp) CRYPTO_memcmp;
    decltype(&::DES_ncbc_encrypt) DES_ncbc_encrypt;
    decltype(&::DES_set_key_checked) DES_set_key_checked;
    decltype(&::DES_string_to_key) DES_string_to_key;
    decltype(&::EVP_CIPHER_CTX_free) EVP_CIPHER_CTX_free;
    decltype(&::EVP_CIPHER_CTX_new) EVP_CIPHER_CTX_new;
    decltype(&::EVP_CIPHER_CTX_set_padding) EVP_CIPHER_CTX_set_padding;
    decltype(&::EVP_CipherInit_ex) EVP_CipherInit_ex;
    decltype(&::EVP_CipherUpdate) EVP_CipherUpdate;
    decltype(&::EVP_Digest) EVP_Digest;
    decltype(&::EVP_PBE_scrypt) EVP_PBE_scrypt;
    decltype(&::EVP_aes_256_ecb) EVP_aes_256_ecb;
    decltype(&::EVP_md5) EVP_md5;
    decltype(&::RAND_bytes) RAND_bytes;
};

// True when the cipher library can be used; otherwise false with the reason in `error`.
// Programs call it once at start (or soon after), where the reason can still be shown and no
// work can be lost.
bool CipherLibraryAvailable(std::string& error);

// The table. Nothing the program keeps secret can be handled without it, so when the library
// cannot be opened this ends the process with the reason on standard error, as the dynamic
// linker would have at start had the library been linked.
const OpenSslApi& OpenSsl();
