// The folder walk of a directory import: a directory on disk becomes a folder item with a
// folder item for each directory below it and an item for each file, handed over in batches.
#pragma once

#include "storage/StorageItem.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// One record of an import. A folder carries the walk's number for it; every record names the
// number of the folder it goes into (-1: the import's own top folder, which goes into the
// folder the import was started in).
struct StorageImportEntry {
    int32_t folder = -1;
    int32_t parent = -1;
    std::unique_ptr<StorageItem> item;
};

// Receives a batch of records (to take or leave) and whether it is the last; returns false
// to end the walk, which then hands over one last batch.
using StorageImportSink = std::function<bool(std::vector<StorageImportEntry>& entries, bool last)>;

// Called after each file is read with the files and bytes read so far; returns false to end
// the walk there (the records read so far are still handed over, as the last batch).
using StorageImportProgress = std::function<bool(uint64_t files, uint64_t bytes)>;

// Records and bytes per batch.
inline constexpr size_t kImportBatchEntries = 512;
inline constexpr uint64_t kImportBatchBytes = 8u << 20;

// Where the bytes of the files a walk finds go.
enum class StorageImportFiles {
    // Read into memory as the walk goes: an open document keeps its items whatever later
    // happens to the files.
    Read,
    // Left on disk, each file closed (MakeItemFromClosedFile) and read when its item is
    // written: a tree of any size is added in one save with memory for its names only.
    LeftOnDisk,
};

// Walks `path`: its top folder first, then depth first. Links to directories are not
// followed; unreadable and empty files are left out (empty notes are kept). A path without a
// name hands over one empty last batch. Progress counts the bytes of the files found.
void WalkImportDirectory(const std::string& path, const StorageImportSink& send,
                         const StorageImportProgress& progress = {},
                         StorageImportFiles files = StorageImportFiles::Read);
