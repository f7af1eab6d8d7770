// What the codecs do when a codec library cannot be used. The build runs this program with a
// folder first on the library search path in which the TIFF library is a damaged file and the
// GIF and metadata libraries are a library without their entry points; the JPEG library is
// the real one.
#include "image/CodecAdapter.h"
#include "image/ObjImage.h"

#include "ImageSamples.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <ostream>
#include <string>

namespace {

std::vector<uint8_t> FixtureBytes(const char* name) {
    const std::string s = ReadFileBytes(std::string(OV_TEST_FIXTURES) + "/image/" + name);
    return std::vector<uint8_t>(s.begin(), s.end());
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

struct ReadCase {
    const char* name;
    const char* fixture;
    ImageType type;
    const char* error; // how LastCodecError() begins
};
void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.name;
}

const ReadCase kReadCases[] = {
    {"Tiff", "sample.tif", Tiff,
     "TIFF pictures cannot be read: " OV_SONAME_TIFF " cannot be loaded: "},
    {"Gif", "sample.gif", Gif,
     "GIF pictures cannot be read: " OV_SONAME_GIF
     " has no DGifCloseFile (a library of another version?)"},
    {"JpegWithMetadata", "sample-exif.jpg", Jpeg,
     "The metadata of JPEG pictures cannot be read: " OV_SONAME_EXIF
     " has no exif_content_add_entry (a library of another version?)"},
};

class MissingLibraryReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(MissingLibraryReadTest, DecodeFailsWithTheReasonEveryTime) {
    const ReadCase& c = GetParam();
    const std::vector<uint8_t> bytes = FixtureBytes(c.fixture);
    ASSERT_FALSE(bytes.empty());
    for (int attempt = 0; attempt < 2; ++attempt) {
        FCImageHandle_Gdiplus handler;
        PCL_Interface_Composite frames;
        std::unique_ptr<FCImageTags> tags;
        EXPECT_FALSE(handler.LoadFromMemory(bytes.data(), bytes.size(), frames, tags));
        EXPECT_EQ(frames.FrameCount(), 0);
        EXPECT_FALSE(tags);
        EXPECT_TRUE(StartsWith(LastCodecError(), c.error)) << LastCodecError();
    }
    const FCObjImage before = Sample(3, 2, 24);
    FCObjImage image = before;
    EXPECT_FALSE(image.LoadImage(bytes.data(), bytes.size(), c.type));
    EXPECT_TRUE(SamePixels(image, before));
}

INSTANTIATE_TEST_SUITE_P(Formats, MissingLibraryReadTest, ::testing::ValuesIn(kReadCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct WriteCase {
    const char* name;
    const char* extension;
    bool metadata; // the saved tags hold a camera maker
    const char* error;
};
void PrintTo(const WriteCase& c, std::ostream* os) {
    *os << c.name;
}

const WriteCase kWriteCases[] = {
    {"Tiff", ".tif", false,
     "TIFF pictures cannot be written: " OV_SONAME_TIFF " cannot be loaded: "},
    {"Gif", ".gif", false,
     "GIF pictures cannot be written: " OV_SONAME_GIF
     " has no DGifCloseFile (a library of another version?)"},
    {"JpegWithMetadata", ".jpg", true,
     "The metadata of JPEG pictures cannot be written: " OV_SONAME_EXIF
     " has no exif_content_add_entry (a library of another version?)"},
};

class MissingLibraryWriteTest : public ::testing::TestWithParam<WriteCase> {};

TEST_P(MissingLibraryWriteTest, SaveFailsAndLeavesNoFileAndTheOldOneIntact) {
    const WriteCase& c = GetParam();
    ScratchDir dir;
    const std::string fresh = dir / (std::string("fresh") + c.extension);
    const std::string existing = dir / (std::string("existing") + c.extension);
    WriteFileBytes(existing, "the old picture");
    const FCObjImage image = Sample(8, 6, 24);
    FCImageTags tags;
    if (c.metadata) {
        tags.SetValue(271, "Camera Co");
    }
    FCImageHandle_Gdiplus handler;
    EXPECT_FALSE(handler.SaveToFile(fresh, ImageFrames{&image}, tags));
    EXPECT_TRUE(StartsWith(LastCodecError(), c.error)) << LastCodecError();
    EXPECT_FALSE(handler.SaveToFile(existing, ImageFrames{&image}, tags));
    EXPECT_TRUE(StartsWith(LastCodecError(), c.error)) << LastCodecError();

    EXPECT_EQ(ReadFileBytes(existing), "the old picture");
    const auto entries = std::distance(std::filesystem::directory_iterator(dir.path()),
                                       std::filesystem::directory_iterator());
    EXPECT_EQ(entries, 1) << "only the old file may be there";
}

INSTANTIATE_TEST_SUITE_P(Formats, MissingLibraryWriteTest, ::testing::ValuesIn(kWriteCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The metadata library is needed only for metadata; a failure of another format does not
// linger in the reason a later success gives.
TEST(MissingLibrary, JpegWithoutMetadataStillReadsAndWrites) {
    const std::vector<uint8_t> tiff = FixtureBytes("sample.tif");
    FCObjImage image;
    ASSERT_FALSE(image.LoadImage(tiff.data(), tiff.size(), Tiff));
    ASSERT_FALSE(LastCodecError().empty());

    const std::vector<uint8_t> jpeg = FixtureBytes("sample.jpg");
    ASSERT_TRUE(image.LoadImage(jpeg.data(), jpeg.size(), Jpeg));
    EXPECT_EQ(image.Width(), 8);
    EXPECT_EQ(LastCodecError(), "");

    ScratchDir dir;
    ASSERT_TRUE(image.SaveImage(dir / "again.jpg"));
    EXPECT_EQ(LastCodecError(), "");
    FCObjImage again;
    ASSERT_TRUE(again.LoadImageFile(dir / "again.jpg"));
    EXPECT_EQ(again.Height(), 6);
}

} // namespace
