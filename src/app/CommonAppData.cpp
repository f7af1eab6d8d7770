#include "app/CommonAppData.h"

#include <cerrno>
#include <cstdlib>

#include <sys/stat.h>
#include <unistd.h>

namespace {
std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

bool IsWritableDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           ::access(path.c_str(), W_OK | X_OK) == 0;
}
} // namespace

std::string GetCommonAppDataPath() {
    const std::string configured = Env("OMBRIVAULT_COMMON_APPDATA");
    if (!configured.empty()) {
        return configured;
    }
    const std::string machine = "/var/lib/ombrivault";
    if (IsWritableDirectory(machine)) {
        return machine;
    }
    std::string data = Env("XDG_DATA_HOME");
    if (data.empty() || data.front() != '/') {
        const std::string home = Env("HOME");
        data = (home.empty() ? std::string("/tmp") : home) + "/.local/share";
    }
    return data + "/ombrivault";
}

bool EnsureDirectory(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        return S_ISDIR(st.st_mode);
    }
    const size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !EnsureDirectory(path.substr(0, slash))) {
        return false;
    }
    return ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}
