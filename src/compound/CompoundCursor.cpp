// Compound-file reader, cursors: one stream read piece by piece, or copied into a stream being
// written (from file to file where the reader has a descriptor).
#include "compound/CompoundReaderState.h"

#include <algorithm>
#include <cstring>
#include <vector>

using namespace compound;

CompoundResult CompoundReader::Cursor::Open(const CompoundReader& reader, uint32_t stream) {
    state_ = nullptr;
    small_.clear();
    size_ = pos_ = 0;
    const State* s = reader.state_.get();
    if (s == nullptr) {
        return CompoundResult::InvalidState;
    }
    if (stream >= s->entries.size() || !s->entries[stream].reachable ||
        s->entries[stream].type != 2) {
        return CompoundResult::NotFound;
    }
    const State::Entry& e = s->entries[stream];
    if (e.damaged) {
        return CompoundResult::Corrupt;
    }
    if (e.size < kMiniCutoff) {
        const CompoundResult r = reader.ReadStream(stream, small_);
        if (r != CompoundResult::Ok) {
            return r;
        }
    }
    state_ = s;
    stream_ = stream;
    size_ = e.size;
    sector_ = e.start;
    return CompoundResult::Ok;
}

CompoundResult CompoundReader::Cursor::Seek(uint64_t offset) {
    if (state_ == nullptr) {
        return CompoundResult::InvalidState;
    }
    if (offset > size_) {
        return CompoundResult::Corrupt;
    }
    if (size_ < kMiniCutoff) {
        pos_ = offset;
        return CompoundResult::Ok;
    }
    const uint32_t sectorSize = state_->sectorSize;
    if (offset < pos_) {
        pos_ = 0;
        sector_ = state_->entries[stream_].start;
    }
    // The chain was checked at open: every step inside the stream's size is a sector.
    for (uint64_t steps = offset / sectorSize - pos_ / sectorSize; steps > 0; --steps) {
        sector_ = state_->fat[sector_];
    }
    pos_ = offset;
    return CompoundResult::Ok;
}

void CompoundReader::Cursor::NextRun(uint64_t most, uint64_t& fileOffset, uint64_t& length) {
    const uint32_t sectorSize = state_->sectorSize;
    const uint64_t within = pos_ % sectorSize;
    fileOffset = state_->SectorOffset(sector_) + within;
    most = std::min(most, size_ - pos_);
    length = std::min<uint64_t>(most, sectorSize - within);
    uint32_t last = sector_;
    // Neighbouring sectors make one run.
    while (length < most && state_->fat[last] == last + 1) {
        ++last;
        length = std::min<uint64_t>(most, length + sectorSize);
    }
    // `last` holds the run's final byte: the next byte is in it, or in the sector after it
    // when the run ends on a sector's end.
    pos_ += length;
    sector_ = pos_ % sectorSize == 0 ? state_->fat[last] : last;
}

CompoundResult CompoundReader::Cursor::Read(uint8_t* out, size_t size) {
    if (state_ == nullptr) {
        return CompoundResult::InvalidState;
    }
    if (size > size_ - pos_) {
        return CompoundResult::Corrupt;
    }
    if (size == 0) {
        return CompoundResult::Ok; // nothing to copy (and an empty stream has no buffer)
    }
    if (size_ < kMiniCutoff) {
        std::memcpy(out, small_.data() + pos_, size);
        pos_ += size;
        return CompoundResult::Ok;
    }
    while (size > 0) {
        uint64_t at = 0;
        uint64_t length = 0;
        NextRun(size, at, length);
        if (!state_->ReadDirect(at, out, static_cast<size_t>(length))) {
            return CompoundResult::Unknown;
        }
        out += length;
        size -= static_cast<size_t>(length);
    }
    return CompoundResult::Ok;
}

CompoundResult CompoundReader::Cursor::CopyTo(CompoundWriter& writer, uint64_t size) {
    if (state_ == nullptr) {
        return CompoundResult::InvalidState;
    }
    if (size > size_ - pos_) {
        return CompoundResult::Corrupt;
    }
    if (size_ < kMiniCutoff || state_->fd < 0) {
        // Small streams, and files not read from a descriptor (bytes in memory, a source), go
        // through a buffer.
        std::vector<uint8_t> buffer(static_cast<size_t>(std::min<uint64_t>(size, 1u << 20)));
        while (size > 0) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(size, buffer.size()));
            CompoundResult r = Read(buffer.data(), n);
            if (r == CompoundResult::Ok) {
                r = writer.AppendStream(buffer.data(), n);
            }
            if (r != CompoundResult::Ok) {
                return r;
            }
            size -= n;
        }
        return CompoundResult::Ok;
    }
    while (size > 0) {
        uint64_t at = 0;
        uint64_t length = 0;
        NextRun(size, at, length);
        // A run ending past the end of the file (a cut last sector) reads as zeros.
        if (at + length > state_->fileSize) {
            return CompoundResult::Corrupt;
        }
        const CompoundResult r = writer.AppendStreamFrom(state_->fd, at, length);
        if (r != CompoundResult::Ok) {
            return r;
        }
        size -= length;
    }
    return CompoundResult::Ok;
}
