#include "documents/StrongKeyJob.h"

#include <mutex>
#include <thread>

#include <QCoreApplication>
#include <QMetaObject>

#include "framework/FrameHosts.h"

namespace {

std::function<void()>& WorkerHook() {
    static std::function<void()> hook;
    return hook;
}

StrongKeyResult Derive(const StrongKeyRequest& request) {
    StrongKeyResult result;
    if (request.path.empty()) {
        result.status = result.key.Derive(request.password.View(), request.params);
        return result;
    }
    strong::FileSource source;
    if (!source.Open(request.path)) {
        result.status = strong::Status::ReadFailed;
        result.error = source.LastError();
        return result;
    }
    strong::Reader reader;
    result.status = reader.Open(source);
    if (result.status == strong::Status::Ok) {
        result.status = reader.Unlock(request.password.View(), result.key);
    }
    if (result.status == strong::Status::ReadFailed) {
        result.error = source.LastError();
    }
    if (result.status != strong::Status::Ok) {
        result.key.Clear();
    }
    return result;
}

// What the worker and the user-interface thread share: made before the worker starts, the
// result handed over under the mutex (the event queue between the two threads orders them
// too, but a race detector cannot see through it).
struct StrongKeyHandoff {
    StrongKeyRequest request;
    std::weak_ptr<void> alive;
    std::function<void(StrongKeyResult&)> done;
    std::unique_ptr<BusyReport> busy;
    std::mutex mutex;
    StrongKeyResult result;
};

} // namespace

void CStrongKeyJob::Start(StrongKeyRequest request, std::weak_ptr<void> alive,
                          std::function<void(StrongKeyResult&)> done) {
    auto handoff = std::make_shared<StrongKeyHandoff>();
    handoff->request = std::move(request);
    handoff->alive = std::move(alive);
    handoff->done = std::move(done);
    // The frame is busy from here until the key has reached the document: its commands, keys
    // and clicks wait, and it cannot be closed, but it repaints. Busy starts before the worker
    // does, so nobody sees the window idle while its key is still missing, and it ends on the
    // user-interface thread in the same call that hands the key over, so no command runs
    // between the two.
    handoff->busy = std::make_unique<BusyReport>();
    std::thread([handoff, hook = WorkerHook()] {
        if (hook) {
            hook();
        }
        StrongKeyResult result = Derive(handoff->request);
        {
            const std::lock_guard<std::mutex> lock(handoff->mutex);
            handoff->request.password.Clear();
            handoff->result = std::move(result);
        }
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [handoff] {
                const std::lock_guard<std::mutex> lock(handoff->mutex);
                handoff->busy.reset();
                if (const std::shared_ptr<void> owner = handoff->alive.lock()) {
                    handoff->done(handoff->result);
                }
                handoff->result.key.Clear();
                handoff->done = nullptr;
            },
            Qt::QueuedConnection);
    }).detach();
}

void CStrongKeyJob::SetWorkerHook(std::function<void()> hook) {
    WorkerHook() = std::move(hook);
}
