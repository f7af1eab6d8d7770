#include "image/ImageType.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

struct PathCase {
    const char* name;
    const char* path;
    ImageType type;
};

// Keeps ctest names free of parameter dumps.
void PrintTo(const PathCase& c, std::ostream* os) {
    *os << c.name;
}

const PathCase kPathCases[] = {
    {"UpperJpg", "/home/me/Photo.JPG", Jpeg},
    {"Jpeg", "photo.jpeg", Jpeg},
    {"MixedCaseTiff", "a.TiFf", Tiff},
    {"Tif", "scan.tif", Tiff},
    {"Bmp", "x.bmp", Bmp},
    {"Pcx", "x.pcx", Pcx},
    {"Gif", "x.gif", Gif},
    {"Tga", "x.tga", Tga},
    {"Png", "x.PNG", Png},
    {"Psd", "x.psd", Psd},
    {"Ico", "x.ico", Ico},
    {"Xpm", "x.xpm", Xpm},
    {"Qrv", "x.qrv", Qrv},
    {"OnlyLastDotCounts", "archive.tar.gz", Unrecognised},
    {"DotInFolderName", "C:\\photos.old\\readme", Unrecognised},
    {"DotInFolderLooksLikeType", "/tmp/x.png/readme", Unrecognised},
    {"FolderDotWithTypeAfter", "/tmp/pics.d/bmp", Unrecognised},
    {"NoDot", "readme", Unrecognised},
    {"TrailingDot", "picture.", Unrecognised},
    {"Empty", "", Unrecognised},
    {"ExtensionPrefixOnly", "x.jp", Unrecognised},
    {"ExtensionLonger", "x.pngx", Unrecognised},
    {"NonAsciiNotFolded", "x.\xC3\x89MP", Unrecognised},
};

class ImageTypeFromPathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(ImageTypeFromPathTest, MatchesExtensionTable) {
    EXPECT_EQ(ImageTypeFromPath(GetParam().path), GetParam().type);
    EXPECT_EQ(ImageTypeFromPath(std::string(GetParam().path)), GetParam().type);
}

INSTANTIATE_TEST_SUITE_P(Paths, ImageTypeFromPathTest, ::testing::ValuesIn(kPathCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ImageTypeTest, FixedValuesAndNullPath) {
    EXPECT_EQ(ImageTypeFromPath(static_cast<const char*>(nullptr)), Unrecognised);
    const int values[] = {Unrecognised, Bmp, Pcx, Jpeg, Gif, Tga, Tiff, Png, Psd, Ico, Xpm, Qrv};
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(values[i], i);
    }
}

} // namespace
