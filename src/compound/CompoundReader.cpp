// Compound-file reader: checks the whole structure once when the file is opened (every
// table, every chain, the directory tree, all without recursion), then lists storages and
// reads streams from the checked chains.
#include "compound/CompoundFile.h"
#include "compound/CompoundFormat.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <new>
#include <span>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace compound;

namespace {

struct Entry {
    uint32_t nameOffset = 0; // into State::names
    uint8_t nameLength = 0;
    uint8_t type = 0; // 0 unused, 1 storage, 2 stream, 5 root
    uint32_t left = kNoStream;
    uint32_t right = kNoStream;
    uint32_t child = kNoStream;
    uint32_t start = kEndOfChain;
    uint64_t size = 0;
    bool reachable = false;
    bool damaged = false;
    uint32_t firstChild = 0; // storages: children[firstChild, firstChild + childCount)
    uint32_t childCount = 0;
};

// Folder part of a path ("." when there is none).
std::string ParentOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

struct CompoundReader::State {
    int fd = -1;
    bool ownsFd = false;
    std::vector<uint8_t> bytes; // the file, when reading from memory
    uint64_t fileSize = 0;
    int version = 0;
    uint32_t sectorSize = 512;
    uint64_t sectorCount = 0;
    std::vector<uint32_t> fat;
    std::vector<uint32_t> miniFat;
    std::vector<uint32_t> miniChain; // sectors of the small-stream area, in order
    uint64_t miniSectorCount = 0;
    bool miniBroken = false;
    std::vector<Entry> entries;
    std::vector<char16_t> names;    // all entry names, back to back
    std::vector<uint32_t> children; // each storage's children, in directory order

    std::u16string_view Name(uint32_t id) const {
        return {names.data() + entries[id].nameOffset, entries[id].nameLength};
    }
    std::span<const uint32_t> Children(const Entry& storage) const {
        return {children.data() + storage.firstChild, storage.childCount};
    }
    std::vector<uint8_t> used;     // sector already claimed by a table or a stream
    std::vector<uint8_t> miniUsed; // small sector already claimed by a stream

    ~State() {
        if (ownsFd && fd >= 0) {
            ::close(fd);
        }
    }

    // Small reads (the small streams, which lie side by side in the order they were written)
    // go through a window of the file, so that thousands of them cost few system calls.
    static constexpr size_t kWindow = size_t{64} << 10;
    mutable std::mutex windowMutex;
    mutable std::vector<uint8_t> window;
    mutable uint64_t windowStart = 0;

    bool ReadAt(uint64_t offset, uint8_t* dst, size_t size) const {
        if (fd < 0 || size > kMiniCutoff) {
            return ReadDirect(offset, dst, size);
        }
        std::lock_guard<std::mutex> lock(windowMutex);
        if (window.empty() || offset < windowStart || offset + size > windowStart + window.size()) {
            windowStart = offset / kWindow * kWindow;
            window.resize(kWindow);
            if (!ReadDirect(windowStart, window.data(), kWindow)) {
                window.clear();
                return false;
            }
            if (offset + size > windowStart + kWindow) {
                window.clear(); // straddles the window's end: read it directly
                return ReadDirect(offset, dst, size);
            }
        }
        std::memcpy(dst, window.data() + (offset - windowStart), size);
        return true;
    }

    // Reads file bytes; what lies past the end of the file reads as zeros (a last sector
    // may be cut short). False on an input/output error.
    bool ReadDirect(uint64_t offset, uint8_t* dst, size_t size) const {
        size_t have = 0;
        if (offset < fileSize) {
            have = static_cast<size_t>(std::min<uint64_t>(size, fileSize - offset));
        }
        if (fd < 0) {
            if (have > 0) {
                std::memcpy(dst, bytes.data() + offset, have);
            }
        } else {
            size_t done = 0;
            while (done < have) {
                const ssize_t n =
                    ::pread(fd, dst + done, have - done, static_cast<off_t>(offset + done));
                if (n < 0 && errno == EINTR) {
                    continue;
                }
                if (n <= 0) {
                    return false;
                }
                done += static_cast<size_t>(n);
            }
        }
        std::fill(dst + have, dst + size, 0);
        return true;
    }

    uint64_t SectorOffset(uint32_t sid) const { return (uint64_t{sid} + 1) * sectorSize; }

    // Follows a chain of at most `limit` sectors (to its end when `limit` is 0), claiming
    // each sector. False on a sector out of range, one claimed before (a cycle or a shared
    // sector), or a chain shorter than `limit`.
    bool Walk(uint32_t start, uint64_t limit, std::vector<uint32_t>* chain) {
        uint32_t sid = start;
        uint64_t count = 0;
        while (limit == 0 ? sid != kEndOfChain : count < limit) {
            if (sid >= sectorCount || sid >= fat.size() || used[sid]) {
                return false;
            }
            used[sid] = 1;
            if (chain != nullptr) {
                chain->push_back(sid);
            }
            ++count;
            sid = fat[sid];
        }
        return true;
    }

    // Reads the given sectors into `out`, one read per run of neighbouring sectors.
    bool ReadSectors(const std::vector<uint32_t>& sids, std::vector<uint8_t>& out) const {
        out.resize(sids.size() * sectorSize);
        size_t i = 0;
        while (i < sids.size()) {
            size_t j = i + 1;
            while (j < sids.size() && sids[j] == sids[j - 1] + 1) {
                ++j;
            }
            if (!ReadAt(SectorOffset(sids[i]), out.data() + i * sectorSize, (j - i) * sectorSize)) {
                return false;
            }
            i = j;
        }
        return true;
    }

    void ParseEntry(const uint8_t* p, Entry& e) {
        e.type = p[66];
        if (e.type != 1 && e.type != 2 && e.type != 5) {
            e.type = 0;
            return;
        }
        const uint16_t nameBytes = Get16(p + 64);
        size_t units = nameBytes >= 2 && nameBytes <= 64 ? nameBytes / 2 - 1 : kMaxNameUnits;
        units = std::min(units, kMaxNameUnits);
        char16_t name[kMaxNameUnits];
        size_t length = 0;
        while (length < units && (name[length] = Get16(p + 2 * length)) != 0) {
            ++length;
        }
        e.nameOffset = static_cast<uint32_t>(names.size());
        e.nameLength = static_cast<uint8_t>(length);
        names.insert(names.end(), name, name + length);
        e.left = Get32(p + 68);
        e.right = Get32(p + 72);
        e.child = Get32(p + 76);
        e.start = Get32(p + 116);
        e.size = version == 3 ? Get32(p + 120) : Get64(p + 120);
    }

    CompoundResult Parse() {
        uint8_t h[512];
        if (fileSize < 512 || !ReadAt(0, h, sizeof h) ||
            std::memcmp(h, kSignature, sizeof kSignature) != 0 || Get16(h + 28) != 0xFFFE) {
            return CompoundResult::NotCompoundFile;
        }
        version = Get16(h + 26);
        const uint16_t shift = Get16(h + 30);
        if (!((version == 3 && shift == 9) || (version == 4 && shift == 12)) ||
            Get16(h + 32) != 6 || Get32(h + 56) != kMiniCutoff) {
            return CompoundResult::NotCompoundFile;
        }
        sectorSize = 1u << shift;
        sectorCount = fileSize > sectorSize ? (fileSize - 1) / sectorSize : 0;
        sectorCount = std::min<uint64_t>(sectorCount, uint64_t{kMaxRegSect} + 1);
        used.assign(sectorCount, 0);
        const uint32_t per = sectorSize / 4;

        // Allocation table sectors: 109 in the header, the rest in the index chain.
        const uint32_t fatCount = Get32(h + 44);
        if (fatCount > sectorCount) {
            return CompoundResult::NotCompoundFile;
        }
        std::vector<uint32_t> fatSids;
        fatSids.reserve(fatCount);
        for (uint32_t i = 0; i < kHeaderDifatCount && fatSids.size() < fatCount; ++i) {
            fatSids.push_back(Get32(h + 76 + 4 * i));
        }
        uint32_t difat = Get32(h + 68);
        const uint32_t difatCount = Get32(h + 72);
        std::vector<uint8_t> sector(sectorSize);
        for (uint32_t n = 0; fatSids.size() < fatCount; ++n) {
            if (n >= difatCount || difat >= sectorCount || used[difat] ||
                !ReadAt(SectorOffset(difat), sector.data(), sectorSize)) {
                return CompoundResult::NotCompoundFile;
            }
            used[difat] = 1;
            for (uint32_t k = 0; k + 1 < per && fatSids.size() < fatCount; ++k) {
                fatSids.push_back(Get32(sector.data() + 4 * k));
            }
            difat = Get32(sector.data() + 4 * (per - 1));
        }
        // A table sector listed twice, or also used as an index sector, only spoils table
        // entries; every chain is still checked against the file, so it is tolerated (one
        // widely used writer lists its index sector as the last table sector above 2 GB).
        for (const uint32_t sid : fatSids) {
            if (sid >= sectorCount) {
                return CompoundResult::NotCompoundFile;
            }
            used[sid] = 1;
        }
        std::vector<uint8_t> raw;
        if (!ReadSectors(fatSids, raw)) {
            return CompoundResult::NotCompoundFile;
        }
        fat.resize(raw.size() / 4);
        for (size_t i = 0; i < fat.size(); ++i) {
            fat[i] = Get32(raw.data() + 4 * i);
        }

        // Directory, read a few sectors at a time.
        std::vector<uint32_t> chain;
        if (!Walk(Get32(h + 48), 0, &chain) || chain.empty()) {
            return CompoundResult::NotCompoundFile;
        }
        const size_t perSector = sectorSize / kDirEntrySize;
        const size_t count = std::min<size_t>(chain.size() * perSector, kMaxRegSect);
        entries.resize(count);
        constexpr size_t kGroup = 16;
        std::vector<uint32_t> group;
        for (size_t first = 0; first < chain.size(); first += kGroup) {
            group.assign(chain.begin() + static_cast<long>(first),
                         chain.begin() + static_cast<long>(std::min(chain.size(), first + kGroup)));
            if (!ReadSectors(group, raw)) {
                return CompoundResult::NotCompoundFile;
            }
            const size_t base = first * perSector;
            for (size_t i = 0; i < group.size() * perSector && base + i < count; ++i) {
                ParseEntry(raw.data() + i * kDirEntrySize, entries[base + i]);
            }
        }
        if (entries[0].type != 5) {
            return CompoundResult::NotCompoundFile;
        }
        std::vector<uint8_t>().swap(raw);

        // Small-stream table and area. When either is broken, only small streams suffer.
        const uint32_t miniFatStart = Get32(h + 60);
        chain.clear();
        if (miniFatStart != kEndOfChain && miniFatStart != kFreeSect) {
            if (Walk(miniFatStart, 0, &chain) && ReadSectors(chain, raw)) {
                miniFat.resize(raw.size() / 4);
                for (size_t i = 0; i < miniFat.size(); ++i) {
                    miniFat[i] = Get32(raw.data() + 4 * i);
                }
            } else {
                miniBroken = true;
            }
        }
        std::vector<uint8_t>().swap(raw);
        const Entry& root = entries[0];
        miniSectorCount = root.size / kMiniSectorSize + (root.size % kMiniSectorSize != 0);
        if (root.size > 0) {
            const uint64_t need = root.size / sectorSize + (root.size % sectorSize != 0);
            if (need > sectorCount || !Walk(root.start, need, &miniChain)) {
                miniBroken = true;
                miniChain.clear();
            }
        }
        miniUsed.assign(miniBroken ? 0 : miniSectorCount, 0);

        // Directory tree: storages depth-first, each storage's children by an in-order walk
        // of its search tree. An entry reached a second time or of the wrong kind is skipped.
        entries[0].reachable = true;
        std::vector<uint32_t> storages{0};
        std::vector<uint32_t> path;
        while (!storages.empty()) {
            const uint32_t s = storages.back();
            storages.pop_back();
            uint32_t cur = entries[s].child;
            entries[s].firstChild = static_cast<uint32_t>(children.size());
            path.clear();
            for (;;) {
                while (cur < entries.size() && !entries[cur].reachable &&
                       (entries[cur].type == 1 || entries[cur].type == 2)) {
                    entries[cur].reachable = true;
                    path.push_back(cur);
                    cur = entries[cur].left;
                }
                if (path.empty()) {
                    break;
                }
                const uint32_t node = path.back();
                path.pop_back();
                children.push_back(node);
                ++entries[s].childCount;
                if (entries[node].type == 1) {
                    storages.push_back(node);
                } else {
                    CheckStream(entries[node]);
                }
                cur = entries[node].right;
            }
        }
        return CompoundResult::Ok;
    }

    void CheckStream(Entry& e) {
        if (e.size == 0) {
            return;
        }
        if (e.size < kMiniCutoff) {
            const uint64_t need = e.size / kMiniSectorSize + (e.size % kMiniSectorSize != 0);
            uint32_t m = e.start;
            for (uint64_t i = 0; i < need; ++i) {
                if (miniBroken || m >= miniSectorCount || m >= miniFat.size() || miniUsed[m]) {
                    e.damaged = true;
                    return;
                }
                miniUsed[m] = 1;
                m = miniFat[m];
            }
            return;
        }
        const uint64_t need = e.size / sectorSize + (e.size % sectorSize != 0);
        if (need > sectorCount || !Walk(e.start, need, nullptr)) {
            e.damaged = true;
        }
    }

    bool ReadBig(const Entry& e, uint8_t* out) const {
        uint32_t sid = e.start;
        uint64_t done = 0;
        while (done < e.size) {
            // One read per run of neighbouring sectors.
            const uint32_t first = sid;
            uint64_t run = 0;
            do {
                run += sectorSize;
                sid = fat[sid];
            } while (done + run < e.size && sid == first + run / sectorSize);
            const uint64_t n = std::min(run, e.size - done);
            if (!ReadAt(SectorOffset(first), out + done, n)) {
                return false;
            }
            done += n;
        }
        return true;
    }

    bool ReadSmall(const Entry& e, uint8_t* out) const {
        uint32_t m = e.start;
        uint64_t done = 0;
        while (done < e.size) {
            const uint64_t pos = uint64_t{m} * kMiniSectorSize;
            const uint64_t file = SectorOffset(miniChain[pos / sectorSize]) + pos % sectorSize;
            uint64_t run = 0;
            uint64_t next = file;
            do {
                run += kMiniSectorSize;
                next += kMiniSectorSize;
                m = miniFat[m];
                if (done + run >= e.size) {
                    break;
                }
                const uint64_t p = uint64_t{m} * kMiniSectorSize;
                if (SectorOffset(miniChain[p / sectorSize]) + p % sectorSize != next) {
                    break;
                }
            } while (true);
            const uint64_t n = std::min(run, e.size - done);
            if (!ReadAt(file, out + done, n)) {
                return false;
            }
            done += n;
        }
        return true;
    }

    const Entry* Storage(uint32_t id) const {
        if (id >= entries.size() || !entries[id].reachable ||
            (entries[id].type != 1 && entries[id].type != 5)) {
            return nullptr;
        }
        return &entries[id];
    }

    CompoundEntry Describe(uint32_t id) const {
        const Entry& e = entries[id];
        CompoundEntry out;
        out.name = Utf16ToUtf8(Name(id));
        out.type = e.type == 2 ? CompoundEntryType::Stream : CompoundEntryType::Storage;
        out.size = e.type == 2 ? e.size : 0;
        out.id = id;
        return out;
    }
};

CompoundReader::CompoundReader() = default;

CompoundReader::~CompoundReader() = default;

CompoundResult CompoundReader::Open(const std::string& path) {
    Close();
    if (path.empty() || path.find('\0') != std::string::npos) {
        return CompoundResult::InvalidName;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT) {
            struct stat st {};
            const std::string parent = ParentOf(path);
            if (::stat(parent.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
                return CompoundResult::PathNotFound;
            }
        }
        return CompoundResultFromErrno(error);
    }
    return OpenFd(fd, true);
}

CompoundResult CompoundReader::OpenFd(int fd, bool takeOwnership) {
    Close();
    auto fail = [&](CompoundResult r) {
        if (takeOwnership && fd >= 0) {
            ::close(fd);
        }
        state_.reset();
        return r;
    };
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        return fail(CompoundResult::InvalidState);
    }
    if (S_ISDIR(st.st_mode)) {
        return fail(CompoundResult::AccessDenied);
    }
    if (!S_ISREG(st.st_mode)) {
        return fail(CompoundResult::NotCompoundFile);
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        return fail(errno == EWOULDBLOCK ? CompoundResult::ShareViolation
                                         : CompoundResult::LockViolation);
    }
    try {
        state_ = std::make_unique<State>();
        state_->fd = fd;
        state_->ownsFd = takeOwnership;
        state_->fileSize = static_cast<uint64_t>(st.st_size);
        const CompoundResult r = state_->Parse();
        if (r != CompoundResult::Ok) {
            state_.reset(); // closes an owned descriptor, which drops the lock
            if (!takeOwnership) {
                ::flock(fd, LOCK_UN);
            }
        }
        return r;
    } catch (const std::bad_alloc&) {
        if (state_) {
            state_->ownsFd = false;
        }
        if (!takeOwnership) {
            ::flock(fd, LOCK_UN);
        }
        return fail(CompoundResult::NotEnoughMemory);
    }
}

CompoundResult CompoundReader::OpenBytes(std::vector<uint8_t> bytes) {
    Close();
    try {
        state_ = std::make_unique<State>();
        state_->bytes = std::move(bytes);
        state_->fileSize = state_->bytes.size();
        const CompoundResult r = state_->Parse();
        if (r != CompoundResult::Ok) {
            state_.reset();
        }
        return r;
    } catch (const std::bad_alloc&) {
        state_.reset();
        return CompoundResult::NotEnoughMemory;
    }
}

void CompoundReader::Close() {
    if (state_ && !state_->ownsFd && state_->fd >= 0) {
        ::flock(state_->fd, LOCK_UN);
    }
    state_.reset();
}

bool CompoundReader::IsOpen() const {
    return state_ != nullptr;
}

int CompoundReader::Version() const {
    return state_ ? state_->version : 0;
}

CompoundResult CompoundReader::List(uint32_t storage, std::vector<CompoundEntry>& out) const {
    out.clear();
    if (!state_) {
        return CompoundResult::InvalidState;
    }
    const Entry* s = state_->Storage(storage);
    if (s == nullptr) {
        return CompoundResult::NotFound;
    }
    try {
        out.reserve(s->childCount);
        for (const uint32_t id : state_->Children(*s)) {
            out.push_back(state_->Describe(id));
        }
    } catch (const std::bad_alloc&) {
        out.clear();
        return CompoundResult::NotEnoughMemory;
    }
    return CompoundResult::Ok;
}

size_t CompoundReader::ChildCount(uint32_t storage) const {
    const Entry* s = state_ ? state_->Storage(storage) : nullptr;
    return s == nullptr ? 0 : s->childCount;
}

CompoundResult CompoundReader::Find(uint32_t storage, std::string_view name,
                                    CompoundEntry& out) const {
    if (!state_) {
        return CompoundResult::InvalidState;
    }
    const Entry* s = state_->Storage(storage);
    std::u16string wide;
    if (s == nullptr || !Utf8ToUtf16(name, wide)) {
        return CompoundResult::NotFound;
    }
    const auto kids = state_->Children(*s);
    // Children come in the sorted order of a sound file; a file that breaks the order still
    // finds its names, by the slower walk.
    const auto it = std::lower_bound(kids.begin(), kids.end(), wide,
                                     [&](uint32_t id, const std::u16string& key) {
                                         return CompareNames(state_->Name(id), key) < 0;
                                     });
    if (it != kids.end() && CompareNames(state_->Name(*it), wide) == 0) {
        out = state_->Describe(*it);
        return CompoundResult::Ok;
    }
    for (const uint32_t id : kids) {
        if (CompareNames(state_->Name(id), wide) == 0) {
            out = state_->Describe(id);
            return CompoundResult::Ok;
        }
    }
    return CompoundResult::NotFound;
}

CompoundResult CompoundReader::ReadStream(uint32_t stream, std::vector<uint8_t>& out) const {
    out.clear();
    if (!state_) {
        return CompoundResult::InvalidState;
    }
    const State& s = *state_;
    if (stream >= s.entries.size() || !s.entries[stream].reachable || s.entries[stream].type != 2) {
        return CompoundResult::NotFound;
    }
    const Entry& e = s.entries[stream];
    if (e.damaged) {
        return CompoundResult::Corrupt;
    }
    try {
        out.resize(e.size);
    } catch (const std::bad_alloc&) {
        return CompoundResult::NotEnoughMemory;
    } catch (const std::length_error&) {
        return CompoundResult::NotEnoughMemory;
    }
    const bool ok = e.size < kMiniCutoff ? s.ReadSmall(e, out.data()) : s.ReadBig(e, out.data());
    if (!ok) {
        out.clear();
        return CompoundResult::Unknown;
    }
    return CompoundResult::Ok;
}
