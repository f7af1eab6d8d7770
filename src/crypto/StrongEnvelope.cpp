#include "crypto/StrongEnvelope.h"

#include "base/ByteOrder.h"

#include <sodium.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace strong {

namespace {

constexpr std::string_view kKeyCheckText = "OVSTRONG key check";

// The nonce of chunk `index`: the base with its first 8 bytes XORed with the index.
std::array<uint8_t, kNonceBytes> ChunkNonce(const std::array<uint8_t, kNonceBytes>& base,
                                            uint64_t index) {
    std::array<uint8_t, kNonceBytes> nonce = base;
    for (int i = 0; i < 8; ++i) {
        nonce[static_cast<size_t>(i)] ^= static_cast<uint8_t>(index >> (8 * i));
    }
    return nonce;
}

// The additional data of a chunk: the header and the last-chunk flag.
std::array<uint8_t, kHeaderBytes + 1> AdditionalData(const std::array<uint8_t, kHeaderBytes>& h,
                                                     bool last) {
    std::array<uint8_t, kHeaderBytes + 1> ad{};
    std::memcpy(ad.data(), h.data(), kHeaderBytes);
    ad[kHeaderBytes] = last ? 1 : 0;
    return ad;
}

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

// --- Sources --------------------------------------------------------------------------------

bool MemorySource::ReadAt(uint64_t offset, uint8_t* out, size_t length) {
    if (offset > length_ || length > length_ - offset) {
        return false;
    }
    if (length > 0) {
        std::memcpy(out, data_ + offset, length);
    }
    return true;
}

FileSource::~FileSource() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool FileSource::Open(const std::string& path) {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    // O_NONBLOCK: a FIFO must not hang the open; it is refused below.
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) {
        error_ = errno;
        return false;
    }
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        error_ = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    size_ = static_cast<uint64_t>(st.st_size);
    error_ = 0;
    return true;
}

bool FileSource::ReadAt(uint64_t offset, uint8_t* out, size_t length) {
    while (length > 0) {
        const ssize_t n = ::pread(fd_, out, length, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            error_ = n < 0 ? errno : EIO;
            return false;
        }
        out += n;
        offset += static_cast<uint64_t>(n);
        length -= static_cast<size_t>(n);
    }
    return true;
}

// --- Reader ---------------------------------------------------------------------------------

struct Reader::CachedChunk {
    uint64_t index = UINT64_MAX;
    uint64_t lastUse = 0;
    size_t length = 0;
    std::vector<uint8_t> plain;
};

Reader::Reader() : cache_(std::make_unique<CachedChunk[]>(kCachedChunks)) {}

Reader::~Reader() {
    for (size_t i = 0; i < kCachedChunks; ++i) {
        sodium_memzero(cache_[i].plain.data(), cache_[i].plain.size());
    }
}

Status Reader::Open(Source& source) {
    source_ = &source;
    unlocked_ = false;
    for (size_t i = 0; i < kCachedChunks; ++i) {
        cache_[i].index = UINT64_MAX;
    }
    const uint64_t size = source.Size();
    if (size < kMagic.size()) {
        return Status::NotStrong;
    }
    std::array<uint8_t, kHeaderBytes> bytes{};
    const size_t headerLength = static_cast<size_t>(std::min<uint64_t>(size, kHeaderBytes));
    if (!source.ReadAt(0, bytes.data(), headerLength)) {
        return Status::ReadFailed;
    }
    if (const Status s = ParseHeader(bytes.data(), headerLength, header_); s != Status::Ok) {
        return s;
    }
    headerBytes_ = bytes;
    // The layout follows from the size: every chunk but the last is full, the last holds at
    // least its tag. Anything else is a damaged file; whether the last chunk really is the
    // last is checked when it is opened.
    const uint64_t body = size - kHeaderBytes;
    const uint64_t stride = uint64_t{header_.chunkBytes} + kTagBytes;
    if (body < kTagBytes) {
        return Status::Damaged;
    }
    chunkCount_ = (body + stride - 1) / stride;
    const uint64_t lastSealed = body - (chunkCount_ - 1) * stride;
    if (lastSealed < kTagBytes) {
        return Status::Damaged;
    }
    plainSize_ = body - chunkCount_ * kTagBytes;
    return Status::Ok;
}

Status Reader::Unlock(std::string_view password) {
    Key key;
    return Unlock(password, key);
}

Status Reader::Unlock(std::string_view password, Key& key) {
    if (source_ == nullptr) {
        return Status::NotStrong;
    }
    if (!key.Fits(header_)) {
        if (const Status s = key.DeriveFor(password, header_); s != Status::Ok) {
            return s;
        }
    }
    return UnlockWithKey(key);
}

Status Reader::UnlockWithKey(const Key& key) {
    if (source_ == nullptr) {
        return Status::NotStrong;
    }
    if (!key.Fits(header_)) {
        return Status::WrongPassword;
    }
    const std::array<uint8_t, kKeyCheckBytes> check = key.Check();
    if (sodium_memcmp(check.data(), header_.keyCheck.data(), kKeyCheckBytes) != 0) {
        return Status::WrongPassword;
    }
    // A copy of our own: the caller's key may go away while we read.
    key_.CopyFrom(key);
    unlocked_ = true;
    return Status::Ok;
}

size_t Reader::SealedLength(uint64_t index) const {
    const uint64_t stride = uint64_t{header_.chunkBytes} + kTagBytes;
    return index + 1 == chunkCount_
               ? static_cast<size_t>(source_->Size() - kHeaderBytes - index * stride)
               : static_cast<size_t>(stride);
}

Status Reader::OpenChunk(uint64_t index, uint8_t* plain, size_t& plainLength) {
    const uint64_t stride = uint64_t{header_.chunkBytes} + kTagBytes;
    const bool last = index + 1 == chunkCount_;
    const uint64_t offset = kHeaderBytes + index * stride;
    const size_t sealedLength = SealedLength(index);
    sealed_.resize(sealedLength);
    if (!source_->ReadAt(offset, sealed_.data(), sealedLength)) {
        return Status::ReadFailed;
    }
    const auto nonce = ChunkNonce(header_.nonceBase, index);
    const auto ad = AdditionalData(headerBytes_, last);
    unsigned long long length = 0;
    if (crypto_aead_xchacha20poly1305_ietf_decrypt(plain, &length, nullptr, sealed_.data(),
                                                   sealedLength, ad.data(), ad.size(), nonce.data(),
                                                   key_.Bytes()) != 0) {
        return Status::Damaged;
    }
    plainLength = static_cast<size_t>(length);
    return Status::Ok;
}

const Reader::CachedChunk* Reader::Chunk(uint64_t index, Status& status) {
    CachedChunk* slot = &cache_[0];
    for (size_t i = 0; i < kCachedChunks; ++i) {
        if (cache_[i].index == index) {
            cache_[i].lastUse = ++useCounter_;
            return &cache_[i];
        }
        if (cache_[i].lastUse < slot->lastUse) {
            slot = &cache_[i];
        }
    }
    // The chunk that leaves takes its plaintext with it.
    sodium_memzero(slot->plain.data(), slot->plain.size());
    slot->index = UINT64_MAX;
    slot->plain.resize(SealedLength(index) - kTagBytes);
    status = OpenChunk(index, slot->plain.data(), slot->length);
    if (status != Status::Ok) {
        sodium_memzero(slot->plain.data(), slot->plain.size());
        return nullptr;
    }
    slot->index = index;
    slot->lastUse = ++useCounter_;
    return slot;
}

Status Reader::ReadAt(uint64_t offset, uint8_t* out, size_t length) {
    if (!unlocked_) {
        return Status::WrongPassword;
    }
    if (offset > plainSize_ || length > plainSize_ - offset) {
        return Status::Damaged;
    }
    while (length > 0) {
        const uint64_t index = offset / header_.chunkBytes;
        const size_t within = static_cast<size_t>(offset % header_.chunkBytes);
        Status status = Status::Ok;
        const CachedChunk* chunk = Chunk(index, status);
        if (chunk == nullptr) {
            return status;
        }
        if (within >= chunk->length) {
            return Status::Damaged;
        }
        const size_t n = std::min(length, chunk->length - within);
        std::memcpy(out, chunk->plain.data() + within, n);
        out += n;
        offset += n;
        length -= n;
    }
    return Status::Ok;
}

Status Reader::ReadAll(const std::function<bool(const uint8_t*, size_t)>& sink) {
    if (!unlocked_) {
        return Status::WrongPassword;
    }
    std::vector<uint8_t> plain(chunkCount_ > 1 ? header_.chunkBytes : SealedLength(0) - kTagBytes);
    Status status = Status::Ok;
    for (uint64_t i = 0; i < chunkCount_ && status == Status::Ok; ++i) {
        size_t length = 0;
        status = OpenChunk(i, plain.data(), length);
        if (status == Status::Ok && !sink(plain.data(), length)) {
            status = Status::WriteFailed;
        }
    }
    sodium_memzero(plain.data(), plain.size());
    return status;
}

// --- Writer ---------------------------------------------------------------------------------

Writer::Writer(Sink sink, uint32_t chunkBytes) : sink_(std::move(sink)), chunkBytes_(chunkBytes) {}

Writer::~Writer() {
    sodium_memzero(key_.data(), key_.size());
    sodium_memzero(pending_.data(), pending_.size());
}

Status Writer::Begin(const Key& key) {
    if (!key.IsSet() || chunkBytes_ < kMinChunkBytes || chunkBytes_ > kMaxChunkBytes || !Init()) {
        return Status::BadHeader;
    }
    Header h;
    h.params = key.Params();
    h.chunkBytes = chunkBytes_;
    h.salt = key.Salt();
    randombytes_buf(h.nonceBase.data(), h.nonceBase.size());
    h.keyCheck = key.Check();
    headerBytes_ = EncodeHeader(h);
    nonceBase_ = h.nonceBase;
    std::memcpy(key_.data(), key.Bytes(), kKeyBytes);
    pending_.clear();
    pending_.reserve(chunkBytes_);
    sealed_.resize(size_t{chunkBytes_} + kTagBytes);
    index_ = 0;
    begun_ = true;
    finished_ = false;
    return sink_(headerBytes_.data(), headerBytes_.size()) ? Status::Ok : Status::WriteFailed;
}

Status Writer::Seal(const uint8_t* plain, size_t length, bool last) {
    const auto nonce = ChunkNonce(nonceBase_, index_);
    const auto ad = AdditionalData(headerBytes_, last);
    unsigned long long sealedLength = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt(sealed_.data(), &sealedLength, plain, length,
                                               ad.data(), ad.size(), nullptr, nonce.data(),
                                               key_.data());
    ++index_;
    return sink_(sealed_.data(), static_cast<size_t>(sealedLength)) ? Status::Ok
                                                                    : Status::WriteFailed;
}

Status Writer::Append(const uint8_t* data, size_t length) {
    if (!begun_ || finished_) {
        return Status::WriteFailed;
    }
    // A full chunk is sealed only once more plaintext follows it: until then it may be the
    // last one.
    while (length > 0) {
        if (pending_.size() == chunkBytes_) {
            const Status s = Seal(pending_.data(), pending_.size(), false);
            sodium_memzero(pending_.data(), pending_.size());
            pending_.clear();
            if (s != Status::Ok) {
                return s;
            }
        }
        if (pending_.empty() && length > chunkBytes_) {
            // Whole chunks with more behind them go straight from the caller's bytes.
            if (const Status s = Seal(data, chunkBytes_, false); s != Status::Ok) {
                return s;
            }
            data += chunkBytes_;
            length -= chunkBytes_;
            continue;
        }
        const size_t n = std::min(length, chunkBytes_ - pending_.size());
        pending_.insert(pending_.end(), data, data + n);
        data += n;
        length -= n;
    }
    return Status::Ok;
}

Status Writer::Finish() {
    if (!begun_ || finished_) {
        return Status::WriteFailed;
    }
    finished_ = true;
    const Status s = Seal(pending_.data(), pending_.size(), true);
    sodium_memzero(pending_.data(), pending_.size());
    pending_.clear();
    sodium_memzero(key_.data(), key_.size());
    return s;
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
