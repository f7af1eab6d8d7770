// A storage of 20,000 folders each inside the one before: the command-line tool reads,
// lists and checks it in memory that grows with the number of items, not with the square of
// the depth, and its export says, as quickly, that such a depth does not fit in a path.
#include "compound/CompoundFile.h"
#include "storage/StorageFile.h"
#include "support/CliFixture.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kDepth = 20000;
// The tool's peak resident memory: the storage's tables take a few megabytes; a path kept per
// item (20,000 paths of up to 40,000 bytes) would take gigabytes.
// Under AddressSanitizer its shadow memory and freed-memory quarantine come on top.
#if defined(__SANITIZE_ADDRESS__)
constexpr long kPeakBytes = 512L << 20;
#else
constexpr long kPeakBytes = 128L << 20;
#endif

struct Measured {
    int code = -1;
    long peakBytes = 0; // the largest resident size of the command's processes
};

// Runs a shell command (with pipefail) and reports its exit code and its peak memory.
Measured RunMeasured(const std::string& command) {
    Measured m;
    const pid_t child = ::fork();
    if (child == 0) {
        ::execl("/bin/bash", "bash", "-o", "pipefail", "-c", command.c_str(), nullptr);
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child > 0 && ::wait4(child, &status, 0, &usage) == child && WIFEXITED(status)) {
        m.code = WEXITSTATUS(status);
        m.peakBytes = usage.ru_maxrss * 1024L;
    }
    return m;
}

using StorageDepthTest = CliFixture;

TEST_F(StorageDepthTest, TwentyThousandNestedFoldersInBoundedMemory) {
    {
        CompoundWriter compound;
        ASSERT_EQ(compound.Create(dir_ / "deep.ovs"), CompoundResult::Ok);
        StorageWriter writer(compound, "secret");
        ASSERT_EQ(writer.CreateStorageFile(), CompoundResult::Ok);
        uint32_t container = CompoundWriter::kRoot;
        StorageItem folder;
        folder.type = static_cast<int32_t>(StorageItemType::Folder);
        folder.name = "f";
        for (int i = 0; i < kDepth; ++i) {
            uint32_t inner = 0;
            ASSERT_EQ(writer.WriteFolder(container, folder, i, inner), CompoundResult::Ok);
            container = inner;
        }
        StorageItem file;
        file.type = static_cast<int32_t>(StorageItemType::File);
        file.name = "bottom.txt";
        file.data = Bytes{'b'};
        ASSERT_EQ(writer.WriteItem(container, file, kDepth), CompoundResult::Ok);
        ASSERT_EQ(compound.Commit(), CompoundResult::Ok);
    }
    const std::string cli = "'" + std::string(OV_BINARY_DIR) + "/bin/ombrivault-cli' ";
    const std::string cd = "cd '" + dir_.path().string() + "' && ";
    Measured m = RunMeasured(cd + cli + "--password-file pw check deep.ovs >.stdout 2>.stderr");
    EXPECT_EQ(m.code, 0) << Read(".stderr");
    EXPECT_EQ(Read(".stdout"), "deep.ovs: " + std::to_string(kDepth + 1) + " items, all decrypt\n");
    EXPECT_LT(m.peakBytes, kPeakBytes);

    // The listing itself is 400 MB of paths: it goes nowhere but its last line.
    m = RunMeasured(cd + cli + "--password-file pw ls deep.ovs 2>.stderr | tail -c 30 >.last");
    EXPECT_EQ(m.code, 0) << Read(".stderr");
    EXPECT_EQ(Read(".last"), "f/f/f/f/f/f/bottom.txt\tfile\t1\n");
    EXPECT_LT(m.peakBytes, kPeakBytes);

    m = RunMeasured(cd + cli + "--password-file pw export deep.ovs / -o out 2>.stderr");
    EXPECT_EQ(m.code, 3);
    EXPECT_NE(Read(".stderr").find("bytes a path can hold"), std::string::npos);
    EXPECT_LT(m.peakBytes, kPeakBytes);
    std::error_code ec;
    EXPECT_TRUE(std::filesystem::is_empty(dir_.path() / "out", ec));
}

} // namespace
