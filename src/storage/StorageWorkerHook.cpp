#include "storage/StorageWorkerHook.h"

#include <atomic>
#include <memory>
#include <mutex>

namespace {

std::mutex g_mutex;
std::shared_ptr<const StorageWorkerHookFn> g_hook; // guarded by g_mutex
std::atomic<bool> g_installed{false};

} // namespace

void SetStorageWorkerHook(StorageWorkerHookFn hook) {
    std::lock_guard lock(g_mutex);
    g_installed = static_cast<bool>(hook);
    g_hook = hook ? std::make_shared<const StorageWorkerHookFn>(std::move(hook)) : nullptr;
}

void StorageWorkerHook(StorageWorkerPoint point) {
    if (!g_installed.load()) {
        return;
    }
    std::shared_ptr<const StorageWorkerHookFn> hook;
    {
        std::lock_guard lock(g_mutex);
        hook = g_hook;
    }
    if (hook) {
        (*hook)(point);
    }
}
