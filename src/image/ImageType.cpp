#include "image/ImageType.h"

#include <array>
#include <string>
#include <utility>

ImageType ImageTypeFromPath(std::string_view path) {
    const size_t dot = path.rfind('.');
    if (dot == std::string_view::npos) {
        return Unrecognised;
    }
    std::string ext(path.substr(dot + 1));
    for (char& c : ext) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    static constexpr std::array<std::pair<std::string_view, ImageType>, 14> kTable{{
        {"bmp", Bmp},
        {"pcx", Pcx},
        {"jpg", Jpeg},
        {"jpeg", Jpeg},
        {"gif", Gif},
        {"tga", Tga},
        {"tif", Tiff},
        {"tiff", Tiff},
        {"png", Png},
        {"psd", Psd},
        {"ico", Ico},
        {"xpm", Xpm},
        {"qrv", Qrv},
        {"", Unrecognised},
    }};
    for (const auto& [name, type] : kTable) {
        if (ext == name) {
            return type;
        }
    }
    return Unrecognised;
}

ImageType ImageTypeFromPath(const char* path) {
    return path == nullptr ? Unrecognised : ImageTypeFromPath(std::string_view(path));
}
