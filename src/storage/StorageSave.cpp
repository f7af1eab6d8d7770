#include "storage/StorageSave.h"

#include "compound/CompoundFile.h"
#include "crypto/EncryptedFile.h"
#include "crypto/SimpleFile.h"
#include "storage/ItemCipher.h"
#include "storage/StorageFile.h"

#include <openssl/rand.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace {

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string RandomSuffix() {
    uint8_t random[6] = {};
    RAND_bytes(random, sizeof random);
    static const char kHex[] = "0123456789abcdef";
    std::string suffix;
    for (uint8_t b : random) {
        suffix += kHex[b >> 4];
        suffix += kHex[b & 15];
    }
    return suffix;
}

// The new file of a save: written under a temporary name beside the target, then put in place
// with the old file kept as the backup. Kept apart so that the program's common writer of
// replaced files can take its place.
class ReplacementFile {
public:
    explicit ReplacementFile(std::string target) : target_(std::move(target)) {}
    ~ReplacementFile() { Abort(); }

    // Opens the temporary file; false with errno in `error`.
    bool Open(int& error) {
        const std::string dir = DirectoryOf(target_);
        for (int attempt = 0; attempt < 8 && fd_ < 0; ++attempt) {
            temp_ = (dir == "/" ? "" : dir) + "/." + FileNameOf(target_) + "." + RandomSuffix() +
                    ".tmp";
            fd_ = ::open(temp_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (fd_ < 0 && errno != EEXIST) {
                break;
            }
        }
        if (fd_ < 0) {
            error = errno;
            temp_.clear();
            return false;
        }
        struct stat existing {};
        if (::stat(target_.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
            ::fchmod(fd_, existing.st_mode & 07777);
        }
        return true;
    }
    int Fd() const { return fd_; }

    // Flushes the new file to disk, turns the old file into `backup` (replacing an older
    // backup) and moves the new file into place.
    bool CommitWithBackup(const std::string& backup, int& error) {
        if (::fsync(fd_) != 0 || ::close(fd_) != 0) {
            error = errno;
            fd_ = -1;
            return false;
        }
        fd_ = -1;
        // The old file gets its backup name through a link first, so the target name never
        // stands empty; a file system without links falls back to a rename.
        struct stat old {};
        if (::lstat(target_.c_str(), &old) == 0) {
            const std::string link = backup + "." + RandomSuffix() + ".tmp";
            if (::link(target_.c_str(), link.c_str()) == 0) {
                if (::rename(link.c_str(), backup.c_str()) != 0) {
                    error = errno;
                    ::unlink(link.c_str());
                    return false;
                }
            } else {
                ::unlink(backup.c_str());
                if (::rename(target_.c_str(), backup.c_str()) != 0) {
                    error = errno;
                    return false;
                }
            }
        }
        if (::rename(temp_.c_str(), target_.c_str()) != 0) {
            error = errno;
            return false;
        }
        temp_.clear();
        const int dir = ::open(DirectoryOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
        return true;
    }

    void Abort() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
        if (!temp_.empty()) {
            ::unlink(temp_.c_str());
            temp_.clear();
        }
    }

private:
    std::string target_;
    std::string temp_;
    int fd_ = -1;
};

StorageSaveResult Failed(int error, std::string message) {
    StorageSaveResult result;
    result.error = error;
    result.message = std::move(message);
    return result;
}

int ErrnoOf(CompoundResult result) {
    switch (result) {
    case CompoundResult::DiskFull:
        return ENOSPC;
    case CompoundResult::NotEnoughMemory:
        return ENOMEM;
    case CompoundResult::TooLarge:
        return EFBIG;
    default:
        return EIO;
    }
}

// Failures that end the save; anything else only skips the element, as an element that
// cannot be created is skipped.
bool EndsTheSave(CompoundResult result) {
    return result == CompoundResult::DiskFull || result == CompoundResult::WriteFault ||
           result == CompoundResult::TooLarge || result == CompoundResult::NotEnoughMemory ||
           result == CompoundResult::InvalidState || result == CompoundResult::Unknown;
}

} // namespace

std::string StorageBackupPath(const std::string& path) {
    const size_t slash = path.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = path.rfind('.');
    const size_t stem = dot != std::string::npos && dot >= nameStart ? dot : path.size();
    return path.substr(0, stem) + ".BAK";
}

StorageSaveResult SaveStorage(const std::string& path, std::string_view password,
                              const StorageItemTable& table, const StorageTree& tree,
                              const StorageSaveProgressFn& progress) {
    // The size decides the compound file's version; an item that the format cannot hold
    // stops the save before anything is written.
    uint64_t expected = ItemEncryptor::BlobLength(kInfoRecordBytes);
    for (const StorageTreeEntry& entry : tree) {
        const StorageItem* item = table.Get(entry.item);
        if (item == nullptr) {
            continue;
        }
        if (StorageItemTooLarge(*item)) {
            return Failed(EFBIG, "the item \"" + item->name + "\" is too large for a storage");
        }
        expected += ItemEncryptor::BlobLength(
            item->IsFolder() ? kInfoRecordBytes : kItemHeaderBytes + item->StoredDataLength());
    }

    ReplacementFile file(path);
    int error = 0;
    if (!file.Open(error)) {
        return Failed(error, std::string("cannot create a file beside ") + path + ": " +
                                 std::strerror(error));
    }
    CompoundWriter compound;
    CompoundWriteOptions options;
    options.expectedSize = expected;
    options.sync = false; // the replacement file syncs before it is put in place
    CompoundResult written = compound.Attach(file.Fd(), options);
    StorageWriter writer(compound, password);
    if (written == CompoundResult::Ok) {
        written = writer.CreateStorageFile();
    }
    // Open storages of the folders written so far, by item index.
    std::unordered_map<int32_t, uint32_t> folders;
    StorageSaveProgress step;
    for (size_t i = 0; i < tree.size() && written == CompoundResult::Ok; ++i) {
        const StorageTreeEntry& entry = tree[i];
        const StorageItem* item = table.Get(entry.item);
        uint32_t container = CompoundWriter::kRoot;
        bool place = item != nullptr;
        if (place && entry.parent != kRootParent) {
            const auto it = folders.find(entry.parent);
            place = it != folders.end();
            container = place ? it->second : container;
        }
        if (place) {
            CompoundResult r;
            if (item->IsFolder()) {
                uint32_t storage = 0;
                r = writer.WriteFolder(container, *item, entry.item, storage);
                if (r == CompoundResult::Ok) {
                    folders[entry.item] = storage;
                }
            } else {
                r = writer.WriteItem(container, *item, entry.item);
            }
            if (EndsTheSave(r)) {
                written = r;
            }
        }
        ++step.itemsWritten;
        step.bytesWritten = writer.PlainBytesWritten();
        if (progress) {
            progress(step);
        }
    }
    if (written == CompoundResult::Ok) {
        written = compound.Commit();
    }
    if (written != CompoundResult::Ok) {
        compound.Abort();
        const int code = ErrnoOf(written);
        return Failed(code, "cannot write " + path + ": " + std::strerror(code));
    }
    if (!file.CommitWithBackup(StorageBackupPath(path), error)) {
        return Failed(error, "cannot replace " + path + ": " + std::strerror(error));
    }
    StorageSaveResult result;
    result.ok = true;
    return result;
}
