// The single-format decoders and encoders behind the codec adapter. Decoders append frames to
// `frames` only on success and fill `tags` with the picture's metadata.
#pragma once

#include "image/ImageTags.h"
#include "image/ObjImage.h"
#include "image/PclTemplates.h"

#include <cstdint>
#include <string>
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

// Sets what LastCodecError() says on this thread; an empty text clears it.
void SetCodecError(std::string text);

// The table of a codec library (TiffLibrary and the others of CodecLibraries.h), or null when it
// cannot be used, after recording "`what`: reason" as the codec error.
template <typename Api>
const Api* UseLibrary(const Api* (*library)(std::string&), const char* what) {
    std::string error;
    const Api* api = library(error);
    if (api == nullptr) {
        SetCodecError(std::string(what) + ": " + error);
    }
    return api;
}

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

// Reads the Exif block of a JPEG (starting with "Exif\0\0") into tags. False only when the
// metadata library cannot be used.
bool ReadExifBlock(const uint8_t* data, size_t length, FCImageTags& tags);
// Builds in `out` the Exif block (with its "Exif\0\0" header) of the writable tags present in
// `tags`; empty when none is present. False only when there are tags to write and the metadata
// library cannot be used.
bool MakeExifBlock(const FCImageTags& tags, std::vector<uint8_t>& out);
// Reads the main directory and the Exif directory of a TIFF file into tags.
void ReadTiffMetadata(const uint8_t* data, size_t length, FCImageTags& tags);

// `image` at 24 bits (or 32 when it has them and `keep32`), converted when needed.
const FCObjImage& TrueColour(const FCObjImage& image, FCObjImage& scratch, bool keep32);
