// The single-format decoders and encoders behind the codec adapter. Decoders append frames to
// `frames` only on success and fill `tags` with the picture's metadata.
#pragma once

#include "image/ImageTags.h"
#include "image/ObjImage.h"
#include "image/PclTemplates.h"

#include <cstdint>
#include <vector>

// Bounds the memory that all frames of one file may take, so a file of many large frames
// cannot exhaust memory.
class DecodeBudget {
public:
    bool Take(size_t bytes) {
        if (bytes > left_) {
            return false;
        }
        left_ -= bytes;
        return true;
    }

private:
    size_t left_ = FCObjImage::kMaxBytes;
};

bool DecodeJpeg(const uint8_t* bytes, size_t length, PCL_Interface_Composite& frames,
                FCImageTags& tags);
bool DecodePng(const uint8_t* bytes, size_t length, PCL_Interface_Composite& frames,
               FCImageTags& tags);
bool DecodeGif(const uint8_t* bytes, size_t length, PCL_Interface_Composite& frames,
               FCImageTags& tags);
bool DecodeTiff(const uint8_t* bytes, size_t length, PCL_Interface_Composite& frames,
                FCImageTags& tags);
bool DecodeIco(const uint8_t* bytes, size_t length, PCL_Interface_Composite& frames,
               FCImageTags& tags);

bool EncodeJpeg(const FCObjImage& image, int quality, const FCImageTags& tags,
                std::vector<uint8_t>& out);
bool EncodePng(const FCObjImage& image, std::vector<uint8_t>& out);
bool EncodeGif(const FCObjImage& image, std::vector<uint8_t>& out);
bool EncodeTiff(const FCObjImage& image, const FCImageTags& tags, std::vector<uint8_t>& out);

// Reads the Exif block of a JPEG (starting with "Exif\0\0") into tags.
void ReadExifBlock(const uint8_t* data, size_t length, FCImageTags& tags);
// Builds the Exif block (with its "Exif\0\0" header) of the writable tags present in `tags`;
// empty when none is present.
std::vector<uint8_t> MakeExifBlock(const FCImageTags& tags);
// Reads the main directory and the Exif directory of a TIFF file into tags.
void ReadTiffMetadata(const uint8_t* data, size_t length, FCImageTags& tags);

// `image` at 24 bits (or 32 when it has them and `keep32`), converted when needed.
const FCObjImage& TrueColour(const FCObjImage& image, FCObjImage& scratch, bool keep32);
