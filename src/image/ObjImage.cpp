#include "image/ObjImage.h"

#include "base/ByteOrder.h"
#include "base/WholeFile.h"
#include "image/DibBlocks.h"
#include "image/ImageFactory.h"
#include "image/ImageHandle.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>

namespace {

bool IsSupportedDepth(int bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// Scales a masked channel of a 16-bit word to 8 bits: the top bits of the channel land in the
// top bits of the byte, the low bits stay zero (so 5-5-5 and 5-6-5 give the usual values).
uint8_t MaskedChannel(uint32_t v, uint32_t mask) {
    if (mask == 0) {
        return 0;
    }
    const int shift = std::countr_zero(mask);
    const int width = std::popcount(mask >> shift);
    uint32_t c = (v & mask) >> shift;
    if (width > 8) {
        c >>= width - 8;
    } else {
        c <<= 8 - width;
    }
    return static_cast<uint8_t>(c);
}

} // namespace

size_t DibStride(int32_t width, int bits) {
    if (width <= 0 || bits <= 0) {
        return 0;
    }
    const uint64_t rowBits = static_cast<uint64_t>(width) * static_cast<uint64_t>(bits);
    return static_cast<size_t>((rowBits + 31) / 32 * 4);
}

FCObjImage::PixelBlock FCObjImage::PixelBlock::Allocate(size_t bytes, bool zeroFill) {
    constexpr size_t kMapAbove = size_t{2} << 20;
    PixelBlock block;
    if (bytes >= kMapAbove) {
        void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) {
            return block;
        }
        madvise(p, bytes, MADV_HUGEPAGE); // advice only: fine when refused
        block.data_ = static_cast<uint8_t*>(p);
        block.mapped_ = true;
    } else {
        block.data_ = static_cast<uint8_t*>(zeroFill ? std::calloc(bytes, 1) : std::malloc(bytes));
    }
    block.size_ = block.data_ != nullptr ? bytes : 0;
    return block;
}

FCObjImage::PixelBlock::~PixelBlock() {
    if (mapped_) {
        munmap(data_, size_);
    } else {
        std::free(data_);
    }
}

void FCObjImage::PixelBlock::Swap(PixelBlock& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(mapped_, other.mapped_);
}

FCObjImage::~FCObjImage() = default;

bool FCObjImage::Create(const BITMAPINFOHEADER* header, const uint32_t* masks) {
    return CreateImpl(header, masks, true);
}

bool FCObjImage::CreateImpl(const BITMAPINFOHEADER* header, const uint32_t* masks, bool zeroFill) {
    if (header == nullptr || header->biWidth <= 0 || header->biHeight <= 0 ||
        (header->biCompression != BI_RGB && header->biCompression != BI_BITFIELDS) ||
        !IsSupportedDepth(header->biBitCount)) {
        return false;
    }
    const size_t stride = DibStride(header->biWidth, header->biBitCount);
    const auto height = static_cast<size_t>(header->biHeight);
    if (stride == 0 || stride > kMaxBytes / height ||
        stride * height + height * sizeof(uint8_t*) > kMaxBytes) {
        return false;
    }
    const size_t bytes = stride * height;

    // A block of the same size is reused: reloading a picture of one size does not go back
    // to the system for fresh pages every time.
    PixelBlock block;
    if (block_.data() != nullptr && block_.size() == bytes) {
        block = std::move(block_);
        if (zeroFill) {
            std::memset(block.data(), 0, bytes);
        }
    } else {
        block = PixelBlock::Allocate(bytes, zeroFill);
        if (block.data() == nullptr) {
            return false;
        }
    }
    Destroy();

    info_ = BITMAPINFOHEADER{};
    info_.biSize = sizeof(BITMAPINFOHEADER);
    info_.biWidth = header->biWidth;
    info_.biHeight = header->biHeight;
    info_.biPlanes = 1;
    info_.biBitCount = header->biBitCount;
    info_.biCompression = header->biCompression;
    info_.biXPelsPerMeter = header->biXPelsPerMeter;
    info_.biYPelsPerMeter = header->biYPelsPerMeter;
    if (info_.biBitCount == 16) {
        masks_[0] = 0x7C00;
        masks_[1] = 0x03E0;
        masks_[2] = 0x001F;
        if (info_.biCompression == BI_BITFIELDS && masks != nullptr) {
            std::copy(masks, masks + 3, masks_);
        }
    } else {
        info_.biCompression = BI_RGB;
    }

    stride_ = stride;
    block_ = std::move(block);
    pixels_ = block_.data();
    lines_.resize(height);
    uint8_t* line = pixels_ + bytes - stride;
    for (size_t i = 0; i < height; ++i, line -= stride) {
        lines_[i] = line;
    }
    if (info_.biBitCount <= 8) {
        palette_.assign(size_t{1} << info_.biBitCount, RGBQUAD{});
        SetGreyPalette();
    }
    return true;
}

bool FCObjImage::CreateBlank(int32_t width, int32_t height, int bits) {
    BITMAPINFOHEADER header;
    header.biWidth = width;
    header.biHeight = height;
    header.biBitCount = static_cast<uint16_t>(bits);
    return bits > 0 && bits <= 32 && Create(&header);
}

void FCObjImage::Destroy() {
    block_ = PixelBlock{};
    pixels_ = nullptr;
    lines_.clear();
    lines_.shrink_to_fit();
    palette_.clear();
    info_ = BITMAPINFOHEADER{};
    stride_ = 0;
    masks_[0] = masks_[1] = masks_[2] = 0;
}

void FCObjImage::SwapContents(FCObjImage& other) noexcept {
    std::swap(info_, other.info_);
    std::swap(stride_, other.stride_);
    block_.Swap(other.block_);
    std::swap(pixels_, other.pixels_);
    std::swap(lines_, other.lines_);
    std::swap(masks_, other.masks_);
    std::swap(palette_, other.palette_);
    std::swap(x, other.x);
    std::swap(y, other.y);
}

void FCObjImage::CopyFrom(const FCObjImage& other) {
    if (&other == this || !other.IsValid()) {
        return;
    }
    if (!CreateImpl(&other.info_, other.masks_, false)) {
        return;
    }
    std::memcpy(pixels_, other.pixels_, GetPixelBytes());
    palette_ = other.palette_;
    x = other.x;
    y = other.y;
}

uint8_t* FCObjImage::PixelAddress(int32_t px, int32_t py) const {
    uint8_t* line = LineAt(py);
    if (line == nullptr || px < 0 || px >= Width()) {
        return nullptr;
    }
    return line + static_cast<size_t>(px) * ColorBits() / 8;
}

uint32_t FCObjImage::PixelValue(int32_t px, int32_t py) const {
    const uint8_t* p = PixelAddress(px, py);
    if (p == nullptr) {
        return 0;
    }
    switch (ColorBits()) {
    case 1:
        return (*p >> (7 - (px & 7))) & 1;
    case 4:
        return (px & 1) ? (*p & 0x0F) : (*p >> 4);
    case 8:
        return *p;
    case 16:
        return static_cast<uint32_t>(p[0] | (p[1] << 8));
    case 24:
        return static_cast<uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16));
    case 32: {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    default:
        return 0;
    }
}

bool FCObjImage::GetPalette(int first, int count, RGBQUAD* entries) const {
    if (!IsValid() || ColorBits() > 8 || first < 0 || entries == nullptr) {
        return false;
    }
    for (int i = 0; i < count && first + i < PaletteSize(); ++i) {
        entries[i] = palette_[static_cast<size_t>(first + i)];
    }
    return true;
}

bool FCObjImage::SetPalette(int first, int count, const RGBQUAD* entries) {
    if (!IsValid() || ColorBits() > 8 || first < 0 || entries == nullptr) {
        return false;
    }
    for (int i = 0; i < count && first + i < PaletteSize(); ++i) {
        palette_[static_cast<size_t>(first + i)] = entries[i];
    }
    return true;
}

void FCObjImage::SetGreyPalette() {
    if (!IsValid() || ColorBits() > 8) {
        return;
    }
    const int n = PaletteSize();
    const int step = 255 / (n - 1);
    for (int i = 0; i < n; ++i) {
        const auto c = static_cast<uint8_t>(step * i);
        palette_[static_cast<size_t>(i)] = RGBQUAD{c, c, c, 0};
    }
}

void FCObjImage::SetAllAlpha(uint8_t value) {
    if (!IsValid() || ColorBits() != 32) {
        return;
    }
    for (int32_t row = 0; row < Height(); ++row) {
        uint8_t* p = LineAt(row) + 3;
        for (int32_t col = 0; col < Width(); ++col, p += 4) {
            *p = value;
        }
    }
}

void FCObjImage::ConvertDepth(int bits) {
    if (!IsValid() || (bits != 24 && bits != 32) || bits == ColorBits()) {
        return;
    }
    FCObjImage old;
    old.SwapContents(*this);
    if (!CreateBlank(old.Width(), old.Height(), bits)) {
        SwapContents(old); // out of memory: keep the picture as it was
        return;
    }
    x = old.x;
    y = old.y;
    const int oldBits = old.ColorBits();
    const size_t step = static_cast<size_t>(bits / 8);
    for (int32_t row = 0; row < Height(); ++row) {
        uint8_t* d = LineAt(row);
        const uint8_t* s = old.LineAt(row);
        for (int32_t col = 0; col < Width(); ++col, d += step) {
            if (oldBits <= 8) {
                const RGBQUAD& q = old.palette_[old.PixelValue(col, row)];
                d[0] = q.rgbBlue;
                d[1] = q.rgbGreen;
                d[2] = q.rgbRed;
            } else if (oldBits == 16) {
                const uint32_t v = static_cast<uint32_t>(s[2 * col] | (s[2 * col + 1] << 8));
                d[0] = MaskedChannel(v, old.masks_[2]);
                d[1] = MaskedChannel(v, old.masks_[1]);
                d[2] = MaskedChannel(v, old.masks_[0]);
            } else {
                const uint8_t* p = s + static_cast<size_t>(col) * (oldBits / 8);
                d[0] = p[0];
                d[1] = p[1];
                d[2] = p[2];
            }
        }
    }
    if (bits == 32) {
        SetAllAlpha(255);
    }
}

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

size_t FCObjImage::Serialize(bool save, std::vector<uint8_t>& buffer) {
    constexpr size_t kHead = sizeof(BITMAPINFOHEADER) + 12;
    if (save) {
        if (!IsValid()) {
            return 0;
        }
        const size_t pixels = GetPixelBytes();
        buffer.resize(kHead + pixels + 8);
        std::memcpy(buffer.data(), &info_, sizeof(info_));
        std::memcpy(buffer.data() + sizeof(info_), masks_, 12);
        std::memcpy(buffer.data() + kHead, pixels_, pixels);
        std::memcpy(buffer.data() + kHead + pixels, &x, 4);
        std::memcpy(buffer.data() + kHead + pixels + 4, &y, 4);
        return buffer.size();
    }
    if (buffer.size() < kHead + 8) {
        return 0;
    }
    BITMAPINFOHEADER header;
    uint32_t masks[3];
    std::memcpy(&header, buffer.data(), sizeof(header));
    std::memcpy(masks, buffer.data() + sizeof(header), 12);
    // Check the length before touching this image, which stays as it was on failure.
    const size_t stride = DibStride(header.biWidth, header.biBitCount);
    if (header.biHeight <= 0 || stride == 0 ||
        stride > (buffer.size() - kHead - 8) / static_cast<size_t>(header.biHeight)) {
        return 0;
    }
    FCObjImage loaded;
    if (!ImageBuilder::CreateForOverwrite(loaded, header, masks)) {
        return 0;
    }
    const size_t pixels = loaded.GetPixelBytes();
    std::memcpy(loaded.pixels_, buffer.data() + kHead, pixels);
    std::memcpy(&loaded.x, buffer.data() + kHead + pixels, 4);
    std::memcpy(&loaded.y, buffer.data() + kHead + pixels + 4, 4);
    SwapContents(loaded);
    return kHead + pixels + 8;
}

bool FCObjImage::LoadImage(const uint8_t* bytes, size_t length, ImageType type, FCImageTags* tags) {
    // BMP decodes straight into this picture (same result, no second pixel block); it
    // produces no tags.
    if (type == Bmp) {
        return FCImageHandle_Bmp::Decode(bytes, length, *this);
    }
    std::unique_ptr<FCImageHandleBase> handler = GetImageFactory().CreateHandler(type);
    if (!handler) {
        return false;
    }
    PCL_Interface_Composite frames;
    std::unique_ptr<FCImageTags> produced;
    const bool ok = handler->LoadFromMemory(bytes, length, frames, produced);
    if (ok && frames.FrameCount() > 0) {
        FCObjImage* first = frames.GetFrame(0);
        SwapContents(*first);
        if (tags != nullptr && produced) {
            *tags = std::move(*produced);
        }
    }
    return ok && frames.FrameCount() > 0;
}

bool FCObjImage::LoadImageFile(const std::string& path, FCImageTags* tags) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes) || bytes.empty()) {
        return false;
    }
    return LoadImage(bytes.data(), bytes.size(), GetImageFactory().TypeFromPath(path.c_str()),
                     tags);
}

bool FCObjImage::SaveImage(const std::string& path, int quality) const {
    if (!IsValid() || path.empty()) {
        return false;
    }
    FCImageTags tags;
    tags.SetValue(kTagSaveQuality, std::to_string(quality));
    std::unique_ptr<FCImageHandleBase> handler =
        GetImageFactory().CreateHandler(GetImageFactory().TypeFromPath(path.c_str()));
    return handler && handler->SaveToFile(path, ImageFrames{this}, tags);
}

bool FCObjImage::SaveBmpToMemory(std::vector<uint8_t>& out) const {
    FCImageTags tags;
    tags.SetValue(kTagSaveQuality, "-1");
    FCImageHandle_Bmp bmp;
    return bmp.SaveToMemory(out, ImageFrames{this}, tags);
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
