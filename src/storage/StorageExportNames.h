// Item names as file names: the bytes an exported item holds, a safe file name for an item
// name, names kept unique within one folder, and the usual extension of each image type.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "storage/StorageItem.h"

// The longest file name the usual Linux file systems take, in bytes.
inline constexpr size_t kMaxFileNameBytes = 255;

// The bytes an exported note or account holds: a note's text or an account's XML without
// the NUL; nothing for other types (their data may still be in the storage file: see
// ExportPieces).
std::string_view ExportBytes(const StorageItem& item);
// The length of what an export of the item writes (its data's, its text's).
uint64_t ExportLength(const StorageItem& item);
// Hands what an export of the item writes to a file on disk over in pieces: the data read
// from the storage file piece by piece, or ExportBytes(item, scratch).
ItemDataRead ExportPieces(const StorageItem& item, const ItemData::PieceSink& sink);
// The same for a file on disk: an account's XML then declares the program's code page as its
// encoding, in a text kept in `scratch` (the view points into it or into the item).
std::string_view ExportBytes(const StorageItem& item, std::string& scratch);

// An item name (in the program's code page) as a file name in UTF-8: slashes and control
// characters become "_", never "." or "..", never empty, and at most kMaxFileNameBytes long,
// cut between characters with the extension kept.
std::string SafeFileName(const std::string& name);

// `name` (UTF-8) with `tag` put before its extension ("a.txt", " (2)" -> "a (2).txt"), the
// part before the extension cut between characters so that the whole stays within
// `maxBytes`. An extension is the last dot and what follows it, when that is short and the
// dot does not start the name.
std::string FitFileName(std::string_view name, std::string_view tag,
                        size_t maxBytes = kMaxFileNameBytes);

// The names used within one folder.
class UniqueNames {
public:
    // `name`, or the first of "name (2).ext", "name (3).ext", ... that is still free; the
    // result is taken. The next number to try is remembered per name, so n equal names
    // cost n steps rather than n squared.
    std::string Take(const std::string& name);

private:
    std::unordered_set<std::string> taken_;
    std::unordered_map<std::string, uint64_t> next_;
};

// The usual extension of an image type ("bmp" for BMP to "ico" for ICO); empty for others.
std::string ImageTypeExtension(int imageType);
