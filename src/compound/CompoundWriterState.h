// The writer's state while a compound file is being written: the allocation tables so far,
// the pending output and small-stream bytes, and the directory that closes the file.
#pragma once

#include "compound/CompoundFile.h"
#include "compound/CompoundFormat.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace compound {
// The most the writer buffers, writes or copies in one call.
inline constexpr size_t kOutBufferSize = size_t{1} << 20;
} // namespace compound

struct CompoundWriter::State {
    struct DirEntry {
        std::u16string name;
        CompoundEntryType type = CompoundEntryType::Stream;
        uint32_t start = compound::kEndOfChain;
        uint64_t size = 0;
        uint32_t left = compound::kNoStream;
        uint32_t right = compound::kNoStream;
        uint32_t child = compound::kNoStream;
        bool red = false;
        std::vector<uint32_t> children; // storages only
    };

    // Where the closing tables went, for the header.
    struct Tables {
        uint32_t firstDir = compound::kEndOfChain;
        size_t dirSectors = 0;
        uint32_t firstMiniFat = compound::kEndOfChain;
        uint32_t miniFatSectors = 0;
        uint64_t fatCount = 0;
        uint64_t difatCount = 0;
        std::vector<uint32_t> fatSids;
        std::vector<uint32_t> difatSids;
    };

    int fd = -1;
    bool ownsFd = false;
    CompoundOutput* output = nullptr; // in place of fd, from AttachOutput
    CompoundWriteOptions options;
    uint32_t sectorSize = 512;
    uint32_t sectorShift = 9;
    uint32_t maxSector = 0; // first sector number that may not be allocated
    uint32_t rangeLock = compound::kNoStream;
    CompoundResult failure = CompoundResult::Ok;
    bool finished = false;

    std::vector<uint32_t> fat;
    std::vector<uint8_t> out; // pending bytes, written at outOffset
    uint64_t outOffset = 0;
    uint64_t fileSize = 0; // header + allocated sectors, as emitted so far

    std::vector<uint32_t> miniFat;
    std::vector<uint8_t> miniPending;
    uint32_t miniFirst = compound::kEndOfChain;
    uint32_t miniLast = compound::kEndOfChain;

    std::vector<DirEntry> dir;

    // The stream being written in pieces (BeginStream .. EndStream).
    struct Piecewise {
        bool open = false;
        uint32_t id = 0;
        uint64_t size = 0;
        uint64_t written = 0;
        uint32_t last = compound::kEndOfChain; // last sector of the chain so far
        uint64_t runLeft = 0;                  // bytes still free in the current run
        std::vector<uint8_t> small;            // a small stream, collected for the mini area
    } piece;
    std::unordered_set<uint64_t> nameHashes;

    // Keeps the first failure; every later call reports it.
    CompoundResult Fail(CompoundResult r) {
        if (failure == CompoundResult::Ok) {
            failure = r;
        }
        return failure;
    }

    // Output, in CompoundWriter.cpp. Each returns false after recording a failure.
    bool WriteAll(const uint8_t* data, size_t size, uint64_t offset);
    bool FlushOut();
    // Copies `size` bytes of the descriptor `from` to the output at outOffset, through memory.
    bool CopyToOutput(int from, uint64_t fromOffset, uint64_t size);
    // Appends bytes to the file; large pieces go straight from the caller's buffer.
    bool Emit(const uint8_t* data, size_t size);
    bool EmitZeros(size_t size);
    // The next sector number; the caller emits its bytes next. Skips the range-lock sector.
    bool Allocate(uint32_t& sid, uint32_t mark);
    // Writes `size` bytes as a new chain of sectors (the last one padded with zeros), in
    // runs of neighbouring sectors between range-lock skips.
    bool WriteChain(const uint8_t* data, size_t size, uint32_t& first);
    // Moves whole sectors of the pending small-stream bytes to the file (all with `all`).
    bool FlushMini(bool all);
    // Queues a small stream's bytes for the small-stream area.
    bool WriteMini(uint32_t id, const uint8_t* bytes, size_t size);
    // Makes room for the next bytes of the piecewise stream: a new run of sectors when the
    // current one is full. Returns the bytes that fit the run.
    bool NextPieceRun(uint64_t want, uint64_t& fits);

    CompoundResult Start(const CompoundWriteOptions& opts);
    CompoundResult AddEntry(uint32_t parent, std::string_view name, CompoundEntryType type,
                            uint32_t& id);
    void Release();

    // Closing the file, in CompoundWriterFinish.cpp: the small-stream area, then the steps
    // below in the order they are written.
    CompoundResult Finish();
    // Links one storage's children into a balanced binary search tree in the format's order,
    // coloured so that it is a valid red-black tree: every level black except an incomplete
    // last level, which is red.
    void BuildTree(uint32_t storage);
    bool WriteDirectory(Tables& tables);
    bool WriteMiniFat(Tables& tables);
    // The allocation table and its index: they must cover their own sectors as well.
    void SizeFat(Tables& tables) const;
    bool WriteFat(Tables& tables);
    // The header, written last over the first sector; then the file is cut to its size and
    // synced when asked.
    bool WriteHeader(const Tables& tables);
};
