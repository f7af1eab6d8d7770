#include "base/AtomicFileWriter.h"

#include "base/FileErrors.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kMaxLinkHops = 40;
constexpr int kNameAttempts = 16;

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string LeafOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int NotRegularError(mode_t mode) {
    return S_ISDIR(mode) ? EISDIR : kErrorNotRegularFile;
}

// The kernel's protected-symlinks rule: in a sticky folder that everyone may write to, a link
// is followed only when it belongs to the follower or to the folder's owner.
bool MayFollow(const struct stat& link, const struct stat& folder) {
    const bool shared = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
    return !shared || link.st_uid == ::geteuid() || link.st_uid == folder.st_uid;
}

// Follows the links at `path` to the file a save replaces. Returns 0 or the error.
int ResolveTarget(const std::string& path, std::string& target) {
    std::string current = path;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0) {
            if (errno == ENOENT) {
                target = current; // a new file; its folder is checked when it is opened
                return 0;
            }
            return errno;
        }
        if (S_ISREG(st.st_mode)) {
            target = current;
            return 0;
        }
        if (!S_ISLNK(st.st_mode)) {
            return NotRegularError(st.st_mode);
        }
        const std::string folder = FolderOf(current);
        struct stat dir {};
        if (::stat(folder.c_str(), &dir) != 0) {
            return errno;
        }
        if (!MayFollow(st, dir)) {
            return kErrorUntrustedLink;
        }
        std::string link(4096, '\0');
        const ssize_t n = ::readlink(current.c_str(), link.data(), link.size());
        if (n < 0) {
            return errno;
        }
        if (static_cast<size_t>(n) >= link.size()) {
            return ENAMETOOLONG;
        }
        link.resize(static_cast<size_t>(n));
        current = link.starts_with('/') ? link : (folder == "/" ? "" : folder) + "/" + link;
    }
    return kErrorLinkLoop;
}

std::string HiddenName(const std::string& leaf) {
    uint8_t random[6] = {};
    if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
        const auto t = static_cast<uint64_t>(::getpid()) ^ reinterpret_cast<uintptr_t>(&leaf);
        for (size_t i = 0; i < sizeof random; ++i) {
            random[i] ^= static_cast<uint8_t>(t >> (8 * i));
        }
    }
    static const char kHex[] = "0123456789abcdef";
    std::string name = "." + leaf + ".";
    for (uint8_t b : random) {
        name += kHex[b >> 4];
        name += kHex[b & 15];
    }
    return name + ".tmp";
}

int ShortWriteError(ssize_t n) {
    if (n == 0 || errno == ENOSPC || errno == EDQUOT || errno == EFBIG) {
        return kErrorDiskFull;
    }
    return errno;
}

} // namespace

AtomicFileWriter::~AtomicFileWriter() {
    Abort();
}

bool AtomicFileWriter::Fail(int error) {
    lastError_ = error;
    return false;
}

bool AtomicFileWriter::Start(unsigned newFileMode, unsigned keptModeMask) {
    Abort();
    lastError_ = 0;
    newFileMode_ = newFileMode & 0777;
    keptModeMask_ = keptModeMask & 0777;
    noFollow_ = false;
    refuseExisting_ = false;
    return true;
}

bool AtomicFileWriter::Open(const std::string& targetPath, unsigned newFileMode,
                            unsigned keptModeMask, Locking locking) {
    Start(newFileMode, keptModeMask);
    if (targetPath.empty()) {
        return Fail(ENOENT);
    }
    if (const int error = ResolveTarget(targetPath, target_); error != 0) {
        target_.clear();
        return Fail(error);
    }
    folder_ = FolderOf(target_);
    leaf_ = LeafOf(target_);
    if (leaf_.empty() || leaf_ == "." || leaf_ == "..") {
        return Fail(EISDIR);
    }
    dirFd_ = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd_ < 0) {
        const int error = errno;
        Release();
        return Fail(error);
    }
    return OpenInFolder(locking);
}

bool AtomicFileWriter::OpenAt(int folderFd, const std::string& name, Existing existing,
                              unsigned newFileMode, unsigned keptModeMask) {
    Start(newFileMode, keptModeMask);
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) {
        return Fail(EINVAL);
    }
    noFollow_ = true;
    refuseExisting_ = existing == Existing::Refuse;
    dirFd_ = ::fcntl(folderFd, F_DUPFD_CLOEXEC, 0);
    if (dirFd_ < 0) {
        return Fail(errno);
    }
    folder_.clear();
    leaf_ = name;
    target_ = name;
    return OpenInFolder(Locking::Exclusive);
}

// The folder is open in dirFd_ and leaf_ is the name in it.
bool AtomicFileWriter::OpenInFolder(Locking locking) {
    if (!Prepare()) {
        const int error = lastError_;
        Abort();
        return Fail(error);
    }
    if (oldFd_ >= 0 && locking == Locking::Exclusive && ::flock(oldFd_, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno == EWOULDBLOCK ? kErrorSharingViolation : errno;
        Abort();
        return Fail(error);
    }
    return true;
}

// Looks at the file being replaced and creates the temporary file.
bool AtomicFileWriter::Prepare() {
    oldFd_ =
        ::openat(dirFd_, leaf_.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    exists_ = false;
    if (oldFd_ >= 0) {
        if (::fstat(oldFd_, &old_) != 0) {
            return Fail(errno);
        }
        exists_ = true;
    } else if (errno == EACCES) {
        // A file we may not read can still be replaced; it just cannot be locked.
        if (::fstatat(dirFd_, leaf_.c_str(), &old_, AT_SYMLINK_NOFOLLOW) != 0) {
            return Fail(errno);
        }
        exists_ = true;
    } else if (errno == ELOOP) {
        // OpenAt follows no link; Open resolved them all, so this one appeared since.
        return Fail(noFollow_ ? kErrorSymbolicLink : kErrorUntrustedLink);
    } else if (errno == ENXIO) {
        return Fail(kErrorNotRegularFile);
    } else if (errno != ENOENT) {
        return Fail(errno);
    }
    if (exists_ && S_ISLNK(old_.st_mode)) {
        return Fail(kErrorSymbolicLink);
    }
    if (exists_ && !S_ISREG(old_.st_mode)) {
        return Fail(NotRegularError(old_.st_mode));
    }
    if (exists_ && refuseExisting_) {
        return Fail(EEXIST);
    }

    fd_ = ::openat(dirFd_, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd_ >= 0) {
        unnamed_ = true;
        return true;
    }
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        return Fail(errno);
    }
    // The file system has no unnamed files: a hidden named one, removed again on failure.
    unnamed_ = false;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string name = HiddenName(leaf_);
        fd_ = ::openat(dirFd_, name.c_str(), O_CREAT | O_EXCL | O_RDWR | O_NOFOLLOW | O_CLOEXEC,
                       0600);
        if (fd_ >= 0) {
            tempName_ = name;
            return true;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    return Fail(errno);
}

bool AtomicFileWriter::Write(const void* data, size_t length) {
    if (fd_ < 0) {
        return Fail(EBADF);
    }
    const auto* p = static_cast<const uint8_t*>(data);
    while (length > 0) {
        const ssize_t n = ::write(fd_, p, length);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return Fail(ShortWriteError(n));
        }
        p += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

bool AtomicFileWriter::WriteAt(const void* data, size_t length, uint64_t offset) {
    if (fd_ < 0) {
        return Fail(EBADF);
    }
    const auto* p = static_cast<const uint8_t*>(data);
    while (length > 0) {
        const ssize_t n = ::pwrite(fd_, p, length, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return Fail(ShortWriteError(n));
        }
        p += n;
        offset += static_cast<uint64_t>(n);
        length -= static_cast<size_t>(n);
    }
    return true;
}

bool AtomicFileWriter::Commit() {
    return Finish(nullptr);
}

bool AtomicFileWriter::CommitWithBackup(const std::string& backupPath) {
    return Finish(&backupPath);
}

// Gives the unnamed file a hidden name beside the target.
bool AtomicFileWriter::LinkTemporary(std::string& name) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        name = HiddenName(leaf_);
        int rc = ::linkat(AT_FDCWD, self.c_str(), dirFd_, name.c_str(), AT_SYMLINK_FOLLOW);
        if (rc != 0 && errno == ENOENT) {
            // No /proc: linking the descriptor itself needs privileges, but try.
            rc = ::linkat(fd_, "", dirFd_, name.c_str(), AT_EMPTY_PATH);
        }
        if (rc == 0) {
            return true;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    name.clear();
    return Fail(errno);
}

bool AtomicFileWriter::Finish(const std::string* backupPath) {
    if (fd_ < 0) {
        return Fail(EBADF);
    }
    auto failed = [this](int error) {
        Abort();
        return Fail(error);
    };
    // Owner and mode first, so the file never appears under its name with the wrong ones.
    if (exists_ && (old_.st_uid != ::geteuid() || old_.st_gid != ::getegid())) {
        if (::fchown(fd_, old_.st_uid, old_.st_gid) != 0) {
            if (::geteuid() == 0) {
                return failed(errno);
            }
            // Not ours to give away; keep at least the group where we belong to it.
            (void)!::fchown(fd_, static_cast<uid_t>(-1), old_.st_gid);
        }
    }
    const mode_t mode = exists_ ? (old_.st_mode & keptModeMask_) : newFileMode_;
    if (::fchmod(fd_, mode) != 0) {
        return failed(errno);
    }
    if (::fsync(fd_) != 0) {
        return failed(errno);
    }

    const bool backup = backupPath != nullptr && exists_;
    if (backup) {
        // The old file gets the backup name while it stays in place: a second link, renamed
        // over any older backup. Where the file system has no hard links, it is moved later.
        const std::string backupFolder = FolderOf(*backupPath);
        const std::string hidden =
            (backupFolder == "/" ? "" : backupFolder) + "/" + HiddenName(LeafOf(*backupPath));
        if (::linkat(dirFd_, leaf_.c_str(), AT_FDCWD, hidden.c_str(), 0) == 0) {
            if (::rename(hidden.c_str(), backupPath->c_str()) != 0) {
                const int error = errno;
                ::unlink(hidden.c_str());
                return failed(error);
            }
            backupPath = nullptr; // done
        } else if (errno != EPERM && errno != EOPNOTSUPP && errno != EMLINK) {
            return failed(errno);
        }
    }

    if (unnamed_ && !exists_) {
        // A new file appears complete in one step.
        const std::string self = "/proc/self/fd/" + std::to_string(fd_);
        int rc = ::linkat(AT_FDCWD, self.c_str(), dirFd_, leaf_.c_str(), AT_SYMLINK_FOLLOW);
        if (rc != 0 && errno == ENOENT) {
            rc = ::linkat(fd_, "", dirFd_, leaf_.c_str(), AT_EMPTY_PATH);
        }
        if (rc == 0) {
            ::fsync(dirFd_);
            Release();
            return true;
        }
        if (errno != EEXIST || refuseExisting_) {
            return failed(errno);
        }
        // Someone created the file meanwhile: replace it like any other.
    }
    if (unnamed_ && !LinkTemporary(tempName_)) {
        return failed(lastError_);
    }
    if (backup && backupPath != nullptr) {
        // No hard links here: move the old file away, then the new one in; put the old one
        // back if that fails.
        if (::renameat(dirFd_, leaf_.c_str(), AT_FDCWD, backupPath->c_str()) != 0) {
            return failed(errno);
        }
        if (::renameat(dirFd_, tempName_.c_str(), dirFd_, leaf_.c_str()) != 0) {
            const int error = errno;
            (void)!::renameat(AT_FDCWD, backupPath->c_str(), dirFd_, leaf_.c_str());
            return failed(error);
        }
    } else if (refuseExisting_ && !exists_) {
        if (::renameat2(dirFd_, tempName_.c_str(), dirFd_, leaf_.c_str(), RENAME_NOREPLACE) != 0) {
            return failed(errno);
        }
    } else if (::renameat(dirFd_, tempName_.c_str(), dirFd_, leaf_.c_str()) != 0) {
        return failed(errno);
    }
    tempName_.clear(); // it is the target now
    ::fsync(dirFd_);
    Release();
    return true;
}

void AtomicFileWriter::Abort() {
    if (!tempName_.empty() && dirFd_ >= 0) {
        ::unlinkat(dirFd_, tempName_.c_str(), 0);
    }
    Release();
}

void AtomicFileWriter::Release() {
    for (int* fd : {&fd_, &oldFd_, &dirFd_}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
    tempName_.clear();
    unnamed_ = false;
    exists_ = false;
}
