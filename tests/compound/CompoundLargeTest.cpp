// A file above 2 GB: written by us with 4096-byte sectors and read by olefile, libgsf and
// us; written by libgsf and read by us. Skipped when the disk has less than 6 GB free.
#include "CompoundLayouts.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace {

Layout LargeLayout() {
    Layout layout{{"BBC3709EB40C.INF", false, 272}, {"big", true, 0}};
    // 33 streams of 65 MiB + a little: about 2.1 GB, so chains cross the range-lock sector.
    for (int i = 0; i < 33; ++i) {
        layout.push_back({"big/" + std::to_string(i), false, (uint64_t{65} << 20) + 4097 * i});
        layout.push_back({"small" + std::to_string(i), false, uint64_t(100 + i)});
    }
    return layout;
}

const std::vector<std::string>& Expected() {
    static const std::vector<std::string> lines = Describe(LargeLayout());
    return lines;
}

void SkipWithoutSpace(const ScratchDir& dir) {
    if (std::filesystem::space(dir.path()).available < (uint64_t{6} << 30)) {
        GTEST_SKIP() << "less than 6 GB free";
    }
}

} // namespace

TEST(CompoundLarge, OursAbove2GBReadsEverywhere) {
    ScratchDir dir;
    SkipWithoutSpace(dir);
    const std::string file = dir / "ours.cfb";
    const Layout layout = LargeLayout();
    CompoundWriteOptions options;
    options.expectedSize = 0;
    for (const LayoutElement& e : layout) {
        options.expectedSize += e.size;
    }
    options.sync = false;
    ASSERT_EQ(WriteOurs(file, layout, options), CompoundResult::Ok);
    ASSERT_GT(std::filesystem::file_size(file), uint64_t{1} << 31);
    const auto& expected = Expected();
    EXPECT_EQ(ReadOurs(file), expected);
    EXPECT_EQ(ReadOlefile(file), expected);
    EXPECT_EQ(ReadGsf(file), expected);
}

TEST(CompoundLarge, LibgsfAbove2GBReadsInOurs) {
    ScratchDir dir;
    SkipWithoutSpace(dir);
    const std::string file = dir / "gsf.cfb";
    const Layout layout = LargeLayout();
    ASSERT_TRUE(WriteGsf(file, layout, true));
    ASSERT_GT(std::filesystem::file_size(file), uint64_t{1} << 31);
    EXPECT_EQ(ReadOurs(file), Expected());
}

TEST(CompoundLarge, Version3RefusesToGrowPast2GB) {
    // Nothing needs to reach a disk for this: the writer counts sectors, /dev/null swallows.
    const int fd = ::open("/dev/null", O_WRONLY);
    ASSERT_GE(fd, 0);
    CompoundWriter writer;
    CompoundWriteOptions options;
    options.sync = false;
    ASSERT_EQ(writer.Attach(fd, options), CompoundResult::Ok);
    const std::vector<uint8_t> chunk(size_t{256} << 20, 1);
    CompoundResult r = CompoundResult::Ok;
    for (int i = 0; i < 9 && r == CompoundResult::Ok; ++i) {
        r = writer.WriteStream(CompoundWriter::kRoot, std::to_string(i), chunk.data(),
                               chunk.size());
    }
    EXPECT_EQ(r, CompoundResult::TooLarge);
    EXPECT_EQ(writer.Commit(), CompoundResult::TooLarge);
    ::close(fd);
}
