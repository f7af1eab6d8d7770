// The picture the image benchmarks work on: smooth gradients with fine noise, which compresses
// like a photograph and not like a flat fill.
#pragma once

#include "image/ObjImage.h"

#include <algorithm>
#include <cstdint>

inline FCObjImage PhotoLikePicture(int32_t width, int32_t height) {
    FCObjImage image;
    image.CreateBlank(width, height, 24);
    uint32_t seed = 12345;
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* p = image.LineAt(y);
        for (int32_t x = 0; x < width; ++x, p += 3) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = static_cast<int>((seed >> 28) & 7) - 4;
            p[0] = static_cast<uint8_t>(std::clamp((x * 255) / width + noise, 0, 255));
            p[1] = static_cast<uint8_t>(std::clamp((y * 255) / height + noise, 0, 255));
            p[2] = static_cast<uint8_t>(std::clamp(((x + y) / 40) % 256 + noise, 0, 255));
        }
    }
    return image;
}
