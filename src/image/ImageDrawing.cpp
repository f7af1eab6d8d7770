#include "image/ImageDrawing.h"

#include <algorithm>

DrawGeometry DrawRects(const FCObjImage& image, const ImageRect& destination,
                       const ImageRect& source) {
    DrawGeometry g;
    g.destination = destination;
    g.source = source;
    g.bottomUpX = source.left;
    g.bottomUpY = image.Height() - source.bottom;
    return g;
}

DrawGeometry DrawRects(const FCObjImage& image, const ImageRect& destination) {
    return DrawRects(image, destination, ImageRect{0, 0, image.Width(), image.Height()});
}

ImageRect FittedRect(int32_t width, int32_t height, const ImageRect& area) {
    const int32_t availW = area.Width();
    const int32_t availH = area.Height();
    int32_t w = width;
    int32_t h = height;
    if (width > 0 && height > 0 && (width > availW || height > availH)) {
        const double scale =
            std::min(static_cast<double>(availW) / width, static_cast<double>(availH) / height);
        w = std::max(1, static_cast<int32_t>(width * scale));
        h = std::max(1, static_cast<int32_t>(height * scale));
    }
    const int32_t left = area.left + (availW - w) / 2;
    const int32_t top = area.top + (availH - h) / 2;
    return ImageRect{left, top, left + w, top + h};
}
