// Compound-file writer: stream data goes to the file in the order it arrives, sector after
// sector; the small-stream area is flushed in chunks; streams written in pieces are in
// CompoundWriterStreams.cpp, and the directory and tables that close the file in
// CompoundWriterFinish.cpp.
#include "compound/CompoundWriterState.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <new>
#include <sys/file.h>
#include <unistd.h>

using namespace compound;

namespace {

// The small-stream area is written out whenever this much of it is pending.
constexpr size_t kMiniChunk = size_t{64} << 10;
// Version 3 files stay below 2 GB; larger announced sizes switch to version 4. The margin
// leaves room for the tables and the small-stream padding.
constexpr uint64_t kVersion3Limit = (uint64_t{2} << 30) - (uint64_t{64} << 20);

} // namespace

// Writes at most a megabyte per call. A single larger write lets the kernel back the
// file's cache with 2 MB pages, and on virtual machines that hand free memory back to
// the host every such page is slow to fill the first time: a 1 GiB save took three
// times as long as with megabyte writes, which cost nothing elsewhere.
bool CompoundWriter::State::WriteAll(const uint8_t* data, size_t size, uint64_t offset) {
    if (output != nullptr) {
        if (const int error = output->WriteAt(offset, data, size); error != 0) {
            Fail(error == ENOSPC || error == EDQUOT ? CompoundResult::DiskFull
                                                    : CompoundResult::WriteFault);
            return false;
        }
        return true;
    }
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

bool CompoundWriter::State::FlushOut() {
    if (!WriteAll(out.data(), out.size(), outOffset)) {
        return false;
    }
    outOffset += out.size();
    out.clear();
    return true;
}

bool CompoundWriter::State::Emit(const uint8_t* data, size_t size) {
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

bool CompoundWriter::State::EmitZeros(size_t size) {
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

bool CompoundWriter::State::Allocate(uint32_t& sid, uint32_t mark) {
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

bool CompoundWriter::State::WriteChain(const uint8_t* data, size_t size, uint32_t& first) {
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

bool CompoundWriter::State::FlushMini(bool all) {
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

bool CompoundWriter::State::WriteMini(uint32_t id, const uint8_t* bytes, size_t size) {
    const size_t count = (size + kMiniSectorSize - 1) / kMiniSectorSize;
    dir[id].start = static_cast<uint32_t>(miniFat.size());
    for (size_t i = 0; i + 1 < count; ++i) {
        miniFat.push_back(static_cast<uint32_t>(miniFat.size() + 1));
    }
    miniFat.push_back(kEndOfChain);
    miniPending.insert(miniPending.end(), bytes, bytes + size);
    miniPending.resize(miniPending.size() + (count * kMiniSectorSize - size), 0);
    return miniPending.size() < kMiniChunk || FlushMini(false);
}

bool CompoundWriter::State::NextPieceRun(uint64_t want, uint64_t& fits) {
    if (piece.runLeft == 0) {
        uint32_t sid = 0;
        if (!Allocate(sid, kEndOfChain)) {
            return false;
        }
        uint64_t run = 1;
        const uint64_t wanted = (piece.size - piece.written + sectorSize - 1) / sectorSize;
        while (run < wanted && fat.size() != rangeLock && fat.size() < maxSector) {
            fat.push_back(kEndOfChain);
            ++run;
        }
        fileSize += (run - 1) * sectorSize;
        if (piece.last == kEndOfChain) {
            dir[piece.id].start = sid;
        } else {
            fat[piece.last] = sid;
        }
        for (uint64_t k = 0; k + 1 < run; ++k) {
            fat[sid + k] = static_cast<uint32_t>(sid + k + 1);
        }
        piece.last = static_cast<uint32_t>(sid + run - 1);
        piece.runLeft = run * sectorSize;
    }
    fits = std::min(want, piece.runLeft);
    return true;
}

CompoundResult CompoundWriter::State::Start(const CompoundWriteOptions& opts) {
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

CompoundResult CompoundWriter::State::AddEntry(uint32_t parent, std::string_view name,
                                               CompoundEntryType type, uint32_t& id) {
    if ((fd < 0 && output == nullptr) || finished) {
        return CompoundResult::InvalidState;
    }
    if (failure != CompoundResult::Ok) {
        return failure;
    }
    if (piece.open) {
        return CompoundResult::InvalidState;
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

void CompoundWriter::State::Release() {
    if (ownsFd && fd >= 0) {
        ::close(fd);
    }
    fd = -1;
    ownsFd = false;
    output = nullptr;
}

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

CompoundResult CompoundWriter::AttachOutput(CompoundOutput& output,
                                            const CompoundWriteOptions& options) {
    if (state_) {
        return CompoundResult::InvalidState;
    }
    try {
        state_ = std::make_unique<State>();
    } catch (const std::bad_alloc&) {
        return CompoundResult::NotEnoughMemory;
    }
    state_->output = &output;
    CompoundWriteOptions opts = options;
    opts.sync = false;
    const CompoundResult r = state_->Start(opts);
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
    CompoundResult r = BeginStream(parent, name, size);
    if (r == CompoundResult::Ok) {
        r = AppendStream(data, size);
        const CompoundResult ended = EndStream();
        r = r == CompoundResult::Ok ? ended : r;
    }
    return r;
}

CompoundResult CompoundWriter::Commit() {
    if (!state_) {
        return CompoundResult::InvalidState;
    }
    if (state_->piece.open) {
        return state_->Fail(CompoundResult::InvalidState);
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
