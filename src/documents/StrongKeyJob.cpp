#include "documents/StrongKeyJob.h"

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

} // namespace

void CStrongKeyJob::Start(StrongKeyRequest request, std::weak_ptr<void> alive,
                          std::function<void(StrongKeyResult&)> done) {
    auto shared = std::make_shared<StrongKeyRequest>(std::move(request));
    const std::function<void()> hook = WorkerHook();
    // The frame is busy from here until the key has reached the document: its commands, keys
    // and clicks wait, and it cannot be closed, but it repaints. Busy starts before the worker
    // does, so nobody sees the window idle while its key is still missing, and it ends on the
    // user-interface thread in the same call that hands the key over, so no command runs
    // between the two.
    auto busy = std::make_shared<BusyReport>();
    std::thread([shared, alive = std::move(alive), done = std::move(done), hook,
                 busy = std::move(busy)]() mutable {
        auto result = std::make_shared<StrongKeyResult>();
        if (hook) {
            hook();
        }
        *result = Derive(*shared);
        shared->password.Clear();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [result, busy = std::move(busy), alive = std::move(alive),
             done = std::move(done)]() mutable {
                busy.reset();
                if (const std::shared_ptr<void> owner = alive.lock()) {
                    done(*result);
                }
                result->key.Clear();
            },
            Qt::QueuedConnection);
    }).detach();
}

void CStrongKeyJob::SetWorkerHook(std::function<void()> hook) {
    WorkerHook() = std::move(hook);
}
