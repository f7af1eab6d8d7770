#include "crypto/OpenSsl.h"

#include "crypto/SystemLibrary.h"

#include <cstdio>
#include <cstdlib>

namespace {

// The table, or null with the reason in `error`.
const OpenSslApi* Table(std::string& error) {
    static SystemLibraryTable<OpenSslApi> table(OV_SONAME_CRYPTO);
    return table.Get(
        [](SystemLibrary& lib, OpenSslApi& api) {
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
        },
        error);
}

std::string Unusable(const std::string& reason) {
    return "The cipher library cannot be used: " + reason;
}

} // namespace

bool CipherLibraryAvailable(std::string& error) {
    std::string reason;
    if (Table(reason) == nullptr) {
        error = Unusable(reason);
        return false;
    }
    return true;
}

const OpenSslApi& OpenSsl() {
    std::string reason;
    const OpenSslApi* api = Table(reason);
    if (api == nullptr) {
        std::fprintf(stderr, "%s\n", Unusable(reason).c_str());
        std::_Exit(127);
    }
    return *api;
}
