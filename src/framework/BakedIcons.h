// The program's icons drawn at build time (tools/iconbake) at the sizes its main window asks
// for at start: drawing them from their SVG files on every start, and loading the SVG support
// to do so, took over a millisecond before the first window showed. Other sizes and pixel
// ratios are still drawn from the SVG files.
#pragma once

#include <cstdint>
#include <span>

struct BakedIcon {
    const char* key; // the icon's resource path, e.g. ":/icons/new.svg"
    int requestedWidth;
    int requestedHeight;
    int width; // the picture drawn for that size (an SVG keeps its aspect ratio)
    int height;
    const uint32_t* pixels; // premultiplied ARGB, row after row
};

// Every baked picture, sorted by key, then by requested width and height.
std::span<const BakedIcon> BakedIcons();
