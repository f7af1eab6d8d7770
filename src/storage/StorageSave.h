// Saving a whole storage: every item of the tree is written into a new file beside the old
// one; only when that file is complete and on disk does the old file become the ".BAK" backup
// and the new one take its place. A failure leaves the old file as it was.
#pragma once

#include "crypto/StrongEnvelope.h"
#include "storage/StorageItem.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

struct StorageSaveProgress {
    int64_t itemsWritten = 0;  // tree entries handled so far (written or skipped)
    uint64_t bytesWritten = 0; // plaintext bytes written so far
    uint64_t bytesTotal = 0;   // plaintext bytes the whole save writes
};
using StorageSaveProgressFn = std::function<void(const StorageSaveProgress&)>;

struct StorageSaveResult {
    bool ok = false;
    int error = 0;       // errno value or file-layer code (FileErrors.h), 0 on success
    std::string message; // why the save failed, for the user
};

struct StorageSaveOptions {
    // The caller still has the old file open (and locked) for reading, as an open storage
    // document does: the save then relies on that lock instead of taking its own.
    bool fileHeldByCaller = false;
    // Set by another thread to end the save before the next item; the old file stays.
    const std::atomic<bool>* cancel = nullptr;
    // Writes the file with strong protection under this key (its salt and parameters, a new
    // nonce base); null writes the compatible form.
    const strong::Key* strongKey = nullptr;
};

// The backup name: the path with its file name's extension replaced by ".BAK"
// ("/safe/home.ovs" -> "/safe/home.BAK"); a storage whose name ends in ".BAK" already gets
// ".BAK" added ("x.BAK" -> "x.BAK.BAK"), so it is never its own backup.
std::string StorageBackupPath(const std::string& path);

// Writes `tree` (pre-order, folders before their contents; element names are the table
// indexes) under `password` to `path`, keeping the previous file as its backup. Entries whose
// item is missing, or whose folder was not written, are skipped with what they hold.
StorageSaveResult SaveStorage(const std::string& path, std::string_view password,
                              const StorageItemTable& table, const StorageTree& tree,
                              const StorageSaveProgressFn& progress = {},
                              const StorageSaveOptions& options = {});
