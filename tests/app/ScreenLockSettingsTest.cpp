#include "app/ScreenLockSettings.h"

#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include <sys/stat.h>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "ov-screenlock-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() { fs::remove_all(path_); }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

TEST(TimeoutMinutes, TableAndOutOfRange) {
    const int expected[] = {1, 2, 3, 5, 10, 15, 30, 60};
    for (int i = 0; i < kTimeoutCount; ++i) {
        EXPECT_EQ(TimeoutMinutes(i), expected[i]) << i;
    }
    EXPECT_EQ(TimeoutMinutes(-1), 1);
    EXPECT_EQ(TimeoutMinutes(8), 1);
}

TEST(ScreenLockSettings, PasswordIsHashedSaltedAndCompared) {
    ScreenLockSettings s;
    EXPECT_FALSE(s.HasScreenPassword());
    EXPECT_TRUE(s.MatchesScreenPassword(""));
    EXPECT_FALSE(s.MatchesScreenPassword("x"));

    ASSERT_TRUE(s.SetScreenPassword("Secret 1"));
    EXPECT_TRUE(s.HasScreenPassword());
    EXPECT_EQ(s.PasswordHash().find("Secret"), std::string::npos);
    EXPECT_EQ(s.PasswordHash().rfind("scrypt$", 0), 0u);
    EXPECT_TRUE(s.MatchesScreenPassword("Secret 1"));
    EXPECT_FALSE(s.MatchesScreenPassword("secret 1"));
    EXPECT_FALSE(s.MatchesScreenPassword("Secret 1 "));
    EXPECT_FALSE(s.MatchesScreenPassword(""));

    ScreenLockSettings other;
    ASSERT_TRUE(other.SetScreenPassword("Secret 1"));
    EXPECT_NE(other.PasswordHash(), s.PasswordHash()) << "each hash has its own salt";

    ASSERT_TRUE(s.SetScreenPassword(""));
    EXPECT_FALSE(s.HasScreenPassword());
}

TEST(ScreenLockSettings, PasswordCutAt259Bytes) {
    ScreenLockSettings s;
    const std::string long1(300, 'a');
    ASSERT_TRUE(s.SetScreenPassword(long1));
    EXPECT_TRUE(s.MatchesScreenPassword(std::string(259, 'a')));
    EXPECT_TRUE(s.MatchesScreenPassword(long1));
    EXPECT_FALSE(s.MatchesScreenPassword(std::string(258, 'a')));
}

TEST(ScreenLockStore, MissingRecordGivesDefaults) {
    TempDir dir;
    ScreenLockSettings s;
    s.lockWhenIdle = 5;
    s.promptText = "left over";
    EXPECT_FALSE(ScreenLockStore(dir.Path()).Load(s));
    EXPECT_EQ(s.lockWhenIdle, 0);
    EXPECT_EQ(s.lockAtStartup, 0);
    EXPECT_EQ(s.timeoutIndex, 0);
    EXPECT_EQ(s.passwordEnabled, 0);
    EXPECT_EQ(s.lockWithDesktop, 1) << "locking with the desktop is on until switched off";
    EXPECT_TRUE(s.promptText.empty());
    EXPECT_FALSE(s.HasScreenPassword());
}

TEST(ScreenLockStore, RoundTripIsOwnerOnlyAndCreatesFolders) {
    TempDir dir;
    const std::string folder = dir.Path() + "/a/b";
    ScreenLockSettings s;
    s.lockWhenIdle = 1;
    s.lockAtStartup = 1;
    s.timeoutIndex = 6;
    s.passwordEnabled = 1;
    s.lockWithDesktop = 0;
    s.promptText = "Locked = away\nline two \xC3\xA9";
    ASSERT_TRUE(s.SetScreenPassword("pw"));
    const ScreenLockStore store(folder);
    ASSERT_TRUE(store.Save(s));

    struct stat st {};
    ASSERT_EQ(::stat(store.Path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    ScreenLockSettings back;
    ASSERT_TRUE(store.Load(back));
    EXPECT_EQ(back.lockWhenIdle, 1);
    EXPECT_EQ(back.lockAtStartup, 1);
    EXPECT_EQ(back.timeoutIndex, 6);
    EXPECT_EQ(back.passwordEnabled, 1);
    EXPECT_EQ(back.lockWithDesktop, 0);
    EXPECT_EQ(back.promptText, s.promptText);
    EXPECT_TRUE(back.MatchesScreenPassword("pw"));

    // A record made readable by others is narrowed again on the next save.
    ASSERT_EQ(::chmod(store.Path().c_str(), 0644), 0);
    ASSERT_TRUE(store.Save(back));
    ASSERT_EQ(::stat(store.Path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(ScreenLockStore, PromptCutAt259Bytes) {
    TempDir dir;
    ScreenLockSettings s;
    s.promptText = std::string(400, 'p');
    ASSERT_TRUE(ScreenLockStore(dir.Path()).Save(s));
    ScreenLockSettings back;
    ASSERT_TRUE(ScreenLockStore(dir.Path()).Load(back));
    EXPECT_EQ(back.promptText, std::string(259, 'p'));
}

TEST(ScreenLockStore, MalformedRecordsAreUnreadable) {
    const std::string good = "[ScreenLock]\nLockWhenIdle=1\nTimeoutIndex=2\n";
    struct Case {
        const char* name;
        std::string text;
        bool readable;
    };
    const std::vector<Case> cases = {
        {"good", good, true},
        {"crlf and comments", "# note\r\n[ScreenLock]\r\nLockWhenIdle=1\r\n", true},
        {"unknown key kept for newer versions", good + "Colour=green\n", true},
        {"no header", "LockWhenIdle=1\n", false},
        {"empty file", "", false},
        {"wrong header", "[Other]\nLockWhenIdle=1\n", false},
        {"not a number", good + "LockAtStartup=yes\n", false},
        {"number overflow", good + "TimeoutIndex=99999999999\n", false},
        {"trailing junk", good + "TimeoutIndex=3x\n", false},
        {"line without =", good + "LockAtStartup\n", false},
        {"odd hex prompt", good + "PromptText=abc\n", false},
        {"bad hex prompt", good + "PromptText=zz\n", false},
        {"NUL inside prompt", good + "PromptText=410042\n", false},
        {"prompt too long", good + "PromptText=" + std::string(520, '4') + "\n", false},
        {"bad hash", good + "Password=plain\n", false},
        {"hash with huge cost",
         good + "Password=scrypt$1073741824$8$1$00112233445566778899aabbccddeeff$" +
             std::string(64, '0') + "\n",
         false},
        {"hash with odd cost",
         good + "Password=scrypt$1000$8$1$00112233445566778899aabbccddeeff$" +
             std::string(64, '0') + "\n",
         false},
        {"too big", good + std::string(70 * 1024, '#'), false},
    };
    for (const Case& c : cases) {
        TempDir dir;
        WriteFile(dir.Path() + "/screenlock.conf", c.text);
        ScreenLockSettings s;
        EXPECT_EQ(ScreenLockStore(dir.Path()).Load(s), c.readable) << c.name;
        if (!c.readable) {
            EXPECT_EQ(s.lockWhenIdle, 0) << c.name;
            EXPECT_EQ(s.timeoutIndex, 0) << c.name;
        }
    }
}

// The desktop switch is a line of its own: a record written before it existed reads as "on",
// and a reader that knows only the older lines takes a newer record as it always did.
TEST(ScreenLockStore, TheDesktopSwitchIsALineOlderReadersSkip) {
    const std::string older = "[ScreenLock]\nLockWhenIdle=1\nTimeoutIndex=2\nPassword=\n";
    ScreenLockSettings s;
    ASSERT_TRUE(ParseScreenLockSettings(older, s));
    EXPECT_EQ(s.lockWithDesktop, 1);

    s.lockWithDesktop = 0;
    const std::string newer = SerializeScreenLockSettings(s);
    EXPECT_NE(newer.find("\nLockWithDesktop=0\n"), std::string::npos) << newer;
    // Every line an older reader knows is still there, unchanged.
    for (const char* line : {"\nLockWhenIdle=1\n", "\nTimeoutIndex=2\n", "\nLockAtStartup=0\n",
                             "\nPasswordEnabled=0\n", "\nPassword=\n", "\nPromptText=\n"}) {
        EXPECT_NE(newer.find(line), std::string::npos) << line;
    }
    ScreenLockSettings back;
    ASSERT_TRUE(ParseScreenLockSettings(newer, back));
    EXPECT_EQ(back.lockWithDesktop, 0);
    EXPECT_FALSE(ParseScreenLockSettings(older + "LockWithDesktop=on\n", back));
}

TEST(ScreenLockStore, ConcurrentWritersLeaveAWholeRecord) {
    TempDir dir;
    const ScreenLockStore store(dir.Path());
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([&store, t] {
            for (int i = 0; i < 20; ++i) {
                ScreenLockSettings s;
                s.timeoutIndex = t;
                s.promptText = std::string(200, static_cast<char>('a' + t));
                ASSERT_TRUE(store.Save(s));
            }
        });
    }
    for (auto& w : writers) {
        w.join();
    }
    ScreenLockSettings back;
    ASSERT_TRUE(store.Load(back));
    EXPECT_EQ(back.promptText, std::string(200, static_cast<char>('a' + back.timeoutIndex)));
}

} // namespace
