// Stepping the lock animation by hand: timers on a virtual clock instead of QTimers and a random
// source that the tests script, shared by the tests of the animation and of its widget.
#pragma once

#include "controls/MatrixAnimation.h"

#include <QString>

#include <algorithm>
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <memory>
#include <random>

namespace matrix_test {

inline const QString kPrompt = QStringLiteral("Press any key to unlock the screen...");
inline const QString kHold2 = QString(QChar(1)) + QStringLiteral(" 2");
inline const QString kHold10 = QString(QChar(1)) + QStringLiteral(" 10");

// Timers on a virtual clock: Advance() fires every due timer in time order through `tick`.
class VirtualTimers : public MatrixTimerDriver {
public:
    struct State {
        bool running = false;
        int interval = 0;
        std::int64_t due = 0;
    };

    void Start(int id, int intervalMs) override {
        timers[id] = {true, intervalMs, now + intervalMs};
    }
    void Stop(int id) override { timers[id].running = false; }

    bool Running(int id) const { return timers[id].running; }
    int Interval(int id) const { return timers[id].interval; }

    // Fires due timers until `ms` have passed, or until `stop` says so after a tick.
    void Advance(std::int64_t ms, const std::function<bool()>& stop = {}) {
        const std::int64_t end = now + ms;
        for (;;) {
            int next = -1;
            for (int id = 0; id < MatrixAnimation::TimerCount; ++id) {
                if (timers[id].running && timers[id].due <= end &&
                    (next < 0 || timers[id].due < timers[next].due)) {
                    next = id;
                }
            }
            if (next < 0) {
                break;
            }
            now = timers[next].due;
            timers[next].due += std::max(1, timers[next].interval);
            tick(next);
            if (stop && stop()) {
                return;
            }
        }
        now = end;
    }

    std::function<void(int)> tick;
    std::int64_t now = 0;
    std::array<State, MatrixAnimation::TimerCount> timers{};
};

// Hands out the scripted numbers first, then `fallback` forever.
struct ScriptedRandom {
    std::deque<std::uint32_t> script;
    std::function<std::uint32_t()> fallback = [] { return 0u; };

    std::uint32_t operator()() {
        if (script.empty()) {
            return fallback();
        }
        const std::uint32_t value = script.front();
        script.pop_front();
        return value;
    }
};

// What a test animation runs on: scripted random numbers, which fall back to a generator seeded
// with `seed`, and virtual timers. A fixture derives from it and owns the animation, which goes
// before the timers it stops.
struct ScriptedRun {
    explicit ScriptedRun(std::uint32_t seed) {
        auto generator = std::make_shared<std::mt19937>(seed);
        random->fallback = [generator] { return (*generator)(); };
    }
    ScriptedRun(const ScriptedRun&) = delete;
    ScriptedRun& operator=(const ScriptedRun&) = delete;

    MatrixAnimation::RandomSource Source() const {
        return [source = random] { return (*source)(); };
    }
    void Script(std::initializer_list<std::uint32_t> values) {
        random->script.insert(random->script.end(), values);
    }
    void FallBackTo(std::uint32_t value) {
        random->fallback = [value] { return value; };
    }

    std::shared_ptr<ScriptedRandom> random = std::make_shared<ScriptedRandom>();
    VirtualTimers timers;
};

// The lines the screen lock gives its animation (the model or the widget).
template <typename Target> void AddLockLines(Target& target) {
    target.AddLine(kPrompt);
    target.AddLine(kHold2);
    target.AddLine(QString());
    target.SetTypingMode(true, true);
    target.AddLine(kHold10);
}

// The raw random number that makes the animation draw character `code`.
constexpr std::uint32_t CharDraw(int code) {
    return static_cast<std::uint32_t>(code - 32);
}

inline bool IsTrailGreen(QRgb pixel) {
    return qRed(pixel) == 0 && qBlue(pixel) == 0 &&
           qGreen(pixel) >= MatrixAnimation::kTrailGreenMin &&
           qGreen(pixel) <= MatrixAnimation::kTrailGreenMax;
}

} // namespace matrix_test
