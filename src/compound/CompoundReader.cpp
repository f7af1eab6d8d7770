// Compound-file reader: opens a file (checked as a whole by CompoundReaderParse.cpp), lists
// storages and reads streams from the checked chains; cursors are in CompoundCursor.cpp.
#include "compound/CompoundReaderState.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace compound;

namespace {

// Folder part of a path ("." when there is none).
std::string ParentOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

CompoundReader::State::~State() {
    if (ownsFd && fd >= 0) {
        ::close(fd);
    }
}

bool CompoundReader::State::ReadAt(uint64_t offset, uint8_t* dst, size_t size) const {
    if ((fd < 0 && source == nullptr) || size > kMiniCutoff) {
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

bool CompoundReader::State::ReadDirect(uint64_t offset, uint8_t* dst, size_t size) const {
    size_t have = 0;
    if (offset < fileSize) {
        have = static_cast<size_t>(std::min<uint64_t>(size, fileSize - offset));
    }
    if (source != nullptr) {
        if (have > 0 && !source->ReadAt(offset, dst, have)) {
            return false;
        }
    } else if (fd < 0) {
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

bool CompoundReader::State::ReadSectors(const std::vector<uint32_t>& sids,
                                        std::vector<uint8_t>& out) const {
    out.resize(sids.size() * sectorSize);
    return ReadSectors(sids, out.data());
}

bool CompoundReader::State::ReadSectors(const std::vector<uint32_t>& sids, uint8_t* out) const {
    size_t i = 0;
    while (i < sids.size()) {
        size_t j = i + 1;
        while (j < sids.size() && sids[j] == sids[j - 1] + 1) {
            ++j;
        }
        if (!ReadAt(SectorOffset(sids[i]), out + i * sectorSize, (j - i) * sectorSize)) {
            return false;
        }
        i = j;
    }
    return true;
}

bool CompoundReader::State::ReadBig(const Entry& e, uint8_t* out) const {
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

bool CompoundReader::State::ReadSmall(const Entry& e, uint8_t* out) const {
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

const CompoundReader::State::Entry* CompoundReader::State::Storage(uint32_t id) const {
    if (id >= entries.size() || !entries[id].reachable ||
        (entries[id].type != 1 && entries[id].type != 5)) {
        return nullptr;
    }
    return &entries[id];
}

CompoundEntry CompoundReader::State::Describe(uint32_t id) const {
    const Entry& e = entries[id];
    CompoundEntry out;
    out.name = Utf16ToUtf8(Name(id));
    out.type = e.type == 2 ? CompoundEntryType::Stream : CompoundEntryType::Storage;
    out.size = e.type == 2 ? e.size : 0;
    out.id = id;
    return out;
}
CompoundReader::CompoundReader() = default;

CompoundReader::~CompoundReader() = default;

CompoundResult CompoundReader::Open(const std::string& path, CompoundLock lock) {
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
    return OpenFd(fd, true, lock);
}

CompoundResult CompoundReader::OpenFd(int fd, bool takeOwnership, CompoundLock lock) {
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
    const bool locking = lock == CompoundLock::Exclusive;
    if (locking && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        return fail(errno == EWOULDBLOCK ? CompoundResult::ShareViolation
                                         : CompoundResult::LockViolation);
    }
    try {
        state_ = std::make_unique<State>();
        state_->fd = fd;
        state_->ownsFd = takeOwnership;
        state_->locked = locking;
        state_->fileSize = static_cast<uint64_t>(st.st_size);
        const CompoundResult r = state_->Parse();
        if (r != CompoundResult::Ok) {
            state_.reset(); // closes an owned descriptor, which drops the lock
            if (!takeOwnership && locking) {
                ::flock(fd, LOCK_UN);
            }
        }
        return r;
    } catch (const std::bad_alloc&) {
        if (state_) {
            state_->ownsFd = false;
        }
        if (!takeOwnership && locking) {
            ::flock(fd, LOCK_UN);
        }
        return fail(CompoundResult::NotEnoughMemory);
    }
}

CompoundResult CompoundReader::OpenWith(const std::function<void(State&)>& fill) {
    Close();
    try {
        state_ = std::make_unique<State>();
        fill(*state_);
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

CompoundResult CompoundReader::OpenBytes(std::vector<uint8_t> bytes) {
    return OpenWith([&](State& s) {
        s.bytes = std::move(bytes);
        s.fileSize = s.bytes.size();
    });
}

CompoundResult CompoundReader::OpenSource(std::shared_ptr<const CompoundSource> source) {
    if (source == nullptr) {
        Close();
        return CompoundResult::InvalidState;
    }
    return OpenWith([&](State& s) {
        s.fileSize = source->Size();
        s.source = std::move(source);
    });
}

void CompoundReader::Close() {
    if (state_ && state_->locked && !state_->ownsFd && state_->fd >= 0) {
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
    const State::Entry* s = state_->Storage(storage);
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
    const State::Entry* s = state_ ? state_->Storage(storage) : nullptr;
    return s == nullptr ? 0 : s->childCount;
}

CompoundResult CompoundReader::Find(uint32_t storage, std::string_view name,
                                    CompoundEntry& out) const {
    if (!state_) {
        return CompoundResult::InvalidState;
    }
    const State::Entry* s = state_->Storage(storage);
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
    if (!state_) {
        out.clear();
        return CompoundResult::InvalidState;
    }
    const State& s = *state_;
    if (stream >= s.entries.size() || !s.entries[stream].reachable || s.entries[stream].type != 2) {
        out.clear();
        return CompoundResult::NotFound;
    }
    const State::Entry& e = s.entries[stream];
    if (e.damaged) {
        out.clear();
        return CompoundResult::Corrupt;
    }
    try {
        // Not cleared first: the bytes a reused buffer already has are overwritten, not
        // zero-filled before.
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
