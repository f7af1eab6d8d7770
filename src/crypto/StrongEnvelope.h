// Strong protection: the bytes of a compatible file inside a memory-hard, authenticated
// envelope. The key comes from the password by Argon2id; the plaintext is sealed with
// XChaCha20-Poly1305 in chunks, each of which can be opened alone, so any byte range of a
// large file is read without reading the rest. All cryptography is libsodium's.
//
// Layout (integers little-endian):
//    0  8  "OVSTRONG"
//    8  1  version (1)
//    9  1  key derivation (1: Argon2id version 1.3)
//   10  2  reserved, 0
//   12  4  Argon2id passes
//   16  4  Argon2id memory in KiB
//   20  4  chunk size in bytes
//   24 16  salt
//   40 24  nonce base
//   64 16  key check: BLAKE2b-128 keyed with the key over "OVSTRONG key check"
//   80     the chunks: chunk i is at 80 + i * (chunk size + 16), its plaintext sealed with the
//          nonce base whose first 8 bytes are XORed with i, and as additional data the 80
//          header bytes and one byte, 1 for the last chunk and 0 for the others. An empty
//          plaintext is one empty last chunk.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace strong {

inline constexpr size_t kHeaderBytes = 80;
inline constexpr size_t kTagBytes = 16;
inline constexpr size_t kSaltBytes = 16;
inline constexpr size_t kNonceBytes = 24;
inline constexpr size_t kKeyBytes = 32;
inline constexpr size_t kKeyCheckBytes = 16;
inline constexpr std::string_view kMagic = "OVSTRONG";
inline constexpr uint8_t kVersion = 1;
inline constexpr uint8_t kKdfArgon2id13 = 1;

inline constexpr uint32_t kDefaultChunkBytes = 65536;
inline constexpr uint32_t kMinChunkBytes = 4096;
inline constexpr uint32_t kMaxChunkBytes = 16u << 20;
inline constexpr uint32_t kMinPasses = 1;
inline constexpr uint32_t kMaxPasses = 64;
inline constexpr uint32_t kMinMemoryKiB = 8u << 10; // 8 MiB
inline constexpr uint32_t kMaxMemoryKiB = 4u << 20; // 4 GiB
inline constexpr uint32_t kDefaultPasses = 3;
inline constexpr uint32_t kDefaultMemoryKiB = 256u << 10; // 256 MiB

struct KdfParams {
    uint32_t passes = kDefaultPasses;
    uint32_t memoryKiB = kDefaultMemoryKiB;
    bool operator==(const KdfParams&) const = default;
};

// What can go wrong with a strong file, in the order the reader finds it.
enum class Status {
    Ok,
    NotStrong,      // no magic: a compatible file (or not ours at all)
    Truncated,      // shorter than the header
    UnknownVersion, // a version or key derivation this program does not know
    BadHeader,      // reserved bytes not zero, or a chunk size outside 4 KiB - 16 MiB
    BadPasses,      // passes outside 1 - 64
    TooMuchMemory,  // memory outside 8 MiB - 4 GiB: refused before anything is allocated
    OutOfMemory,    // the memory the key derivation needs cannot be had here and now
    WrongPassword,  // the key check differs
    Damaged,        // a chunk does not open, or chunks are missing, reordered or added
    ReadFailed,     // the source could not be read (see the source's error)
    WriteFailed,    // the sink refused the bytes
};

// A sentence for the user, without a trailing full stop ("The file is damaged: ...").
std::string StatusMessage(Status status);

// True when libsodium can be used; initialises it on the first call (thread-safe).
bool Init();

// Whether the bytes begin with the magic.
bool HasMagic(const uint8_t* data, size_t length);

struct Header {
    uint8_t version = kVersion;
    uint8_t kdf = kKdfArgon2id13;
    KdfParams params;
    uint32_t chunkBytes = kDefaultChunkBytes;
    std::array<uint8_t, kSaltBytes> salt{};
    std::array<uint8_t, kNonceBytes> nonceBase{};
    std::array<uint8_t, kKeyCheckBytes> keyCheck{};
};

// Reads and checks the 80 header bytes: magic, version, key derivation, reserved bytes and
// the bounds of the chunk size, passes and memory. Nothing here allocates.
Status ParseHeader(const uint8_t* data, size_t length, Header& out);
std::array<uint8_t, kHeaderBytes> EncodeHeader(const Header& header);
// Checks passes and memory against the bounds (what the writer accepts too).
Status CheckParams(const KdfParams& params);

// A key derived from a password for one salt and one set of parameters: what a document
// keeps while it is open, so that saving does not derive it again. Wiped when it goes.
class Key {
public:
    Key() = default;
    ~Key();
    Key(Key&& other) noexcept;
    Key& operator=(Key&& other) noexcept;
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;

    // Derives the key for `password` (the bytes up to its first NUL) with a new random salt.
    Status Derive(std::string_view password, const KdfParams& params);
    // Derives the key for the salt and parameters of a file's header.
    Status DeriveFor(std::string_view password, const Header& header);

    bool IsSet() const { return set_; }
    // Whether this key was derived for the salt and parameters of `header`.
    bool Fits(const Header& header) const;
    const KdfParams& Params() const { return params_; }
    const std::array<uint8_t, kSaltBytes>& Salt() const { return salt_; }
    const uint8_t* Bytes() const { return key_.data(); }
    std::array<uint8_t, kKeyCheckBytes> Check() const;
    // An explicit copy, for a holder that must outlive the original.
    void CopyFrom(const Key& other);
    void Clear();

private:
    Status DeriveWith(std::string_view password, const KdfParams& params,
                      const std::array<uint8_t, kSaltBytes>& salt);

    std::array<uint8_t, kKeyBytes> key_{};
    std::array<uint8_t, kSaltBytes> salt_{};
    KdfParams params_;
    bool set_ = false;
};

// Where the reader takes its bytes from: a file read with pread, or memory.
class Source {
public:
    virtual ~Source() = default;
    virtual uint64_t Size() const = 0;
    // Reads exactly `length` bytes at `offset`; false on any failure or short read.
    virtual bool ReadAt(uint64_t offset, uint8_t* out, size_t length) = 0;
    // The errno of the last failure, 0 when none.
    virtual int LastError() const { return 0; }
};

class MemorySource : public Source {
public:
    MemorySource(const uint8_t* data, size_t length) : data_(data), length_(length) {}
    uint64_t Size() const override { return length_; }
    bool ReadAt(uint64_t offset, uint8_t* out, size_t length) override;

private:
    const uint8_t* data_;
    size_t length_;
};

// Reads a file through a descriptor of its own, shared with other readers.
class FileSource : public Source {
public:
    FileSource() = default;
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;
    // Opens a regular file for reading; false with LastError() otherwise.
    bool Open(const std::string& path);
    uint64_t Size() const override { return size_; }
    bool ReadAt(uint64_t offset, uint8_t* out, size_t length) override;
    int LastError() const override { return error_; }
    // The open descriptor (for a lock on the file), -1 when closed.
    int Descriptor() const { return fd_; }

private:
    int fd_ = -1;
    uint64_t size_ = 0;
    int error_ = 0;
};

// Opens a strong file for reading any byte range of its plaintext. The header is read and
// checked by Open; Unlock derives the key (the slow part) or takes one already derived for
// the same salt and parameters. A few decrypted chunks are kept for reads nearby, wiped when
// they leave.
//
//     strong::Reader reader;
//     strong::Status s = reader.Open(source);
//     if (s == Status::Ok) s = reader.Unlock(password);
//     if (s == Status::Ok) s = reader.ReadAt(offset, out, length);
class Reader {
public:
    static constexpr size_t kCachedChunks = 4;

    Reader();
    ~Reader();
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    // Reads and checks the header and works out the chunk layout from the source's size
    // (which must not change while the reader is in use).
    Status Open(Source& source);
    Status Unlock(std::string_view password);
    // Uses `key` when it fits the header, else derives a key from `password` into it.
    Status Unlock(std::string_view password, Key& key);
    Status UnlockWithKey(const Key& key);

    const Header& GetHeader() const { return header_; }
    // The plaintext's length: known once Open succeeded.
    uint64_t PlainSize() const { return plainSize_; }
    uint64_t ChunkCount() const { return chunkCount_; }

    // Copies plaintext [offset, offset + length) to `out`, opening only the chunks it covers.
    // A range past the end fails with Damaged, as a file too short for it is.
    Status ReadAt(uint64_t offset, uint8_t* out, size_t length);
    // Opens every chunk in order, handing each plaintext to `sink` (which may return false to
    // stop: WriteFailed). Bypasses the cache; the plaintext is wiped after each call.
    Status ReadAll(const std::function<bool(const uint8_t*, size_t)>& sink);

private:
    struct CachedChunk;
    size_t SealedLength(uint64_t index) const;
    Status OpenChunk(uint64_t index, uint8_t* plain, size_t& plainLength);
    const CachedChunk* Chunk(uint64_t index, Status& status);

    Source* source_ = nullptr;
    Header header_;
    std::array<uint8_t, kHeaderBytes> headerBytes_{};
    Key key_;
    bool unlocked_ = false;
    uint64_t chunkCount_ = 0;
    uint64_t plainSize_ = 0;
    std::vector<uint8_t> sealed_; // one chunk as stored
    std::unique_ptr<CachedChunk[]> cache_;
    uint64_t useCounter_ = 0;
};

// Seals plaintext handed over in pieces of any size into the envelope, in one pass and in
// bounded memory (one chunk of plaintext and one of ciphertext). Each sealed piece goes to
// the sink in file order, the header first. A new nonce base is drawn for every writer.
//
// For plaintext whose first bytes are known only at its end (a format that writes its header
// last), the writer can hold the first chunk back: its plaintext stays here and may be
// rewritten until Finish, which seals it last and places it at its offset in the file.
class Writer {
public:
    using Sink = std::function<bool(const uint8_t*, size_t)>;
    // Receives each sealed piece with its offset in the file.
    using PlacedSink = std::function<bool(uint64_t offset, const uint8_t*, size_t)>;
    enum class FirstChunk { Sealed, Held };

    explicit Writer(Sink sink, uint32_t chunkBytes = kDefaultChunkBytes);
    Writer(PlacedSink sink, FirstChunk first, uint32_t chunkBytes = kDefaultChunkBytes);
    ~Writer();
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    // Writes the header for `key` (its salt and parameters) and a fresh nonce base.
    Status Begin(const Key& key);
    Status Append(const uint8_t* data, size_t length);
    // With the first chunk held: replaces plaintext already appended inside the first chunk.
    // WriteFailed for bytes outside it or not appended yet.
    Status Rewrite(uint64_t offset, const uint8_t* data, size_t length);
    // Seals what is held as the last chunk (an empty one when nothing was appended), then a
    // held first chunk.
    Status Finish();
    // The bytes of the whole file once finished: the header and every sealed chunk.
    uint64_t FileBytes() const { return fileBytes_; }

private:
    Status Seal(uint64_t index, const uint8_t* plain, size_t length, bool last);

    PlacedSink sink_;
    bool holdFirst_ = false;
    std::vector<uint8_t> first_; // the held first chunk, once more plaintext followed it
    uint64_t fileBytes_ = 0;
    uint32_t chunkBytes_;
    std::array<uint8_t, kHeaderBytes> headerBytes_{};
    std::array<uint8_t, kNonceBytes> nonceBase_{};
    std::array<uint8_t, kKeyBytes> key_{};
    std::vector<uint8_t> pending_; // plaintext not sealed yet, at most one chunk
    std::vector<uint8_t> sealed_;
    uint64_t index_ = 0;
    bool begun_ = false;
    bool finished_ = false;
};

// The whole envelope in memory, for small documents and tests.
Status Seal(const uint8_t* data, size_t length, const Key& key, std::vector<uint8_t>& out,
            uint32_t chunkBytes = kDefaultChunkBytes);
// Unlocks with `key` when it fits, else derives from `password` into `key`; `out` receives
// the plaintext (and is emptied on failure).
Status Open(const uint8_t* data, size_t length, std::string_view password, Key& key,
            std::vector<uint8_t>& out);

} // namespace strong
