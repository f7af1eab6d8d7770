#include "image/ObjImage.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>

namespace {

bool IsSupportedDepth(int bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
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
