// Hostile screen-lock records: the parser must reject or accept without reading out of
// bounds, and whatever it accepts must serialise and parse back to the same record.
#include "app/ScreenLockSettings.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    ScreenLockSettings settings;
    if (!ParseScreenLockSettings(bytes, settings)) {
        return 0;
    }
    ScreenLockSettings again;
    if (!ParseScreenLockSettings(SerializeScreenLockSettings(settings), again) ||
        again.lockWhenIdle != settings.lockWhenIdle ||
        again.lockWithDesktop != settings.lockWithDesktop ||
        again.timeoutIndex != settings.timeoutIndex || again.promptText != settings.promptText ||
        again.PasswordHash() != settings.PasswordHash()) {
        std::abort();
    }
    return 0;
}
