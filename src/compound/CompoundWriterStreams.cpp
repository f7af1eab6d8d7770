// Compound-file writer, streams written in pieces: a stream announced with its size, then its
// bytes from memory or copied from another file, then ended.
#include "compound/CompoundWriterState.h"

#include <algorithm>
#include <cerrno>
#include <functional>
#include <new>
#include <unistd.h>
#include <vector>

using namespace compound;

namespace {

// Reads `size` bytes of `from` at `fromOffset` a megabyte at a time and hands each piece to
// `write`, which returns 0 or an errno value. Returns 0 or an errno value.
int ReadInPieces(int from, uint64_t fromOffset, uint64_t size,
                 const std::function<int(const uint8_t*, size_t)>& write) {
    std::vector<uint8_t> buffer(static_cast<size_t>(std::min<uint64_t>(size, kOutBufferSize)));
    while (size > 0) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(size, buffer.size()));
        const ssize_t n = ::pread(from, buffer.data(), want, static_cast<off_t>(fromOffset));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return n < 0 ? errno : EIO;
        }
        if (const int error = write(buffer.data(), static_cast<size_t>(n)); error != 0) {
            return error;
        }
        fromOffset += static_cast<uint64_t>(n);
        size -= static_cast<uint64_t>(n);
    }
    return 0;
}

// Copies file bytes between descriptors: copy_file_range where the two files allow it,
// reads and writes of a megabyte otherwise. Returns 0 or an errno value.
int CopyBetween(int from, uint64_t fromOffset, int to, uint64_t toOffset, uint64_t size) {
    while (size > 0) {
        auto in = static_cast<off_t>(fromOffset);
        auto out = static_cast<off_t>(toOffset);
        const ssize_t n = ::copy_file_range(
            from, &in, to, &out, static_cast<size_t>(std::min<uint64_t>(size, 1u << 30)), 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP ||
                      errno == EPERM)) {
            break;
        }
        if (n <= 0) {
            return n < 0 ? errno : EIO;
        }
        fromOffset += static_cast<uint64_t>(n);
        toOffset += static_cast<uint64_t>(n);
        size -= static_cast<uint64_t>(n);
    }
    return ReadInPieces(from, fromOffset, size, [&](const uint8_t* data, size_t length) {
        while (length > 0) {
            const ssize_t w = ::pwrite(to, data, length, static_cast<off_t>(toOffset));
            if (w < 0 && errno == EINTR) {
                continue;
            }
            if (w <= 0) {
                return w < 0 ? errno : EIO;
            }
            data += w;
            length -= static_cast<size_t>(w);
            toOffset += static_cast<uint64_t>(w);
        }
        return 0;
    });
}

} // namespace

bool CompoundWriter::State::CopyToOutput(int from, uint64_t fromOffset, uint64_t size) {
    uint64_t at = outOffset;
    const int error = ReadInPieces(from, fromOffset, size, [&](const uint8_t* data, size_t n) {
        if (!WriteAll(data, n, at)) {
            return EIO; // the failure is kept already
        }
        at += n;
        return 0;
    });
    if (error != 0 && failure == CompoundResult::Ok) {
        Fail(CompoundResult::Unknown); // the source could not be read
    }
    return error == 0;
}

CompoundResult CompoundWriter::BeginStream(uint32_t parent, std::string_view name, uint64_t size) {
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
        s.dir[id].size = size;
        s.piece = State::Piecewise{};
        s.piece.open = true;
        s.piece.id = id;
        s.piece.size = size;
        if (size < kMiniCutoff) {
            s.piece.small.reserve(size);
        }
        return CompoundResult::Ok;
    } catch (const std::bad_alloc&) {
        return s.Fail(CompoundResult::NotEnoughMemory);
    }
}

CompoundResult CompoundWriter::AppendStream(const void* data, size_t size) {
    if (!state_ || !state_->piece.open || state_->piece.size - state_->piece.written < size) {
        return CompoundResult::InvalidState;
    }
    State& s = *state_;
    if (s.failure != CompoundResult::Ok) {
        return s.failure;
    }
    const auto* bytes = static_cast<const uint8_t*>(data);
    try {
        if (s.piece.size < kMiniCutoff) {
            s.piece.small.insert(s.piece.small.end(), bytes, bytes + size);
            s.piece.written += size;
            return CompoundResult::Ok;
        }
        size_t done = 0;
        while (done < size) {
            uint64_t fits = 0;
            if (!s.NextPieceRun(size - done, fits) || !s.Emit(bytes + done, fits)) {
                return s.failure;
            }
            done += fits;
            s.piece.runLeft -= fits;
            s.piece.written += fits;
        }
        return CompoundResult::Ok;
    } catch (const std::bad_alloc&) {
        return s.Fail(CompoundResult::NotEnoughMemory);
    }
}

CompoundResult CompoundWriter::AppendStreamFrom(int fd, uint64_t offset, uint64_t size) {
    if (!state_ || !state_->piece.open || state_->piece.size - state_->piece.written < size) {
        return CompoundResult::InvalidState;
    }
    State& s = *state_;
    if (s.failure != CompoundResult::Ok) {
        return s.failure;
    }
    if (s.piece.size < kMiniCutoff) {
        uint8_t buffer[kMiniCutoff];
        const ssize_t n =
            ::pread(fd, buffer, static_cast<size_t>(size), static_cast<off_t>(offset));
        if (n != static_cast<ssize_t>(size)) {
            return CompoundResult::Unknown;
        }
        return AppendStream(buffer, static_cast<size_t>(size));
    }
    try {
        while (size > 0) {
            uint64_t fits = 0;
            if (!s.NextPieceRun(size, fits) || !s.FlushOut()) {
                return s.failure;
            }
            if (s.output != nullptr) {
                // Through memory, a megabyte at a time.
                if (!s.CopyToOutput(fd, offset, fits)) {
                    return s.failure;
                }
            } else if (const int error = CopyBetween(fd, offset, s.fd, s.outOffset, fits);
                       error != 0) {
                return s.Fail(error == ENOSPC || error == EDQUOT ? CompoundResult::DiskFull
                                                                 : CompoundResult::WriteFault);
            }
            s.outOffset += fits;
            offset += fits;
            size -= fits;
            s.piece.runLeft -= fits;
            s.piece.written += fits;
        }
        return CompoundResult::Ok;
    } catch (const std::bad_alloc&) {
        return s.Fail(CompoundResult::NotEnoughMemory);
    }
}

CompoundResult CompoundWriter::EndStream() {
    if (!state_ || !state_->piece.open) {
        return CompoundResult::InvalidState;
    }
    State& s = *state_;
    s.piece.open = false;
    if (s.failure != CompoundResult::Ok) {
        return s.failure;
    }
    if (s.piece.written != s.piece.size) {
        return s.Fail(CompoundResult::InvalidState);
    }
    try {
        bool ok = true;
        if (s.piece.size == 0) {
            s.dir[s.piece.id].start = kEndOfChain;
        } else if (s.piece.size < kMiniCutoff) {
            ok = s.WriteMini(s.piece.id, s.piece.small.data(), s.piece.small.size());
        } else {
            ok = s.EmitZeros(static_cast<size_t>(s.piece.runLeft));
        }
        s.piece.small.clear();
        return ok ? CompoundResult::Ok : s.failure;
    } catch (const std::bad_alloc&) {
        return s.Fail(CompoundResult::NotEnoughMemory);
    }
}
