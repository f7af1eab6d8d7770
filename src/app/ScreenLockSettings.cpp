#include "app/ScreenLockSettings.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <mutex>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include "app/CommonAppData.h"
#include "base/CodePage.h"
#include "base/WholeFile.h"

namespace {

constexpr uint64_t kScryptN = 16384;
constexpr uint64_t kScryptR = 8;
constexpr uint64_t kScryptP = 1;
constexpr size_t kSaltBytes = 16;
constexpr size_t kHashBytes = 32;
constexpr const char* kHeader = "[ScreenLock]";

std::string ToHex(const uint8_t* data, size_t length) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(length * 2);
    for (size_t i = 0; i < length; ++i) {
        hex.push_back(digits[data[i] >> 4]);
        hex.push_back(digits[data[i] & 0xF]);
    }
    return hex;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool FromHex(std::string_view hex, std::string& out) {
    out.clear();
    if (hex.size() % 2 != 0) {
        return false;
    }
    out.reserve(hex.size() / 2);
    for (size_t i = 0; i < hex.size(); i += 2) {
        const int hi = HexDigit(hex[i]);
        const int lo = HexDigit(hex[i + 1]);
        if (hi < 0 || lo < 0) {
            return false;
        }
        out.push_back(static_cast<char>(hi << 4 | lo));
    }
    return true;
}

template <typename T> bool ParseNumber(std::string_view text, T& value) {
    if (text.empty()) {
        return false;
    }
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

struct ScryptHash {
    uint64_t n = 0, r = 0, p = 0;
    std::string salt;
    std::string hash;
};

// Parameters from a file are bounded so a hostile record cannot make us allocate or spin.
bool ParseHash(std::string_view stored, ScryptHash& out) {
    std::array<std::string_view, 6> parts;
    size_t count = 0;
    while (count < parts.size()) {
        const size_t sep = stored.find('$');
        parts[count++] = stored.substr(0, sep);
        if (sep == std::string_view::npos) {
            stored = {};
            break;
        }
        stored.remove_prefix(sep + 1);
    }
    if (count != parts.size() || !stored.empty() || parts[0] != "scrypt") {
        return false;
    }
    if (!ParseNumber(parts[1], out.n) || !ParseNumber(parts[2], out.r) ||
        !ParseNumber(parts[3], out.p)) {
        return false;
    }
    const bool powerOfTwo = out.n >= 2 && (out.n & (out.n - 1)) == 0;
    if (!powerOfTwo || out.n > (1u << 17) || out.r < 1 || out.r > 16 || out.p < 1 || out.p > 4) {
        return false;
    }
    return FromHex(parts[4], out.salt) && FromHex(parts[5], out.hash) && out.salt.size() >= 8 &&
           out.salt.size() <= 64 && out.hash.size() >= 16 && out.hash.size() <= 64;
}

bool Scrypt(std::string_view password, const ScryptHash& params, size_t length, std::string& out) {
    out.assign(length, '\0');
    const uint64_t maxMemory = 128 * params.n * params.r * params.p + (64u << 20);
    const int ok = EVP_PBE_scrypt(password.data(), password.size(),
                                  reinterpret_cast<const unsigned char*>(params.salt.data()),
                                  params.salt.size(), params.n, params.r, params.p, maxMemory,
                                  reinterpret_cast<unsigned char*>(out.data()), out.size());
    return ok == 1;
}

std::string_view CutText(std::string_view text) {
    const size_t keep =
        CodePage::Program()->CharacterBoundaryAtMost(text, ScreenLockSettings::kMaxTextBytes);
    return text.substr(0, keep);
}

// Serialises writers of this process; the file lock serialises the processes.
std::mutex& WriterLock() {
    static std::mutex lock;
    return lock;
}

class FileLock {
public:
    explicit FileLock(const std::string& path)
        : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        if (fd_ >= 0 && ::flock(fd_, LOCK_EX) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~FileLock() {
        if (fd_ >= 0) {
            ::flock(fd_, LOCK_UN);
            ::close(fd_);
        }
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool Held() const { return fd_ >= 0; }

private:
    int fd_;
};

} // namespace

int TimeoutMinutes(int index) {
    static constexpr std::array<int, kTimeoutCount> minutes = {1, 2, 3, 5, 10, 15, 30, 60};
    return index >= 0 && index < kTimeoutCount ? minutes[static_cast<size_t>(index)] : minutes[0];
}

bool ScreenLockSettings::SetScreenPassword(std::string_view password) {
    password = CutText(password);
    if (password.empty()) {
        passwordHash_.clear();
        return true;
    }
    ScryptHash params{kScryptN, kScryptR, kScryptP, std::string(kSaltBytes, '\0'), {}};
    if (RAND_bytes(reinterpret_cast<unsigned char*>(params.salt.data()),
                   static_cast<int>(params.salt.size())) != 1 ||
        !Scrypt(password, params, kHashBytes, params.hash)) {
        return false;
    }
    passwordHash_ =
        "scrypt$" + std::to_string(params.n) + "$" + std::to_string(params.r) + "$" +
        std::to_string(params.p) + "$" +
        ToHex(reinterpret_cast<const uint8_t*>(params.salt.data()), params.salt.size()) + "$" +
        ToHex(reinterpret_cast<const uint8_t*>(params.hash.data()), params.hash.size());
    OPENSSL_cleanse(params.hash.data(), params.hash.size());
    return true;
}

bool ScreenLockSettings::MatchesScreenPassword(std::string_view typed) const {
    typed = CutText(typed);
    if (passwordHash_.empty()) {
        return typed.empty();
    }
    ScryptHash params;
    std::string computed;
    if (!ParseHash(passwordHash_, params) || !Scrypt(typed, params, params.hash.size(), computed)) {
        return false;
    }
    const bool same = CRYPTO_memcmp(computed.data(), params.hash.data(), computed.size()) == 0;
    OPENSSL_cleanse(computed.data(), computed.size());
    return same;
}

bool ScreenLockSettings::SetPasswordHash(std::string_view stored) {
    ScryptHash params;
    if (!stored.empty() && !ParseHash(stored, params)) {
        return false;
    }
    passwordHash_ = std::string(stored);
    return true;
}

std::string SerializeScreenLockSettings(const ScreenLockSettings& s) {
    const std::string_view prompt = CutText(s.promptText);
    std::string text = std::string(kHeader) + "\n";
    text += "LockWhenIdle=" + std::to_string(s.lockWhenIdle) + "\n";
    text += "LockAtStartup=" + std::to_string(s.lockAtStartup) + "\n";
    text += "TimeoutIndex=" + std::to_string(s.timeoutIndex) + "\n";
    text += "PasswordEnabled=" + std::to_string(s.passwordEnabled) + "\n";
    text += "LockWithDesktop=" + std::to_string(s.lockWithDesktop) + "\n";
    text += "Password=" + s.PasswordHash() + "\n";
    text += "PromptText=" + ToHex(reinterpret_cast<const uint8_t*>(prompt.data()), prompt.size()) +
            "\n";
    return text;
}

bool ParseScreenLockSettings(std::string_view bytes, ScreenLockSettings& out) {
    out = ScreenLockSettings{};
    if (bytes.size() > ScreenLockStore::kMaxFileBytes) {
        return false;
    }
    ScreenLockSettings parsed;
    bool sawHeader = false;
    while (!bytes.empty()) {
        const size_t end = bytes.find('\n');
        std::string_view line = bytes.substr(0, end);
        bytes = end == std::string_view::npos ? std::string_view() : bytes.substr(end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty() || line.front() == '#') {
            continue;
        }
        if (!sawHeader) {
            if (line != kHeader) {
                return false;
            }
            sawHeader = true;
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos) {
            return false;
        }
        const std::string_view key = line.substr(0, eq);
        const std::string_view value = line.substr(eq + 1);
        int32_t* number = key == "LockWhenIdle"      ? &parsed.lockWhenIdle
                          : key == "LockAtStartup"   ? &parsed.lockAtStartup
                          : key == "TimeoutIndex"    ? &parsed.timeoutIndex
                          : key == "PasswordEnabled" ? &parsed.passwordEnabled
                          : key == "LockWithDesktop" ? &parsed.lockWithDesktop
                                                     : nullptr;
        if (number != nullptr) {
            if (!ParseNumber(value, *number)) {
                return false;
            }
        } else if (key == "Password") {
            if (!parsed.SetPasswordHash(value)) {
                return false;
            }
        } else if (key == "PromptText") {
            if (!FromHex(value, parsed.promptText) ||
                parsed.promptText.size() > ScreenLockSettings::kMaxTextBytes ||
                parsed.promptText.find('\0') != std::string::npos) {
                return false;
            }
        }
        // Other keys belong to newer versions and are left alone.
    }
    if (!sawHeader) {
        return false;
    }
    out = std::move(parsed);
    return true;
}

ScreenLockStore::ScreenLockStore(std::string directory) : directory_(std::move(directory)) {}

std::string ScreenLockStore::Path() const {
    return directory_ + "/" + kFileName;
}

bool ScreenLockStore::Load(ScreenLockSettings& out) const {
    out = ScreenLockSettings{};
    uint64_t size = 0;
    if (!GetFileSizeByName(Path(), size) || size > kMaxFileBytes) {
        return false;
    }
    Bytes bytes;
    if (!ReadWholeFile(Path(), bytes)) {
        return false;
    }
    return ParseScreenLockSettings(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), out);
}

bool ScreenLockStore::Save(const ScreenLockSettings& settings) const {
    const std::lock_guard<std::mutex> guard(WriterLock());
    if (!EnsureDirectory(directory_)) {
        return false;
    }
    const FileLock lock(directory_ + "/screenlock.lock");
    if (!lock.Held()) {
        return false;
    }
    const std::string text = SerializeScreenLockSettings(settings);
    // A replaced record keeps the mode of the old one; narrow that first.
    if (::chmod(Path().c_str(), 0600) != 0 && errno != ENOENT) {
        return false;
    }
    if (!WriteWholeFile(Path(), reinterpret_cast<const uint8_t*>(text.data()), text.size())) {
        return false;
    }
    // The record holds the password hash: its owner alone may read it, whatever it was.
    return ::chmod(Path().c_str(), 0600) == 0;
}
