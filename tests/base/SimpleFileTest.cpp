#include "base/SimpleFile.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace fs = std::filesystem;

namespace {

class SimpleFileTest : public ::testing::Test {
protected:
    ScratchDir dir_;
    const std::string path_ = dir_ / "file";
};

TEST_F(SimpleFileTest, LifecycleAndPositioning) {
    SimpleFile file;
    EXPECT_FALSE(file.IsOpen());
    EXPECT_FALSE(file.Close());
    EXPECT_FALSE(file.Flush());
    EXPECT_FALSE(file.Open(path_, GENERIC_READ, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(file.LastError(), ENOENT);
    EXPECT_TRUE(file.FileName().empty());

    ASSERT_TRUE(
        file.Open(path_, GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(file.FileName(), path_);
    EXPECT_EQ(file.Write("hello world", 0), 0);
    EXPECT_EQ(file.Write("hello world", 11), 11);
    EXPECT_EQ(file.Seek(-5, SimpleFile::End), 6);
    EXPECT_EQ(file.GetLength(), 11);
    int64_t pos = -1;
    ASSERT_TRUE(file.GetPosition(pos));
    EXPECT_EQ(pos, 6) << "GetLength restores the position";
    char buffer[16] = {};
    EXPECT_EQ(file.Read(buffer, 0), 0);
    EXPECT_EQ(file.Read(buffer, 16), 5);
    EXPECT_STREQ(buffer, "world");
    EXPECT_EQ(file.Seek(-1, SimpleFile::Begin), -1);
    EXPECT_EQ(file.Seek(0, 7), -1);
    ASSERT_TRUE(file.SetLength(5));
    EXPECT_EQ(file.GetLength(), 5);
    EXPECT_TRUE(file.Flush());
    EXPECT_TRUE(file.Close());
    EXPECT_FALSE(file.IsOpen());
    EXPECT_TRUE(file.FileName().empty());
    EXPECT_EQ(fs::file_size(path_), 5u);

    EXPECT_FALSE(file.Open(path_, GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(file.LastError(), EEXIST);
}

TEST_F(SimpleFileTest, ExclusiveOpenKeepsOthersOutAndIsNotTruncatedByThem) {
    SimpleFile owner;
    ASSERT_TRUE(owner.Open(path_, GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL));
    ASSERT_EQ(owner.Write("data", 4), 4);

    SimpleFile other;
    EXPECT_FALSE(other.Open(path_, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0));
    EXPECT_EQ(other.LastError(), kErrorSharingViolation);
    EXPECT_FALSE(other.Open(path_, GENERIC_WRITE, 0, CREATE_ALWAYS, 0));
    EXPECT_EQ(fs::file_size(path_), 4u);

    owner.Abort();
    EXPECT_FALSE(owner.IsOpen());
    EXPECT_TRUE(other.Open(path_, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0));
    SimpleFile reader2;
    EXPECT_TRUE(reader2.Open(path_, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0));
}

TEST_F(SimpleFileTest, ShortWriteRecordsDiskFull) {
    SimpleFile file;
    ASSERT_TRUE(file.Open(path_, GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL));
    int64_t written = 0;
    {
        FileSizeLimit limit(100);
        ASSERT_TRUE(limit.active());
        const std::string data(300, 'x');
        written = file.Write(data.data(), static_cast<uint32_t>(data.size()));
    }
    EXPECT_EQ(written, 100);
    EXPECT_EQ(file.LastError(), kErrorDiskFull);
}

} // namespace
