// The screen-lock settings record: one per machine, shared by all users and all running
// instances. The screen password is kept only as a salted scrypt hash; the record file is
// readable by its owner only and replaced atomically.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct ScreenLockSettings {
    int32_t lockWhenIdle = 0;
    int32_t lockAtStartup = 0;
    // Index into the timeout table, 0..7.
    int32_t timeoutIndex = 0;
    int32_t passwordEnabled = 0;
    // Lock when the desktop session locks, its screen saver starts or the computer is about
    // to sleep. On unless the record says otherwise; readers that predate it skip its line.
    int32_t lockWithDesktop = 1;
    // Text shown on the lock overlay, in the program's code page; at most 259 bytes.
    std::string promptText;

    bool HasScreenPassword() const { return !passwordHash_.empty(); }
    // Stores the hash of `password` (cut to 259 bytes at a character boundary) under a new
    // salt; an empty password clears it. False when hashing failed (nothing changes).
    bool SetScreenPassword(std::string_view password);
    // True when `typed` is the screen password; with none stored only the empty text is.
    // Compares in constant time.
    bool MatchesScreenPassword(std::string_view typed) const;

    // The stored form of the hash ("scrypt$N$r$p$salt$hash", hexadecimal), or empty.
    const std::string& PasswordHash() const { return passwordHash_; }
    bool SetPasswordHash(std::string_view stored);

    static constexpr size_t kMaxTextBytes = 259;

private:
    std::string passwordHash_;
};

inline constexpr int kTimeoutCount = 8;
// Minutes of timeout index 0..7: 1, 2, 3, 5, 10, 15, 30, 60. An index outside the table
// counts as index 0.
int TimeoutMinutes(int index);

// The record's text form, and its parser. Parsing distrusts its input: anything malformed
// makes the whole record unreadable, and `out` then holds the defaults.
std::string SerializeScreenLockSettings(const ScreenLockSettings& settings);
bool ParseScreenLockSettings(std::string_view bytes, ScreenLockSettings& out);

class ScreenLockStore {
public:
    // The record lives in `directory`, normally GetCommonAppDataPath().
    explicit ScreenLockStore(std::string directory);

    std::string Path() const;
    // `out` takes the defaults first; false when the record is missing or unreadable.
    bool Load(ScreenLockSettings& out) const;
    // Writes the record atomically, under the process-wide writer lock and an exclusive
    // lock on a lock file beside it, so concurrent instances never interleave.
    bool Save(const ScreenLockSettings& settings) const;

    static constexpr const char* kFileName = "screenlock.conf";
    static constexpr size_t kMaxFileBytes = 64 * 1024;

private:
    std::string directory_;
};
