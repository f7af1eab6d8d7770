// Helpers for window tests of strong protection: a key-derivation worker held until the test
// releases it, and waiting for a worker's report.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>

#include "documents/StrongKeyJob.h"
#include "framework/ModalSeam.h"

// Holds the key derivation's worker until released, so a test can look at the window while
// the derivation runs; counts the derivations. The state outlives the holder for a worker
// that is still on its way.
class HeldWorker {
public:
    HeldWorker() {
        CStrongKeyJob::SetWorkerHook([state = state_] {
            ++state->started;
            std::unique_lock lock(state->mutex);
            state->released.wait(lock, [&] { return state->open; });
        });
    }
    ~HeldWorker() {
        Release();
        CStrongKeyJob::SetWorkerHook({});
    }
    void Hold() {
        std::lock_guard lock(state_->mutex);
        state_->open = false;
    }
    void Release() {
        {
            std::lock_guard lock(state_->mutex);
            state_->open = true;
        }
        state_->released.notify_all();
    }
    int Started() const { return state_->started; }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable released;
        bool open = true;
        std::atomic<int> started{0};
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

// Runs the event loop until `done` holds (a worker has reported back), for at most a minute.
template <typename Done> inline bool ProcessEventsUntil(Done done) {
    QDeadlineTimer deadline(60000);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return done();
}

// Types a new password twice, ticks "Strong protection" and presses Save.
inline ModalSeam::Script SetStrongPassword(const QString& password) {
    return answer::Steps({answer::Type(QStringLiteral("password"), password),
                          answer::Type(QStringLiteral("confirm"), password),
                          answer::Click(QStringLiteral("strong")),
                          answer::Click(QStringLiteral("save"))});
}
