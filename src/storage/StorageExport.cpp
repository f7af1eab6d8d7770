#include "storage/StorageExport.h"

#include "base/AtomicFileWriter.h"
#include "base/FileErrors.h"
#include "storage/StorageExportFolders.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace {

FolderExportResult Failed(std::string path, int error) {
    FolderExportResult result;
    result.ok = false;
    result.path = std::move(path);
    result.error = error;
    return result;
}

bool IsFolderTarget(const StorageItemTable& table, const StorageExportTarget& target) {
    const StorageItem* item = table.Get(target.item);
    return item != nullptr && item->IsFolder();
}

// Everything WriteFolderExport refuses, found before anything is written.
FolderExportResult CheckFolderExport(const StorageItemTable& table,
                                     const std::vector<StorageExportTarget>& targets,
                                     const ExportRoot& root, ExistingFiles existing) {
    ExportFolderStack stack;
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

// A hidden name for the temporary file of `name` in the same folder: ".NAME.<hex>.tmp", with
// NAME cut short enough that the whole stays a valid file name.
std::string TemporaryName(const std::string& name) {
    constexpr size_t kKept = 200;
    uint8_t random[6] = {};
    if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
        static std::atomic<uint64_t> counter{0};
        const uint64_t t = (static_cast<uint64_t>(::getpid()) << 24) ^ ++counter;
        for (size_t i = 0; i < sizeof random; ++i) {
            random[i] ^= static_cast<uint8_t>(t >> (8 * i));
        }
    }
    static const char kHex[] = "0123456789abcdef";
    std::string temporary = "." + name.substr(0, kKept) + ".";
    for (uint8_t b : random) {
        temporary += kHex[b >> 4];
        temporary += kHex[b & 15];
    }
    return temporary + ".tmp";
}

int WriteAll(int fd, const uint8_t* data, size_t length) {
    while (length > 0) {
        const ssize_t n = ::write(fd, data, length);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return n == 0 || errno == ENOSPC || errno == EDQUOT || errno == EFBIG ? kErrorDiskFull
                                                                                  : errno;
        }
        data += n;
        length -= static_cast<size_t>(n);
    }
    return 0;
}

// Mode and owner of the file about to replace `old`: its permission bits for the owner only
// (an export never becomes readable to others by replacing a file), its owner where we may.
int TakeOver(int fd, const struct stat& old) {
    if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
        if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
            if (::geteuid() == 0) {
                return errno;
            }
            (void)!::fchown(fd, static_cast<uid_t>(-1), old.st_gid); // the group, if ours
        }
    }
    return ::fchmod(fd, old.st_mode & 0700) == 0 ? 0 : errno;
}

// Writes the item into a new hidden file beside `name` in `folder`, not yet synced; its name
// goes to `temporary`. A file at `name` is looked at first: a link, anything but a regular
// file, a file held by another writer of this program, and any file under Refuse stop it
// before a byte is written. On failure nothing is left behind.
int WriteTemporaryAt(int folder, const std::string& name, const StorageItem& item,
                     ExistingFiles existing, std::string& temporary) {
    struct stat old {};
    bool exists = false;
    const FileDescriptor current(
        ::openat(folder, name.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
    if (current.IsOpen()) {
        if (::fstat(current.Get(), &old) != 0) {
            return errno;
        }
        exists = true;
        if (::flock(current.Get(), LOCK_EX | LOCK_NB) != 0) {
            return errno == EWOULDBLOCK ? kErrorSharingViolation : errno;
        }
    } else if (errno == ELOOP) {
        return kErrorSymbolicLink;
    } else if (errno == ENXIO) {
        return kErrorNotRegularFile;
    } else if (errno != ENOENT) {
        // A file we may not read can still be replaced; anything else is a reason.
        if (errno != EACCES || ::fstatat(folder, name.c_str(), &old, AT_SYMLINK_NOFOLLOW) != 0) {
            return errno;
        }
        exists = true;
    }
    if (exists && !S_ISREG(old.st_mode)) {
        return S_ISLNK(old.st_mode)   ? kErrorSymbolicLink
               : S_ISDIR(old.st_mode) ? EISDIR
                                      : kErrorNotRegularFile;
    }
    if (exists && existing == ExistingFiles::Refuse) {
        return EEXIST;
    }
    FileDescriptor file;
    for (int attempt = 0; attempt < 16 && !file.IsOpen(); ++attempt) {
        temporary = TemporaryName(name);
        file.Reset(::openat(folder, temporary.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!file.IsOpen() && errno != EEXIST) {
            break;
        }
    }
    if (!file.IsOpen()) {
        const int error = errno;
        temporary.clear();
        return error;
    }
    int error = 0;
    const ItemDataRead read = ExportPieces(item, [&](const uint8_t* data, size_t length) {
        error = WriteAll(file.Get(), data, length);
        return error == 0;
    });
    if (read != ItemDataRead::Ok) {
        error = read == ItemDataRead::Damaged    ? kErrorDamagedSource
                : read == ItemDataRead::NoMemory ? ENOMEM
                                                 : error;
    } else if (exists) {
        error = TakeOver(file.Get(), old);
    }
    if (error != 0) {
        ::unlinkat(folder, temporary.c_str(), 0);
        temporary.clear();
    }
    return error;
}

// Moves a finished temporary file to its name. Under Refuse a file that appeared there
// meanwhile stays, and the move fails with EEXIST.
int MoveIntoPlace(int folder, const std::string& temporary, const std::string& name,
                  ExistingFiles existing) {
    if (existing == ExistingFiles::Replace) {
        return ::renameat(folder, temporary.c_str(), folder, name.c_str()) == 0 ? 0 : errno;
    }
    if (::renameat2(folder, temporary.c_str(), folder, name.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL) {
        return errno;
    }
    // No such rename on this file system: a second name, which never replaces, then the
    // hidden one removed.
    if (::linkat(folder, temporary.c_str(), folder, name.c_str(), 0) != 0) {
        return errno;
    }
    ::unlinkat(folder, temporary.c_str(), 0);
    return 0;
}

// Makes everything written on the file systems of `folders` durable; 0 or the first error.
// File systems that cannot sync say EINVAL and are taken at their word.
int SyncFileSystems(const std::vector<FileDescriptor>& folders) {
    for (const FileDescriptor& folder : folders) {
        if (::syncfs(folder.Get()) != 0 && errno != EINVAL) {
            return errno;
        }
    }
    return 0;
}

// The first failure of a pass over the plan, and the target it happened at.
struct PassResult {
    int error = 0;
    size_t at = 0;
};

// Goes through the folders of the plan again, up to (not including) target `end`, and calls
// `each(folderFd, i)` for every file target i with a temporary file. A folder that cannot be
// opened again, or a nonzero result of `each`, ends the pass with that error unless
// `keepGoing`.
PassResult RevisitTemporaries(const StorageItemTable& table,
                              const std::vector<StorageExportTarget>& targets,
                              const std::vector<std::string>& temporaries, size_t end,
                              const ExportRoot& root, bool keepGoing,
                              const std::function<int(int, size_t)>& each) {
    ExportFolderStack stack;
    if (const int error = stack.Start(root); error != 0) {
        return {error, 0};
    }
    PassResult result;
    for (size_t i = 0; i < end; ++i) {
        const StorageExportTarget& t = targets[i];
        int error = stack.GoUpTo(t.parent);
        if (error == 0 && IsFolderTarget(table, t)) {
            if (stack.Missing()) {
                stack.PushMissing(static_cast<uint32_t>(i));
            } else if (const int fd = OpenFolderAt(stack.Fd(), t.name, error); fd >= 0) {
                error = stack.PushFolder(static_cast<uint32_t>(i), fd);
            } else {
                // Gone since it was made: the files in it cannot be reached any more, which
                // ends a pass that moves them (one that removes them goes on).
                stack.PushMissing(static_cast<uint32_t>(i));
            }
        } else if (error == 0 && !temporaries[i].empty() && !stack.Missing()) {
            error = each(stack.Fd(), i);
        }
        if (error != 0 && result.error == 0) {
            result = {error, i};
        }
        if (error != 0 && !keepGoing) {
            break;
        }
    }
    return result;
}

// Removes the temporary files of the first `end` targets that are still there.
void RemoveTemporaries(const StorageItemTable& table,
                       const std::vector<StorageExportTarget>& targets,
                       std::vector<std::string>& temporaries, size_t end, const ExportRoot& root) {
    RevisitTemporaries(table, targets, temporaries, end, root, true, [&](int folder, size_t i) {
        ::unlinkat(folder, temporaries[i].c_str(), 0);
        temporaries[i].clear();
        return 0;
    });
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
    // Every file is written under a hidden name first; the whole export is then made durable
    // at once, the files get their names, and the names are made durable. So no name ever
    // stands for a half-written file, and the disk is flushed twice, not twice per file.
    std::vector<std::string> temporaries(targets.size());
    std::vector<FileDescriptor> fileSystems; // one folder on each file system written to
    std::vector<dev_t> devices;
    auto failed = [&](size_t i, int error, size_t written) {
        RemoveTemporaries(table, targets, temporaries, written, root);
        return Failed(ExportTargetPath(targets, i, root.path), error);
    };
    ExportFolderStack stack;
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
            error = WriteTemporaryAt(stack.Fd(), t.name, *item, existing, temporaries[i]);
        }
        if (error == 0 &&
            std::find(devices.begin(), devices.end(), stack.Device()) == devices.end()) {
            FileDescriptor held(::fcntl(stack.Fd(), F_DUPFD_CLOEXEC, 0));
            error = held.IsOpen() ? 0 : errno;
            devices.push_back(stack.Device());
            fileSystems.push_back(std::move(held));
        }
        if (error != 0) {
            return failed(i, error, i);
        }
    }
    if (const int error = SyncFileSystems(fileSystems); error != 0) {
        RemoveTemporaries(table, targets, temporaries, targets.size(), root);
        return Failed(root.path, error);
    }
    const PassResult moved = RevisitTemporaries(
        table, targets, temporaries, targets.size(), root, false, [&](int folder, size_t i) {
            const int error = MoveIntoPlace(folder, temporaries[i], targets[i].name, existing);
            if (error == 0) {
                temporaries[i].clear();
            }
            return error;
        });
    if (moved.error != 0) {
        // The files already moved are whole and durable; the rest are removed.
        SyncFileSystems(fileSystems);
        return failed(moved.at, moved.error, targets.size());
    }
    if (const int error = SyncFileSystems(fileSystems); error != 0) {
        return Failed(root.path, error);
    }
    return {};
}
