#include "storage/StorageSave.h"

#include "base/AtomicFileWriter.h"
#include "base/FileErrors.h"
#include "compound/CompoundFile.h"
#include "storage/ItemCipher.h"
#include "storage/StorageFile.h"
#include "storage/StrongStorage.h"

#include <cerrno>
#include <optional>
#include <sys/stat.h>
#include <unordered_map>

namespace {

StorageSaveResult Failed(int error, std::string message) {
    StorageSaveResult result;
    result.error = error;
    result.message = std::move(message);
    return result;
}

int ErrnoOf(CompoundResult result) {
    switch (result) {
    case CompoundResult::DiskFull:
        return kErrorDiskFull;
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

// What stands at the backup name that a save cannot replace with the old file ("a folder"),
// or nothing.
std::string BackupInTheWay(const std::string& backup) {
    struct stat st {};
    if (::lstat(backup.c_str(), &st) != 0 || S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) {
        return {};
    }
    return S_ISDIR(st.st_mode) ? "a folder" : "not a regular file";
}

} // namespace

std::string StorageBackupPath(const std::string& path) {
    const size_t slash = path.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = path.rfind('.');
    const size_t stem = dot != std::string::npos && dot >= nameStart ? dot : path.size();
    std::string backup = path.substr(0, stem) + ".BAK";
    return backup == path ? path + ".BAK" : backup;
}

StorageSaveResult SaveStorage(const std::string& path, std::string_view password,
                              const StorageItemTable& table, const StorageTree& tree,
                              const StorageSaveProgressFn& progress,
                              const StorageSaveOptions& options) {
    // The size decides the compound file's version; an item that the format cannot hold
    // stops the save before anything is written.
    uint64_t expected = ItemEncryptor::BlobLength(kInfoRecordBytes);
    StorageSaveProgress step;
    step.bytesTotal = kInfoRecordBytes;
    for (const StorageTreeEntry& entry : tree) {
        const StorageItem* item = table.Get(entry.item);
        if (item == nullptr) {
            continue;
        }
        if (StorageItemTooLarge(*item)) {
            return Failed(EFBIG, "the item \"" + item->name + "\" is too large for a storage");
        }
        const uint64_t plain =
            item->IsFolder() ? kInfoRecordBytes : kItemHeaderBytes + item->StoredDataLength();
        expected += ItemEncryptor::BlobLength(plain);
        step.bytesTotal += plain;
    }

    AtomicFileWriter file;
    if (!file.Open(path, 0600, 0700,
                   options.fileHeldByCaller ? AtomicFileWriter::Locking::None
                                            : AtomicFileWriter::Locking::Exclusive)) {
        return Failed(file.LastError(),
                      "cannot save " + path + ": " + FileErrorMessage(file.LastError()));
    }
    // A backup name taken by a folder (or anything but a file) would fail the save at its
    // very end, after all the writing: say so now, naming it.
    const std::string backup = StorageBackupPath(file.Target());
    if (const std::string what = BackupInTheWay(backup); !what.empty()) {
        return Failed(EISDIR, "cannot save " + path + ": the backup " + backup + " is " + what +
                                  "; move or rename it, then save again");
    }
    CompoundWriter compound;
    CompoundWriteOptions writeOptions;
    writeOptions.expectedSize = expected;
    writeOptions.sync = false; // the writer syncs before the file is put in place
    CompoundResult written = CompoundResult::Ok;
    std::optional<StrongStorageOutput> sealed;
    if (options.strongKey != nullptr) {
        sealed.emplace(file);
        if (const strong::Status s = sealed->Begin(*options.strongKey); s != strong::Status::Ok) {
            return Failed(EIO, "cannot save " + path + ": " + strong::StatusMessage(s));
        }
        written = compound.AttachOutput(*sealed, writeOptions);
    } else {
        written = compound.Attach(file.Handle(), writeOptions);
    }
    StorageWriter writer(compound, password);
    if (written == CompoundResult::Ok) {
        written = writer.CreateStorageFile();
    }
    // Open storages of the folders written so far, by item index.
    std::unordered_map<int32_t, uint32_t> folders;
    bool cancelled = false;
    for (size_t i = 0; i < tree.size() && written == CompoundResult::Ok; ++i) {
        if (options.cancel != nullptr && options.cancel->load(std::memory_order_relaxed)) {
            cancelled = true;
            break;
        }
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
    if (cancelled) {
        compound.Abort();
        return Failed(ECANCELED, "the save of " + path + " was cancelled");
    }
    if (written == CompoundResult::Ok) {
        written = compound.Commit();
    }
    if (written != CompoundResult::Ok) {
        compound.Abort();
        const int code = ErrnoOf(written);
        return Failed(code, "cannot save " + path + ": " + FileErrorMessage(code));
    }
    if (!file.CommitWithBackup(backup)) {
        // The backup is named when it is what could not be replaced.
        return Failed(file.LastError(),
                      "cannot save " + path + ": " +
                          (file.BackupFailed() ? "the backup " + backup + " cannot be replaced: "
                                               : std::string()) +
                          FileErrorMessage(file.LastError()));
    }
    StorageSaveResult result;
    result.ok = true;
    return result;
}
