// Small pictures with known pixels for the image tests.
#pragma once

#include "image/ObjImage.h"

#include <cstdint>
#include <cstring>
#include <vector>

// A width × height picture whose pixel (x, y) has blue x*40, green y*40, red 200 (alpha 128
// at 32 bits), or palette index (x + y) % palette size at 8 bits or fewer.
inline FCObjImage Sample(int32_t width, int32_t height, int bits) {
    FCObjImage image;
    image.CreateBlank(width, height, bits);
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* row = image.LineAt(y);
        for (int32_t x = 0; x < width; ++x) {
            const auto b = static_cast<uint8_t>(x * 40);
            const auto g = static_cast<uint8_t>(y * 40);
            if (bits <= 8) {
                const uint32_t index = static_cast<uint32_t>(x + y) % (1u << bits);
                const int per = 8 / bits;
                const int shift = (per - 1 - x % per) * bits;
                row[x / per] = static_cast<uint8_t>(row[x / per] | (index << shift));
            } else if (bits == 16) {
                const uint16_t v =
                    static_cast<uint16_t>(((200 >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
                std::memcpy(row + 2 * x, &v, 2);
            } else {
                uint8_t* p = row + x * (bits / 8);
                p[0] = b;
                p[1] = g;
                p[2] = 200;
                if (bits == 32) {
                    p[3] = 128;
                }
            }
        }
    }
    if (bits <= 8) {
        std::vector<RGBQUAD> palette(size_t{1} << bits);
        for (size_t i = 0; i < palette.size(); ++i) {
            palette[i] = RGBQUAD{static_cast<uint8_t>(i * 7), static_cast<uint8_t>(255 - i),
                                 static_cast<uint8_t>(i * 3), 0};
        }
        image.SetPalette(0, static_cast<int>(palette.size()), palette.data());
    }
    return image;
}

inline bool SamePixels(const FCObjImage& a, const FCObjImage& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height() || a.ColorBits() != b.ColorBits()) {
        return false;
    }
    for (int32_t y = 0; y < a.Height(); ++y) {
        for (int32_t x = 0; x < a.Width(); ++x) {
            if (a.PixelValue(x, y) != b.PixelValue(x, y)) {
                return false;
            }
        }
    }
    return true;
}

inline uint32_t ReadLe32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t{b[at + 3]} << 24);
}
inline uint16_t ReadLe16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}
