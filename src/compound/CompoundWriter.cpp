// Compound-file writer: stream data goes to the file in the order it arrives, sector after
// sector; the small-stream area is flushed in chunks; directory and tables close the file.
#include "compound/CompoundFile.h"
#include "compound/CompoundFormat.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <new>
#include <sys/file.h>
#include <unistd.h>
#include <unordered_set>

using namespace compound;

namespace {

constexpr size_t kOutBufferSize = size_t{1} << 20;
// The small-stream area is written out whenever this much of it is pending.
constexpr size_t kMiniChunk = size_t{64} << 10;
// Version 3 files stay below 2 GB; larger announced sizes switch to version 4. The margin
// leaves room for the tables and the small-stream padding.
constexpr uint64_t kVersion3Limit = (uint64_t{2} << 30) - (uint64_t{64} << 20);

struct DirEntry {
    std::u16string name;
    CompoundEntryType type = CompoundEntryType::Stream;
    uint32_t start = kEndOfChain;
    uint64_t size = 0;
    uint32_t left = kNoStream;
    uint32_t right = kNoStream;
    uint32_t child = kNoStream;
    bool red = false;
    std::vector<uint32_t> children; // storages only
};

} // namespace

struct CompoundWriter::State {
    int fd = -1;
    bool ownsFd = false;
    CompoundWriteOptions options;
    uint32_t sectorSize = 512;
    uint32_t sectorShift = 9;
    uint32_t maxSector = 0; // first sector number that may not be allocated
    uint32_t rangeLock = kNoStream;
    CompoundResult failure = CompoundResult::Ok;
    bool finished = false;

    std::vector<uint32_t> fat;
    std::vector<uint8_t> out; // pending bytes, written at outOffset
    uint64_t outOffset = 0;
    uint64_t fileSize = 0; // header + allocated sectors, as emitted so far

    std::vector<uint32_t> miniFat;
    std::vector<uint8_t> miniPending;
    uint32_t miniFirst = kEndOfChain;
    uint32_t miniLast = kEndOfChain;

    std::vector<DirEntry> dir;
    std::unordered_set<uint64_t> nameHashes;

    CompoundResult Fail(CompoundResult r) {
        if (failure == CompoundResult::Ok) {
            failure = r;
        }
        return failure;
    }

    // Writes at most a megabyte per call. A single larger write lets the kernel back the
    // file's cache with 2 MB pages, and on virtual machines that hand free memory back to
    // the host every such page is slow to fill the first time: a 1 GiB save took three
    // times as long as with megabyte writes, which cost nothing elsewhere.
    bool WriteAll(const uint8_t* data, size_t size, uint64_t offset) {
        size_t done = 0;
        while (done < size) {
            const size_t piece = std::min(size - done, kOutBufferSize);
            const ssize_t n = ::pwrite(fd, data + done, piece, static_cast<off_t>(offset + done));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                Fail(n < 0 && (errno == ENOSPC || errno == EDQUOT) ? CompoundResult::DiskFull
                                                                   : CompoundResult::WriteFault);
                return false;
            }
            done += static_cast<size_t>(n);
        }
        return true;
    }

    bool FlushOut() {
        if (!WriteAll(out.data(), out.size(), outOffset)) {
            return false;
        }
        outOffset += out.size();
        out.clear();
        return true;
    }

    // Appends bytes to the file; large pieces go straight from the caller's buffer.
    bool Emit(const uint8_t* data, size_t size) {
        if (out.size() + size > kOutBufferSize && !FlushOut()) {
            return false;
        }
        if (size >= kOutBufferSize) {
            if (!WriteAll(data, size, outOffset)) {
                return false;
            }
            outOffset += size;
            return true;
        }
        out.insert(out.end(), data, data + size);
        return true;
    }

    bool EmitZeros(size_t size) {
        static const std::vector<uint8_t> zeros(4096);
        while (size > 0) {
            const size_t n = std::min(size, zeros.size());
            if (!Emit(zeros.data(), n)) {
                return false;
            }
            size -= n;
        }
        return true;
    }

    // The next sector number; the caller emits its bytes next. Skips the range-lock sector.
    bool Allocate(uint32_t& sid, uint32_t mark) {
        if (fat.size() == rangeLock) {
            fat.push_back(kEndOfChain);
            fileSize += sectorSize;
            if (!EmitZeros(sectorSize)) {
                return false;
            }
        }
        if (fat.size() >= maxSector) {
            Fail(CompoundResult::TooLarge);
            return false;
        }
        sid = static_cast<uint32_t>(fat.size());
        fat.push_back(mark);
        fileSize += sectorSize;
        return true;
    }

    // Writes `size` bytes as a new chain of sectors (the last one padded with zeros), in
    // runs of neighbouring sectors between range-lock skips.
    bool WriteChain(const uint8_t* data, size_t size, uint32_t& first) {
        first = kEndOfChain;
        uint32_t prev = kEndOfChain;
        size_t pos = 0;
        while (pos < size) {
            uint32_t sid = 0;
            if (!Allocate(sid, kEndOfChain)) {
                return false;
            }
            uint64_t run = 1;
            const uint64_t wanted = (size - pos + sectorSize - 1) / sectorSize;
            while (run < wanted && fat.size() != rangeLock && fat.size() < maxSector) {
                fat.push_back(kEndOfChain);
                ++run;
            }
            fileSize += (run - 1) * sectorSize;
            if (prev == kEndOfChain) {
                first = sid;
            } else {
                fat[prev] = sid;
            }
            for (uint64_t k = 0; k + 1 < run; ++k) {
                fat[sid + k] = static_cast<uint32_t>(sid + k + 1);
            }
            prev = static_cast<uint32_t>(sid + run - 1);
            const size_t n = static_cast<size_t>(std::min<uint64_t>(run * sectorSize, size - pos));
            if (!Emit(data + pos, n) || !EmitZeros(run * sectorSize - n)) {
                return false;
            }
            pos += n;
        }
        return true;
    }

    // Moves whole sectors of the pending small-stream bytes to the file (all with `all`).
    bool FlushMini(bool all) {
        if (all && miniPending.size() % sectorSize != 0) {
            miniPending.resize((miniPending.size() / sectorSize + 1) * sectorSize, 0);
        }
        const size_t whole = miniPending.size() / sectorSize * sectorSize;
        for (size_t pos = 0; pos < whole; pos += sectorSize) {
            uint32_t sid = 0;
            if (!Allocate(sid, kEndOfChain)) {
                return false;
            }
            if (miniLast == kEndOfChain) {
                miniFirst = sid;
            } else {
                fat[miniLast] = sid;
            }
            miniLast = sid;
            if (!Emit(miniPending.data() + pos, sectorSize)) {
                return false;
            }
        }
        miniPending.erase(miniPending.begin(), miniPending.begin() + static_cast<long>(whole));
        return true;
    }

    CompoundResult Start(const CompoundWriteOptions& opts) {
        options = opts;
        int version = opts.version;
        if (version == 0) {
            version = opts.expectedSize > kVersion3Limit ? 4 : 3;
        }
        if (version != 3 && version != 4) {
            return CompoundResult::InvalidState;
        }
        sectorShift = version == 3 ? 9 : 12;
        sectorSize = 1u << sectorShift;
        rangeLock = RangeLockSector(sectorSize);
        maxSector = version == 3 ? rangeLock : kMaxRegSect + 1;
        DirEntry root;
        root.name = u"Root Entry";
        root.type = CompoundEntryType::Root;
        dir.push_back(std::move(root));
        out.reserve(kOutBufferSize);
        fileSize = sectorSize;
        return EmitZeros(sectorSize) ? CompoundResult::Ok : failure;
    }

    CompoundResult AddEntry(uint32_t parent, std::string_view name, CompoundEntryType type,
                            uint32_t& id) {
        if (fd < 0 || finished) {
            return CompoundResult::InvalidState;
        }
        if (failure != CompoundResult::Ok) {
            return failure;
        }
        if (parent >= dir.size() || dir[parent].type == CompoundEntryType::Stream) {
            return CompoundResult::NotFound;
        }
        std::u16string wide;
        if (!Utf8ToUtf16(name, wide) || !IsValidElementName(wide)) {
            return CompoundResult::InvalidName;
        }
        if (dir.size() >= kMaxRegSect) {
            return CompoundResult::TooLarge;
        }
        // Names are kept unique per storage through a hash of (storage, upper-cased name);
        // only when the hash is known already are the names compared.
        uint64_t hash = 1469598103934665603ull ^ (uint64_t{parent} * 0x9E3779B97F4A7C15ull);
        for (const char16_t c : wide) {
            hash = (hash ^ UpperUnit(c)) * 1099511628211ull;
        }
        if (!nameHashes.insert(hash).second) {
            for (const uint32_t other : dir[parent].children) {
                if (CompareNames(dir[other].name, wide) == 0) {
                    return CompoundResult::AlreadyExists;
                }
            }
        }
        id = static_cast<uint32_t>(dir.size());
        DirEntry e;
        e.name = std::move(wide);
        e.type = type;
        dir.push_back(std::move(e));
        dir[parent].children.push_back(id);
        return CompoundResult::Ok;
    }

    // Links one storage's children into a balanced binary search tree in the format's order,
    // coloured so that it is a valid red-black tree: every level black except an incomplete
    // last level, which is red.
    void BuildTree(uint32_t storage) {
        std::vector<uint32_t>& kids = dir[storage].children;
        if (kids.empty()) {
            return;
        }
        std::sort(kids.begin(), kids.end(), [this](uint32_t a, uint32_t b) {
            return CompareNames(dir[a].name, dir[b].name) < 0;
        });
        const size_t n = kids.size();
        size_t levels = 0; // number of levels = ceil(log2(n + 1))
        while ((size_t{1} << levels) < n + 1) {
            ++levels;
        }
        const bool perfect = (size_t{1} << levels) == n + 1;
        struct Range {
            size_t lo, hi, depth;
            uint32_t* link;
        };
        std::vector<Range> stack{{0, n, 0, &dir[storage].child}};
        while (!stack.empty()) {
            const Range r = stack.back();
            stack.pop_back();
            if (r.lo >= r.hi) {
                *r.link = kNoStream;
                continue;
            }
            const size_t mid = r.lo + (r.hi - r.lo) / 2;
            const uint32_t id = kids[mid];
            *r.link = id;
            dir[id].red = !perfect && r.depth + 1 == levels;
            stack.push_back({r.lo, mid, r.depth + 1, &dir[id].left});
            stack.push_back({mid + 1, r.hi, r.depth + 1, &dir[id].right});
        }
    }

    CompoundResult Finish() {
        if (fd < 0 || finished) {
            return CompoundResult::InvalidState;
        }
        if (failure != CompoundResult::Ok) {
            return failure;
        }
        finished = true;
        if (!FlushMini(true)) {
            return failure;
        }
        dir[0].start = miniFat.empty() ? kEndOfChain : miniFirst;
        dir[0].size = uint64_t{miniFat.size()} * kMiniSectorSize;

        // Directory.
        for (uint32_t i = 0; i < dir.size(); ++i) {
            if (dir[i].type != CompoundEntryType::Stream) {
                BuildTree(i);
            }
        }
        const size_t perSector = sectorSize / kDirEntrySize;
        const size_t dirSectors = (dir.size() + perSector - 1) / perSector;
        std::vector<uint8_t> dirBytes(dirSectors * sectorSize, 0);
        for (size_t i = 0; i < dirSectors * perSector; ++i) {
            uint8_t* p = dirBytes.data() + i * kDirEntrySize;
            Put32(p + 68, kNoStream);
            Put32(p + 72, kNoStream);
            Put32(p + 76, kNoStream);
            if (i >= dir.size()) {
                continue;
            }
            const DirEntry& e = dir[i];
            for (size_t k = 0; k < e.name.size(); ++k) {
                Put16(p + 2 * k, static_cast<uint16_t>(e.name[k]));
            }
            Put16(p + 64, static_cast<uint16_t>((e.name.size() + 1) * 2));
            p[66] = static_cast<uint8_t>(e.type);
            p[67] = e.red ? 0 : 1;
            Put32(p + 68, e.left);
            Put32(p + 72, e.right);
            Put32(p + 76, e.child);
            if (e.type != CompoundEntryType::Storage) {
                Put32(p + 116,
                      e.type == CompoundEntryType::Root || e.size > 0 ? e.start : kEndOfChain);
                Put64(p + 120, e.size);
            }
        }
        uint32_t firstDir = kEndOfChain;
        if (!WriteChain(dirBytes.data(), dirBytes.size(), firstDir)) {
            return failure;
        }
        std::vector<uint8_t>().swap(dirBytes);

        // Small-stream allocation table.
        uint32_t firstMiniFat = kEndOfChain;
        uint32_t miniFatSectors = 0;
        if (!miniFat.empty()) {
            const size_t per = sectorSize / 4;
            miniFatSectors = static_cast<uint32_t>((miniFat.size() + per - 1) / per);
            std::vector<uint8_t> bytes(size_t{miniFatSectors} * sectorSize, 0xFF);
            for (size_t i = 0; i < miniFat.size(); ++i) {
                Put32(bytes.data() + 4 * i, miniFat[i]);
            }
            if (!WriteChain(bytes.data(), bytes.size(), firstMiniFat)) {
                return failure;
            }
        }

        // Allocation table and its index: they must cover their own sectors as well.
        const uint64_t per = sectorSize / 4;
        const uint64_t base = fat.size();
        uint64_t fatCount = 1;
        uint64_t difatCount = 0;
        for (;;) {
            uint64_t total = base + fatCount + difatCount;
            if (base <= rangeLock && rangeLock < total) {
                ++total;
            }
            const uint64_t needFat = (total + per - 1) / per;
            const uint64_t needDifat = needFat > kHeaderDifatCount
                                           ? (needFat - kHeaderDifatCount + per - 2) / (per - 1)
                                           : 0;
            if (needFat <= fatCount && needDifat <= difatCount) {
                break;
            }
            fatCount = std::max(fatCount, needFat);
            difatCount = std::max(difatCount, needDifat);
        }
        // Their sector numbers follow the ones in use, around the range-lock sector.
        std::vector<uint32_t> fatSids;
        std::vector<uint32_t> difatSids;
        uint64_t next = base;
        for (uint64_t i = 0; i < fatCount + difatCount; ++i, ++next) {
            if (next == rangeLock) {
                ++next;
            }
            if (next >= maxSector) {
                return Fail(CompoundResult::TooLarge);
            }
            (i < fatCount ? fatSids : difatSids).push_back(static_cast<uint32_t>(next));
        }
        fat.resize(fatCount * per, kFreeSect);
        if (base <= rangeLock && rangeLock < next) {
            fat[rangeLock] = kEndOfChain;
        }
        for (const uint32_t sid : fatSids) {
            fat[sid] = kFatSect;
        }
        for (const uint32_t sid : difatSids) {
            fat[sid] = kDifSect;
        }
        std::vector<uint8_t> bytes(sectorSize);
        size_t fi = 0;
        size_t di = 0;
        for (uint64_t sid = base; sid < next; ++sid) {
            if (sid == rangeLock) {
                std::fill(bytes.begin(), bytes.end(), 0);
            } else if (fi < fatSids.size()) {
                for (size_t k = 0; k < per; ++k) {
                    Put32(bytes.data() + 4 * k, fat[fi * per + k]);
                }
                ++fi;
            } else {
                for (size_t k = 0; k + 1 < per; ++k) {
                    const size_t index = kHeaderDifatCount + di * (per - 1) + k;
                    Put32(bytes.data() + 4 * k,
                          index < fatSids.size() ? fatSids[index] : kFreeSect);
                }
                Put32(bytes.data() + 4 * (per - 1),
                      di + 1 < difatSids.size() ? difatSids[di + 1] : kEndOfChain);
                ++di;
            }
            if (!Emit(bytes.data(), bytes.size())) {
                return failure;
            }
        }
        fileSize += (next - base) * sectorSize;
        if (!FlushOut()) {
            return failure;
        }

        // Header.
        std::vector<uint8_t> h(512, 0);
        std::memcpy(h.data(), kSignature, sizeof kSignature);
        Put16(h.data() + 24, 0x003E);
        Put16(h.data() + 26, static_cast<uint16_t>(sectorShift == 9 ? 3 : 4));
        Put16(h.data() + 28, 0xFFFE);
        Put16(h.data() + 30, static_cast<uint16_t>(sectorShift));
        Put16(h.data() + 32, 6);
        Put32(h.data() + 40, sectorShift == 9 ? 0 : static_cast<uint32_t>(dirSectors));
        Put32(h.data() + 44, static_cast<uint32_t>(fatCount));
        Put32(h.data() + 48, firstDir);
        Put32(h.data() + 56, kMiniCutoff);
        Put32(h.data() + 60, firstMiniFat);
        Put32(h.data() + 64, miniFatSectors);
        Put32(h.data() + 68, difatSids.empty() ? kEndOfChain : difatSids[0]);
        Put32(h.data() + 72, static_cast<uint32_t>(difatCount));
        for (size_t i = 0; i < kHeaderDifatCount; ++i) {
            Put32(h.data() + 76 + 4 * i, i < fatSids.size() ? fatSids[i] : kFreeSect);
        }
        out.assign(h.begin(), h.end());
        const uint64_t end = fileSize;
        outOffset = 0;
        if (!FlushOut()) {
            return failure;
        }
        if (::ftruncate(fd, static_cast<off_t>(end)) != 0) {
            return Fail(CompoundResult::WriteFault);
        }
        if (options.sync && ::fsync(fd) != 0) {
            return Fail(errno == ENOSPC || errno == EDQUOT ? CompoundResult::DiskFull
                                                           : CompoundResult::WriteFault);
        }
        return CompoundResult::Ok;
    }

    void Release() {
        if (ownsFd && fd >= 0) {
            ::close(fd);
        }
        fd = -1;
        ownsFd = false;
    }
};

CompoundWriter::CompoundWriter() = default;

CompoundWriter::~CompoundWriter() {
    Abort();
}

CompoundResult CompoundWriter::Create(const std::string& path,
                                      const CompoundWriteOptions& options) {
    if (state_) {
        return CompoundResult::InvalidState;
    }
    if (path.empty() || path.find('\0') != std::string::npos) {
        return CompoundResult::InvalidName;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        return CompoundResultFromErrno(errno);
    }
    // Lock before truncating: a file someone else holds is left as it is.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        return error == EWOULDBLOCK ? CompoundResult::ShareViolation
                                    : CompoundResult::LockViolation;
    }
    if (::ftruncate(fd, 0) != 0) {
        const int error = errno;
        ::close(fd);
        return CompoundResultFromErrno(error);
    }
    try {
        state_ = std::make_unique<State>();
    } catch (const std::bad_alloc&) {
        ::close(fd);
        return CompoundResult::NotEnoughMemory;
    }
    state_->fd = fd;
    state_->ownsFd = true;
    const CompoundResult r = state_->Start(options);
    if (r != CompoundResult::Ok) {
        Abort();
    }
    return r;
}

CompoundResult CompoundWriter::Attach(int fd, const CompoundWriteOptions& options) {
    if (state_) {
        return CompoundResult::InvalidState;
    }
    if (fd < 0) {
        return CompoundResult::InvalidState;
    }
    try {
        state_ = std::make_unique<State>();
    } catch (const std::bad_alloc&) {
        return CompoundResult::NotEnoughMemory;
    }
    state_->fd = fd;
    const CompoundResult r = state_->Start(options);
    if (r != CompoundResult::Ok) {
        Abort();
    }
    return r;
}

CompoundResult CompoundWriter::CreateStorage(uint32_t parent, std::string_view name, uint32_t* id) {
    if (!state_) {
        return CompoundResult::InvalidState;
    }
    try {
        uint32_t created = 0;
        const CompoundResult r =
            state_->AddEntry(parent, name, CompoundEntryType::Storage, created);
        if (r == CompoundResult::Ok && id != nullptr) {
            *id = created;
        }
        return r;
    } catch (const std::bad_alloc&) {
        return state_->Fail(CompoundResult::NotEnoughMemory);
    }
}

CompoundResult CompoundWriter::WriteStream(uint32_t parent, std::string_view name, const void* data,
                                           size_t size) {
    if (!state_) {
        return CompoundResult::InvalidState;
    }
    State& s = *state_;
    try {
        uint32_t id = 0;
        const CompoundResult r = s.AddEntry(parent, name, CompoundEntryType::Stream, id);
        if (r != CompoundResult::Ok) {
            return r;
        }
        const auto* bytes = static_cast<const uint8_t*>(data);
        DirEntry& e = s.dir[id];
        e.size = size;
        if (size == 0) {
            e.start = kEndOfChain;
        } else if (size < kMiniCutoff) {
            const size_t count = (size + kMiniSectorSize - 1) / kMiniSectorSize;
            e.start = static_cast<uint32_t>(s.miniFat.size());
            for (size_t i = 0; i + 1 < count; ++i) {
                s.miniFat.push_back(static_cast<uint32_t>(s.miniFat.size() + 1));
            }
            s.miniFat.push_back(kEndOfChain);
            s.miniPending.insert(s.miniPending.end(), bytes, bytes + size);
            s.miniPending.resize(s.miniPending.size() + (count * kMiniSectorSize - size), 0);
            if (s.miniPending.size() >= kMiniChunk && !s.FlushMini(false)) {
                return s.failure;
            }
        } else {
            uint32_t first = kEndOfChain;
            if (!s.WriteChain(bytes, size, first)) {
                return s.failure;
            }
            s.dir[id].start = first;
        }
        return CompoundResult::Ok;
    } catch (const std::bad_alloc&) {
        return s.Fail(CompoundResult::NotEnoughMemory);
    }
}

CompoundResult CompoundWriter::Commit() {
    if (!state_) {
        return CompoundResult::InvalidState;
    }
    CompoundResult r;
    try {
        r = state_->Finish();
    } catch (const std::bad_alloc&) {
        r = state_->Fail(CompoundResult::NotEnoughMemory);
    }
    state_->Release();
    state_->finished = true;
    return r;
}

void CompoundWriter::Abort() {
    if (state_) {
        state_->Release();
        state_.reset();
    }
}

uint64_t CompoundWriter::BytesWritten() const {
    return state_ ? state_->fileSize : 0;
}
