// The picture codec libraries are opened when a picture of their format is first decoded, not
// at start. This program links none of them (its build checks that), so what /proc/self/maps
// shows is what the codecs opened.
#include "image/ObjImage.h"

#include "ImageSamples.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace {

std::string Fixture(const char* name) {
    return std::string(OV_TEST_FIXTURES) + "/image/" + name;
}

// Whether a file of the library `soname` (e.g. libtiff.so.6, mapped as libtiff.so.6.0.0) is
// mapped into this process.
bool Mapped(const std::string& soname) {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        const std::string file = line.substr(line.rfind('/') + 1);
        if (file.compare(0, soname.size(), soname) == 0 &&
            (file.size() == soname.size() || file[soname.size()] == '.')) {
            return true;
        }
    }
    return false;
}

TEST(CodecLibraries, OpenedWhenAPictureOfTheirFormatIsFirstDecoded) {
    // The reader itself must see a library that is there.
    ASSERT_TRUE(Mapped("libc.so.6"));
    for (const char* soname : {OV_SONAME_TIFF, OV_SONAME_GIF, OV_SONAME_JPEG, OV_SONAME_EXIF}) {
        EXPECT_FALSE(Mapped(soname)) << soname << " is mapped before any picture was decoded";
    }

    FCObjImage gif;
    ASSERT_TRUE(gif.LoadImageFile(Fixture("sample.gif")));
    EXPECT_EQ(gif.Width(), 8);
    EXPECT_TRUE(Mapped(OV_SONAME_GIF));
    EXPECT_FALSE(Mapped(OV_SONAME_JPEG));
    EXPECT_FALSE(Mapped(OV_SONAME_TIFF));

    // A JPEG without metadata needs no metadata library.
    FCObjImage jpeg;
    ASSERT_TRUE(jpeg.LoadImageFile(Fixture("sample.jpg")));
    EXPECT_EQ(jpeg.Height(), 6);
    EXPECT_TRUE(Mapped(OV_SONAME_JPEG));
    EXPECT_FALSE(Mapped(OV_SONAME_EXIF));
    EXPECT_FALSE(Mapped(OV_SONAME_TIFF));

    FCImageTags tags;
    ASSERT_TRUE(jpeg.LoadImageFile(Fixture("sample-exif.jpg"), &tags));
    EXPECT_EQ(tags.GetValue(271), "Fixture Camera Co");
    EXPECT_EQ(tags.GetValue(33434), "1/250");
    EXPECT_TRUE(Mapped(OV_SONAME_EXIF));
    EXPECT_FALSE(Mapped(OV_SONAME_TIFF));

    FCObjImage tiff;
    ASSERT_TRUE(tiff.LoadImageFile(Fixture("sample.tif")));
    EXPECT_TRUE(SamePixels(tiff, Sample(8, 6, 24)));
    EXPECT_TRUE(Mapped(OV_SONAME_TIFF));
}

} // namespace
