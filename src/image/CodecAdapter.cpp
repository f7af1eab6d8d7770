#include "image/CodecAdapter.h"

#include "base/ByteOrder.h"
#include "image/CodecFormats.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

enum class Format { Unknown, Bmp, Jpeg, Png, Gif, Tiff, Ico };

Format Sniff(const uint8_t* b, size_t n) {
    if (n >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) {
        return Format::Jpeg;
    }
    if (n >= 8 && std::memcmp(b, "\x89PNG\r\n\x1a\n", 8) == 0) {
        return Format::Png;
    }
    if (n >= 6 && (std::memcmp(b, "GIF87a", 6) == 0 || std::memcmp(b, "GIF89a", 6) == 0)) {
        return Format::Gif;
    }
    if (n >= 4 && (std::memcmp(b, "II*\0", 4) == 0 || std::memcmp(b, "MM\0*", 4) == 0)) {
        return Format::Tiff;
    }
    if (n >= 4 && b[0] == 0 && b[1] == 0 && (b[2] == 1 || b[2] == 2) && b[3] == 0) {
        return Format::Ico;
    }
    if (n >= 2 && b[0] == 'B' && b[1] == 'M') {
        return Format::Bmp;
    }
    return Format::Unknown;
}

} // namespace

bool FCImageHandle_Gdiplus::LoadFromMemory(const uint8_t* bytes, size_t length,
                                           PCL_Interface_Composite& frames,
                                           std::unique_ptr<FCImageTags>& tags) {
    if (bytes == nullptr || length == 0) {
        return false;
    }
    PCL_Interface_Composite decoded;
    auto found = std::make_unique<FCImageTags>();
    bool ok = false;
    switch (Sniff(bytes, length)) {
    case Format::Jpeg:
        ok = DecodeJpeg(bytes, length, decoded, *found);
        break;
    case Format::Png:
        ok = DecodePng(bytes, length, decoded, *found);
        break;
    case Format::Gif:
        ok = DecodeGif(bytes, length, decoded, *found);
        break;
    case Format::Tiff:
        ok = DecodeTiff(bytes, length, decoded, *found);
        break;
    case Format::Ico:
        ok = DecodeIco(bytes, length, decoded, *found);
        break;
    case Format::Bmp: {
        std::unique_ptr<FCImageTags> none;
        ok = FCImageHandle_Bmp().LoadFromMemory(bytes, length, decoded, none);
        break;
    }
    case Format::Unknown:
        break;
    }
    if (!ok || decoded.FrameCount() == 0) {
        return false;
    }
    frames.Append(decoded);
    tags = std::move(found);
    return true;
}

bool FCImageHandle_Gdiplus::SaveToFile(const std::string& path, const ImageFrames& frames,
                                       const FCImageTags& tags) {
    const FCObjImage* image = FirstFrame(frames);
    if (image == nullptr) {
        return false;
    }
    std::vector<uint8_t> bytes;
    return EncodeImage(ImageTypeFromPath(path), *image, tags, bytes) && WriteFile(path, bytes);
}

std::string MimeTypeOf(int type) {
    switch (type) {
    case Bmp:
        return "image/bmp";
    case Jpeg:
        return "image/jpeg";
    case Gif:
        return "image/gif";
    case Tiff:
        return "image/tiff";
    case Png:
        return "image/png";
    default:
        return {};
    }
}

bool EncodeImage(int type, const FCObjImage& image, const FCImageTags& tags,
                 std::vector<uint8_t>& out) {
    if (!image.IsValid() || MimeTypeOf(type).empty()) {
        return false;
    }
    switch (type) {
    case Bmp:
        return FCImageHandle_Bmp().SaveToMemory(out, ImageFrames{&image}, tags);
    case Jpeg:
        return EncodeJpeg(image, JpegQualityFromTags(tags), tags, out);
    case Gif:
        return EncodeGif(image, out);
    case Tiff:
        return EncodeTiff(image, tags, out);
    case Png:
        return EncodePng(image, out);
    default:
        return false;
    }
}

int JpegQualityFromTags(const FCImageTags& tags) {
    std::string text = tags.GetValue(kTagSaveQuality);
    if (text.empty()) {
        text = tags.GetValue(kTagJpegQuality);
    }
    if (text.empty() || text == "-1") {
        return 80;
    }
    const long value = std::strtol(text.c_str(), nullptr, 10);
    return static_cast<int>(std::clamp(value, 1L, 100L));
}

void AddMetadataItem(FCImageTags& tags, uint32_t tag, uint16_t type, const uint8_t* value,
                     size_t length, bool bigEndian) {
    if (value == nullptr && length > 0) {
        return;
    }
    const auto key = static_cast<int32_t>(tag);
    switch (type) {
    case kTypeAscii:
        tags.SetValue(key, std::string(reinterpret_cast<const char*>(value),
                                       strnlen(reinterpret_cast<const char*>(value), length)));
        break;
    case kTypeShort:
        if (length == 2) {
            tags.SetValue(key, std::to_string(Read16(value, bigEndian)));
        }
        break;
    case kTypeLong:
        if (length == 4) {
            tags.SetValue(key, std::to_string(Read32(value, bigEndian)));
        }
        break;
    case kTypeRational:
        if (length == 8) {
            tags.SetValue(key, std::to_string(Read32(value, bigEndian)) + "/" +
                                   std::to_string(Read32(value + 4, bigEndian)));
        }
        break;
    case kTypeSRational:
        if (length == 8) {
            tags.SetValue(key,
                          std::to_string(static_cast<int32_t>(Read32(value, bigEndian))) + "/" +
                              std::to_string(static_cast<int32_t>(Read32(value + 4, bigEndian))));
        }
        break;
    default:
        break;
    }
}

void AppendFrameDelay(FCImageTags& tags, uint32_t hundredths) {
    char text[32];
    std::snprintf(text, sizeof(text), "%016" PRIu64, uint64_t{hundredths} * 10);
    tags.AppendValue(kTagFrameDelays, text);
}

const WritableTag kWritableTags[12] = {
    {271, kTypeAscii, false},     {272, kTypeAscii, false},      {36867, kTypeAscii, true},
    {33434, kTypeRational, true}, {33437, kTypeRational, true},  {37386, kTypeRational, true},
    {34855, kTypeShort, true},    {37380, kTypeSRational, true}, {37381, kTypeRational, true},
    {37385, kTypeShort, true},    {37383, kTypeShort, true},     {34850, kTypeShort, true},
};

bool MetadataValueBytes(uint16_t type, const std::string& text, std::vector<uint8_t>& out) {
    out.clear();
    auto put32 = [&out](uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            out.push_back(static_cast<uint8_t>(v >> (8 * i)));
        }
    };
    switch (type) {
    case kTypeAscii:
        out.assign(text.begin(), text.end());
        out.push_back(0);
        return true;
    case kTypeShort: {
        const auto v = static_cast<uint16_t>(std::strtol(text.c_str(), nullptr, 10));
        out = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
        return true;
    }
    case kTypeRational:
    case kTypeSRational: {
        const size_t slash = text.find('/');
        if (slash == std::string::npos) {
            return false;
        }
        const std::string num = text.substr(0, slash);
        const std::string den = text.substr(slash + 1);
        if (type == kTypeRational) {
            put32(static_cast<uint32_t>(std::strtoul(num.c_str(), nullptr, 10)));
            put32(static_cast<uint32_t>(std::strtoul(den.c_str(), nullptr, 10)));
        } else {
            put32(
                static_cast<uint32_t>(static_cast<int32_t>(std::strtol(num.c_str(), nullptr, 10))));
            put32(
                static_cast<uint32_t>(static_cast<int32_t>(std::strtol(den.c_str(), nullptr, 10))));
        }
        return true;
    }
    default:
        return false;
    }
}

const FCObjImage& TrueColour(const FCObjImage& image, FCObjImage& scratch, bool keep32) {
    if (image.ColorBits() == 24 || (keep32 && image.ColorBits() == 32)) {
        return image;
    }
    scratch = image;
    scratch.ConvertDepth(24);
    return scratch;
}

// ---- TIFF directories, read with bounds checks on every offset ----

namespace {

struct TiffReader {
    const uint8_t* data;
    size_t length;
    bool big;
    bool Has(size_t at, size_t n) const { return at <= length && length - at >= n; }
};

size_t TypeSize(uint16_t type) {
    switch (type) {
    case 1:
    case 2:
    case 6:
    case 7:
        return 1;
    case 3:
    case 8:
        return 2;
    case 4:
    case 9:
    case 11:
    case 13: // a directory offset
        return 4;
    case 5:
    case 10:
    case 12:
        return 8;
    default:
        return 0;
    }
}

// Reads the items of the directory at `offset`; returns the Exif directory's offset (0 none).
uint32_t ReadDirectory(const TiffReader& r, uint32_t offset, FCImageTags& tags) {
    if (!r.Has(offset, 2)) {
        return 0;
    }
    const uint16_t count = Read16(r.data + offset, r.big);
    uint32_t exif = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const size_t at = offset + 2 + size_t{i} * 12;
        if (!r.Has(at, 12)) {
            break;
        }
        const uint8_t* e = r.data + at;
        const uint16_t tag = Read16(e, r.big);
        const uint16_t type = Read16(e + 2, r.big);
        const uint32_t n = Read32(e + 4, r.big);
        const size_t size = TypeSize(type);
        if (size == 0 || n > r.length / size) {
            continue;
        }
        const size_t bytes = size * n;
        const uint8_t* value = e + 8;
        if (bytes > 4) {
            const uint32_t where = Read32(e + 8, r.big);
            if (!r.Has(where, bytes)) {
                continue;
            }
            value = r.data + where;
        }
        if (tag == 34665 && (type == 4 || type == 13) && n == 1) {
            exif = Read32(value, r.big);
            continue;
        }
        // Image structure tags (sizes, strips, colour maps) are not metadata.
        if (tag < 270 || (tag > 272 && tag < 305 && tag != 274) || tag == 320 ||
            (tag > 320 && tag < 330)) {
            continue;
        }
        AddMetadataItem(tags, tag, type, value, bytes, r.big);
    }
    return exif;
}

} // namespace

void ReadTiffMetadata(const uint8_t* data, size_t length, FCImageTags& tags) {
    if (data == nullptr || length < 8) {
        return;
    }
    const TiffReader r{data, length, data[0] == 'M'};
    const uint32_t first = Read32(data + 4, r.big);
    const uint32_t exif = ReadDirectory(r, first, tags);
    if (exif != 0 && exif != first) {
        ReadDirectory(r, exif, tags);
    }
}
