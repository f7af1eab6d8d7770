// The codec adapter: JPEG through libjpeg-turbo, PNG through libpng, GIF through giflib, TIFF
// through libtiff, Exif metadata through libexif, and ICO as a small container over our BMP
// reader and the PNG decoder. Frames come out as indexed 1/4/8-bit pictures with their
// palettes, 16-bit pictures with masks, 24-bit, or 32-bit with alpha (opaque when the file
// has none).
#pragma once

#include "image/ImageFactory.h"
#include "image/ImageHandle.h"

#include <cstdint>
#include <string>
#include <vector>

class FCImageHandle_Gdiplus : public FCImageHandleBase, public FCAutoInitGDIPlus {
public:
    // Every frame of every format above (and BMP), recognised by the file's first bytes.
    bool LoadFromMemory(const uint8_t* bytes, size_t length, PCL_Interface_Composite& frames,
                        std::unique_ptr<FCImageTags>& tags) override;
    // The first frame, in the format named by the path: BMP, JPEG, GIF, TIFF or PNG.
    bool SaveToFile(const std::string& path, const ImageFrames& frames,
                    const FCImageTags& tags) override;
};

// The MIME type the writer encodes for an image type; empty for types nobody writes.
std::string MimeTypeOf(int type);
// Encodes `image` in the format of `type` (a type with a MIME type); false when the format
// cannot hold it or the codec fails.
bool EncodeImage(int type, const FCObjImage& image, const FCImageTags& tags,
                 std::vector<uint8_t>& out);
// The JPEG quality a save uses: tag 500, else tag 20496; "-1" or nothing means 80; clamped to
// 1..100.
int JpegQualityFromTags(const FCImageTags& tags);

// Metadata item types, as in TIFF and Exif.
enum MetadataType : uint16_t {
    kTypeAscii = 2,
    kTypeShort = 3,
    kTypeLong = 4,
    kTypeRational = 5,
    kTypeSRational = 10,
};
// Adds one metadata item (raw value bytes in the file's byte order) to `tags` as text: ASCII
// up to its first zero; a single SHORT or LONG in decimal; one RATIONAL or SRATIONAL as
// "numerator/denominator". Other types and lengths are skipped.
void AddMetadataItem(FCImageTags& tags, uint32_t tag, uint16_t type, const uint8_t* value,
                     size_t length, bool bigEndian);
// Appends one frame delay (hundredths of a second) to key 2000 as 16 zero-padded
// milliseconds digits.
void AppendFrameDelay(FCImageTags& tags, uint32_t hundredths);

// The metadata tags a save writes back, with their fixed types.
struct WritableTag {
    uint16_t tag;
    uint16_t type;
    bool exifDirectory; // false: the main image directory (Make, Model)
};
extern const WritableTag kWritableTags[12];
// The value bytes (little-endian) a tag's text gives at a fixed type; false when the text
// does not fit the type (a rational without a slash).
bool MetadataValueBytes(uint16_t type, const std::string& text, std::vector<uint8_t>& out);
