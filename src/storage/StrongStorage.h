// Storages with strong protection: the compound file is read through its envelope, any byte
// on demand (the chunks it lies in are opened when read, the last few kept), and written
// through it in one pass.
#pragma once

#include "base/AtomicFileWriter.h"
#include "compound/CompoundFile.h"
#include "crypto/StrongEnvelope.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

// A strong storage file held open for reading: its descriptor (with the lock a reader asks
// for), the checked header and, once unlocked, the plaintext compound file.
class StrongStorageFile final : public CompoundSource {
public:
    StrongStorageFile() = default;
    StrongStorageFile(const StrongStorageFile&) = delete;
    StrongStorageFile& operator=(const StrongStorageFile&) = delete;

    // Opens the file, takes its lock (like CompoundReader::Open) and reads and checks the
    // header. NotCompoundFile when the header is not valid: HeaderStatus() says why.
    CompoundResult Open(const std::string& path, CompoundLock lock = CompoundLock::Exclusive);
    strong::Status HeaderStatus() const { return headerStatus_; }
    const strong::Header& GetHeader() const { return reader_.GetHeader(); }

    // Unlocks with `key` when it was derived for this file's salt and parameters, else
    // derives a key from `password` into it (slow: about a second, and the header's memory).
    strong::Status Unlock(std::string_view password, strong::Key& key);
    strong::Status UnlockWithKey(const strong::Key& key);

    // The plaintext compound file: its length and any range of it.
    uint64_t Size() const override;
    bool ReadAt(uint64_t offset, uint8_t* out, size_t size) const override;
    // Whether a read failed because a chunk did not open (a damaged file) rather than the disk.
    bool SawDamage() const;
    // Opens every chunk once: Ok when the whole file is as it was written.
    strong::Status CheckAllChunks() const;

private:
    strong::FileSource file_;
    mutable std::mutex mutex_; // the reader's cache is shared by every thread that reads
    mutable strong::Reader reader_;
    strong::Status headerStatus_ = strong::Status::NotStrong;
    bool unlocked_ = false;
    mutable bool damaged_ = false;
};

// Opens a strong storage written under `key` (its own saves, say) into `reader`, with the
// lock `lock`. NotCompoundFile when the key does not fit or the file does not open through
// the envelope.
CompoundResult OpenStrongStorageFile(const std::string& path, const strong::Key& key,
                                     CompoundReader& reader,
                                     CompoundLock lock = CompoundLock::Exclusive);

// Seals a compound file into the new file of a save as the writer produces it. The compound
// header, written last over the file's start, lands in the first chunk, which is held until
// then.
class StrongStorageOutput final : public CompoundOutput {
public:
    explicit StrongStorageOutput(AtomicFileWriter& file);
    // Writes the envelope's header for `key` (its salt and parameters, a new nonce base).
    strong::Status Begin(const strong::Key& key);
    int WriteAt(uint64_t offset, const uint8_t* data, size_t size) override;
    int Finish(uint64_t size) override;

private:
    int Append(const uint8_t* data, size_t size);
    int ErrorOf(strong::Status status) const;

    AtomicFileWriter& file_;
    uint64_t appended_ = 0;
    strong::Writer writer_;
};
