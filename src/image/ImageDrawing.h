// The geometry of drawing a picture: which part of it goes where. The views do the painting.
#pragma once

#include "image/ObjImage.h"
#include "image/PclTemplates.h"

// One stretch of part of a picture onto an area of a window.
struct DrawGeometry {
    ImageRect destination; // device coordinates
    ImageRect source;      // picture coordinates, row 0 at the top
    // The source origin as a bottom-up bitmap addresses it: (left, height - bottom).
    int32_t bottomUpX = 0;
    int32_t bottomUpY = 0;
};

// Draw(destination, source): stretches `source` of the picture onto `destination`.
DrawGeometry DrawRects(const FCObjImage& image, const ImageRect& destination,
                       const ImageRect& source);
// Draw(destination): the whole picture.
DrawGeometry DrawRects(const FCObjImage& image, const ImageRect& destination);
// DrawFitted: the area a width × height picture takes in `area`: scaled down to fit (never
// enlarged), at least 1 × 1, centred.
ImageRect FittedRect(int32_t width, int32_t height, const ImageRect& area);
