// Reading and writing the device-independent-bitmap blocks that BMP files, packed DIBs and the
// clipboard share: an info header, an optional colour table or masks, then the pixel rows.
#pragma once

#include "image/ObjImage.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The 40-byte header at `at`, and the three masks right after it when they are there (else
// the masks are zero). False when the header does not fit.
bool ReadDibHeader(const uint8_t* data, size_t length, size_t at, BITMAPINFOHEADER& header,
                   uint32_t masks[3]);
// Creates `image` from a header read by ReadDibHeader. 16-bit bit-field masks that the input
// did not hold refuse the header.
bool CreateFromDibHeader(FCObjImage& image, const BITMAPINFOHEADER& header, const uint32_t masks[3],
                         bool masksPresent);
// Sets the palette (8 bits or fewer) from the 2^bits entries at `at`, as many as the input
// holds; returns the size the full table takes (0 above 8 bits).
size_t ReadDibPalette(FCObjImage& image, const uint8_t* data, size_t length, size_t at);
// Copies the pixel block from `at`, as much as the input holds, and zeroes the rest.
void ReadDibPixels(FCObjImage& image, const uint8_t* data, size_t length, size_t at);

// Where the pixels of a packed DIB start after a bit-fields header.
enum class MaskSkip {
    WhenBitFields,             // the three masks always follow a bit-fields header
    WhenBitFieldsAndPlainSize, // only after a 40-byte header (larger headers hold them)
};
// Reads a packed DIB (info header, colour table, pixels) into a fresh picture. With
// `halfHeight` the header's height counts two stacked bitmaps and only the first is read (an
// icon's colour rows). Returns the offset just past the colour rows, or 0 when the header is
// refused; `image` is only replaced on success.
size_t ReadPackedDib(const uint8_t* bytes, size_t length, MaskSkip skip, bool halfHeight,
                     FCObjImage& image);

// The block CopyToClipboard hands over: the 40-byte header directly followed by the pixel
// block. Only 24- and 32-bit pictures are copied; anything else gives an empty block.
std::vector<uint8_t> MakeClipboardDib(const FCObjImage& image);
// What PasteFromClipboard makes of a packed DIB taken from the clipboard: always a 32-bit
// picture (other depths are converted); bit-field 32-bit pictures get opaque alpha. On
// failure `image` is unchanged.
bool ImageFromClipboardDib(const uint8_t* bytes, size_t length, FCObjImage& image);
