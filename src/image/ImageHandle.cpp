#include "image/ImageHandle.h"

#include "base/ByteOrder.h"
#include "base/WholeFile.h"
#include "image/DibBlocks.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kBmpFileHeader = 14;
constexpr size_t kTgaHeader = 18;

} // namespace

PCL_Interface_Composite::~PCL_Interface_Composite() {
    Clear();
}

void PCL_Interface_Composite::PushFrame(std::unique_ptr<FCObjImage> frame) {
    if (frame) {
        frames_.push_back(std::move(frame));
    }
}

void PCL_Interface_Composite::Append(PCL_Interface_Composite& other) {
    for (auto& frame : other.frames_) {
        frames_.push_back(std::move(frame));
    }
    other.frames_.clear();
}

void PCL_Interface_Composite::Clear() {
    while (!frames_.empty()) {
        frames_.pop_back();
    }
}

bool FCImageHandleBase::LoadFromFile(const std::string& path, PCL_Interface_Composite& frames,
                                     std::unique_ptr<FCImageTags>& tags) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes) || bytes.empty()) {
        return false;
    }
    return LoadFromMemory(bytes.data(), bytes.size(), frames, tags);
}

const FCObjImage* FCImageHandleBase::FirstFrame(const ImageFrames& frames) {
    if (frames.empty() || frames.front() == nullptr || !frames.front()->IsValid()) {
        return nullptr;
    }
    return frames.front();
}

bool FCImageHandleBase::WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    return !path.empty() && WriteWholeFile(path, bytes.data(), bytes.size());
}

// ---- BMP ----

bool FCImageHandle_Bmp::Decode(const uint8_t* bytes, size_t length, FCObjImage& image) {
    if (bytes == nullptr || length <= kBmpFileHeader || bytes[0] != 'B' || bytes[1] != 'M') {
        return false;
    }
    const uint32_t pixelOffset = Read32(bytes + 10);
    if (pixelOffset >= length) {
        return false;
    }
    BITMAPINFOHEADER header;
    uint32_t masks[3];
    if (!ReadDibHeader(bytes, length, kBmpFileHeader, header, masks)) {
        return false;
    }
    // Nothing can fail after a successful Create, so the picture is only touched when the
    // whole file is taken.
    if (!CreateFromDibHeader(image, header, masks, length >= kBmpFileHeader + 52)) {
        return false;
    }
    // The header's own size says where the colour table starts; a forged size just makes the
    // table read from elsewhere inside the file (or not at all).
    const size_t paletteAt = kBmpFileHeader + static_cast<size_t>(header.biSize);
    if (header.biSize <= length) {
        ReadDibPalette(image, bytes, length, paletteAt);
    }
    ReadDibPixels(image, bytes, length, pixelOffset);
    image.x = 0;
    image.y = 0;
    return true;
}

bool FCImageHandle_Bmp::LoadFromMemory(const uint8_t* bytes, size_t length,
                                       PCL_Interface_Composite& frames,
                                       std::unique_ptr<FCImageTags>& tags) {
    auto image = std::make_unique<FCObjImage>();
    if (!Decode(bytes, length, *image)) {
        return false;
    }
    frames.PushFrame(std::move(image));
    return true;
}

bool FCImageHandle_Bmp::SaveToMemory(std::vector<uint8_t>& out, const ImageFrames& frames,
                                     const FCImageTags& tags) {
    const FCObjImage* image = FirstFrame(frames);
    if (image == nullptr) {
        return false;
    }
    const std::vector<uint8_t> info = image->ExportInfoHeader();
    // For 16 and more bits the masks follow the header only with bit fields.
    const size_t infoBytes =
        image->ColorBits() > 8 && image->InfoHeader().biCompression != BI_BITFIELDS
            ? sizeof(BITMAPINFOHEADER)
            : info.size();
    const size_t pixels = image->GetPixelBytes();
    const size_t offset = kBmpFileHeader + infoBytes;
    const size_t total = offset + pixels;
    if (total > UINT32_MAX) {
        return false;
    }
    out.resize(total);
    uint8_t* p = out.data();
    p[0] = 'B';
    p[1] = 'M';
    PutLe32(p + 2, static_cast<uint32_t>(total));
    PutLe32(p + 6, 0);
    PutLe32(p + 10, static_cast<uint32_t>(offset));
    std::memcpy(p + kBmpFileHeader, info.data(), infoBytes);
    std::memcpy(p + offset, image->GetMemStart(), pixels);
    return true;
}

bool FCImageHandle_Bmp::SaveToFile(const std::string& path, const ImageFrames& frames,
                                   const FCImageTags& tags) {
    std::vector<uint8_t> bytes;
    return SaveToMemory(bytes, frames, tags) && WriteFile(path, bytes);
}

// ---- TGA ----

namespace {

// Copies one pixel of `size` bytes, or reports that the input ran out.
struct TgaCursor {
    const uint8_t* data;
    size_t length;
    size_t at;
    bool Take(uint8_t* dst, size_t size) {
        if (at > length || length - at < size) {
            return false;
        }
        std::memcpy(dst, data + at, size);
        at += size;
        return true;
    }
};

// One run-length encoded row of `width` pixels. A packet running past the row is cut at the
// row's end; the rest of it is dropped.
bool DecodeTgaRleRow(TgaCursor& in, uint8_t* row, int32_t width, size_t pixelSize) {
    int32_t done = 0;
    while (done < width) {
        uint8_t packet;
        if (!in.Take(&packet, 1)) {
            return false;
        }
        const int32_t count = (packet & 0x7F) + 1;
        const int32_t used = std::min(count, width - done);
        uint8_t* dst = row + static_cast<size_t>(done) * pixelSize;
        if (packet & 0x80) {
            uint8_t pixel[4];
            if (!in.Take(pixel, pixelSize)) {
                return false;
            }
            for (int32_t i = 0; i < used; ++i) {
                std::memcpy(dst + static_cast<size_t>(i) * pixelSize, pixel, pixelSize);
            }
        } else {
            if (!in.Take(dst, static_cast<size_t>(used) * pixelSize)) {
                return false;
            }
            const size_t skipped = static_cast<size_t>(count - used) * pixelSize;
            if (in.length - in.at < skipped) {
                return false;
            }
            in.at += skipped;
        }
        done += used;
    }
    return true;
}

} // namespace

bool FCImageHandle_Tga::LoadFromMemory(const uint8_t* bytes, size_t length,
                                       PCL_Interface_Composite& frames,
                                       std::unique_ptr<FCImageTags>& tags) {
    if (bytes == nullptr || length <= kTgaHeader) {
        return false;
    }
    const uint8_t idLength = bytes[0];
    const uint8_t mapType = bytes[1];
    const uint8_t imageType = bytes[2];
    const uint16_t mapFirst = Read16(bytes + 3);
    const uint16_t mapLength = Read16(bytes + 5);
    const uint8_t mapEntryBits = bytes[7];
    const int32_t width = Read16(bytes + 12);
    const int32_t height = Read16(bytes + 14);
    const int depth = bytes[16] == 15 ? 16 : bytes[16];
    const uint8_t descriptor = bytes[17];
    if (mapEntryBits == 15 || mapEntryBits == 16) {
        return false;
    }
    auto image = std::make_unique<FCObjImage>();
    if (!image->CreateBlank(width, height, depth)) {
        return false;
    }
    TgaCursor in{bytes, length, kTgaHeader + idLength};
    if (mapType == 1) {
        if (mapFirst + mapLength > 256) {
            return false;
        }
        RGBQUAD palette[256] = {};
        const size_t entryBytes = mapEntryBits == 32 ? 4 : 3;
        for (int i = 0; i < mapLength; ++i) {
            uint8_t entry[4] = {};
            if (!in.Take(entry, entryBytes)) {
                return false;
            }
            palette[mapFirst + i] = RGBQUAD{entry[0], entry[1], entry[2], entry[3]};
        }
        image->SetPalette(0, 256, palette);
    }
    const bool rle = imageType >= 9 && imageType <= 11;
    const size_t pixelSize = static_cast<size_t>(depth / 8);
    const size_t rowBytes = static_cast<size_t>(width) * static_cast<size_t>(depth) / 8;
    const bool topDown = (descriptor & 0x20) != 0;
    for (int32_t i = 0; i < height; ++i) {
        uint8_t* row = image->LineAt(topDown ? i : height - 1 - i);
        // A short file leaves the remaining rows as they are (zero).
        const bool ok = rle && pixelSize > 0 ? DecodeTgaRleRow(in, row, width, pixelSize)
                                             : in.Take(row, rowBytes);
        if (!ok) {
            break;
        }
    }
    tags = std::make_unique<FCImageTags>();
    tags->SetValue(kTagTgaCompression, rle ? "1" : "-1");
    frames.PushFrame(std::move(image));
    return true;
}

bool FCImageHandle_Tga::SaveToFile(const std::string& path, const ImageFrames& frames,
                                   const FCImageTags& tags) {
    const FCObjImage* image = FirstFrame(frames);
    if (image == nullptr) {
        return false;
    }
    const int bits = image->ColorBits();
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32) {
        return false;
    }
    // The header holds 16 bits per side; a larger picture cannot be described.
    if (image->Width() > 0xFFFF || image->Height() > 0xFFFF) {
        return false;
    }
    const size_t idLength = sizeof(kTgaImageId) - 1;
    const size_t rowBytes = static_cast<size_t>(image->Width()) * static_cast<size_t>(bits) / 8;
    const size_t mapBytes = bits == 8 ? 256 * 3 : 0;
    std::vector<uint8_t> out(kTgaHeader + idLength + mapBytes +
                             rowBytes * static_cast<size_t>(image->Height()));
    uint8_t* p = out.data();
    p[0] = static_cast<uint8_t>(idLength);
    p[1] = bits == 8 ? 1 : 0;
    p[2] = bits == 8 ? 1 : 2;
    PutLe16(p + 5, 256);
    p[7] = 24;
    PutLe16(p + 12, static_cast<uint32_t>(image->Width()));
    PutLe16(p + 14, static_cast<uint32_t>(image->Height()));
    p[16] = static_cast<uint8_t>(bits);
    p[17] = 0x20;
    std::memcpy(p + kTgaHeader, kTgaImageId, idLength);
    p += kTgaHeader + idLength;
    if (bits == 8) {
        const RGBQUAD* palette = image->Palette();
        for (int i = 0; i < 256; ++i, p += 3) {
            p[0] = palette[i].rgbBlue;
            p[1] = palette[i].rgbGreen;
            p[2] = palette[i].rgbRed;
        }
    }
    for (int32_t row = 0; row < image->Height(); ++row, p += rowBytes) {
        std::memcpy(p, image->LineAt(row), rowBytes);
    }
    return WriteFile(path, out);
}
