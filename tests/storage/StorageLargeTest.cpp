// A storage of 2 GiB, larger than the command-line tool may allocate: it lists, exports one
// item and adds a file under an address-space limit of 1 GiB, and a load keeps the process's
// peak memory far below the storage's size. Skipped when the disk is short of space.
#include "storage/StorageAdd.h"
#include "storage/StorageFile.h"
#include "storage/StorageSave.h"
#include "support/CliFixture.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

constexpr int kParts = 8;
constexpr uint64_t kPartBytes = uint64_t{256} << 20; // 8 parts: 2 GiB
// The storage, an added copy of it and its backup, and one exported part.
constexpr uint64_t kDiskBytes = 3 * kParts * kPartBytes + kPartBytes + (uint64_t{256} << 20);

// The peak resident size of this process since the last reset.
long PeakKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

void ResetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

class StorageLargeTest : public CliFixture {
protected:
    void SetUp() override {
        CliFixture::SetUp();
        struct statvfs fs {};
        if (::statvfs(dir_.path().c_str(), &fs) != 0 ||
            static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize < kDiskBytes) {
            GTEST_SKIP() << "needs " << (kDiskBytes >> 30) << " GiB free beside the test";
        }
        // The parts are a sparse file of zeros, read in pieces while the storage is written.
        const std::string zeros = (dir_ / "zeros");
        const int fd = ::open(zeros.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(kPartBytes)), 0);
        ::close(fd);
        StorageItemTable table;
        StorageTree tree;
        for (int i = 0; i < kParts; ++i) {
            int error = 0;
            auto item = MakeItemFromOpenFile("part" + std::to_string(i) + ".bin",
                                             ::open(zeros.c_str(), O_RDONLY | O_CLOEXEC),
                                             kPartBytes, error);
            ASSERT_NE(item, nullptr);
            tree.push_back({table.Add(std::move(item)), kRootParent});
        }
        path_ = (dir_ / "big.ovs");
        ASSERT_TRUE(SaveStorage(path_, "secret", table, tree).ok);
    }

    std::string path_;
};

} // namespace

TEST_F(StorageLargeTest, LoadingKeepsThePeakMemoryFarBelowTheStoragesSize) {
    ResetPeak();
    auto file = std::make_shared<CompoundReader>();
    ASSERT_EQ(OpenStorageFile(path_, *file), CompoundResult::Ok);
    StorageItemTable table;
    StorageTree tree;
    EXPECT_TRUE(ReadStorage(file, "secret", table, tree).damaged.empty());
    ASSERT_EQ(tree.size(), static_cast<size_t>(kParts));
    // One part read through, in pieces: memory stays at a piece.
    uint64_t read = 0;
    bool zeros = true;
    EXPECT_EQ(table.Get(3)->data.ReadPieces([&](const uint8_t* data, size_t length) {
        read += length;
        zeros = zeros && std::all_of(data, data + length, [](uint8_t b) { return b == 0; });
        return true;
    }),
              ItemDataRead::Ok);
    EXPECT_EQ(read, kPartBytes);
    EXPECT_TRUE(zeros);
    const long peak = PeakKiB();
    ASSERT_GT(peak, 0);
    EXPECT_LT(peak, 100L << 10) << "KiB at the peak";
}

TEST_F(StorageLargeTest, CommandLineToolWorksWithinOneGibibyteOfAddressSpace) {
    const std::string limit = "prlimit --as=" + std::to_string(uint64_t{1} << 30) + " ";
    const std::string cli = "'" + std::string(OV_BINARY_DIR) + "/bin/ombrivault-cli' ";
    auto run = [&](const std::string& args) {
        const std::string cmd = "cd '" + dir_.path().string() + "' && " + limit + cli +
                                "--password-file pw " + args + " >.stdout 2>.stderr";
        const int status = std::system(cmd.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    ASSERT_EQ(run("ls big.ovs"), 0) << Read(".stderr");
    EXPECT_EQ(Read(".stdout").find("part7.bin\tfile\t" + std::to_string(kPartBytes)) !=
                  std::string::npos,
              true)
        << Read(".stdout");

    ASSERT_EQ(run("export big.ovs part5.bin -o part5.bin"), 0) << Read(".stderr");
    std::ifstream exported((dir_ / "part5.bin"), std::ios::binary);
    std::vector<char> piece(size_t{4} << 20);
    uint64_t total = 0;
    bool zeros = true;
    while (exported.read(piece.data(), static_cast<std::streamsize>(piece.size())) ||
           exported.gcount() > 0) {
        const auto n = static_cast<size_t>(exported.gcount());
        zeros = zeros && std::all_of(piece.begin(), piece.begin() + static_cast<long>(n),
                                     [](char c) { return c == 0; });
        total += n;
    }
    EXPECT_EQ(total, kPartBytes);
    EXPECT_TRUE(zeros);

    Write("note.txt", "added under the limit");
    ASSERT_EQ(run("add big.ovs note.txt"), 0) << Read(".stderr");
    ASSERT_EQ(run("export big.ovs note.txt -o -"), 0) << Read(".stderr");
    EXPECT_EQ(Read(".stdout"), "added under the limit");
    ASSERT_EQ(run("check big.ovs"), 0) << Read(".stderr");
}
