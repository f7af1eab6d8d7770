// Hostile strong files: the header checks, the chunk layout worked out from the size, and the
// chunks opened in order and at ranges anywhere, with a key that fits the seed corpus (salt
// 00 01 .. 0f, 1 pass, 8 MiB, password "fuzz") so that mutations of a real file get past the
// key check. A file that fits no key is still parsed and laid out.
#include "crypto/StrongEnvelope.h"

#include <cstdlib>
#include <vector>

namespace {

const strong::Key& FuzzKey() {
    static const strong::Key key = [] {
        strong::Header header;
        header.params = {1, 8192};
        for (size_t i = 0; i < header.salt.size(); ++i) {
            header.salt[i] = static_cast<uint8_t>(i);
        }
        strong::Key k;
        if (k.DeriveFor("fuzz", header) != strong::Status::Ok) {
            std::abort();
        }
        return k;
    }();
    return key;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    strong::MemorySource source(data, size);
    strong::Reader reader;
    if (reader.Open(source) != strong::Status::Ok) {
        return 0;
    }
    // The layout accounts for every byte: header, tags and plaintext.
    if (strong::kHeaderBytes + reader.PlainSize() + reader.ChunkCount() * strong::kTagBytes !=
        size) {
        std::abort();
    }
    if (reader.UnlockWithKey(FuzzKey()) != strong::Status::Ok) {
        return 0;
    }
    uint64_t total = 0;
    const strong::Status all = reader.ReadAll([&](const uint8_t*, size_t n) {
        total += n;
        return true;
    });
    if (all == strong::Status::Ok && total != reader.PlainSize()) {
        std::abort();
    }
    // Ranges from the file's own bytes: start, length, and one past the end.
    std::vector<uint8_t> out(512);
    const uint64_t plain = reader.PlainSize();
    for (size_t i = 0; i + 1 < std::min<size_t>(size, 16); i += 2) {
        const uint64_t offset = plain == 0 ? 0 : (data[i] * 977u + data[i + 1]) % plain;
        const size_t length = std::min<uint64_t>(out.size(), plain - offset);
        const strong::Status s = reader.ReadAt(offset, out.data(), length);
        if (all == strong::Status::Ok && s != strong::Status::Ok) {
            std::abort(); // every chunk opened in order, so every range must open too
        }
    }
    if (reader.ReadAt(plain, out.data(), 1) == strong::Status::Ok) {
        std::abort();
    }
    return 0;
}
