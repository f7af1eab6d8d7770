// A test seam in the storage window's workers: each calls the hook at fixed points, so a test
// can hold a worker there (the hook blocks until the test lets it go) and make a race happen
// every time. Without a hook installed the call costs one atomic load.
#pragma once

#include <functional>

enum class StorageWorkerPoint {
    LoadStart, // the loader has the file, before the first element
    LoadItem,  // the loader, before each element
    SaveItem,  // the save, before each item
    ImportFile // a directory import, after each file
};

using StorageWorkerHookFn = std::function<void(StorageWorkerPoint)>;

// Installs the hook (an empty function removes it). Install it while no worker runs.
void SetStorageWorkerHook(StorageWorkerHookFn hook);
// Called by the workers.
void StorageWorkerHook(StorageWorkerPoint point);
