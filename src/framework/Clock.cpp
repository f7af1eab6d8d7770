#include "framework/Clock.h"

#include <chrono>

uint32_t SteadyMillisecondClock::Now() const {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

namespace {
MillisecondClock* g_installed = nullptr;
} // namespace

MillisecondClock& ProgramClock() {
    static SteadyMillisecondClock steady;
    return g_installed != nullptr ? *g_installed : steady;
}

void SetProgramClock(MillisecondClock* clock) {
    g_installed = clock;
}
