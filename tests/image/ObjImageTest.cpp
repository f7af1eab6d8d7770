#include "image/ObjImage.h"
#include "image/DibBlocks.h"
#include "image/ImageDrawing.h"
#include "image/PclTemplates.h"

#include "ImageSamples.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>

namespace {

TEST(ObjImageTest, CreateKeepsLayoutInvariants) {
    FCObjImage image;
    ASSERT_TRUE(image.CreateBlank(5, 3, 24));
    EXPECT_EQ(image.GetPitch(), 16u) << "15 bytes padded to 4";
    EXPECT_EQ(image.LineAt(0), image.GetMemStart() + 2 * 16) << "top row is last in the block";
    EXPECT_EQ(image.LineAt(2), image.GetMemStart());
    EXPECT_EQ(image.LineAt(3), nullptr);
    EXPECT_EQ(image.PixelAddress(2, 1), image.LineAt(1) + 6);
    EXPECT_EQ(image.InfoHeader().biSize, 40u);
    EXPECT_EQ(image.InfoHeader().biPlanes, 1);
    for (size_t i = 0; i < image.GetPixelBytes(); ++i) {
        ASSERT_EQ(image.GetMemStart()[i], 0);
    }
    ASSERT_TRUE(image.CreateBlank(33, 2, 1));
    EXPECT_EQ(image.GetPitch(), 8u);
    ASSERT_TRUE(image.CreateBlank(3, 1, 16));
    EXPECT_EQ(image.GetPitch(), 8u);
    EXPECT_EQ(image.RedMask(), 0x7C00u);
    EXPECT_EQ(image.GreenMask(), 0x03E0u);
    EXPECT_EQ(image.BlueMask(), 0x001Fu);
}

TEST(ObjImageTest, CreateRefusesBadHeadersAndKeepsThePicture) {
    FCObjImage image = Sample(4, 4, 24);
    const FCObjImage before = image;
    struct Case {
        int32_t width, height;
        uint16_t bits;
        uint32_t compression;
    };
    const Case cases[] = {{0, 4, 24, 0}, {4, 0, 24, 0}, {4, -4, 24, 0}, {4, 4, 2, 0},
                          {4, 4, 24, 1}, {4, 4, 8, 2},  {-1, 4, 24, 0}, {1 << 30, 1 << 20, 32, 0}};
    for (const Case& c : cases) {
        BITMAPINFOHEADER h;
        h.biWidth = c.width;
        h.biHeight = c.height;
        h.biBitCount = c.bits;
        h.biCompression = c.compression;
        EXPECT_FALSE(image.Create(&h)) << c.width << "x" << c.height << "x" << c.bits;
    }
    EXPECT_FALSE(image.Create(nullptr));
    EXPECT_TRUE(SamePixels(image, before));

    BITMAPINFOHEADER h;
    h.biWidth = 2;
    h.biHeight = 2;
    h.biBitCount = 16;
    h.biCompression = BI_BITFIELDS;
    const uint32_t masks[3] = {0xF800, 0x07E0, 0x001F};
    ASSERT_TRUE(image.Create(&h, masks));
    EXPECT_EQ(image.GreenMask(), 0x07E0u);
    EXPECT_EQ(image.InfoHeader().biCompression, BI_BITFIELDS);
    h.biBitCount = 24;
    ASSERT_TRUE(image.Create(&h, masks));
    EXPECT_EQ(image.InfoHeader().biCompression, BI_RGB) << "bit fields only at 16 bits";
}

TEST(ObjImageTest, EmptyImageDoesNothing) {
    FCObjImage image;
    RGBQUAD q[2];
    EXPECT_FALSE(image.IsValid());
    EXPECT_EQ(image.PixelValue(0, 0), 0u);
    EXPECT_FALSE(image.GetPalette(0, 1, q));
    EXPECT_FALSE(image.SetPalette(0, 1, q));
    image.ConvertDepth(32);
    image.SetAllAlpha(1);
    image.SetGreyPalette();
    EXPECT_FALSE(image.IsValid());
    EXPECT_TRUE(image.ExportInfoHeader().empty());
    std::vector<uint8_t> buffer;
    EXPECT_EQ(image.Serialize(true, buffer), 0u);
    EXPECT_FALSE(image.SaveBmpToMemory(buffer));
    EXPECT_FALSE(image.SaveImage("/tmp/never-written.bmp"));
}

TEST(ObjImageTest, GreyPaletteSteps) {
    struct Case {
        int bits;
        int entries;
        int step;
    };
    for (const Case c : {Case{1, 2, 255}, Case{4, 16, 17}, Case{8, 256, 1}}) {
        FCObjImage image;
        ASSERT_TRUE(image.CreateBlank(1, 1, c.bits));
        ASSERT_EQ(image.PaletteSize(), c.entries);
        for (int i = 0; i < c.entries; ++i) {
            const auto v = static_cast<uint8_t>(i * c.step);
            EXPECT_EQ(image.Palette()[i], (RGBQUAD{v, v, v, 0})) << c.bits << " bits, entry " << i;
        }
    }
}

TEST(ObjImageTest, PaletteAccessSkipsEntriesPastTheEnd) {
    FCObjImage image;
    ASSERT_TRUE(image.CreateBlank(2, 2, 1));
    const RGBQUAD in[3] = {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 9, 9, 9}};
    EXPECT_TRUE(image.SetPalette(1, 3, in));
    RGBQUAD out[4] = {};
    EXPECT_TRUE(image.GetPalette(0, 4, out));
    EXPECT_EQ(out[0], (RGBQUAD{0, 0, 0, 0}));
    EXPECT_EQ(out[1], in[0]);
    EXPECT_EQ(out[2], (RGBQUAD{})) << "untouched: index 2 does not exist";
    EXPECT_FALSE(image.SetPalette(-1, 1, in));
    EXPECT_FALSE(image.GetPalette(0, 1, nullptr));
    FCObjImage rgb = Sample(1, 1, 24);
    EXPECT_FALSE(rgb.GetPalette(0, 1, out));
}

TEST(ObjImageTest, PixelValuesOfEachDepth) {
    FCObjImage one = Sample(10, 2, 1);
    EXPECT_EQ(one.PixelValue(0, 0), 0u);
    EXPECT_EQ(one.PixelValue(9, 0), 1u);
    EXPECT_EQ(one.PixelValue(9, 1), 0u);
    EXPECT_EQ(one.LineAt(0)[0], 0x55) << "pixel 0 in the top bit";
    FCObjImage four = Sample(3, 1, 4);
    EXPECT_EQ(four.LineAt(0)[0], 0x01);
    EXPECT_EQ(four.PixelValue(1, 0), 1u);
    EXPECT_EQ(four.PixelValue(2, 0), 2u);
    FCObjImage rgb = Sample(3, 3, 24);
    EXPECT_EQ(rgb.PixelValue(2, 1), 80u | (40u << 8) | (200u << 16));
    FCObjImage rgba = Sample(3, 3, 32);
    EXPECT_EQ(rgba.PixelValue(1, 2), 40u | (80u << 8) | (200u << 16) | (128u << 24));
    EXPECT_EQ(rgba.PixelValue(3, 0), 0u);
    EXPECT_EQ(rgba.PixelValue(0, -1), 0u);
}

struct DepthCase {
    const char* name;
    int bits;
    uint32_t masks[3];
    uint32_t word; // for 16 bits
    uint8_t blue, green, red;
};
void PrintTo(const DepthCase& c, std::ostream* os) {
    *os << c.name;
}

class ConvertDepthTest : public ::testing::TestWithParam<DepthCase> {};

TEST_P(ConvertDepthTest, ToTrueColour) {
    const DepthCase& c = GetParam();
    for (const int target : {24, 32}) {
        FCObjImage image;
        BITMAPINFOHEADER h;
        h.biWidth = 3;
        h.biHeight = 2;
        h.biBitCount = static_cast<uint16_t>(c.bits);
        h.biCompression = c.bits == 16 ? BI_BITFIELDS : BI_RGB;
        ASSERT_TRUE(image.Create(&h, c.masks));
        image.x = 7;
        if (c.bits <= 8) {
            const RGBQUAD entry{c.blue, c.green, c.red, 0};
            image.SetPalette(1, 1, &entry);
            const int shift = 8 - c.bits; // pixel (0, 1) = index 1
            image.LineAt(1)[0] = static_cast<uint8_t>(1 << shift);
        } else if (c.bits == 16) {
            const auto w = static_cast<uint16_t>(c.word);
            std::memcpy(image.LineAt(1), &w, 2);
        } else {
            uint8_t* p = image.LineAt(1);
            p[0] = c.blue;
            p[1] = c.green;
            p[2] = c.red;
        }
        image.ConvertDepth(target);
        ASSERT_EQ(image.ColorBits(), target);
        EXPECT_EQ(image.x, 7);
        const uint8_t* p = image.LineAt(1);
        EXPECT_EQ(p[0], c.blue);
        EXPECT_EQ(p[1], c.green);
        EXPECT_EQ(p[2], c.red);
        if (target == 32 && c.bits != 32) {
            EXPECT_EQ(p[3], 255);
            EXPECT_EQ(image.LineAt(0)[3], 255);
        }
    }
}

const DepthCase kDepthCases[] = {
    {"Palette1", 1, {}, 0, 10, 20, 30},
    {"Palette4", 4, {}, 0, 11, 21, 31},
    {"Palette8", 8, {}, 0, 12, 22, 32},
    // v = 0b0 11111 10000 00001: red 0xF8, green 0x80, blue 0x08
    {"Rgb555", 16, {0x7C00, 0x03E0, 0x001F}, 0x7E01, 0x08, 0x80, 0xF8},
    // v = 0b11111 100000 00001: red 0xF8, green 0x80, blue 0x08
    {"Rgb565", 16, {0xF800, 0x07E0, 0x001F}, 0xFC01, 0x08, 0x80, 0xF8},
    // 4-4-4 in the low bits: each channel's four bits land in the top of the byte
    {"Rgb444", 16, {0x0F00, 0x00F0, 0x000F}, 0x0A5F, 0xF0, 0x50, 0xA0},
    {"True24", 24, {}, 0, 1, 2, 3},
    {"True32", 32, {}, 0, 4, 5, 6},
};
INSTANTIATE_TEST_SUITE_P(Depths, ConvertDepthTest, ::testing::ValuesIn(kDepthCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ObjImageTest, ConvertDepthIgnoresOtherTargets) {
    FCObjImage image = Sample(2, 2, 8);
    image.ConvertDepth(16);
    image.ConvertDepth(8);
    EXPECT_EQ(image.ColorBits(), 8);
    FCObjImage rgba = Sample(2, 2, 32);
    rgba.ConvertDepth(32);
    EXPECT_EQ(rgba.PixelValue(0, 0) >> 24, 128u) << "same depth: alpha untouched";
}

TEST(ObjImageTest, CopyIsDeepAndCarriesMasksAndPosition) {
    FCObjImage source;
    BITMAPINFOHEADER h;
    h.biWidth = 3;
    h.biHeight = 2;
    h.biBitCount = 16;
    h.biCompression = BI_BITFIELDS;
    const uint32_t masks[3] = {0xF800, 0x07E0, 0x001F};
    ASSERT_TRUE(source.Create(&h, masks));
    source.LineAt(0)[0] = 0x42;
    source.x = 3;
    source.y = -4;
    FCObjImage copy(source);
    EXPECT_EQ(copy.GreenMask(), 0x07E0u);
    EXPECT_EQ(copy.x, 3);
    EXPECT_EQ(copy.y, -4);
    EXPECT_TRUE(SamePixels(copy, source));
    copy.LineAt(0)[0] = 0;
    EXPECT_EQ(source.LineAt(0)[0], 0x42);

    FCObjImage indexed = Sample(4, 4, 4);
    FCObjImage other;
    other.CopyFrom(indexed);
    EXPECT_EQ(std::memcmp(other.Palette(), indexed.Palette(), 16 * sizeof(RGBQUAD)), 0);
    other.CopyFrom(FCObjImage{});
    EXPECT_TRUE(other.IsValid()) << "copying an empty picture does nothing";
}

TEST(ObjImageTest, ExportInfoHeaderHoldsPaletteOrMasks) {
    struct Case {
        int bits;
        size_t size;
    };
    for (const Case c :
         {Case{1, 48}, Case{4, 104}, Case{8, 1064}, Case{16, 52}, Case{24, 52}, Case{32, 52}}) {
        const FCObjImage image = Sample(3, 2, c.bits);
        const std::vector<uint8_t> block = image.ExportInfoHeader();
        ASSERT_EQ(block.size(), c.size) << c.bits;
        EXPECT_EQ(ReadLe32(block, 0), 40u);
        EXPECT_EQ(ReadLe32(block, 4), 3u);
        EXPECT_EQ(ReadLe16(block, 14), c.bits);
    }
}

TEST(ObjImageTest, SerializeRoundTrip) {
    FCObjImage image = Sample(2, 2, 24);
    image.x = 12;
    image.y = -9;
    std::vector<uint8_t> block;
    ASSERT_EQ(image.Serialize(true, block), 76u) << "60 + two rows of 8 bytes";
    EXPECT_EQ(ReadLe32(block, 40), 0u) << "24-bit images hold no masks";
    FCObjImage back;
    ASSERT_EQ(back.Serialize(false, block), 76u);
    EXPECT_TRUE(SamePixels(back, image));
    EXPECT_EQ(back.x, 12);
    EXPECT_EQ(back.y, -9);

    FCObjImage indexed = Sample(3, 3, 8);
    ASSERT_EQ(indexed.Serialize(true, block), 60u + 12);
    ASSERT_EQ(back.Serialize(false, block), 72u);
    EXPECT_TRUE(SamePixels(back, indexed));
    EXPECT_EQ(back.Palette()[5], (RGBQUAD{5, 5, 5, 0})) << "palette is not stored: grey";

    block.resize(71);
    const FCObjImage kept = back;
    EXPECT_EQ(back.Serialize(false, block), 0u) << "short block";
    EXPECT_TRUE(SamePixels(back, kept));
}

TEST(ObjImageTest, PackedDibLoads) {
    const FCObjImage source = Sample(5, 3, 8);
    std::vector<uint8_t> dib = source.ExportInfoHeader();
    dib.insert(dib.end(), source.GetMemStart(), source.GetMemStart() + source.GetPixelBytes());
    FCObjImage image;
    ASSERT_TRUE(image.LoadPackedDib(dib.data(), dib.size()));
    EXPECT_TRUE(SamePixels(image, source));
    EXPECT_EQ(image.Palette()[3], source.Palette()[3]);

    dib.resize(40 + 1024 + 3); // most pixels missing: they stay zero
    ASSERT_TRUE(image.LoadPackedDib(dib.data(), dib.size()));
    EXPECT_EQ(image.PixelValue(0, 2), source.PixelValue(0, 2));
    EXPECT_EQ(image.PixelValue(4, 0), 0u);
    EXPECT_FALSE(image.LoadPackedDib(dib.data(), 39));
    EXPECT_FALSE(image.LoadPackedDib(nullptr, 100));
}

TEST(ObjImageTest, ClipboardBlockAndPaste) {
    const FCObjImage rgb = Sample(3, 2, 24);
    const std::vector<uint8_t> block = MakeClipboardDib(rgb);
    ASSERT_EQ(block.size(), 40u + rgb.GetPixelBytes()) << "header, then pixels directly";
    EXPECT_TRUE(MakeClipboardDib(Sample(3, 2, 8)).empty());
    EXPECT_TRUE(MakeClipboardDib(FCObjImage{}).empty());

    FCObjImage pasted;
    ASSERT_TRUE(ImageFromClipboardDib(block.data(), block.size(), pasted));
    ASSERT_EQ(pasted.ColorBits(), 32);
    for (int32_t y = 0; y < 2; ++y) {
        for (int32_t x = 0; x < 3; ++x) {
            EXPECT_EQ(pasted.PixelValue(x, y), rgb.PixelValue(x, y) | 0xFF000000u);
        }
    }

    // A bit-field 32-bit DIB (header, three masks, pixels) gets opaque alpha.
    FCObjImage rgba = Sample(2, 2, 32);
    std::vector<uint8_t> fields = MakeClipboardDib(rgba);
    fields[16] = BI_BITFIELDS;
    const uint32_t masks[3] = {0xFF0000, 0xFF00, 0xFF};
    fields.insert(fields.begin() + 40, reinterpret_cast<const uint8_t*>(masks),
                  reinterpret_cast<const uint8_t*>(masks) + 12);
    ASSERT_TRUE(ImageFromClipboardDib(fields.data(), fields.size(), pasted));
    EXPECT_EQ(pasted.PixelValue(1, 1), (rgba.PixelValue(1, 1) & 0xFFFFFF) | 0xFF000000u);

    // An 8-bit DIB with its colour table comes out converted through the palette.
    const FCObjImage indexed = Sample(2, 2, 8);
    std::vector<uint8_t> dib = indexed.ExportInfoHeader();
    dib.insert(dib.end(), indexed.GetMemStart(), indexed.GetMemStart() + indexed.GetPixelBytes());
    ASSERT_TRUE(ImageFromClipboardDib(dib.data(), dib.size(), pasted));
    const RGBQUAD q = indexed.Palette()[indexed.PixelValue(1, 0)];
    EXPECT_EQ(pasted.PixelValue(1, 0),
              q.rgbBlue | (q.rgbGreen << 8) | (q.rgbRed << 16) | 0xFF000000u);

    const FCObjImage kept = pasted;
    EXPECT_FALSE(ImageFromClipboardDib(block.data(), 30, pasted));
    EXPECT_TRUE(SamePixels(pasted, kept));
}

struct FitCase {
    const char* name;
    int32_t width, height;
    ImageRect area;
    ImageRect expected;
};
void PrintTo(const FitCase& c, std::ostream* os) {
    *os << c.name;
}
class FittedRectTest : public ::testing::TestWithParam<FitCase> {};
TEST_P(FittedRectTest, ScalesDownAndCentres) {
    EXPECT_EQ(FittedRect(GetParam().width, GetParam().height, GetParam().area),
              GetParam().expected);
}
const FitCase kFitCases[] = {
    {"WideStripCentredVertically", 1000, 10, {0, 0, 100, 100}, {0, 49, 100, 50}},
    {"SmallStaysAndCentres", 50, 50, {0, 0, 100, 100}, {25, 25, 75, 75}},
    {"NeverEnlarged", 10, 20, {10, 20, 110, 220}, {55, 110, 65, 130}},
    {"TallScaledByHeight", 200, 400, {0, 0, 100, 100}, {25, 0, 75, 100}},
    {"AtLeastOnePixel", 100000, 1, {0, 0, 10, 10}, {0, 4, 10, 5}},
    {"ExactFit", 100, 100, {5, 5, 105, 105}, {5, 5, 105, 105}},
};
INSTANTIATE_TEST_SUITE_P(Areas, FittedRectTest, ::testing::ValuesIn(kFitCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DrawGeometryTest, SourceOriginIsBottomUp) {
    const FCObjImage image = Sample(40, 30, 24);
    const DrawGeometry g = DrawRects(image, {0, 0, 80, 60}, {10, 5, 30, 25});
    EXPECT_EQ(g.bottomUpX, 10);
    EXPECT_EQ(g.bottomUpY, 5) << "30 - bottom 25";
    EXPECT_EQ(g.source, (ImageRect{10, 5, 30, 25}));
    const DrawGeometry whole = DrawRects(image, {1, 2, 3, 4});
    EXPECT_EQ(whole.source, (ImageRect{0, 0, 40, 30}));
    EXPECT_EQ(whole.bottomUpY, 0);
}

TEST(ZoomScaleTest, StepsSkipTheSecondHundredPercent) {
    struct Step {
        int32_t from;
        bool in;
        int32_t to;
    };
    const Step steps[] = {{1, false, -2}, {-2, true, -1},    {-1, true, 2},     {1, true, 2},
                          {16, true, 16}, {-16, false, -16}, {-15, false, -16}, {15, true, 16},
                          {2, false, 1},  {-1, false, -2},   {0, true, 1}};
    for (const Step& s : steps) {
        PCL_Interface_ZoomScale zoom;
        zoom.SetScale(s.from);
        s.in ? zoom.ZoomIn() : zoom.ZoomOut();
        EXPECT_EQ(zoom.GetScale(), s.to) << s.from << (s.in ? " in" : " out");
    }
    PCL_Interface_ZoomScale zoom;
    zoom.SetScale(-7);
    zoom.ActualSize();
    EXPECT_EQ(zoom.GetScale(), 1);
}

TEST(ZoomScaleTest, ScaleRectMapsCoordinates) {
    PCL_Interface_ZoomScale zoom;
    const ImageRect r{-7, 3, 10, 21};
    for (const int32_t s : {-1, 0, 1}) {
        zoom.SetScale(s);
        EXPECT_EQ(zoom.ScaleRect(r), r);
    }
    zoom.SetScale(3);
    EXPECT_EQ(zoom.ScaleRect(r), (ImageRect{-21, 9, 30, 63}));
    zoom.SetScale(-2);
    EXPECT_EQ(zoom.ScaleRect(r), (ImageRect{-3, 1, 5, 10})) << "truncated toward zero";
}

TEST(PclArrayTest, CountRules) {
    PCL_array<RGBQUAD> none(0);
    EXPECT_EQ(none.GetArrayCount(), -1);
    EXPECT_EQ(none.get(), nullptr);
    PCL_array<uint8_t> negative(-3);
    EXPECT_EQ(negative.GetArrayCount(), -1);
    PCL_array<BITMAPINFOHEADER> some(3);
    EXPECT_EQ(some.GetArrayCount(), 3);
    EXPECT_NE(some.get(), nullptr);
}

TEST(ImageTagsTest, SetReplacesAndKeepsOrder) {
    FCImageTags tags;
    EXPECT_EQ(tags.GetValue(500), "");
    tags.SetValue(500, "80");
    tags.SetValue(271, "Maker");
    tags.SetValue(500, "-1");
    ASSERT_EQ(tags.Entries().size(), 2u);
    EXPECT_EQ(tags.Entries()[0].first, 500);
    EXPECT_EQ(tags.GetValue(500), "-1");
    tags.AppendValue(2000, "a");
    tags.AppendValue(2000, "b");
    EXPECT_EQ(tags.GetValue(2000), "ab");
}

} // namespace
