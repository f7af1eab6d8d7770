// ICO (and CUR) files: a directory of images, each a PNG file or a DIB whose height covers
// the colour rows and the 1-bit transparency mask after them. Every image is a frame.
#include "base/ByteOrder.h"
#include "image/CodecFormats.h"
#include "image/DibBlocks.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

std::unique_ptr<FCObjImage> ReadIconDib(const uint8_t* data, size_t length, DecodeBudget& budget) {
    auto image = std::make_unique<FCObjImage>();
    // The 1-bit transparency mask follows the colour rows.
    const size_t maskAt =
        ReadPackedDib(data, length, MaskSkip::WhenBitFieldsAndPlainSize, true, *image);
    if (maskAt == 0 || !budget.Take(image->GetPixelBytes())) {
        return nullptr;
    }
    // Alpha: the 32-bit colour rows' own when any pixel has some, else the mask's.
    bool hasAlpha = false;
    if (image->ColorBits() == 32) {
        for (int32_t y = 0; y < image->Height() && !hasAlpha; ++y) {
            const uint8_t* p = image->LineAt(y);
            for (int32_t x = 0; x < image->Width(); ++x) {
                if (p[4 * x + 3] != 0) {
                    hasAlpha = true;
                    break;
                }
            }
        }
    }
    if (hasAlpha) {
        return image;
    }
    image->ConvertDepth(32);
    if (image->ColorBits() != 32) {
        return nullptr;
    }
    const size_t maskStride = DibStride(image->Width(), 1);
    for (int32_t y = 0; y < image->Height(); ++y) {
        const size_t rowAt = maskAt + static_cast<size_t>(image->Height() - 1 - y) * maskStride;
        if (rowAt > length || length - rowAt < maskStride) {
            continue; // no mask row: opaque
        }
        const uint8_t* mask = data + rowAt;
        uint8_t* p = image->LineAt(y);
        for (int32_t x = 0; x < image->Width(); ++x) {
            const bool transparent = (mask[x / 8] >> (7 - (x & 7))) & 1;
            p[4 * x + 3] = transparent ? 0 : 255;
        }
    }
    return image;
}

} // namespace

bool DecodeIco(const uint8_t* bytes, size_t length, PCL_Interface_Composite& frames,
               FCImageTags& tags) {
    if (bytes == nullptr || length < 6 || Read16(bytes) != 0) {
        return false;
    }
    const uint16_t count = Read16(bytes + 4);
    PCL_Interface_Composite decoded;
    DecodeBudget budget;
    for (uint16_t i = 0; i < count; ++i) {
        const size_t entry = 6 + size_t{i} * 16;
        if (entry + 16 > length) {
            break;
        }
        const uint32_t size = Read32(bytes + entry + 8);
        const uint32_t offset = Read32(bytes + entry + 12);
        if (offset >= length || size == 0) {
            continue;
        }
        const uint8_t* data = bytes + offset;
        const size_t available = std::min<size_t>(size, length - offset);
        if (available >= 8 && std::memcmp(data, "\x89PNG\r\n\x1a\n", 8) == 0) {
            FCImageTags ignored;
            PCL_Interface_Composite png;
            if (DecodePng(data, available, png, ignored) && png.FrameCount() > 0 &&
                budget.Take(png.GetFrame(0)->GetPixelBytes())) {
                decoded.Append(png);
            }
            continue;
        }
        if (std::unique_ptr<FCObjImage> image = ReadIconDib(data, available, budget)) {
            decoded.PushFrame(std::move(image));
        }
    }
    if (decoded.FrameCount() == 0) {
        return false;
    }
    frames.Append(decoded);
    return true;
}
