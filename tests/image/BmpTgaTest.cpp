#include "image/ImageFactory.h"
#include "image/ImageHandle.h"
#include "image/ObjImage.h"

#include "ImageSamples.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>

namespace {

std::vector<uint8_t> FileBytes(const std::string& path) {
    const std::string s = ReadFileBytes(path);
    return std::vector<uint8_t>(s.begin(), s.end());
}

struct BmpCase {
    const char* name;
    int bits;
    uint32_t green; // 16 bits: the green mask picks 5-5-5 or 5-6-5
    uint32_t offset;
    uint32_t compression;
};
void PrintTo(const BmpCase& c, std::ostream* os) {
    *os << c.name;
}
class BmpWriterTest : public ::testing::TestWithParam<BmpCase> {};

TEST_P(BmpWriterTest, OffsetsCompressionAndRoundTrip) {
    const BmpCase& c = GetParam();
    FCObjImage image = Sample(5, 3, c.bits);
    if (c.bits == 16 && c.green == 0x07E0) {
        BITMAPINFOHEADER h = image.InfoHeader();
        h.biCompression = BI_BITFIELDS;
        const uint32_t masks[3] = {0xF800, 0x07E0, 0x001F};
        FCObjImage fields;
        ASSERT_TRUE(fields.Create(&h, masks));
        std::memcpy(fields.GetMemStart(), image.GetMemStart(), image.GetPixelBytes());
        image = fields;
    }
    std::vector<uint8_t> bmp;
    ASSERT_TRUE(image.SaveBmpToMemory(bmp));
    ASSERT_EQ(bmp.size(), c.offset + image.GetPixelBytes());
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    EXPECT_EQ(ReadLe32(bmp, 2), bmp.size());
    EXPECT_EQ(ReadLe32(bmp, 6), 0u);
    EXPECT_EQ(ReadLe32(bmp, 10), c.offset);
    EXPECT_EQ(ReadLe32(bmp, 14), 40u);
    EXPECT_EQ(ReadLe16(bmp, 28), c.bits);
    EXPECT_EQ(ReadLe32(bmp, 30), c.compression);
    EXPECT_EQ(ReadLe32(bmp, 34), 0u) << "image size field";
    if (c.compression == BI_BITFIELDS) {
        EXPECT_EQ(ReadLe32(bmp, 58), 0x07E0u);
    }
    EXPECT_EQ(std::memcmp(bmp.data() + c.offset, image.GetMemStart(), image.GetPixelBytes()), 0);

    FCObjImage back;
    ASSERT_TRUE(back.LoadImage(bmp.data(), bmp.size(), Bmp));
    EXPECT_TRUE(SamePixels(back, image));
    EXPECT_EQ(back.GreenMask(), image.GreenMask());
    if (c.bits <= 8) {
        EXPECT_EQ(std::memcmp(back.Palette(), image.Palette(),
                              static_cast<size_t>(image.PaletteSize()) * 4),
                  0);
    }

    ScratchDir dir;
    const std::string path = dir / "picture.BMP";
    ASSERT_TRUE(image.SaveImage(path));
    EXPECT_EQ(FileBytes(path), bmp);
}

const BmpCase kBmpCases[] = {
    {"Mono", 1, 0, 54 + 8, 0},     {"Sixteen", 4, 0, 54 + 64, 0}, {"Indexed", 8, 0, 54 + 1024, 0},
    {"Rgb555", 16, 0x03E0, 54, 0}, {"Rgb565", 16, 0x07E0, 66, 3}, {"True24", 24, 0, 54, 0},
    {"True32", 32, 0, 54, 0},
};
INSTANTIATE_TEST_SUITE_P(Depths, BmpWriterTest, ::testing::ValuesIn(kBmpCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BmpReaderTest, RefusesMalformedFiles) {
    std::vector<uint8_t> good;
    ASSERT_TRUE(Sample(4, 4, 24).SaveBmpToMemory(good));
    struct Case {
        const char* name;
        size_t at;
        uint8_t value;
        size_t length;
    };
    const Case cases[] = {
        {"NotBM", 0, 'X', 0},     {"FourteenBytes", 0, 'B', 14}, {"OffsetAtEnd", 10, 102, 0},
        {"RunLength8", 30, 1, 0}, {"RunLength4", 30, 2, 0},      {"TopDown", 25, 0xFF, 0},
        {"TwoBits", 28, 2, 0},    {"ZeroWidth", 18, 0, 0},       {"HeaderCut", 0, 'B', 30},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = good;
        bytes[c.at] = c.value;
        if (c.length != 0) {
            bytes.resize(c.length);
        }
        if (std::string(c.name) == "TopDown") {
            bytes[22] = 0xFC; // height -4
            bytes[23] = bytes[24] = 0xFF;
        }
        FCObjImage image = Sample(1, 1, 24);
        EXPECT_FALSE(image.LoadImage(bytes.data(), bytes.size(), Bmp)) << c.name;
        EXPECT_EQ(image.Width(), 1) << c.name << ": picture unchanged";
    }
    FCObjImage image;
    EXPECT_FALSE(image.LoadImage(nullptr, 100, Bmp));
}

TEST(BmpReaderTest, ShortFileLeavesMissingPixelsZero) {
    const FCObjImage source = Sample(4, 4, 24);
    std::vector<uint8_t> bmp;
    ASSERT_TRUE(source.SaveBmpToMemory(bmp));
    bmp.resize(54 + 12 + 7); // the bottom row, two pixels and a byte of the next
    FCObjImage image;
    ASSERT_TRUE(image.LoadImage(bmp.data(), bmp.size(), Bmp));
    EXPECT_EQ(image.PixelValue(3, 3), source.PixelValue(3, 3));
    EXPECT_EQ(image.PixelValue(1, 2), source.PixelValue(1, 2));
    EXPECT_EQ(image.PixelValue(2, 2), source.PixelValue(2, 2) & 0xFF);
    EXPECT_EQ(image.PixelValue(3, 0), 0u);
}

TEST(BmpReaderTest, PaletteFollowsTheHeaderSizeAndStaysInside) {
    const FCObjImage source = Sample(4, 2, 8);
    std::vector<uint8_t> bmp;
    ASSERT_TRUE(source.SaveBmpToMemory(bmp));
    // A forged header size points the colour table past the end: it is just not read.
    bmp[14] = 0xF0;
    bmp[15] = 0xFF;
    FCObjImage image;
    ASSERT_TRUE(image.LoadImage(bmp.data(), bmp.size(), Bmp));
    EXPECT_EQ(image.Palette()[3], (RGBQUAD{3, 3, 3, 0}));
    EXPECT_TRUE(SamePixels(image, source));
}

// ---- TGA ----

std::vector<uint8_t> TgaHeader(uint8_t mapType, uint8_t imageType, uint16_t width, uint16_t height,
                               uint8_t depth, uint8_t descriptor) {
    std::vector<uint8_t> h(18, 0);
    h[1] = mapType;
    h[2] = imageType;
    h[12] = static_cast<uint8_t>(width);
    h[13] = static_cast<uint8_t>(width >> 8);
    h[14] = static_cast<uint8_t>(height);
    h[15] = static_cast<uint8_t>(height >> 8);
    h[16] = depth;
    h[17] = descriptor;
    return h;
}

TEST(TgaWriterTest, HeaderAndRowsTopFirst) {
    const FCObjImage image = Sample(3, 2, 24);
    ScratchDir dir;
    const std::string path = dir / "out.tga";
    ASSERT_TRUE(image.SaveImage(path));
    const std::vector<uint8_t> tga = FileBytes(path);
    ASSERT_EQ(tga.size(), 18u + 12 + 2 * 9);
    const uint8_t header[18] = {12, 0, 2, 0, 0, 0, 1, 24, 0, 0, 0, 0, 3, 0, 2, 0, 24, 0x20};
    EXPECT_EQ(std::memcmp(tga.data(), header, 18), 0);
    EXPECT_EQ(std::string(tga.begin() + 18, tga.begin() + 30), "Quorv -- TGA");
    EXPECT_EQ(std::memcmp(tga.data() + 30, image.LineAt(0), 9), 0) << "top row first";
    EXPECT_EQ(std::memcmp(tga.data() + 39, image.LineAt(1), 9), 0);

    FCImageTags tags;
    FCObjImage back;
    ASSERT_TRUE(back.LoadImage(tga.data(), tga.size(), Tga, &tags));
    EXPECT_TRUE(SamePixels(back, image));
    EXPECT_EQ(tags.GetValue(1000), "-1");
}

TEST(TgaWriterTest, IndexedWithColourMapAndRefusedDepths) {
    const FCObjImage image = Sample(4, 3, 8);
    ScratchDir dir;
    const std::string path = dir / "indexed.tga";
    ASSERT_TRUE(image.SaveImage(path));
    const std::vector<uint8_t> tga = FileBytes(path);
    ASSERT_EQ(tga.size(), 18u + 12 + 768 + 12);
    EXPECT_EQ(tga[1], 1);
    EXPECT_EQ(tga[2], 1);
    EXPECT_EQ(tga[30 + 3 * 5], image.Palette()[5].rgbBlue);
    EXPECT_EQ(tga[30 + 3 * 5 + 2], image.Palette()[5].rgbRed);
    FCObjImage back;
    ASSERT_TRUE(back.LoadImage(tga.data(), tga.size(), Tga));
    EXPECT_TRUE(SamePixels(back, image));
    EXPECT_EQ(back.Palette()[7], (RGBQUAD{image.Palette()[7].rgbBlue, image.Palette()[7].rgbGreen,
                                          image.Palette()[7].rgbRed, 0}));

    for (const int bits : {1, 4}) {
        EXPECT_FALSE(Sample(2, 2, bits).SaveImage(dir / "low.tga")) << bits;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "low.tga"));
}

TEST(TgaReaderTest, FifteenBitsBottomUpAndRunLength) {
    // 15-bit, bottom-left origin: the last stored row is the top row.
    std::vector<uint8_t> tga = TgaHeader(0, 2, 2, 2, 15, 0);
    const uint8_t rows[] = {0x1F, 0x00, 0x00, 0x7C, 0xE0, 0x03, 0xFF, 0x7F};
    tga.insert(tga.end(), rows, rows + sizeof(rows));
    FCObjImage image;
    ASSERT_TRUE(image.LoadImage(tga.data(), tga.size(), Tga));
    ASSERT_EQ(image.ColorBits(), 16);
    EXPECT_EQ(image.GreenMask(), 0x03E0u) << "read as 5-5-5";
    EXPECT_EQ(image.PixelValue(0, 1), 0x001Fu);
    EXPECT_EQ(image.PixelValue(1, 1), 0x7C00u);
    EXPECT_EQ(image.PixelValue(0, 0), 0x03E0u);

    // Run-length encoded 24 bits, top-left origin: a run packet and a raw packet per row;
    // the second row's run spills past the row and is cut there.
    std::vector<uint8_t> rle = TgaHeader(0, 10, 3, 2, 24, 0x20);
    const uint8_t packets[] = {0x81, 1,    2,    3,   0x00, 4, 5, 6, // row 0: 2 × (1,2,3), (4,5,6)
                               0x83, 9,    8,    7,                  // row 1: run of 4 → 3 used
                               0x00, 0xAA, 0xBB, 0xCC};
    rle.insert(rle.end(), packets, packets + sizeof(packets));
    FCImageTags tags;
    ASSERT_TRUE(image.LoadImage(rle.data(), rle.size(), Tga, &tags));
    EXPECT_EQ(tags.GetValue(1000), "1");
    EXPECT_EQ(image.PixelValue(0, 0), 0x030201u);
    EXPECT_EQ(image.PixelValue(1, 0), 0x030201u);
    EXPECT_EQ(image.PixelValue(2, 0), 0x060504u);
    EXPECT_EQ(image.PixelValue(2, 1), 0x070809u);
}

TEST(TgaReaderTest, RefusesMalformedHeadersAndSurvivesShortData) {
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    std::vector<uint8_t> map16 = TgaHeader(1, 1, 2, 2, 8, 0);
    map16[7] = 16;
    std::vector<uint8_t> mapTooLong = TgaHeader(1, 1, 2, 2, 8, 0);
    mapTooLong[3] = 200; // first index 200 + 100 entries
    mapTooLong[5] = 100;
    mapTooLong[7] = 24;
    const Case cases[] = {
        {"HeaderOnly", TgaHeader(0, 2, 2, 2, 24, 0)},
        {"SixteenBitMapEntries", map16},
        {"MapPast256", mapTooLong},
        {"DepthTwelve", TgaHeader(0, 2, 2, 2, 12, 0)},
        {"ZeroWidth", TgaHeader(0, 2, 0, 2, 24, 0)},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = c.bytes;
        if (std::string(c.name) != "HeaderOnly") {
            bytes.resize(bytes.size() + 2000, 0);
        }
        FCObjImage image;
        EXPECT_FALSE(image.LoadImage(bytes.data(), bytes.size(), Tga)) << c.name;
    }
    // Rows cut short and a run-length packet cut in the middle give a partly filled picture.
    std::vector<uint8_t> cut = TgaHeader(0, 10, 4, 4, 32, 0x20);
    cut.push_back(0x83);
    cut.push_back(1);
    FCObjImage image;
    ASSERT_TRUE(image.LoadImage(cut.data(), cut.size(), Tga));
    EXPECT_EQ(image.PixelValue(0, 0), 0u);
}

TEST(FactoryTest, HandlersByType) {
    const FCImageHandleFactory& factory = GetImageFactory();
    EXPECT_EQ(&factory, &GetImageFactory());
    EXPECT_EQ(factory.TypeFromPath("x.TIFF"), Tiff);
    EXPECT_EQ(factory.TypeFromPath(nullptr), Unrecognised);
    for (const int type : {1, 5, 3, 4, 6, 7, 9}) {
        EXPECT_NE(factory.CreateHandler(type), nullptr) << type;
    }
    for (const int type : {0, 2, 8, 10, 11, 12, -1}) {
        EXPECT_EQ(factory.CreateHandler(type), nullptr) << type;
    }
    ScratchDir dir;
    const FCObjImage image = Sample(2, 2, 24);
    for (const char* name : {"a.ico", "a.pcx", "a.psd", "a.xpm", "a.qrv", "noext"}) {
        EXPECT_FALSE(image.SaveImage(dir / name)) << name;
        EXPECT_FALSE(std::filesystem::exists(dir / name)) << name;
    }
    FCObjImage target;
    const uint8_t bytes[] = {1, 2, 3};
    EXPECT_FALSE(target.LoadImage(bytes, sizeof(bytes), Pcx));
}

TEST(FactoryTest, LoadFromFileReadsWholeFile) {
    ScratchDir dir;
    const FCObjImage image = Sample(6, 4, 32);
    ASSERT_TRUE(image.SaveImage(dir / "x.bmp"));
    FCImageHandle_Bmp bmp;
    PCL_Interface_Composite frames;
    std::unique_ptr<FCImageTags> tags;
    ASSERT_TRUE(bmp.LoadFromFile(dir / "x.bmp", frames, tags));
    ASSERT_EQ(frames.FrameCount(), 1);
    EXPECT_TRUE(SamePixels(*frames.GetFrame(0), image));
    EXPECT_EQ(tags, nullptr) << "BMP produces no tags";
    EXPECT_FALSE(bmp.LoadFromFile(dir / "missing.bmp", frames, tags));
    EXPECT_EQ(frames.FrameCount(), 1);
}

} // namespace
