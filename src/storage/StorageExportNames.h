// Names of what the storage window exports: the new folder a folder export writes into and
// the usual extension of each image type.
#pragma once

#include <string>

// `base`/NAME for the item name made a safe file name, or "NAME (2)", "NAME (3)", ... when a
// file, folder or link of that name exists already.
std::string NewExportFolderPath(const std::string& base, const std::string& itemName);

// The usual extension of an image type ("bmp" for BMP to "ico" for ICO); empty for others.
std::string ImageTypeExtension(int imageType);
