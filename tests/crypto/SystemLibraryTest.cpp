#include "crypto/SystemLibrary.h"
#include "crypto/Ciphers.h"
#include "crypto/OpenSsl.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

bool Mapped(const std::string& soname) {
    std::ifstream maps("/proc/self/maps");
    std::stringstream text;
    text << maps.rdbuf();
    return text.str().find("/" + soname + "\n") != std::string::npos;
}

struct StringApi {
    decltype(&::strlen) strlen = nullptr;
    decltype(&::strcmp) strcmp = nullptr;
};

TEST(SystemLibrary, BindsTypedEntryPointsOnceForAllThreads) {
    SystemLibrary library("libc.so.6");
    StringApi api;
    std::atomic<int> binds = 0;
    std::atomic<int> answered = 0;
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([&] {
            if (library.OpenAndBind([&](SystemLibrary& lib) {
                    ++binds;
                    lib.Bind(api.strlen, "strlen");
                    lib.Bind(api.strcmp, "strcmp");
                })) {
                ++answered;
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(binds, 1);
    EXPECT_EQ(answered, 8);
    ASSERT_NE(api.strlen, nullptr);
    EXPECT_EQ(api.strlen("seven c"), 7u);
    EXPECT_EQ(api.strcmp("a", "a"), 0);
    EXPECT_TRUE(library.Error().empty());
}

TEST(SystemLibrary, AMissingLibraryOrEntryPointIsAReasonNotACrash) {
    SystemLibrary absent("libombrivault-absent.so.9");
    int binds = 0;
    EXPECT_FALSE(absent.OpenAndBind([&](SystemLibrary&) { ++binds; }));
    EXPECT_FALSE(absent.OpenAndBind([&](SystemLibrary&) { ++binds; }));
    EXPECT_EQ(binds, 0);
    EXPECT_NE(absent.Error().find("libombrivault-absent.so.9 cannot be loaded: "),
              std::string::npos)
        << absent.Error();

    SystemLibrary libc("libc.so.6");
    StringApi api;
    decltype(&::strlen) missing = &::strlen;
    EXPECT_FALSE(libc.OpenAndBind([&](SystemLibrary& lib) {
        lib.Bind(api.strlen, "strlen");
        lib.Bind(missing, "ombrivault_no_such_function");
    }));
    EXPECT_EQ(missing, nullptr);
    EXPECT_EQ(libc.Error(),
              "libc.so.6 has no ombrivault_no_such_function (a library of another version?)");
}

// The programs do not link the cipher library: it is opened by the first cipher call (this test
// program links only the core, and no other test here touches a cipher).
TEST(SystemLibrary, TheCipherLibraryOpensOnFirstUse) {
    EXPECT_FALSE(Mapped(OV_SONAME_CRYPTO));
    const uint8_t abc[] = {'a', 'b', 'c'};
    const Md5Hash digest = Md5Digest(abc, sizeof abc);
    EXPECT_EQ(digest[0], 0x90);
    EXPECT_EQ(digest[15], 0x72);
    EXPECT_TRUE(Mapped(OV_SONAME_CRYPTO));
    std::string error;
    EXPECT_TRUE(CipherLibraryAvailable(error));
    EXPECT_TRUE(error.empty());
}

} // namespace
