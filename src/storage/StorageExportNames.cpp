#include "storage/StorageExportNames.h"

#include "image/ImageType.h"
#include "storage/StorageExport.h"

#include <filesystem>

namespace {

bool Taken(const std::string& path) {
    std::error_code ec;
    // Anything there, a dangling link included, takes the name.
    return std::filesystem::symlink_status(path, ec).type() !=
           std::filesystem::file_type::not_found;
}

} // namespace

std::string NewExportFolderPath(const std::string& base, const std::string& itemName) {
    const std::string name = SafeFileName(itemName);
    std::string out = base + "/" + name;
    for (int n = 2; Taken(out); ++n) {
        out = base + "/" + name + " (" + std::to_string(n) + ")";
    }
    return out;
}

std::string ImageTypeExtension(int imageType) {
    // By image type 1 (BMP) to 9 (ICO).
    static const char* const kExtensions[] = {"bmp", "pcx", "jpg", "gif", "tga",
                                              "tif", "png", "psd", "ico"};
    return imageType >= ImageType::Bmp && imageType <= ImageType::Ico
               ? kExtensions[imageType - ImageType::Bmp]
               : std::string();
}
