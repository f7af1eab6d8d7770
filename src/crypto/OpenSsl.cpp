#include "crypto/OpenSsl.h"

#include "crypto/SystemLibrary.h"

#include <cstdio>
#include <cstdlib>

namespace {

struct Loaded {
    SystemLibrary library{OV_SONAME_CRYPTO};
    OpenSslApi api{};
};

Loaded& Library() {
    static Loaded loaded;
    return loaded;
}

bool Open() {
    Loaded& loaded = Library();
    return loaded.library.OpenAndBind([&api = loaded.api](SystemLibrary& lib) {
#define OV_BIND(name) lib.Bind(api.name, #name)
        OV_BIND(CRYPTO_memcmp);
        OV_BIND(DES_ncbc_encrypt);
        OV_BIND(DES_set_key_checked);
        OV_BIND(DES_string_to_key);
        OV_BIND(EVP_CIPHER_CTX_free);
        OV_BIND(EVP_CIPHER_CTX_new);
        OV_BIND(EVP_CIPHER_CTX_set_padding);
        OV_BIND(EVP_CipherInit_ex);
        OV_BIND(EVP_CipherUpdate);
        OV_BIND(EVP_Digest);
        OV_BIND(EVP_PBE_scrypt);
        OV_BIND(EVP_aes_256_ecb);
        OV_BIND(EVP_md5);
        OV_BIND(RAND_bytes);
#undef OV_BIND
    });
}

} // namespace

bool CipherLibraryAvailable(std::string& error) {
    if (!Open()) {
        error = "The cipher library cannot be used: " + Library().library.Error();
        return false;
    }
    return true;
}

const OpenSslApi& OpenSsl() {
    std::string error;
    if (!CipherLibraryAvailable(error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::_Exit(127);
    }
    return Library().api;
}
