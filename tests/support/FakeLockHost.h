// A lock host for tests of the lock-aware dialogs: its lock state and idle time are set by
// the test, and it records the reopen flags it is given.
#pragma once

#include <map>

#include "framework/LockHost.h"

class FakeLockHost : public CLockHost {
public:
    FakeLockHost() { CLockHost::SetCurrent(this); }
    ~FakeLockHost() override { CLockHost::SetCurrent(nullptr); }

    bool IsScreenLocked() const override { return locked; }
    uint32_t IdleSeconds() const override { return idle; }
    uint32_t IdleTimeoutSeconds() const override { return timeout; }
    void ResetIdleTimer() override {
        idle = 0;
        ++resets;
    }
    void SetReopenFlag(ReopenFlag flag, int command) override { reopen[flag] = command; }
    QWidget* HostWindow() override { return nullptr; }
    bool UnlockForDocumentClose() override {
        ++closeChecks;
        return allowClose;
    }

    // Locked and idle past the timeout: dialogs must close.
    void Lock() {
        locked = true;
        idle = timeout + 1;
    }

    bool locked = false;
    uint32_t idle = 0;
    uint32_t timeout = 60;
    int resets = 0;
    int closeChecks = 0;
    bool allowClose = true;
    std::map<ReopenFlag, int> reopen;
};
