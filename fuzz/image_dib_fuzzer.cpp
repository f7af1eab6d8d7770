// Feeds arbitrary bytes to the layer's own readers: the first byte picks BMP, TGA, a packed
// DIB, a clipboard DIB or a serialised picture. Whatever loads must keep its invariants, and
// a loaded picture must survive conversion and re-encoding.
#include "image/DibBlocks.h"
#include "image/ObjImage.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

void Check(const FCObjImage& image) {
    if (!image.IsValid()) {
        return;
    }
    if (image.Width() <= 0 || image.Height() <= 0 ||
        image.GetPitch() != DibStride(image.Width(), image.ColorBits())) {
        __builtin_trap();
    }
    // Touch the first and last byte of every row.
    volatile uint32_t sink = 0;
    for (int32_t y = 0; y < image.Height(); ++y) {
        sink = sink + image.LineAt(y)[0] + image.LineAt(y)[image.GetPitch() - 1];
    }
    std::vector<uint8_t> bmp;
    if (!image.SaveBmpToMemory(bmp)) {
        __builtin_trap();
    }
    // Conversion may only be refused when the 32-bit picture would pass the size limit.
    FCObjImage copy = image;
    copy.ConvertDepth(32);
    const size_t rows = static_cast<size_t>(image.Height());
    const bool fits =
        DibStride(image.Width(), 32) * rows + rows * sizeof(uint8_t*) <= FCObjImage::kMaxBytes;
    if (copy.ColorBits() != 32 && fits) {
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    const uint8_t kind = data[0] % 5;
    ++data;
    --size;
    FCObjImage image;
    switch (kind) {
    case 0:
        image.LoadImage(data, size, Bmp);
        break;
    case 1:
        image.LoadImage(data, size, Tga);
        break;
    case 2:
        image.LoadPackedDib(data, size);
        break;
    case 3:
        ImageFromClipboardDib(data, size, image);
        break;
    default: {
        std::vector<uint8_t> block(data, data + size);
        image.Serialize(false, block);
        break;
    }
    }
    Check(image);
    return 0;
}
