// The millisecond tick count the main frame measures idleness with. Tests put a ManualClock
// in place of the steady clock so that time moves only when they say so.
#pragma once

#include <cstdint>

class MillisecondClock {
public:
    virtual ~MillisecondClock() = default;
    // Milliseconds since an arbitrary start; wraps around like a 32-bit tick count.
    virtual uint32_t Now() const = 0;
};

class SteadyMillisecondClock : public MillisecondClock {
public:
    uint32_t Now() const override;
};

class ManualClock : public MillisecondClock {
public:
    explicit ManualClock(uint32_t start = 1000) : now_(start) {}
    uint32_t Now() const override { return now_; }
    void Advance(uint32_t milliseconds) { now_ += milliseconds; }

private:
    uint32_t now_;
};

// The clock of the whole program: the steady clock unless one was installed.
MillisecondClock& ProgramClock();
// Installs `clock` (not owned) as the program clock; nullptr restores the steady clock.
void SetProgramClock(MillisecondClock* clock);

// Installs a clock for the lifetime of the object.
class ScopedProgramClock {
public:
    explicit ScopedProgramClock(MillisecondClock& clock) { SetProgramClock(&clock); }
    ~ScopedProgramClock() { SetProgramClock(nullptr); }
    ScopedProgramClock(const ScopedProgramClock&) = delete;
    ScopedProgramClock& operator=(const ScopedProgramClock&) = delete;
};
