// Image type numbers and the choice of a type by file name. The numbers are stored with every
// image item of a storage file, so they never change.
#pragma once

#include <cstdint>
#include <string_view>

enum ImageType : int32_t {
    Unrecognised = 0,
    Bmp = 1,
    Pcx = 2,
    Jpeg = 3,
    Gif = 4,
    Tga = 5,
    Tiff = 6,
    Png = 7,
    Psd = 8,
    Ico = 9,
    Xpm = 10,
    Qrv = 11,
};

// The type named by a path's extension: the text after the last "." anywhere in the path
// (even in a folder name), compared without regard to ASCII case. No dot or an unknown
// extension gives Unrecognised.
ImageType ImageTypeFromPath(std::string_view path);
// Null-pointer safe form: a null path gives Unrecognised.
ImageType ImageTypeFromPath(const char* path);
