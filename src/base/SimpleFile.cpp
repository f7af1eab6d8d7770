#include "base/SimpleFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int OpenFlags(uint32_t access, uint32_t disposition) {
    // Without blocking, so a pipe without a writer cannot hang us before we find out what it is.
    int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    const bool read = (access & GENERIC_READ) != 0;
    const bool write = (access & GENERIC_WRITE) != 0;
    flags |= (read && write) ? O_RDWR : write ? O_WRONLY : O_RDONLY;
    switch (disposition) {
    case CREATE_NEW:
        flags |= O_CREAT | O_EXCL;
        break;
    case CREATE_ALWAYS:
    case OPEN_ALWAYS:
        flags |= O_CREAT;
        break;
    default:
        break;
    }
    return flags;
}

// EISDIR for a directory, kErrorNotRegularFile for anything else that is not a regular file.
int NotRegularError(mode_t mode) {
    if (S_ISREG(mode)) {
        return 0;
    }
    return S_ISDIR(mode) ? EISDIR : kErrorNotRegularFile;
}

} // namespace

SimpleFile::~SimpleFile() {
    if (handle_ >= 0 && open_) {
        ::close(handle_);
    }
}

bool SimpleFile::Open(const std::string& name, uint32_t desiredAccess, uint32_t shareMode,
                      uint32_t creationDisposition, uint32_t flagsAndAttributes,
                      unsigned newFileMode) {
    (void)flagsAndAttributes;
    if (open_) {
        Close();
    }
    if (creationDisposition < CREATE_NEW || creationDisposition > TRUNCATE_EXISTING) {
        lastError_ = EINVAL;
        return false;
    }
    // Look before opening: opening a device can have effects of its own.
    struct stat st {};
    if (::stat(name.c_str(), &st) == 0 && NotRegularError(st.st_mode) != 0) {
        lastError_ = NotRegularError(st.st_mode);
        return false;
    }
    const int fd = ::open(name.c_str(), OpenFlags(desiredAccess, creationDisposition),
                          static_cast<mode_t>(newFileMode));
    if (fd < 0) {
        // A pipe without a reader refuses a non-blocking open for writing.
        lastError_ = errno == ENXIO ? kErrorNotRegularFile : errno;
        return false;
    }
    // Look again at what was opened, in case the name changed in between.
    if (::fstat(fd, &st) != 0 || NotRegularError(st.st_mode) != 0) {
        lastError_ = S_ISREG(st.st_mode) ? errno : NotRegularError(st.st_mode);
        ::close(fd);
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    // Sharing: a writer keeps every other open of this program out; readers share and keep
    // only writers out. The lock is taken before truncating, so a file that someone else holds
    // is never emptied under them.
    (void)shareMode;
    const int lock = (desiredAccess & GENERIC_WRITE) != 0 ? LOCK_EX : LOCK_SH;
    if (::flock(fd, lock | LOCK_NB) != 0) {
        lastError_ = (errno == EWOULDBLOCK) ? kErrorSharingViolation : errno;
        ::close(fd);
        return false;
    }
    if ((creationDisposition == CREATE_ALWAYS || creationDisposition == TRUNCATE_EXISTING) &&
        ::ftruncate(fd, 0) != 0) {
        lastError_ = errno;
        ::close(fd);
        return false;
    }
    handle_ = fd;
    open_ = true;
    fileName_ = name;
    return true;
}

bool SimpleFile::Close() {
    if (!open_ || handle_ < 0) {
        return false;
    }
    const bool ok = ::close(handle_) == 0;
    if (!ok) {
        lastError_ = errno;
    }
    handle_ = -1;
    open_ = false;
    fileName_.clear();
    return ok;
}

void SimpleFile::Abort() {
    if (handle_ >= 0) {
        ::close(handle_);
    }
    handle_ = -1;
    open_ = false;
    fileName_.clear();
}

int64_t SimpleFile::Read(void* buffer, uint32_t count) {
    if (count == 0) {
        return 0;
    }
    auto* p = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::read(handle_, p + done, count - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            lastError_ = errno;
            return -1;
        }
        if (n == 0) {
            break;
        }
        done += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(done);
}

int64_t SimpleFile::Write(const void* buffer, uint32_t count) {
    if (count == 0) {
        return 0;
    }
    const auto* p = static_cast<const uint8_t*>(buffer);
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(handle_, p + done, count - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            // Any write that stops short of the count is reported as a full disk, except a
            // call that could not write at all for another reason (a closed handle, say).
            lastError_ =
                (n < 0 && done == 0 && errno != ENOSPC && errno != EDQUOT) ? errno : kErrorDiskFull;
            break;
        }
        done += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(done);
}

int64_t SimpleFile::Seek(int32_t distance, int origin) {
    static const int kWhence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
    if (origin < 0 || origin > 2) {
        lastError_ = EINVAL;
        return -1;
    }
    const off_t pos = ::lseek(handle_, distance, kWhence[origin]);
    if (pos < 0) {
        lastError_ = errno;
        return -1;
    }
    return pos;
}

bool SimpleFile::GetPosition(int64_t& position) {
    const off_t pos = ::lseek(handle_, 0, SEEK_CUR);
    if (pos < 0) {
        lastError_ = errno;
        return false;
    }
    position = pos;
    return true;
}

int64_t SimpleFile::GetLength() {
    const off_t current = ::lseek(handle_, 0, SEEK_CUR);
    if (current < 0) {
        lastError_ = errno;
        return -1;
    }
    const off_t end = ::lseek(handle_, 0, SEEK_END);
    if (end < 0) {
        lastError_ = errno;
    }
    ::lseek(handle_, current, SEEK_SET);
    return end;
}

bool SimpleFile::SetLength(int64_t length) {
    if (::lseek(handle_, length, SEEK_SET) < 0 || ::ftruncate(handle_, length) != 0) {
        lastError_ = errno;
        return false;
    }
    return true;
}

bool SimpleFile::Flush() {
    if (!open_) {
        return false;
    }
    if (::fsync(handle_) != 0) {
        lastError_ = errno;
        return false;
    }
    return true;
}
