// TIFF through libtiff: every page on reading, the first frame on writing.
#include "base/ByteOrder.h"
#include "image/CodecAdapter.h"
#include "image/CodecFormats.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include <tiffio.h>

namespace {

// A TIFF file held in memory, readable and (when `out` is set) writable.
struct MemoryFile {
    const uint8_t* data = nullptr;
    size_t length = 0;
    std::vector<uint8_t>* out = nullptr;
    size_t at = 0;

    size_t Size() const { return out != nullptr ? out->size() : length; }
    const uint8_t* Bytes() const { return out != nullptr ? out->data() : data; }
};

tmsize_t ReadProc(thandle_t h, void* buffer, tmsize_t size) {
    auto* f = static_cast<MemoryFile*>(h);
    if (size <= 0 || f->at >= f->Size()) {
        return 0;
    }
    const size_t n = std::min(static_cast<size_t>(size), f->Size() - f->at);
    std::memcpy(buffer, f->Bytes() + f->at, n);
    f->at += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t WriteProc(thandle_t h, void* buffer, tmsize_t size) {
    auto* f = static_cast<MemoryFile*>(h);
    if (f->out == nullptr || size < 0) {
        return -1;
    }
    const auto n = static_cast<size_t>(size);
    if (f->out->size() < f->at + n) {
        f->out->resize(f->at + n);
    }
    std::memcpy(f->out->data() + f->at, buffer, n);
    f->at += n;
    return size;
}

toff_t SeekProc(thandle_t h, toff_t offset, int whence) {
    auto* f = static_cast<MemoryFile*>(h);
    uint64_t base = 0;
    if (whence == SEEK_CUR) {
        base = f->at;
    } else if (whence == SEEK_END) {
        base = f->Size();
    }
    const uint64_t target = base + offset;
    // Readers may not wander far past the end; writers may leave gaps they fill later.
    if (target > (f->out != nullptr ? uint64_t{1} << 40 : f->Size())) {
        return static_cast<toff_t>(-1);
    }
    f->at = static_cast<size_t>(target);
    return target;
}

int CloseProc(thandle_t) {
    return 0;
}
toff_t SizeProc(thandle_t h) {
    return static_cast<MemoryFile*>(h)->Size();
}
int MapProc(thandle_t, void**, toff_t*) {
    return 0;
}
void UnmapProc(thandle_t, void*, toff_t) {}

int Quiet(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

struct TiffCloser {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};

std::unique_ptr<TIFF, TiffCloser> OpenMemory(MemoryFile& file, const char* mode) {
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (options == nullptr) {
        return nullptr;
    }
    TIFFOpenOptionsSetErrorHandlerExtR(options, Quiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, Quiet, nullptr);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, static_cast<tmsize_t>(FCObjImage::kMaxBytes));
    TIFF* tif = TIFFClientOpenExt("memory", mode, &file, ReadProc, WriteProc, SeekProc, CloseProc,
                                  SizeProc, MapProc, UnmapProc, options);
    TIFFOpenOptionsFree(options);
    return std::unique_ptr<TIFF, TiffCloser>(tif);
}

constexpr int kMaxPages = 4096;

// How the samples of the current page are stored.
struct PageLayout {
    uint16_t bits = 0;
    uint16_t samples = 0;
    uint16_t photometric = 0;
    bool hasPhotometric = false;
    bool stripsOfPixels = false; // contiguous samples in strips: readable row by row

    explicit PageLayout(TIFF* tif) {
        uint16_t planar = 0;
        TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
        TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
        TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
        hasPhotometric = TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric) != 0;
        stripsOfPixels = planar == PLANARCONFIG_CONTIG && !TIFFIsTiled(tif);
    }
};

// Plain 8-bit RGB or RGBA strips are read row by row as they are stored, so unassociated
// alpha keeps its colour values exactly. Null when the page has another layout.
std::unique_ptr<FCObjImage> ReadPlainRgbPage(TIFF* tif, const PageLayout& page, uint32_t width,
                                             uint32_t height, DecodeBudget& budget) {
    const uint16_t samples = page.samples;
    if (!page.hasPhotometric || page.bits != 8 || page.photometric != PHOTOMETRIC_RGB ||
        !page.stripsOfPixels || (samples != 3 && samples != 4)) {
        return nullptr;
    }
    if (samples == 4) {
        uint16_t extra = 0;
        uint16_t* kinds = nullptr;
        TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &extra, &kinds);
        if (extra != 1 || kinds == nullptr || kinds[0] == EXTRASAMPLE_ASSOCALPHA) {
            return nullptr; // premultiplied alpha goes the general way
        }
    }
    auto image = std::make_unique<FCObjImage>();
    if (TIFFScanlineSize64(tif) < uint64_t{width} * samples ||
        !image->CreateBlank(static_cast<int32_t>(width), static_cast<int32_t>(height),
                            samples * 8) ||
        !budget.Take(image->GetPixelBytes())) {
        return nullptr;
    }
    std::vector<uint8_t> row(static_cast<size_t>(TIFFScanlineSize64(tif)));
    for (uint32_t y = 0; y < height; ++y) {
        if (TIFFReadScanline(tif, row.data(), y, 0) != 1) {
            break; // a damaged strip keeps the rows read so far
        }
        uint8_t* d = image->LineAt(static_cast<int32_t>(y));
        for (uint32_t x = 0; x < width; ++x, d += samples) {
            const uint8_t* p = row.data() + size_t{x} * samples;
            d[0] = p[2];
            d[1] = p[1];
            d[2] = p[0];
            if (samples == 4) {
                d[3] = p[3];
            }
        }
    }
    return image;
}

// Bilevel, grey and palette pages of 1, 4 or 8 bits stay indexed, with their palette.
// Null when the page has another layout.
std::unique_ptr<FCObjImage> ReadIndexedPage(TIFF* tif, const PageLayout& page, uint32_t width,
                                            uint32_t height, DecodeBudget& budget) {
    const uint16_t bits = page.bits;
    const uint16_t photometric = page.photometric;
    if (!page.hasPhotometric || (bits != 1 && bits != 4 && bits != 8) || page.samples != 1 ||
        !page.stripsOfPixels ||
        (photometric != PHOTOMETRIC_MINISBLACK && photometric != PHOTOMETRIC_MINISWHITE &&
         photometric != PHOTOMETRIC_PALETTE)) {
        return nullptr;
    }
    auto image = std::make_unique<FCObjImage>();
    if (!image->CreateBlank(static_cast<int32_t>(width), static_cast<int32_t>(height), bits) ||
        !budget.Take(image->GetPixelBytes()) ||
        static_cast<uint64_t>(TIFFScanlineSize64(tif)) > image->GetPitch()) {
        return nullptr;
    }
    const int entries = 1 << bits;
    std::vector<RGBQUAD> palette(static_cast<size_t>(entries));
    if (photometric == PHOTOMETRIC_PALETTE) {
        uint16_t* red = nullptr;
        uint16_t* green = nullptr;
        uint16_t* blue = nullptr;
        if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue)) {
            return nullptr;
        }
        // Old writers stored 8-bit values; everyone else scales them to 16 bits.
        bool sixteen = false;
        for (int i = 0; i < entries; ++i) {
            sixteen = sixteen || red[i] > 255 || green[i] > 255 || blue[i] > 255;
        }
        const int shift = sixteen ? 8 : 0;
        for (int i = 0; i < entries; ++i) {
            palette[static_cast<size_t>(i)] = RGBQUAD{static_cast<uint8_t>(blue[i] >> shift),
                                                      static_cast<uint8_t>(green[i] >> shift),
                                                      static_cast<uint8_t>(red[i] >> shift), 0};
        }
        image->SetPalette(0, entries, palette.data());
    } else if (photometric == PHOTOMETRIC_MINISWHITE) {
        image->GetPalette(0, entries, palette.data());
        std::reverse(palette.begin(), palette.end());
        image->SetPalette(0, entries, palette.data());
    }
    for (uint32_t y = 0; y < height; ++y) {
        if (TIFFReadScanline(tif, image->LineAt(static_cast<int32_t>(y)), y, 0) != 1) {
            break; // a damaged strip keeps the rows read so far
        }
    }
    return image;
}

// The current page as a 24-bit picture, or 32 bits when it carries alpha.
std::unique_ptr<FCObjImage> ReadPage(TIFF* tif, DecodeBudget& budget) {
    uint32_t width = 0;
    uint32_t height = 0;
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width) ||
        !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height) || width > 0x7FFFFFFF ||
        height > 0x7FFFFFFF) {
        return nullptr;
    }
    const PageLayout page(tif);
    if (auto plain = ReadPlainRgbPage(tif, page, width, height, budget)) {
        return plain;
    }
    if (auto indexed = ReadIndexedPage(tif, page, width, height, budget)) {
        return indexed;
    }
    char message[1024];
    if (!TIFFRGBAImageOK(tif, message)) {
        return nullptr;
    }
    auto image = std::make_unique<FCObjImage>();
    // Decoded bottom row first, four bytes a pixel, straight into the pixel block.
    if (!image->CreateBlank(static_cast<int32_t>(width), static_cast<int32_t>(height), 32) ||
        !budget.Take(image->GetPixelBytes())) {
        return nullptr;
    }
    if (!TIFFReadRGBAImageOriented(tif, width, height,
                                   reinterpret_cast<uint32_t*>(image->GetMemStart()),
                                   ORIENTATION_BOTLEFT, 0)) {
        return nullptr;
    }
    uint16_t extra = 0;
    uint16_t* kinds = nullptr;
    TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &extra, &kinds);
    // Words come as red | green << 8 | blue << 16 | alpha << 24: swap red and blue.
    for (int32_t row = 0; row < image->Height(); ++row) {
        uint8_t* p = image->LineAt(row);
        for (uint32_t x = 0; x < width; ++x, p += 4) {
            std::swap(p[0], p[2]);
        }
    }
    if (extra == 0) {
        image->ConvertDepth(24);
    }
    return image;
}

// libtiff takes rationals as floating point and stores an approximation; the metadata is
// text like "1/250" and must come back as exactly those two numbers. Puts the exact
// numerator and denominator into the written Exif directory (little-endian, as we write).
void PutExactRationals(std::vector<uint8_t>& tiff, const FCImageTags& tags) {
    auto has = [&tiff](size_t at, size_t n) { return at <= tiff.size() && tiff.size() - at >= n; };
    if (!has(0, 8) || tiff[0] != 'I') {
        return;
    }
    const uint32_t first = Read32(tiff.data() + 4);
    if (!has(first, 2)) {
        return;
    }
    uint32_t exif = 0;
    for (uint32_t i = 0, n = Read16(tiff.data() + first); i < n && has(first + 2 + i * 12, 12);
         ++i) {
        if (Read16(tiff.data() + first + 2 + i * 12) == 34665) {
            exif = Read32(tiff.data() + first + 2 + i * 12 + 8);
        }
    }
    if (exif == 0 || !has(exif, 2)) {
        return;
    }
    for (uint32_t i = 0, n = Read16(tiff.data() + exif); i < n && has(exif + 2 + i * 12, 12); ++i) {
        const size_t entry = exif + 2 + size_t{i} * 12;
        const uint16_t tag = Read16(tiff.data() + entry);
        const uint16_t type = Read16(tiff.data() + entry + 2);
        std::vector<uint8_t> value;
        if ((type != kTypeRational && type != kTypeSRational) ||
            Read32(tiff.data() + entry + 4) != 1 || !tags.Has(tag) ||
            !MetadataValueBytes(type, tags.GetValue(tag), value)) {
            continue;
        }
        const uint32_t at = Read32(tiff.data() + entry + 8);
        if (has(at, 8)) {
            std::memcpy(tiff.data() + at, value.data(), 8);
        }
    }
}

// Writes the Exif directory of the written tags and points the main directory at it.
bool WriteExifDirectory(TIFF* t, const FCImageTags& tags) {
    if (TIFFCreateEXIFDirectory(t) != 0) {
        return false;
    }
    for (const WritableTag& w : kWritableTags) {
        std::vector<uint8_t> value;
        if (!w.exifDirectory || !tags.Has(w.tag) ||
            !MetadataValueBytes(w.type, tags.GetValue(w.tag), value)) {
            continue;
        }
        const std::string text = tags.GetValue(w.tag);
        if (w.type == kTypeAscii) {
            TIFFSetField(t, w.tag, text.c_str());
        } else if (w.type == kTypeShort) {
            const uint16_t v = static_cast<uint16_t>(value[0] | (value[1] << 8));
            if (w.tag == 34855) { // ISOSpeedRatings is a list
                TIFFSetField(t, w.tag, 1, &v);
            } else {
                TIFFSetField(t, w.tag, v);
            }
        } else {
            uint32_t num = 0;
            uint32_t den = 0;
            std::memcpy(&num, value.data(), 4);
            std::memcpy(&den, value.data() + 4, 4);
            if (den == 0) {
                continue;
            }
            const double v =
                w.type == kTypeSRational
                    ? static_cast<double>(static_cast<int32_t>(num)) / static_cast<int32_t>(den)
                    : static_cast<double>(num) / den;
            TIFFSetField(t, w.tag, v);
        }
    }
    uint64_t offset = 0;
    if (TIFFWriteCustomDirectory(t, &offset) != 1 || TIFFSetDirectory(t, 0) != 1) {
        return false;
    }
    TIFFSetField(t, TIFFTAG_EXIFIFD, offset);
    return TIFFRewriteDirectory(t) == 1;
}

} // namespace

bool DecodeTiff(const uint8_t* bytes, size_t length, PCL_Interface_Composite& frames,
                FCImageTags& tags) {
    MemoryFile file;
    file.data = bytes;
    file.length = length;
    auto tif = OpenMemory(file, "rm");
    if (!tif) {
        return false;
    }
    PCL_Interface_Composite decoded;
    DecodeBudget budget;
    int pages = 0;
    do {
        if (std::unique_ptr<FCObjImage> page = ReadPage(tif.get(), budget)) {
            decoded.PushFrame(std::move(page));
        }
    } while (++pages < kMaxPages && TIFFReadDirectory(tif.get()));
    if (decoded.FrameCount() == 0) {
        return false;
    }
    ReadTiffMetadata(bytes, length, tags);
    frames.Append(decoded);
    return true;
}

bool EncodeTiff(const FCObjImage& source, const FCImageTags& tags, std::vector<uint8_t>& out) {
    FCObjImage scratch;
    // 1, 4 and 8 bits stay indexed with their palette; 16 bits become 24.
    const FCObjImage& image = source.ColorBits() <= 8 ? source : TrueColour(source, scratch, true);
    const bool indexed = image.ColorBits() <= 8;
    const bool alpha = image.ColorBits() == 32;
    const int samples = indexed ? 1 : alpha ? 4 : 3;
    out.clear();
    MemoryFile file;
    file.out = &out;
    auto tif = OpenMemory(file, "w");
    if (!tif) {
        return false;
    }
    TIFF* t = tif.get();
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(image.Width()));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(image.Height()));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, indexed ? image.ColorBits() : 8);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, indexed ? PHOTOMETRIC_PALETTE : PHOTOMETRIC_RGB);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    if (alpha) {
        const uint16_t kinds[1] = {EXTRASAMPLE_UNASSALPHA};
        TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, kinds);
    }
    if (indexed) {
        const auto entries = static_cast<size_t>(image.PaletteSize());
        std::vector<uint16_t> red(entries), green(entries), blue(entries);
        for (size_t i = 0; i < entries; ++i) {
            red[i] = static_cast<uint16_t>(image.Palette()[i].rgbRed * 257);
            green[i] = static_cast<uint16_t>(image.Palette()[i].rgbGreen * 257);
            blue[i] = static_cast<uint16_t>(image.Palette()[i].rgbBlue * 257);
        }
        TIFFSetField(t, TIFFTAG_COLORMAP, red.data(), green.data(), blue.data());
    }
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));
    for (const int tag : {271, 272}) {
        if (tags.Has(tag)) {
            TIFFSetField(t, static_cast<uint32_t>(tag), tags.GetValue(tag).c_str());
        }
    }
    std::vector<uint8_t> row(image.GetPitch());
    bool ok = true;
    for (int32_t y = 0; ok && y < image.Height(); ++y) {
        const uint8_t* s = image.LineAt(y);
        if (indexed) {
            std::memcpy(row.data(), s, row.size());
        } else {
            for (size_t x = 0; x < static_cast<size_t>(image.Width()); ++x) {
                uint8_t* d = row.data() + x * samples;
                const uint8_t* p = s + x * samples;
                d[0] = p[2];
                d[1] = p[1];
                d[2] = p[0];
                if (alpha) {
                    d[3] = p[3];
                }
            }
        }
        ok = TIFFWriteScanline(t, row.data(), static_cast<uint32_t>(y), 0) == 1;
    }
    bool exif = false;
    for (const WritableTag& w : kWritableTags) {
        exif = exif || (w.exifDirectory && tags.Has(w.tag));
    }
    if (exif) {
        TIFFSetField(t, TIFFTAG_EXIFIFD, uint64_t{0}); // the place is kept; filled in below
    }
    ok = ok && TIFFWriteDirectory(t) == 1;
    if (ok && exif) {
        ok = WriteExifDirectory(t, tags);
    }
    tif.reset();
    if (!ok) {
        out.clear();
        return false;
    }
    if (exif) {
        PutExactRationals(out, tags);
    }
    return true;
}
