#include "storage/StorageExport.h"

#include "base/AtomicFileWriter.h"
#include "base/FileErrors.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unordered_map>

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
// Folders held open at once on the way down; one further up is opened again through "..".
constexpr size_t kOpenLevels = 16;

FolderExportResult Failed(std::string path, int error) {
    FolderExportResult result;
    result.ok = false;
    result.path = std::move(path);
    result.error = error;
    return result;
}

// Opens the folder `name` inside `parent` without following a link: -1 and the reason when
// it is a link, not a folder, or cannot be opened.
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

// The folders from the export's root down to the current one. The deepest kOpenLevels are
// held open; a folder further up is opened again through ".." from the one below it and
// must still be the same folder.
class FolderStack {
public:
    int Start(const ExportRoot& root) {
        Level level;
        level.fd.Reset(::fcntl(root.fd.Get(), F_DUPFD_CLOEXEC, 0));
        if (!level.fd.IsOpen()) {
            return errno;
        }
        return Push(std::move(level));
    }

    // Goes up until the folder of target `parent` is the current one.
    int GoUpTo(uint32_t parent) {
        while (levels_.size() > 1 && levels_.back().target != parent) {
            if (const int error = Pop(); error != 0) {
                return error;
            }
        }
        return levels_.back().target == parent ? 0 : EINVAL;
    }

    int Fd() const { return levels_.back().fd.Get(); }
    // The current folder does not exist yet (only while checking).
    bool Missing() const { return levels_.back().missing; }

    int PushFolder(uint32_t target, int fd) {
        Level level;
        level.target = target;
        level.fd.Reset(fd);
        return Push(std::move(level));
    }
    void PushMissing(uint32_t target) {
        Level level;
        level.target = target;
        level.missing = true;
        levels_.push_back(std::move(level));
    }

private:
    struct Level {
        uint32_t target = kExportTop;
        FileDescriptor fd;
        bool missing = false;
        dev_t dev = 0;
        ino_t ino = 0;
    };

    int Push(Level level) {
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

    int Pop() {
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

    std::vector<Level> levels_;
};

bool IsFolderTarget(const StorageItemTable& table, const StorageExportTarget& target) {
    const StorageItem* item = table.Get(target.item);
    return item != nullptr && item->IsFolder();
}

// Everything WriteFolderExport refuses, found before anything is written.
FolderExportResult CheckFolderExport(const StorageItemTable& table,
                                     const std::vector<StorageExportTarget>& targets,
                                     const ExportRoot& root, ExistingFiles existing) {
    FolderStack stack;
    if (const int error = stack.Start(root); error != 0) {
        return Failed(root.path, error);
    }
    std::vector<size_t> lengths(targets.size());
    for (size_t i = 0; i < targets.size(); ++i) {
        const StorageExportTarget& t = targets[i];
        auto path = [&] { return ExportTargetPath(targets, i, root.path); };
        const size_t parentLength =
            t.parent == kExportTop ? root.absoluteLength : lengths[t.parent];
        lengths[i] = parentLength + 1 + t.name.size();
        if (lengths[i] >= PATH_MAX) {
            return Failed(path(), kErrorPathTooLong);
        }
        if (const int error = stack.GoUpTo(t.parent); error != 0) {
            return Failed(path(), error);
        }
        const bool folder = IsFolderTarget(table, t);
        struct stat st {};
        if (stack.Missing() ||
            ::fstatat(stack.Fd(), t.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (!stack.Missing() && errno != ENOENT) {
                return Failed(path(), errno);
            }
            if (folder) {
                stack.PushMissing(static_cast<uint32_t>(i));
            }
            continue;
        }
        int error = 0;
        if (S_ISLNK(st.st_mode)) {
            error = kErrorSymbolicLink;
        } else if (folder) {
            const int fd = S_ISDIR(st.st_mode) ? OpenFolderAt(stack.Fd(), t.name, error) : -1;
            error = S_ISDIR(st.st_mode) ? error : ENOTDIR;
            if (fd >= 0) {
                error = stack.PushFolder(static_cast<uint32_t>(i), fd);
            }
        } else if (S_ISDIR(st.st_mode)) {
            error = EISDIR;
        } else if (!S_ISREG(st.st_mode)) {
            error = kErrorNotRegularFile;
        } else if (existing == ExistingFiles::Refuse) {
            error = EEXIST;
        }
        if (error != 0) {
            return Failed(path(), error);
        }
    }
    return {};
}

int WriteFileAt(int folder, const std::string& name, const StorageItem& item,
                ExistingFiles existing) {
    AtomicFileWriter writer;
    if (!writer.OpenAt(folder, name,
                       existing == ExistingFiles::Refuse ? AtomicFileWriter::Existing::Refuse
                                                         : AtomicFileWriter::Existing::Replace)) {
        return writer.LastError();
    }
    return WriteItemFile(item, writer);
}

} // namespace

int WriteItemFile(const StorageItem& item, AtomicFileWriter& writer) {
    const ItemDataRead read = ExportPieces(
        item, [&](const uint8_t* data, size_t length) { return writer.Write(data, length); });
    if (read == ItemDataRead::Ok) {
        return writer.Commit() ? 0 : writer.LastError();
    }
    const int error = read == ItemDataRead::Damaged    ? kErrorDamagedSource
                      : read == ItemDataRead::NoMemory ? ENOMEM
                                                       : writer.LastError();
    writer.Abort();
    return error;
}

int WriteItemFile(const StorageItem& item, const std::string& path) {
    AtomicFileWriter writer;
    if (!writer.Open(path)) {
        return writer.LastError();
    }
    return WriteItemFile(item, writer);
}

std::vector<StorageExportTarget> PlanFolderExport(const StorageItemTable& table,
                                                  const StorageTree& tree, int32_t folder) {
    std::vector<StorageExportTarget> targets;
    // The folders from `folder` down to the one being filled, each with the names used in
    // it; a folder's names are dropped when the walk leaves it.
    struct Open {
        int32_t item;
        uint32_t target;
        UniqueNames names;
    };
    std::vector<Open> stack;
    stack.push_back({folder, kExportTop, {}});
    std::unordered_map<int32_t, size_t> depthOf{{folder, 0}};
    for (const StorageTreeEntry& entry : tree) {
        const auto at = depthOf.find(entry.parent);
        const StorageItem* item = table.Get(entry.item);
        if (at == depthOf.end() || item == nullptr) {
            continue; // outside the exported folder
        }
        const size_t depth = at->second;
        while (stack.size() > depth + 1) {
            depthOf.erase(stack.back().item);
            stack.pop_back();
        }
        if (!item->IsFolder() && !IsKnownItemType(item->type)) {
            continue;
        }
        Open& here = stack.back();
        targets.push_back({entry.item, here.target, here.names.Take(SafeFileName(item->name))});
        if (item->IsFolder() && depthOf.try_emplace(entry.item, stack.size()).second) {
            stack.push_back({entry.item, static_cast<uint32_t>(targets.size() - 1), {}});
        }
    }
    return targets;
}

std::string ExportTargetPath(const std::vector<StorageExportTarget>& targets, size_t index,
                             const std::string& out) {
    std::vector<const std::string*> names;
    for (size_t i = index; i < targets.size(); i = targets[i].parent) {
        names.push_back(&targets[i].name);
    }
    std::string path = out;
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        path = Join(path, **it);
    }
    return path;
}

FolderExportResult OpenExportRoot(const std::string& path, ExportRoot& root) {
    std::error_code made;
    std::filesystem::create_directories(path, made);
    root.fd.Reset(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!root.fd.IsOpen()) {
        return Failed(path, errno == ENOENT && made ? made.value() : errno);
    }
    root.path = path;
    root.absoluteLength = AbsoluteLength(path);
    return {};
}

std::string NewExportFolderName(const std::string& parent, const std::string& name) {
    const FileDescriptor folder(::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (uint64_t n = 1;; ++n) {
        std::string candidate = n == 1 ? name : FitFileName(name, " (" + std::to_string(n) + ")");
        struct stat st {};
        if (!folder.IsOpen() ||
            ::fstatat(folder.Get(), candidate.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            return candidate; // free, or nothing to tell: making it will say why not
        }
    }
}

FolderExportResult CreateExportRoot(const std::string& parent, const std::string& name,
                                    ExportRoot& root) {
    const FileDescriptor folder(::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.IsOpen()) {
        return Failed(parent, errno);
    }
    for (uint64_t n = 1;; ++n) {
        const std::string candidate =
            n == 1 ? name : FitFileName(name, " (" + std::to_string(n) + ")");
        if (::mkdirat(folder.Get(), candidate.c_str(), 0700) != 0) {
            if (errno == EEXIST) {
                continue;
            }
            return Failed(Join(parent, candidate), errno);
        }
        int error = 0;
        root.fd.Reset(OpenFolderAt(folder.Get(), candidate, error));
        root.path = Join(parent, candidate);
        if (!root.fd.IsOpen()) {
            return Failed(root.path, error);
        }
        root.absoluteLength = AbsoluteLength(parent) + 1 + candidate.size();
        return {};
    }
}

FolderExportResult WriteFolderExport(const StorageItemTable& table,
                                     const std::vector<StorageExportTarget>& targets,
                                     const ExportRoot& root, ExistingFiles existing) {
    if (FolderExportResult checked = CheckFolderExport(table, targets, root, existing);
        !checked.ok) {
        return checked;
    }
    FolderStack stack;
    if (const int error = stack.Start(root); error != 0) {
        return Failed(root.path, error);
    }
    for (size_t i = 0; i < targets.size(); ++i) {
        const StorageExportTarget& t = targets[i];
        const StorageItem* item = table.Get(t.item);
        int error = stack.GoUpTo(t.parent);
        if (error == 0 && item != nullptr && item->IsFolder()) {
            if (::mkdirat(stack.Fd(), t.name.c_str(), 0700) != 0 && errno != EEXIST) {
                error = errno;
            } else if (const int fd = OpenFolderAt(stack.Fd(), t.name, error); fd >= 0) {
                error = stack.PushFolder(static_cast<uint32_t>(i), fd);
            }
        } else if (error == 0 && item != nullptr) {
            error = WriteFileAt(stack.Fd(), t.name, *item, existing);
        }
        if (error != 0) {
            return Failed(ExportTargetPath(targets, i, root.path), error);
        }
    }
    return {};
}
