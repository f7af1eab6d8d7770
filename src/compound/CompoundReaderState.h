// The reader's picture of an open compound file: the checked tables, the directory with each
// storage's children, and the reads of the file (or of the bytes it was opened from).
#pragma once

#include "compound/CompoundFile.h"
#include "compound/CompoundFormat.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

// Leaves new elements uninitialised: for a table that is read into its place right away,
// where zero-filling megabytes first would double the cost of opening a large file.
template <typename T> struct UninitialisedAllocator : std::allocator<T> {
    template <typename U> struct rebind { using other = UninitialisedAllocator<U>; };
    UninitialisedAllocator() = default;
    template <typename U>
    UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {} // NOLINT
    template <typename U> void construct(U* p) noexcept { ::new (static_cast<void*>(p)) U; }
    template <typename U, typename... Args> void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

struct CompoundReader::State {
    struct Entry {
        uint32_t nameOffset = 0; // into State::names
        uint8_t nameLength = 0;
        uint8_t type = 0; // 0 unused, 1 storage, 2 stream, 5 root
        uint32_t left = compound::kNoStream;
        uint32_t right = compound::kNoStream;
        uint32_t child = compound::kNoStream;
        uint32_t start = compound::kEndOfChain;
        uint64_t size = 0;
        bool reachable = false;
        bool damaged = false;
        uint32_t firstChild = 0; // storages: children[firstChild, firstChild + childCount)
        uint32_t childCount = 0;
    };

    int fd = -1;
    bool ownsFd = false;
    bool locked = false;                          // the reader took the descriptor's lock
    std::vector<uint8_t> bytes;                   // the file, when reading from memory
    std::shared_ptr<const CompoundSource> source; // the file, when reading through a source
    uint64_t fileSize = 0;
    int version = 0;
    uint32_t sectorSize = 512;
    uint64_t sectorCount = 0;
    std::vector<uint32_t, UninitialisedAllocator<uint32_t>> fat; // read whole at open
    std::vector<uint32_t> miniFat;
    std::vector<uint32_t> miniChain; // sectors of the small-stream area, in order
    uint64_t miniSectorCount = 0;
    bool miniBroken = false;
    std::vector<Entry> entries;
    std::vector<char16_t> names;    // all entry names, back to back
    std::vector<uint32_t> children; // each storage's children, in directory order
    std::vector<uint8_t> used;      // sector already claimed by a table or a stream
    std::vector<uint8_t> miniUsed;  // small sector already claimed by a stream

    std::u16string_view Name(uint32_t id) const {
        return {names.data() + entries[id].nameOffset, entries[id].nameLength};
    }
    std::span<const uint32_t> Children(const Entry& storage) const {
        return {children.data() + storage.firstChild, storage.childCount};
    }
    ~State();

    // Small reads (the small streams, which lie side by side in the order they were written)
    // go through a window of the file, so that thousands of them cost few system calls.
    static constexpr size_t kWindow = size_t{64} << 10;
    mutable std::mutex windowMutex;
    mutable std::vector<uint8_t> window;
    mutable uint64_t windowStart = 0;

    // Reads through the window when `size` is a small stream's.
    bool ReadAt(uint64_t offset, uint8_t* dst, size_t size) const;
    // Reads file bytes; what lies past the end of the file reads as zeros (a last sector
    // may be cut short). False on an input/output error.
    bool ReadDirect(uint64_t offset, uint8_t* dst, size_t size) const;

    uint64_t SectorOffset(uint32_t sid) const { return (uint64_t{sid} + 1) * sectorSize; }

    // Reads the given sectors into `out`, one read per run of neighbouring sectors.
    bool ReadSectors(const std::vector<uint32_t>& sids, std::vector<uint8_t>& out) const;
    bool ReadSectors(const std::vector<uint32_t>& sids, uint8_t* out) const;
    // The bytes of a stream whose chain was checked when the file was opened.
    bool ReadBig(const Entry& e, uint8_t* out) const;
    bool ReadSmall(const Entry& e, uint8_t* out) const;

    // A storage reached from the root, or null.
    const Entry* Storage(uint32_t id) const;
    CompoundEntry Describe(uint32_t id) const;

    // Checks the whole structure, in the steps below; NotCompoundFile when a step fails.
    CompoundResult Parse();
    // The header: signature, version and sector size; sets the sector count.
    bool ReadHeader(uint8_t (&h)[512]);
    // The allocation table, from the sectors the header and the index chain list.
    bool ReadFat(const uint8_t* h);
    // The directory entries; the first must be the root.
    bool ReadDirectory(const uint8_t* h);
    // The small-stream table and area. When either is broken, only small streams suffer.
    void ReadMiniStreams(const uint8_t* h);
    // Each storage's children, from its search tree; checks every stream's chain.
    void LinkChildren();

    // Follows a chain of at most `limit` sectors (to its end when `limit` is 0), claiming
    // each sector. False on a sector out of range, one claimed before (a cycle or a shared
    // sector), or a chain shorter than `limit`.
    bool Walk(uint32_t start, uint64_t limit, std::vector<uint32_t>* chain);
    void ParseEntry(const uint8_t* p, Entry& e);
    // Marks a stream damaged when its chain does not hold its size.
    void CheckStream(Entry& e);
};
