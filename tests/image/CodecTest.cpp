#include "image/CodecAdapter.h"
#include "image/CodecFormats.h"
#include "image/ObjImage.h"

#include "ImageSamples.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ostream>
#include <string>

#include <gif_lib.h>
#include <tiffio.h>

namespace {

std::vector<uint8_t> FileBytes(const std::string& path) {
    const std::string s = ReadFileBytes(path);
    return std::vector<uint8_t>(s.begin(), s.end());
}

bool Load(const std::vector<uint8_t>& bytes, PCL_Interface_Composite& frames,
          std::unique_ptr<FCImageTags>& tags) {
    FCImageHandle_Gdiplus handler;
    return handler.LoadFromMemory(bytes.data(), bytes.size(), frames, tags);
}

// Largest difference of any channel between two true-colour pictures of one size.
int MaxChannelDifference(const FCObjImage& a, const FCObjImage& b) {
    int worst = 0;
    for (int32_t y = 0; y < a.Height(); ++y) {
        for (int32_t x = 0; x < a.Width(); ++x) {
            const uint32_t p = a.PixelValue(x, y);
            const uint32_t q = b.PixelValue(x, y);
            for (int shift = 0; shift < 24; shift += 8) {
                worst = std::max(worst, std::abs(static_cast<int>((p >> shift) & 0xFF) -
                                                 static_cast<int>((q >> shift) & 0xFF)));
            }
        }
    }
    return worst;
}

// A smooth picture that JPEG keeps close.
FCObjImage Gradient(int32_t width, int32_t height) {
    FCObjImage image;
    image.CreateBlank(width, height, 24);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            uint8_t* p = image.PixelAddress(x, y);
            p[0] = static_cast<uint8_t>(x * 255 / width);
            p[1] = static_cast<uint8_t>(y * 255 / height);
            p[2] = 128;
        }
    }
    return image;
}

struct QualityCase {
    const char* name;
    const char* quality;  // tag 500, null when absent
    const char* recorded; // tag 20496, null when absent
    int expected;
};
void PrintTo(const QualityCase& c, std::ostream* os) {
    *os << c.name;
}
class JpegQualityTest : public ::testing::TestWithParam<QualityCase> {};
TEST_P(JpegQualityTest, FromTags) {
    FCImageTags tags;
    if (GetParam().quality != nullptr) {
        tags.SetValue(500, GetParam().quality);
    }
    if (GetParam().recorded != nullptr) {
        tags.SetValue(20496, GetParam().recorded);
    }
    EXPECT_EQ(JpegQualityFromTags(tags), GetParam().expected);
}
const QualityCase kQualityCases[] = {
    {"Default", "-1", nullptr, 80},
    {"Empty", "", nullptr, 80},
    {"Absent", nullptr, nullptr, 80},
    {"Above", "150", nullptr, 100},
    {"Zero", "0", nullptr, 1},
    {"Plain", "55", "90", 55},
    {"RecordedWhenAbsent", nullptr, "90", 90},
    {"RecordedWhenEmpty", "", "42", 42},
    {"RecordedDefault", nullptr, "-1", 80},
};
INSTANTIATE_TEST_SUITE_P(Tags, JpegQualityTest, ::testing::ValuesIn(kQualityCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(JpegTest, RoundTripQualityAndMetadata) {
    const FCObjImage image = Gradient(64, 48);
    FCImageTags tags;
    tags.SetValue(500, "95");
    tags.SetValue(271, "Maker Inc.");
    tags.SetValue(272, "Model 7");
    tags.SetValue(33434, "1/250");
    tags.SetValue(37380, "-1/3");
    tags.SetValue(34855, "400");
    tags.SetValue(37385, "16");
    tags.SetValue(36867, "2024:01:02 03:04:05");
    tags.SetValue(33437, "no slash"); // skipped: not a rational
    tags.SetValue(305, "not written back");
    std::vector<uint8_t> jpeg;
    ASSERT_TRUE(EncodeImage(Jpeg, image, tags, jpeg));
    std::vector<uint8_t> low;
    tags.SetValue(500, "10");
    ASSERT_TRUE(EncodeImage(Jpeg, image, tags, low));
    EXPECT_LT(low.size(), jpeg.size()) << "quality reaches the encoder";

    PCL_Interface_Composite frames;
    std::unique_ptr<FCImageTags> read;
    ASSERT_TRUE(Load(jpeg, frames, read));
    ASSERT_EQ(frames.FrameCount(), 1);
    const FCObjImage& back = *frames.GetFrame(0);
    ASSERT_EQ(back.ColorBits(), 24);
    EXPECT_LE(MaxChannelDifference(back, image), 8);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->GetValue(271), "Maker Inc.");
    EXPECT_EQ(read->GetValue(272), "Model 7");
    EXPECT_EQ(read->GetValue(33434), "1/250");
    EXPECT_EQ(read->GetValue(37380), "-1/3");
    EXPECT_EQ(read->GetValue(34855), "400");
    EXPECT_EQ(read->GetValue(37385), "16");
    EXPECT_EQ(read->GetValue(36867), "2024:01:02 03:04:05");
    EXPECT_FALSE(read->Has(33437));
    EXPECT_FALSE(read->Has(305));
    EXPECT_EQ(read->GetValue(20496), "95") << "the recorded quality";
}

TEST(JpegTest, GreyAndAlphaSources) {
    // 32-bit sources encode their colour; 8-bit grey JPEGs come back as grey-palette images.
    FCObjImage rgba = Gradient(16, 16);
    rgba.ConvertDepth(32);
    std::vector<uint8_t> jpeg;
    ASSERT_TRUE(EncodeImage(Jpeg, rgba, FCImageTags{}, jpeg));
    FCObjImage back;
    ASSERT_TRUE(back.LoadImage(jpeg.data(), jpeg.size(), Jpeg));
    EXPECT_EQ(back.ColorBits(), 24);
    FCObjImage indexed = Sample(16, 16, 8);
    ASSERT_TRUE(EncodeImage(Jpeg, indexed, FCImageTags{}, jpeg));
    ASSERT_TRUE(back.LoadImage(jpeg.data(), jpeg.size(), Jpeg));
    EXPECT_EQ(back.ColorBits(), 24);
}

TEST(JpegTest, TruncatedFileGivesPartPictureOrFalse) {
    const FCObjImage image = Gradient(64, 64);
    std::vector<uint8_t> jpeg;
    ASSERT_TRUE(EncodeImage(Jpeg, image, FCImageTags{}, jpeg));
    for (const size_t keep : {size_t{2}, size_t{20}, size_t{200}, jpeg.size() / 2}) {
        std::vector<uint8_t> cut(jpeg.begin(), jpeg.begin() + static_cast<long>(keep));
        FCObjImage target = Sample(1, 1, 24);
        if (target.LoadImage(cut.data(), cut.size(), Jpeg)) {
            EXPECT_EQ(target.Width(), 64) << keep;
        } else {
            EXPECT_EQ(target.Width(), 1) << keep;
        }
    }
}

struct PngCase {
    const char* name;
    int bits;
};
void PrintTo(const PngCase& c, std::ostream* os) {
    *os << c.name;
}
class PngRoundTripTest : public ::testing::TestWithParam<PngCase> {};
TEST_P(PngRoundTripTest, KeepsPixelsPaletteAndAlpha) {
    const FCObjImage image = Sample(7, 5, GetParam().bits);
    ScratchDir dir;
    ASSERT_TRUE(image.SaveImage(dir / "x.png"));
    const std::vector<uint8_t> png = FileBytes(dir / "x.png");
    EXPECT_EQ(std::memcmp(png.data(), "\x89PNG", 4), 0);
    FCObjImage back;
    ASSERT_TRUE(back.LoadImage(png.data(), png.size(), Png));
    if (GetParam().bits == 16) {
        FCObjImage expected = image;
        expected.ConvertDepth(24);
        EXPECT_TRUE(SamePixels(back, expected));
        return;
    }
    EXPECT_TRUE(SamePixels(back, image)) << "alpha 128 kept at 32 bits";
    if (image.ColorBits() <= 8) {
        for (int i = 0; i < image.PaletteSize(); ++i) {
            EXPECT_EQ(back.Palette()[i], image.Palette()[i]) << i;
        }
    }
}
const PngCase kPngCases[] = {{"Mono", 1},    {"Sixteen", 4}, {"Indexed", 8},
                             {"Rgb555", 16}, {"True24", 24}, {"True32", 32}};
INSTANTIATE_TEST_SUITE_P(Depths, PngRoundTripTest, ::testing::ValuesIn(kPngCases),
                         [](const auto& info) { return std::string(info.param.name); });

// An animated GIF written with giflib itself: three frames, each with a delay.
std::vector<uint8_t> AnimatedGif(const int delays[3]) {
    std::vector<uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(
        &out,
        [](GifFileType* g, const GifByteType* data, int n) {
            auto* v = static_cast<std::vector<uint8_t>*>(g->UserData);
            v->insert(v->end(), data, data + n);
            return n;
        },
        &error);
    GifColorType colours[4] = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    ColorMapObject* map = GifMakeMapObject(4, colours);
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, 4, 3, 8, 0, map);
    for (int frame = 0; frame < 3; ++frame) {
        const GifByteType control[4] = {0, static_cast<GifByteType>(delays[frame] & 0xFF),
                                        static_cast<GifByteType>(delays[frame] >> 8), 0};
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control);
        // Frame 1 covers only the middle two pixels of the middle row.
        const bool small = frame == 1;
        EGifPutImageDesc(gif, small ? 1 : 0, small ? 1 : 0, small ? 2 : 4, small ? 1 : 3, false,
                         nullptr);
        for (int y = 0; y < (small ? 1 : 3); ++y) {
            GifPixelType line[4];
            for (int x = 0; x < 4; ++x) {
                line[x] = static_cast<GifPixelType>(frame + 1);
            }
            EGifPutLine(gif, line, small ? 2 : 4);
        }
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

TEST(GifTest, AnimatedFramesAndDelays) {
    const int delays[3] = {10, 0, 250};
    const std::vector<uint8_t> gif = AnimatedGif(delays);
    PCL_Interface_Composite frames;
    std::unique_ptr<FCImageTags> tags;
    ASSERT_TRUE(Load(gif, frames, tags));
    ASSERT_EQ(frames.FrameCount(), 3);
    for (int i = 0; i < 3; ++i) {
        const FCObjImage& f = *frames.GetFrame(i);
        EXPECT_EQ(f.Width(), 4);
        EXPECT_EQ(f.Height(), 3);
        EXPECT_EQ(f.ColorBits(), 8);
    }
    EXPECT_EQ(frames.GetFrame(0)->PixelValue(3, 2), 1u);
    EXPECT_EQ(frames.GetFrame(1)->PixelValue(1, 1), 2u);
    EXPECT_EQ(frames.GetFrame(1)->PixelValue(0, 0), 0u) << "outside the frame: background";
    EXPECT_EQ(frames.GetFrame(2)->Palette()[3].rgbBlue, 255);
    ASSERT_NE(tags, nullptr);
    EXPECT_EQ(tags->GetValue(2000), "0000000000000100"
                                    "0000000000000000"
                                    "0000000000002500");

    FCObjImage first;
    ASSERT_TRUE(first.LoadImage(gif.data(), gif.size(), Gif));
    EXPECT_EQ(first.PixelValue(0, 0), 1u) << "LoadImage keeps the first frame";
}

TEST(GifTest, WritesIndexedAndQuantisedPictures) {
    const FCObjImage indexed = Sample(9, 4, 4);
    std::vector<uint8_t> gif;
    ASSERT_TRUE(EncodeImage(Gif, indexed, FCImageTags{}, gif));
    FCObjImage back;
    ASSERT_TRUE(back.LoadImage(gif.data(), gif.size(), Gif));
    ASSERT_EQ(back.ColorBits(), 8);
    for (int32_t y = 0; y < 4; ++y) {
        for (int32_t x = 0; x < 9; ++x) {
            const RGBQUAD a = back.Palette()[back.PixelValue(x, y)];
            const RGBQUAD b = indexed.Palette()[indexed.PixelValue(x, y)];
            EXPECT_EQ(a.rgbRed, b.rgbRed);
            EXPECT_EQ(a.rgbBlue, b.rgbBlue);
        }
    }
    // Few colours survive quantisation exactly.
    const FCObjImage rgb = Sample(5, 5, 24);
    ASSERT_TRUE(EncodeImage(Gif, rgb, FCImageTags{}, gif));
    ASSERT_TRUE(back.LoadImage(gif.data(), gif.size(), Gif));
    back.ConvertDepth(24);
    EXPECT_LE(MaxChannelDifference(back, rgb), 8);
}

// A two-page TIFF written with libtiff itself: an RGB page and an RGBA page of other sizes.
std::vector<uint8_t> TwoPageTiff(const std::string& path) {
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    for (int page = 0; page < 2; ++page) {
        const uint32_t width = page == 0 ? 3 : 5;
        const uint32_t height = 2;
        const int samples = page == 0 ? 3 : 4;
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        if (samples == 4) {
            const uint16_t extra[1] = {EXTRASAMPLE_UNASSALPHA};
            TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra);
        }
        if (page == 0) {
            TIFFSetField(tif, TIFFTAG_MAKE, "Scanner Co");
        }
        TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
        for (uint32_t y = 0; y < height; ++y) {
            std::vector<uint8_t> row(width * samples);
            for (uint32_t x = 0; x < width; ++x) {
                row[x * samples] = static_cast<uint8_t>(10 * x); // red
                row[x * samples + 1] = static_cast<uint8_t>(100 * y);
                row[x * samples + 2] = 7;
                if (samples == 4) {
                    row[x * samples + 3] = 99;
                }
            }
            TIFFWriteScanline(tif, row.data(), y, 0);
        }
        TIFFWriteDirectory(tif);
    }
    TIFFClose(tif);
    return FileBytes(path);
}

TEST(TiffTest, EveryPageInOrder) {
    ScratchDir dir;
    const std::vector<uint8_t> tiff = TwoPageTiff(dir / "pages.tif");
    PCL_Interface_Composite frames;
    std::unique_ptr<FCImageTags> tags;
    ASSERT_TRUE(Load(tiff, frames, tags));
    ASSERT_EQ(frames.FrameCount(), 2);
    const FCObjImage& first = *frames.GetFrame(0);
    const FCObjImage& second = *frames.GetFrame(1);
    EXPECT_EQ(first.Width(), 3);
    EXPECT_EQ(first.ColorBits(), 24);
    EXPECT_EQ(first.PixelValue(2, 1), 7u | (100u << 8) | (20u << 16));
    EXPECT_EQ(second.Width(), 5);
    EXPECT_EQ(second.ColorBits(), 32);
    EXPECT_EQ(second.PixelValue(4, 0) >> 24, 99u) << "alpha kept";
    EXPECT_EQ(second.PixelValue(4, 0) & 0xFFFFFF, 7u | (40u << 16));
    EXPECT_EQ(tags->GetValue(271), "Scanner Co");
}

// One page of 1, 4 or 8 bits with the given photometric interpretation.
std::vector<uint8_t> IndexedTiff(const std::string& path, int bits, uint16_t photometric) {
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 3);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 2);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric);
    std::vector<uint16_t> red(size_t{1} << bits), green(red.size()), blue(red.size());
    for (size_t i = 0; i < red.size(); ++i) {
        red[i] = static_cast<uint16_t>(i * 257);
        green[i] = 0xFFFF;
        blue[i] = 0x1100;
    }
    if (photometric == PHOTOMETRIC_PALETTE) {
        TIFFSetField(tif, TIFFTAG_COLORMAP, red.data(), green.data(), blue.data());
    }
    // Row 0: pixels 0, 1, 0 (bit/nibble/byte packed from the top); row 1: all 1.
    for (uint32_t y = 0; y < 2; ++y) {
        uint8_t row[3] = {0, 0, 0};
        for (int x = 0; x < 3; ++x) {
            const int value = y == 1 || x == 1 ? 1 : 0;
            const int per = 8 / bits;
            row[x / per] =
                static_cast<uint8_t>(row[x / per] | value << ((per - 1 - x % per) * bits));
        }
        TIFFWriteScanline(tif, row, y, 0);
    }
    TIFFClose(tif);
    return FileBytes(path);
}

TEST(TiffTest, IndexedPagesKeepTheirPalette) {
    ScratchDir dir;
    struct Case {
        int bits;
        uint16_t photometric;
        RGBQUAD entry1;
    };
    const Case cases[] = {
        {1, PHOTOMETRIC_MINISBLACK, {255, 255, 255, 0}},
        {1, PHOTOMETRIC_MINISWHITE, {0, 0, 0, 0}},
        {4, PHOTOMETRIC_MINISBLACK, {17, 17, 17, 0}},
        {8, PHOTOMETRIC_PALETTE, {0x11, 0xFF, 1, 0}},
        {4, PHOTOMETRIC_PALETTE, {0x11, 0xFF, 1, 0}},
    };
    for (const Case& c : cases) {
        const std::vector<uint8_t> tiff = IndexedTiff(dir / "i.tif", c.bits, c.photometric);
        FCObjImage image;
        ASSERT_TRUE(image.LoadImage(tiff.data(), tiff.size(), Tiff)) << c.bits;
        ASSERT_EQ(image.ColorBits(), c.bits);
        EXPECT_EQ(image.PixelValue(0, 0), 0u) << c.bits;
        EXPECT_EQ(image.PixelValue(1, 0), 1u) << c.bits;
        EXPECT_EQ(image.PixelValue(2, 1), 1u) << c.bits;
        EXPECT_EQ(image.Palette()[1], c.entry1) << c.bits << " " << c.photometric;
    }
}

TEST(TiffTest, RoundTripThroughOurWriter) {
    for (const int bits : {1, 4, 8, 16, 24, 32}) {
        const FCObjImage image = Sample(6, 3, bits);
        std::vector<uint8_t> tiff;
        FCImageTags tags;
        tags.SetValue(272, "Model X");
        tags.SetValue(33434, "1/250");
        tags.SetValue(37380, "-1/3");
        tags.SetValue(34855, "200");
        tags.SetValue(37385, "9");
        tags.SetValue(36867, "2020:02:02 10:00:00");
        ASSERT_TRUE(EncodeImage(Tiff, image, tags, tiff)) << bits;
        FCImageTags read;
        FCObjImage back;
        ASSERT_TRUE(back.LoadImage(tiff.data(), tiff.size(), Tiff, &read)) << bits;
        FCObjImage expected = image;
        if (bits == 16) {
            expected.ConvertDepth(24);
        }
        EXPECT_TRUE(SamePixels(back, expected)) << bits;
        if (bits <= 8) {
            EXPECT_EQ(back.Palette()[1], image.Palette()[1]) << bits;
        }
        EXPECT_EQ(read.GetValue(272), "Model X");
        EXPECT_EQ(read.GetValue(33434), "1/250");
        EXPECT_EQ(read.GetValue(37380), "-1/3");
        EXPECT_EQ(read.GetValue(34855), "200");
        EXPECT_EQ(read.GetValue(37385), "9");
        EXPECT_EQ(read.GetValue(36867), "2020:02:02 10:00:00");
    }
}

// A directory entry of an ICO file.
void AddIconEntry(std::vector<uint8_t>& ico, size_t index, uint32_t size, uint32_t offset) {
    uint8_t* e = ico.data() + 6 + index * 16;
    e[4] = 1;  // planes
    e[6] = 32; // bit count
    std::memcpy(e + 8, &size, 4);
    std::memcpy(e + 12, &offset, 4);
}

TEST(IcoTest, BmpAndPngEntriesAreFrames) {
    // Entry 0: a 4 × 2 24-bit DIB with its mask making pixel (0, 0) transparent.
    const FCObjImage colour = Sample(4, 2, 24);
    std::vector<uint8_t> dib = colour.ExportInfoHeader();
    dib.resize(40); // no masks after a 24-bit header
    const int32_t doubled = 4;
    std::memcpy(dib.data() + 8, &doubled, 4);
    dib.insert(dib.end(), colour.GetMemStart(), colour.GetMemStart() + colour.GetPixelBytes());
    const uint8_t mask[8] = {0x00, 0, 0, 0, 0x80, 0, 0, 0}; // bottom row, then top row
    dib.insert(dib.end(), mask, mask + sizeof(mask));
    // Entry 1: a PNG with alpha.
    const FCObjImage rgba = Sample(3, 3, 32);
    std::vector<uint8_t> png;
    ASSERT_TRUE(EncodeImage(Png, rgba, FCImageTags{}, png));

    std::vector<uint8_t> ico(6 + 2 * 16, 0);
    ico[2] = 1;
    ico[4] = 2;
    AddIconEntry(ico, 0, static_cast<uint32_t>(dib.size()), static_cast<uint32_t>(ico.size()));
    AddIconEntry(ico, 1, static_cast<uint32_t>(png.size()),
                 static_cast<uint32_t>(ico.size() + dib.size()));
    ico.insert(ico.end(), dib.begin(), dib.end());
    ico.insert(ico.end(), png.begin(), png.end());

    PCL_Interface_Composite frames;
    std::unique_ptr<FCImageTags> tags;
    ASSERT_TRUE(Load(ico, frames, tags));
    ASSERT_EQ(frames.FrameCount(), 2);
    const FCObjImage& bmpFrame = *frames.GetFrame(0);
    ASSERT_EQ(bmpFrame.ColorBits(), 32);
    EXPECT_EQ(bmpFrame.Height(), 2);
    EXPECT_EQ(bmpFrame.PixelValue(0, 0), colour.PixelValue(0, 0)) << "masked: alpha 0";
    EXPECT_EQ(bmpFrame.PixelValue(1, 0), colour.PixelValue(1, 0) | 0xFF000000u);
    EXPECT_TRUE(SamePixels(*frames.GetFrame(1), rgba));

    // A directory that points outside the file gives no frame for that entry.
    std::vector<uint8_t> broken = ico;
    AddIconEntry(broken, 0, 100, 0xFFFFFF00u);
    frames.Clear();
    ASSERT_TRUE(Load(broken, frames, tags));
    EXPECT_EQ(frames.FrameCount(), 1);

    FCObjImage image;
    EXPECT_TRUE(image.LoadImage(ico.data(), ico.size(), Ico));
    ScratchDir dir;
    EXPECT_FALSE(image.SaveImage(dir / "back.ico")) << "ICO is read-only";
}

TEST(CodecAdapterTest, MimeTypesAndFailures) {
    EXPECT_EQ(MimeTypeOf(Bmp), "image/bmp");
    EXPECT_EQ(MimeTypeOf(Jpeg), "image/jpeg");
    EXPECT_EQ(MimeTypeOf(Gif), "image/gif");
    EXPECT_EQ(MimeTypeOf(Tiff), "image/tiff");
    EXPECT_EQ(MimeTypeOf(Png), "image/png");
    for (const int type : {0, 2, 5, 8, 9, 10, 11}) {
        EXPECT_EQ(MimeTypeOf(type), "") << type;
    }
    FCImageHandle_Gdiplus handler;
    PCL_Interface_Composite frames;
    std::unique_ptr<FCImageTags> tags;
    const uint8_t junk[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    EXPECT_FALSE(handler.LoadFromMemory(junk, sizeof(junk), frames, tags));
    EXPECT_FALSE(handler.LoadFromMemory(junk, 0, frames, tags));
    EXPECT_FALSE(handler.LoadFromMemory(nullptr, 9, frames, tags));
    EXPECT_EQ(frames.FrameCount(), 0);
    EXPECT_EQ(tags, nullptr);
    ScratchDir dir;
    EXPECT_FALSE(handler.SaveToFile(dir / "x.png", ImageFrames{}, FCImageTags{}));
    const FCObjImage empty;
    EXPECT_FALSE(handler.SaveToFile(dir / "x.png", ImageFrames{&empty}, FCImageTags{}));
    // Every writable type through SaveImage and back through the adapter.
    const FCObjImage image = Sample(8, 8, 24);
    for (const char* name : {"a.bmp", "a.jpg", "a.gif", "a.tif", "a.png"}) {
        ASSERT_TRUE(image.SaveImage(dir / name)) << name;
        FCObjImage back;
        ASSERT_TRUE(back.LoadImageFile(dir / name)) << name;
        EXPECT_EQ(back.Width(), 8) << name;
    }
}

TEST(MetadataTest, TypingRules) {
    struct Case {
        const char* name;
        uint16_t type;
        std::vector<uint8_t> value;
        bool big;
        const char* text; // null: skipped
    };
    const Case cases[] = {
        {"AsciiStopsAtZero", 2, {'a', 'b', 0, 'c'}, false, "ab"},
        {"ShortLittle", 3, {0x34, 0x12}, false, "4660"},
        {"ShortBig", 3, {0x12, 0x34}, true, "4660"},
        {"TwoShortsSkipped", 3, {1, 0, 2, 0}, false, nullptr},
        {"Long", 4, {1, 0, 0, 0x80}, false, "2147483649"},
        {"Rational", 5, {1, 0, 0, 0, 250, 0, 0, 0}, false, "1/250"},
        {"SRational", 10, {0xFF, 0xFF, 0xFF, 0xFF, 3, 0, 0, 0}, false, "-1/3"},
        {"ShortRationalSkipped", 5, {1, 0, 0, 0}, false, nullptr},
        {"ByteSkipped", 1, {7}, false, nullptr},
    };
    for (const Case& c : cases) {
        FCImageTags tags;
        AddMetadataItem(tags, 42, c.type, c.value.data(), c.value.size(), c.big);
        if (c.text == nullptr) {
            EXPECT_FALSE(tags.Has(42)) << c.name;
        } else {
            EXPECT_EQ(tags.GetValue(42), c.text) << c.name;
        }
    }
    FCImageTags delays;
    AppendFrameDelay(delays, 10);
    AppendFrameDelay(delays, 7);
    EXPECT_EQ(delays.GetValue(2000), "00000000000001000000000000000070");
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(MetadataValueBytes(kTypeRational, "1/250", bytes));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{1, 0, 0, 0, 250, 0, 0, 0}));
    EXPECT_FALSE(MetadataValueBytes(kTypeRational, "250", bytes));
    ASSERT_TRUE(MetadataValueBytes(kTypeAscii, "ab", bytes));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{'a', 'b', 0}));
}

} // namespace
