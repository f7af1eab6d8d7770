// Depth conversion of the in-memory picture: any depth to 24 or 32 bits.
#include "image/ObjImage.h"

#include <bit>

namespace {

// Scales a masked channel of a 16-bit word to 8 bits: the top bits of the channel land in the
// top bits of the byte, the low bits stay zero (so 5-5-5 and 5-6-5 give the usual values).
uint8_t MaskedChannel(uint32_t v, uint32_t mask) {
    if (mask == 0) {
        return 0;
    }
    const int shift = std::countr_zero(mask);
    const int width = std::popcount(mask >> shift);
    uint32_t c = (v & mask) >> shift;
    if (width > 8) {
        c >>= width - 8;
    } else {
        c <<= 8 - width;
    }
    return static_cast<uint8_t>(c);
}

} // namespace

void FCObjImage::ConvertDepth(int bits) {
    if (!IsValid() || (bits != 24 && bits != 32) || bits == ColorBits()) {
        return;
    }
    FCObjImage old;
    old.SwapContents(*this);
    if (!CreateBlank(old.Width(), old.Height(), bits)) {
        SwapContents(old); // out of memory: keep the picture as it was
        return;
    }
    x = old.x;
    y = old.y;
    const int oldBits = old.ColorBits();
    const size_t step = static_cast<size_t>(bits / 8);
    for (int32_t row = 0; row < Height(); ++row) {
        uint8_t* d = LineAt(row);
        const uint8_t* s = old.LineAt(row);
        for (int32_t col = 0; col < Width(); ++col, d += step) {
            if (oldBits <= 8) {
                const RGBQUAD& q = old.palette_[old.PixelValue(col, row)];
                d[0] = q.rgbBlue;
                d[1] = q.rgbGreen;
                d[2] = q.rgbRed;
            } else if (oldBits == 16) {
                const uint32_t v = static_cast<uint32_t>(s[2 * col] | (s[2 * col + 1] << 8));
                d[0] = MaskedChannel(v, old.masks_[2]);
                d[1] = MaskedChannel(v, old.masks_[1]);
                d[2] = MaskedChannel(v, old.masks_[0]);
            } else {
                const uint8_t* p = s + static_cast<size_t>(col) * (oldBits / 8);
                d[0] = p[0];
                d[1] = p[1];
                d[2] = p[2];
            }
        }
    }
    if (bits == 32) {
        SetAllAlpha(255);
    }
}
