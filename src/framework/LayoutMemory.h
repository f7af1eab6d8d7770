// Sizes the user gives parts of the document windows (the width of a storage window's tree),
// kept per user rather than per file: a size set in one window is the one every window opened
// afterwards starts with. The main frame gives it the program's settings to keep the sizes
// in; without them (tests of this layer) the sizes last for the run.
#pragma once

#include <functional>

#include <QString>

namespace LayoutMemory {

struct Hooks {
    // The size stored under `key`, or a value below 1 when none is.
    std::function<int(const QString& key)> load;
    std::function<void(const QString& key, int size)> store;
};

// Installs the hooks (empty ones remove them).
void SetHooks(Hooks hooks);

// The size stored under `key`, or `fallback` when none is.
int Size(const QString& key, int fallback);
// Remembers `size` (above 0) under `key`.
void Remember(const QString& key, int size);

} // namespace LayoutMemory
