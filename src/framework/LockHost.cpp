#include "framework/LockHost.h"

namespace {
CLockHost* g_host = nullptr;
} // namespace

CLockHost* CLockHost::Current() {
    return g_host;
}

void CLockHost::SetCurrent(CLockHost* host) {
    g_host = host;
}

void ResetIdleTimer() {
    if (g_host != nullptr) {
        g_host->ResetIdleTimer();
    }
}

bool UnlockForDocumentClose() {
    return g_host == nullptr || !g_host->IsScreenLocked() || g_host->UnlockForDocumentClose();
}

LockEvents& LockEvents::Instance() {
    static LockEvents events;
    return events;
}

QWidget* DialogOwner(QWidget* requested) {
    if (requested != nullptr || g_host == nullptr) {
        return requested;
    }
    return g_host->HostWindow();
}
