#include "crypto/StrongEnvelope.h"

#include "base/ByteOrder.h"

#include <sodium.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>

namespace strong {

namespace {

constexpr std::string_view kKeyCheckText = "OVSTRONG key check";

// The memory the system can give us now, from the kernel's estimate and our own limits.
// Asking for more would only end in the out-of-memory killer.
uint64_t AvailableMemory() {
    uint64_t available = UINT64_MAX;
    if (FILE* info = std::fopen("/proc/meminfo", "re")) {
        char line[256];
        while (std::fgets(line, sizeof line, info) != nullptr) {
            unsigned long long kib = 0;
            if (std::sscanf(line, "MemAvailable: %llu kB", &kib) == 1) {
                available = kib * 1024;
                break;
            }
        }
        std::fclose(info);
    }
    for (const int resource : {RLIMIT_AS, RLIMIT_DATA}) {
        rlimit limit{};
        if (::getrlimit(resource, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
            available = std::min<uint64_t>(available, limit.rlim_cur);
        }
    }
    return available;
}

} // namespace

std::string StatusMessage(Status status) {
    switch (status) {
    case Status::Ok:
        return "Done";
    case Status::NotStrong:
        return "The file has no strong protection";
    case Status::Truncated:
        return "The file is damaged: it is shorter than the strong protection's header";
    case Status::UnknownVersion:
        return "The file is protected by a newer version of strong protection than this "
               "program knows";
    case Status::BadHeader:
        return "The file is damaged: the header of its strong protection is not valid";
    case Status::BadPasses:
        return "The file asks for a number of key derivation passes outside 1 to 64";
    case Status::TooMuchMemory:
        return "The file asks for more memory than this program allows for the key "
               "derivation (at most 4 GiB)";
    case Status::OutOfMemory:
        return "There is not enough memory to derive the key";
    case Status::WrongPassword:
        return "The password is wrong";
    case Status::Damaged:
        return "The file is damaged: part of it does not decrypt";
    case Status::ReadFailed:
        return "The file could not be read";
    case Status::WriteFailed:
        return "The file could not be written";
    }
    return "Unknown error";
}

bool Init() {
    // sodium_init is thread-safe and returns 1 once it has run.
    return sodium_init() >= 0;
}

bool HasMagic(const uint8_t* data, size_t length) {
    return data != nullptr && length >= kMagic.size() &&
           std::memcmp(data, kMagic.data(), kMagic.size()) == 0;
}

Status CheckParams(const KdfParams& params) {
    if (params.passes < kMinPasses || params.passes > kMaxPasses) {
        return Status::BadPasses;
    }
    if (params.memoryKiB < kMinMemoryKiB || params.memoryKiB > kMaxMemoryKiB) {
        return Status::TooMuchMemory;
    }
    return Status::Ok;
}

Status ParseHeader(const uint8_t* data, size_t length, Header& out) {
    if (!HasMagic(data, length)) {
        return length < kMagic.size() ? Status::Truncated : Status::NotStrong;
    }
    if (length < kHeaderBytes) {
        return Status::Truncated;
    }
    Header h;
    h.version = data[8];
    h.kdf = data[9];
    if (h.version != kVersion || h.kdf != kKdfArgon2id13) {
        return Status::UnknownVersion;
    }
    if (data[10] != 0 || data[11] != 0) {
        return Status::BadHeader;
    }
    h.params.passes = Read32(data + 12);
    h.params.memoryKiB = Read32(data + 16);
    h.chunkBytes = Read32(data + 20);
    if (h.chunkBytes < kMinChunkBytes || h.chunkBytes > kMaxChunkBytes) {
        return Status::BadHeader;
    }
    if (const Status s = CheckParams(h.params); s != Status::Ok) {
        return s;
    }
    std::memcpy(h.salt.data(), data + 24, kSaltBytes);
    std::memcpy(h.nonceBase.data(), data + 40, kNonceBytes);
    std::memcpy(h.keyCheck.data(), data + 64, kKeyCheckBytes);
    out = h;
    return Status::Ok;
}

std::array<uint8_t, kHeaderBytes> EncodeHeader(const Header& h) {
    std::array<uint8_t, kHeaderBytes> b{};
    std::memcpy(b.data(), kMagic.data(), kMagic.size());
    b[8] = h.version;
    b[9] = h.kdf;
    PutLe32(b.data() + 12, h.params.passes);
    PutLe32(b.data() + 16, h.params.memoryKiB);
    PutLe32(b.data() + 20, h.chunkBytes);
    std::memcpy(b.data() + 24, h.salt.data(), kSaltBytes);
    std::memcpy(b.data() + 40, h.nonceBase.data(), kNonceBytes);
    std::memcpy(b.data() + 64, h.keyCheck.data(), kKeyCheckBytes);
    return b;
}

// --- Key ------------------------------------------------------------------------------------

Key::~Key() {
    Clear();
}

Key::Key(Key&& other) noexcept {
    *this = std::move(other);
}

Key& Key::operator=(Key&& other) noexcept {
    if (this != &other) {
        CopyFrom(other);
        other.Clear();
    }
    return *this;
}

void Key::CopyFrom(const Key& other) {
    if (this != &other) {
        key_ = other.key_;
        salt_ = other.salt_;
        params_ = other.params_;
        set_ = other.set_;
    }
}

void Key::Clear() {
    sodium_memzero(key_.data(), key_.size());
    salt_ = {};
    params_ = {};
    set_ = false;
}

Status Key::Derive(std::string_view password, const KdfParams& params) {
    if (!Init()) {
        return Status::OutOfMemory;
    }
    std::array<uint8_t, kSaltBytes> salt{};
    randombytes_buf(salt.data(), salt.size());
    return DeriveWith(password, params, salt);
}

Status Key::DeriveFor(std::string_view password, const Header& header) {
    return DeriveWith(password, header.params, header.salt);
}

Status Key::DeriveWith(std::string_view password, const KdfParams& params,
                       const std::array<uint8_t, kSaltBytes>& salt) {
    Clear();
    if (const Status s = CheckParams(params); s != Status::Ok) {
        return s;
    }
    if (!Init()) {
        return Status::OutOfMemory;
    }
    // A password ends at its first NUL, as in the compatible forms.
    password = password.substr(0, password.find('\0'));
    const uint64_t memoryBytes = uint64_t{params.memoryKiB} * 1024;
    if (memoryBytes > AvailableMemory()) {
        return Status::OutOfMemory;
    }
    std::array<uint8_t, kKeyBytes> derived{};
    if (crypto_pwhash(derived.data(), derived.size(), password.data(), password.size(), salt.data(),
                      params.passes, static_cast<size_t>(memoryBytes),
                      crypto_pwhash_ALG_ARGON2ID13) != 0) {
        sodium_memzero(derived.data(), derived.size());
        return Status::OutOfMemory;
    }
    key_ = derived;
    sodium_memzero(derived.data(), derived.size());
    salt_ = salt;
    params_ = params;
    set_ = true;
    return Status::Ok;
}

bool Key::Fits(const Header& header) const {
    return set_ && params_ == header.params && salt_ == header.salt;
}

std::array<uint8_t, kKeyCheckBytes> Key::Check() const {
    std::array<uint8_t, kKeyCheckBytes> check{};
    crypto_generichash(check.data(), check.size(),
                       reinterpret_cast<const unsigned char*>(kKeyCheckText.data()),
                       kKeyCheckText.size(), key_.data(), key_.size());
    return check;
}

// --- Whole envelopes in memory --------------------------------------------------------------

Status Seal(const uint8_t* data, size_t length, const Key& key, std::vector<uint8_t>& out,
            uint32_t chunkBytes) {
    out.clear();
    const uint64_t chunks = std::max<uint64_t>(1, (length + chunkBytes - 1) / chunkBytes);
    out.reserve(kHeaderBytes + length + chunks * kTagBytes);
    Writer writer(
        [&](const uint8_t* p, size_t n) {
            out.insert(out.end(), p, p + n);
            return true;
        },
        chunkBytes);
    Status s = writer.Begin(key);
    if (s == Status::Ok) {
        s = writer.Append(data, length);
    }
    if (s == Status::Ok) {
        s = writer.Finish();
    }
    if (s != Status::Ok) {
        out.clear();
    }
    return s;
}

Status Open(const uint8_t* data, size_t length, std::string_view password, Key& key,
            std::vector<uint8_t>& out) {
    out.clear();
    MemorySource source(data, length);
    Reader reader;
    Status s = reader.Open(source);
    if (s == Status::Ok) {
        s = reader.Unlock(password, key);
    }
    if (s != Status::Ok) {
        return s;
    }
    out.reserve(static_cast<size_t>(reader.PlainSize()));
    s = reader.ReadAll([&](const uint8_t* p, size_t n) {
        out.insert(out.end(), p, p + n);
        return true;
    });
    if (s != Status::Ok) {
        sodium_memzero(out.data(), out.size());
        out.clear();
    }
    return s;
}

} // namespace strong
