// The in-memory picture: a device-independent bitmap of 1, 4, 8, 16, 24 or 32 bits per pixel,
// kept bottom-up like a Windows DIB, with a table of row pointers (row 0 is the top row).
#pragma once

#include "image/ImageTags.h"
#include "image/ImageType.h"

#include <bit>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

static_assert(std::endian::native == std::endian::little,
              "the bitmap structures are read and written in host order");

struct BITMAPINFOHEADER {
    uint32_t biSize = 0;
    int32_t biWidth = 0;
    int32_t biHeight = 0;
    uint16_t biPlanes = 0;
    uint16_t biBitCount = 0;
    uint32_t biCompression = 0;
    uint32_t biSizeImage = 0;
    int32_t biXPelsPerMeter = 0;
    int32_t biYPelsPerMeter = 0;
    uint32_t biClrUsed = 0;
    uint32_t biClrImportant = 0;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct RGBQUAD {
    uint8_t rgbBlue = 0;
    uint8_t rgbGreen = 0;
    uint8_t rgbRed = 0;
    uint8_t rgbReserved = 0;
    bool operator==(const RGBQUAD&) const = default;
};
static_assert(sizeof(RGBQUAD) == 4);

inline constexpr uint32_t BI_RGB = 0;
inline constexpr uint32_t BI_BITFIELDS = 3;

class FCObject {
public:
    virtual ~FCObject() = default;
    // Writes the object into `buffer` (replacing its contents) or reads it from the start of
    // `buffer`; returns the number of bytes written or read, 0 on failure.
    virtual size_t Serialize(bool save, std::vector<uint8_t>& buffer) { return 0; }
};

class FCObjGraph : public FCObject {
public:
    int32_t x = 0;
    int32_t y = 0;
};

class FCObjImage : public FCObjGraph {
public:
    // Largest picture held: pixel block and row table together. Far above any photograph,
    // low enough that a forged header cannot exhaust memory. Fuzzing builds set a smaller
    // limit so that every run stays quick.
#ifdef OV_IMAGE_MAX_BYTES
    static constexpr size_t kMaxBytes = OV_IMAGE_MAX_BYTES;
#else
    static constexpr size_t kMaxBytes = size_t{512} << 20;
#endif

    FCObjImage() = default;
    FCObjImage(const FCObjImage& other) {
        CopyFrom(other);
    }
    FCObjImage& operator=(const FCObjImage& other) {
        CopyFrom(other);
        return *this;
    }
    FCObjImage(FCObjImage&& other) noexcept {
        SwapContents(other);
    }
    FCObjImage& operator=(FCObjImage&& other) noexcept {
        if (this != &other) {
            FCObjImage taken;
            taken.SwapContents(other);
            SwapContents(taken);
        }
        return *this;
    }
    ~FCObjImage() override;

    // A fresh zero-filled image from an info header; for 16 bits with bit fields, `masks` (red,
    // green, blue) replace the 5-5-5 default when given. Refused: no header, a size of 0 or
    // less, a top-down header, compression other than 0 and 3, a depth other than 1, 4, 8, 16,
    // 24 and 32, or a picture above kMaxBytes.
    bool Create(const BITMAPINFOHEADER* header, const uint32_t* masks = nullptr);
    bool CreateBlank(int32_t width, int32_t height, int bits);
    void Destroy();
    void CopyFrom(const FCObjImage& other);

    bool IsValid() const {
        return pixels_ != nullptr;
    }
    int32_t Width() const {
        return info_.biWidth;
    }
    int32_t Height() const {
        return info_.biHeight;
    }
    int ColorBits() const {
        return info_.biBitCount;
    }
    // Bytes per row, padded to 4.
    size_t GetPitch() const {
        return stride_;
    }
    const BITMAPINFOHEADER& InfoHeader() const {
        return info_;
    }
    uint32_t RedMask() const {
        return masks_[0];
    }
    uint32_t GreenMask() const {
        return masks_[1];
    }
    uint32_t BlueMask() const {
        return masks_[2];
    }
    // The pixel block, bottom row first; stride × height bytes.
    uint8_t* GetMemStart() const {
        return pixels_;
    }
    size_t GetPixelBytes() const {
        return IsValid() ? stride_ * static_cast<size_t>(Height()) : 0;
    }

    // Row y (0 = top); null outside the picture.
    uint8_t* LineAt(int32_t y) const {
        return y >= 0 && y < Height() ? lines_[static_cast<size_t>(y)] : nullptr;
    }
    uint8_t* PixelAddress(int32_t x, int32_t y) const;
    // Raw value: palette index, 16-bit word, 0xRRGGBB for 24 bits, the 32-bit word; 0 outside.
    uint32_t PixelValue(int32_t x, int32_t y) const;

    bool GetPalette(int first, int count, RGBQUAD* entries) const;
    bool SetPalette(int first, int count, const RGBQUAD* entries);
    const RGBQUAD* Palette() const {
        return palette_.empty() ? nullptr : palette_.data();
    }
    int PaletteSize() const {
        return static_cast<int>(palette_.size());
    }
    void SetGreyPalette();
    void SetAllAlpha(uint8_t value);
    // Converts to 24 or 32 bits; other targets, the same depth or an empty image: nothing.
    void ConvertDepth(int bits);

    // The info header followed by the palette (8 bits or fewer) or the three masks: a
    // BITMAPINFO, and the header-plus-colour-table part of a BMP file.
    std::vector<uint8_t> ExportInfoHeader() const;

    // Flat block: header, masks, pixels, x, y (60 + pixel bytes). Loading gives an image of
    // 8 bits or fewer the grey palette.
    size_t Serialize(bool save, std::vector<uint8_t>& buffer) override;

    // Decodes a file image held in memory and keeps its first frame. When `tags` is given and
    // the codec produced metadata, `tags` receives it. On failure the image is unchanged.
    bool LoadImage(const uint8_t* bytes, size_t length, ImageType type,
                   FCImageTags* tags = nullptr);
    bool LoadImageFile(const std::string& path, FCImageTags* tags = nullptr);
    // Writes the image in the format named by the path's extension; quality -1 is the
    // codec's default. The file is replaced atomically.
    bool SaveImage(const std::string& path, int quality = -1) const;
    // A complete BMP file image.
    bool SaveBmpToMemory(std::vector<uint8_t>& out) const;
    // A BITMAPINFO followed by the pixel bits (a DIB without its file header).
    bool LoadPackedDib(const uint8_t* bytes, size_t length);

private:
    friend class ImageBuilder;
    bool CreateImpl(const BITMAPINFOHEADER* header, const uint32_t* masks, bool zeroFill);
    void SwapContents(FCObjImage& other) noexcept;

    BITMAPINFOHEADER info_{};
    size_t stride_ = 0;
    // The pixel memory. Large blocks come straight from the kernel as zeroed pages, in huge
    // pages where the system allows, so a big picture costs few page faults.
    class PixelBlock {
    public:
        PixelBlock() = default;
        static PixelBlock Allocate(size_t bytes, bool zeroFill);
        PixelBlock(PixelBlock&& other) noexcept { Swap(other); }
        PixelBlock& operator=(PixelBlock&& other) noexcept {
            PixelBlock taken;
            taken.Swap(other);
            Swap(taken);
            return *this;
        }
        ~PixelBlock();
        void Swap(PixelBlock& other) noexcept;
        uint8_t* data() const { return data_; }
        size_t size() const { return size_; }

    private:
        uint8_t* data_ = nullptr;
        size_t size_ = 0;
        bool mapped_ = false;
    };
    PixelBlock block_;
    uint8_t* pixels_ = nullptr;
    std::vector<uint8_t*> lines_;
    uint32_t masks_[3] = {0, 0, 0};
    std::vector<RGBQUAD> palette_;
};

// Bytes per row of a picture, padded to 4; 0 when it would not fit in memory.
size_t DibStride(int32_t width, int bits);

// Create for the layer's own readers, which overwrite every pixel byte they can and zero the
// rest: skips filling a fresh block with zeros first.
class ImageBuilder {
public:
    static bool CreateForOverwrite(FCObjImage& image, const BITMAPINFOHEADER& header,
                                   const uint32_t* masks = nullptr) {
        return image.CreateImpl(&header, masks, false);
    }
};
