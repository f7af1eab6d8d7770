#include "storage/StorageExportFolders.h"

#include "base/FileErrors.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
// Folders held open at once on the way down; one further up is opened again through "..".
constexpr size_t kOpenLevels = 16;

} // namespace

int OpenFolderAt(int parent, const std::string& name, int& error) {
    const int fd = ::openat(parent, name.c_str(), kFolderFlags);
    if (fd >= 0) {
        return fd;
    }
    error = errno;
    struct stat st {};
    if (::fstatat(parent, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)) {
        error = kErrorSymbolicLink;
    }
    return -1;
}

size_t AbsoluteLength(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    const size_t length =
        resolved != nullptr ? std::char_traits<char>::length(resolved) : path.size();
    std::free(resolved);
    return length;
}

std::string Join(const std::string& folder, const std::string& name) {
    return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

int ExportFolderStack::Start(const ExportRoot& root) {
    Level level;
    level.fd.Reset(::fcntl(root.fd.Get(), F_DUPFD_CLOEXEC, 0));
    if (!level.fd.IsOpen()) {
        return errno;
    }
    return Push(std::move(level));
}

int ExportFolderStack::Push(Level level) {
    struct stat st {};
    if (::fstat(level.fd.Get(), &st) != 0) {
        return errno;
    }
    level.dev = st.st_dev;
    level.ino = st.st_ino;
    levels_.push_back(std::move(level));
    // The root stays open; the levels that exist lie below any missing one.
    if (levels_.size() > kOpenLevels + 1) {
        levels_[levels_.size() - kOpenLevels - 1].fd.Reset();
    }
    return 0;
}

int ExportFolderStack::Pop() {
    Level& top = levels_.back();
    Level& below = levels_[levels_.size() - 2];
    if (!below.missing && !below.fd.IsOpen()) {
        FileDescriptor up(::openat(top.fd.Get(), "..", kFolderFlags));
        struct stat st {};
        if (!up.IsOpen() || ::fstat(up.Get(), &st) != 0) {
            return errno;
        }
        if (st.st_dev != below.dev || st.st_ino != below.ino) {
            return kErrorFolderMoved;
        }
        below.fd = std::move(up);
    }
    levels_.pop_back();
    return 0;
}
