#include "framework/LayoutMemory.h"

#include <map>

namespace LayoutMemory {

namespace {

struct State {
    Hooks hooks;
    // Without a settings store the sizes are kept here for the run.
    std::map<QString, int> kept;
};

State& Current() {
    static State state;
    return state;
}

} // namespace

void SetHooks(Hooks hooks) {
    Current().hooks = std::move(hooks);
}

int Size(const QString& key, int fallback) {
    State& state = Current();
    int stored = 0;
    if (state.hooks.load) {
        stored = state.hooks.load(key);
    } else if (const auto found = state.kept.find(key); found != state.kept.end()) {
        stored = found->second;
    }
    return stored > 0 ? stored : fallback;
}

void Remember(const QString& key, int size) {
    if (size <= 0) {
        return;
    }
    State& state = Current();
    if (state.hooks.store) {
        state.hooks.store(key, size);
    } else {
        state.kept[key] = size;
    }
}

} // namespace LayoutMemory
