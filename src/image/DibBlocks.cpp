#include "image/DibBlocks.h"

#include "base/ByteOrder.h"

#include <algorithm>
#include <cstring>

std::vector<uint8_t> FCObjImage::ExportInfoHeader() const {
    std::vector<uint8_t> out;
    if (!IsValid()) {
        return out;
    }
    const size_t extra = ColorBits() <= 8 ? palette_.size() * sizeof(RGBQUAD) : sizeof(masks_);
    out.resize(sizeof(info_) + extra);
    std::memcpy(out.data(), &info_, sizeof(info_));
    if (ColorBits() <= 8) {
        std::memcpy(out.data() + sizeof(info_), palette_.data(), extra);
    } else {
        std::memcpy(out.data() + sizeof(info_), masks_, extra);
    }
    return out;
}

bool FCObjImage::LoadPackedDib(const uint8_t* bytes, size_t length) {
    FCObjImage loaded;
    if (ReadPackedDib(bytes, length, MaskSkip::WhenBitFields, false, loaded) == 0) {
        return false;
    }
    loaded.x = x;
    loaded.y = y;
    SwapContents(loaded);
    return true;
}

size_t ReadPackedDib(const uint8_t* bytes, size_t length, MaskSkip skip, bool halfHeight,
                     FCObjImage& image) {
    BITMAPINFOHEADER header;
    uint32_t masks[3];
    if (!ReadDibHeader(bytes, length, 0, header, masks) || header.biSize < 40 ||
        header.biSize > length) {
        return 0;
    }
    if (halfHeight) {
        header.biHeight /= 2;
    }
    FCObjImage loaded;
    if (!CreateFromDibHeader(loaded, header, masks, length >= 52)) {
        return 0;
    }
    size_t at = header.biSize;
    at += ReadDibPalette(loaded, bytes, length, at);
    if (header.biCompression == BI_BITFIELDS &&
        (skip == MaskSkip::WhenBitFields || header.biSize == 40)) {
        at += 12;
    }
    ReadDibPixels(loaded, bytes, length, at);
    image = std::move(loaded);
    return at + image.GetPixelBytes();
}

bool ReadDibHeader(const uint8_t* data, size_t length, size_t at, BITMAPINFOHEADER& header,
                   uint32_t masks[3]) {
    if (data == nullptr || at > length || length - at < sizeof(BITMAPINFOHEADER)) {
        return false;
    }
    std::memcpy(&header, data + at, sizeof(header));
    masks[0] = masks[1] = masks[2] = 0;
    if (length - at >= sizeof(BITMAPINFOHEADER) + 12) {
        std::memcpy(masks, data + at + sizeof(BITMAPINFOHEADER), 12);
    }
    return true;
}

bool CreateFromDibHeader(FCObjImage& image, const BITMAPINFOHEADER& header, const uint32_t masks[3],
                         bool masksPresent) {
    if (header.biBitCount == 16 && header.biCompression == BI_BITFIELDS && !masksPresent) {
        return false;
    }
    return ImageBuilder::CreateForOverwrite(image, header, masks);
}

size_t ReadDibPalette(FCObjImage& image, const uint8_t* data, size_t length, size_t at) {
    if (image.ColorBits() > 8) {
        return 0;
    }
    const size_t entries = size_t{1} << image.ColorBits();
    const size_t available = at < length ? (length - at) / sizeof(RGBQUAD) : 0;
    std::vector<RGBQUAD> palette(std::min(entries, available));
    if (!palette.empty()) {
        std::memcpy(palette.data(), data + at, palette.size() * sizeof(RGBQUAD));
        image.SetPalette(0, static_cast<int>(palette.size()), palette.data());
    }
    return entries * sizeof(RGBQUAD);
}

void ReadDibPixels(FCObjImage& image, const uint8_t* data, size_t length, size_t at) {
    const size_t want = image.GetPixelBytes();
    const size_t have = at < length ? std::min(want, length - at) : 0;
    if (have > 0) {
        std::memcpy(image.GetMemStart(), data + at, have);
    }
    std::memset(image.GetMemStart() + have, 0, want - have);
}

std::vector<uint8_t> MakeClipboardDib(const FCObjImage& image) {
    std::vector<uint8_t> block;
    if (!image.IsValid() || (image.ColorBits() != 24 && image.ColorBits() != 32)) {
        return block;
    }
    block.resize(sizeof(BITMAPINFOHEADER) + image.GetPixelBytes());
    std::memcpy(block.data(), &image.InfoHeader(), sizeof(BITMAPINFOHEADER));
    std::memcpy(block.data() + sizeof(BITMAPINFOHEADER), image.GetMemStart(),
                image.GetPixelBytes());
    return block;
}

bool ImageFromClipboardDib(const uint8_t* bytes, size_t length, FCObjImage& image) {
    FCObjImage pasted;
    if (ReadPackedDib(bytes, length, MaskSkip::WhenBitFieldsAndPlainSize, false, pasted) == 0) {
        return false;
    }
    const bool bitFields = pasted.ColorBits() == 32 && Read32(bytes + 16) == BI_BITFIELDS;
    if (pasted.ColorBits() != 32) {
        pasted.ConvertDepth(32);
    } else if (bitFields) {
        pasted.SetAllAlpha(255);
    }
    if (pasted.ColorBits() != 32) {
        return false;
    }
    pasted.x = image.x;
    pasted.y = image.y;
    image = std::move(pasted);
    return true;
}
