#include "storage/StrongStorage.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

CompoundResult StrongStorageFile::Open(const std::string& path, CompoundLock lock) {
    if (path.empty() || path.find('\0') != std::string::npos) {
        return CompoundResult::InvalidName;
    }
    if (!file_.Open(path)) {
        const int error = file_.LastError();
        return error == EISDIR   ? CompoundResult::AccessDenied
               : error == EINVAL ? CompoundResult::NotCompoundFile
                                 : CompoundResultFromErrno(error);
    }
    if (lock == CompoundLock::Exclusive && ::flock(file_.Descriptor(), LOCK_EX | LOCK_NB) != 0) {
        return errno == EWOULDBLOCK ? CompoundResult::ShareViolation
                                    : CompoundResult::LockViolation;
    }
    headerStatus_ = reader_.Open(file_);
    if (headerStatus_ == strong::Status::ReadFailed) {
        return CompoundResultFromErrno(file_.LastError());
    }
    return headerStatus_ == strong::Status::Ok ? CompoundResult::Ok
                                               : CompoundResult::NotCompoundFile;
}

strong::Status StrongStorageFile::Unlock(std::string_view password, strong::Key& key) {
    if (headerStatus_ != strong::Status::Ok) {
        return headerStatus_;
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    const strong::Status s = reader_.Unlock(password, key);
    unlocked_ = s == strong::Status::Ok;
    return s;
}

strong::Status StrongStorageFile::UnlockWithKey(const strong::Key& key) {
    if (headerStatus_ != strong::Status::Ok) {
        return headerStatus_;
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    const strong::Status s = reader_.UnlockWithKey(key);
    unlocked_ = s == strong::Status::Ok;
    return s;
}

uint64_t StrongStorageFile::Size() const {
    return unlocked_ ? reader_.PlainSize() : 0;
}

bool StrongStorageFile::ReadAt(uint64_t offset, uint8_t* out, size_t size) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!unlocked_) {
        return false;
    }
    const strong::Status s = reader_.ReadAt(offset, out, size);
    if (s == strong::Status::Damaged) {
        damaged_ = true;
    }
    return s == strong::Status::Ok;
}

bool StrongStorageFile::SawDamage() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return damaged_;
}

strong::Status StrongStorageFile::CheckAllChunks() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!unlocked_) {
        return strong::Status::WrongPassword;
    }
    return reader_.ReadAll([](const uint8_t*, size_t) { return true; });
}

CompoundResult OpenStrongStorageFile(const std::string& path, const strong::Key& key,
                                     CompoundReader& reader, CompoundLock lock) {
    auto file = std::make_shared<StrongStorageFile>();
    const CompoundResult opened = file->Open(path, lock);
    if (opened != CompoundResult::Ok) {
        return opened;
    }
    if (file->UnlockWithKey(key) != strong::Status::Ok) {
        return CompoundResult::NotCompoundFile;
    }
    return reader.OpenSource(std::move(file));
}

// --- Writing ------------------------------------------------------------------------------

StrongStorageOutput::StrongStorageOutput(AtomicFileWriter& file)
    : file_(file), writer_([&file](uint64_t offset, const uint8_t* data,
                                   size_t size) { return file.WriteAt(data, size, offset); },
                           strong::Writer::FirstChunk::Held) {}

strong::Status StrongStorageOutput::Begin(const strong::Key& key) {
    return writer_.Begin(key);
}

int StrongStorageOutput::ErrorOf(strong::Status status) const {
    if (status == strong::Status::Ok) {
        return 0;
    }
    return file_.LastError() != 0 ? file_.LastError() : EIO;
}

int StrongStorageOutput::Append(const uint8_t* data, size_t size) {
    const int error = ErrorOf(writer_.Append(data, size));
    if (error == 0) {
        appended_ += size;
    }
    return error;
}

int StrongStorageOutput::WriteAt(uint64_t offset, const uint8_t* data, size_t size) {
    if (offset < appended_) {
        // Only the start is written twice (the compound header): it is still in the first
        // chunk, which the writer holds.
        const size_t again = static_cast<size_t>(std::min<uint64_t>(size, appended_ - offset));
        if (const int error = ErrorOf(writer_.Rewrite(offset, data, again)); error != 0) {
            return error;
        }
        offset += again;
        data += again;
        size -= again;
    }
    if (size == 0) {
        return 0;
    }
    if (offset > appended_) {
        // A gap reads as zeros, as it would in a file.
        const std::vector<uint8_t> zeros(
            static_cast<size_t>(std::min<uint64_t>(offset - appended_, uint64_t{1} << 20)));
        while (appended_ < offset) {
            const size_t n =
                static_cast<size_t>(std::min<uint64_t>(offset - appended_, zeros.size()));
            if (const int error = Append(zeros.data(), n); error != 0) {
                return error;
            }
        }
    }
    return Append(data, size);
}

int StrongStorageOutput::Finish(uint64_t size) {
    if (size < appended_) {
        return EINVAL; // the compound writer never takes bytes back
    }
    if (size > appended_) {
        const uint8_t zero = 0;
        if (const int error = WriteAt(size - 1, &zero, 1); error != 0) {
            return error;
        }
    }
    if (const int error = ErrorOf(writer_.Finish()); error != 0) {
        return error;
    }
    return ::ftruncate(file_.Handle(), static_cast<off_t>(writer_.FileBytes())) == 0 ? 0 : errno;
}
