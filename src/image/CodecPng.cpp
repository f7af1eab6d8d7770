// PNG through libpng.
#include "image/CodecFormats.h"

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <memory>

#include <png.h>

namespace {

struct MemoryReader {
    const uint8_t* data;
    size_t length;
    size_t at;
};

void ReadFromMemory(png_structp png, png_bytep out, size_t count) {
    auto* r = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (r->length - r->at < count) {
        png_error(png, "truncated");
    }
    std::memcpy(out, r->data + r->at, count);
    r->at += count;
}

void WriteToVector(png_structp png, png_bytep data, size_t count) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + count);
}
void FlushNothing(png_structp) {}
void PngQuiet(png_structp, png_const_charp) {}

struct PngDecode {
    png_structp png = nullptr;
    png_infop info = nullptr;
    MemoryReader reader{};
    std::unique_ptr<FCObjImage> image = std::make_unique<FCObjImage>();
    std::vector<png_bytep> rows;
};

bool RunDecode(PngDecode& s) {
    if (setjmp(png_jmpbuf(s.png))) {
        return false;
    }
    png_set_read_fn(s.png, &s.reader, ReadFromMemory);
    png_read_info(s.png, s.info);
    const png_uint_32 width = png_get_image_width(s.png, s.info);
    const png_uint_32 height = png_get_image_height(s.png, s.info);
    const int colourType = png_get_color_type(s.png, s.info);
    const int depth = png_get_bit_depth(s.png, s.info);
    const bool trns = png_get_valid(s.png, s.info, PNG_INFO_tRNS) != 0;

    int bits = 24;
    if (depth == 16) {
        png_set_strip_16(s.png);
    }
    if (colourType == PNG_COLOR_TYPE_PALETTE && !trns) {
        bits = depth == 2 ? 8 : depth;
        if (depth == 2) {
            png_set_packing(s.png);
        }
    } else if (colourType == PNG_COLOR_TYPE_GRAY && !trns) {
        bits = depth == 2 || depth == 16 ? 8 : depth;
        if (depth == 2) {
            png_set_expand_gray_1_2_4_to_8(s.png);
        }
    } else {
        png_set_expand(s.png);
        if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) {
            png_set_gray_to_rgb(s.png);
        }
        png_set_bgr(s.png);
        const bool alpha = trns || (colourType & PNG_COLOR_MASK_ALPHA) != 0;
        bits = alpha ? 32 : 24;
    }
    png_set_interlace_handling(s.png);
    png_read_update_info(s.png, s.info);
    if (width > 0x7FFFFFFF || height > 0x7FFFFFFF ||
        !s.image->CreateBlank(static_cast<int32_t>(width), static_cast<int32_t>(height), bits)) {
        return false;
    }
    if (png_get_rowbytes(s.png, s.info) > s.image->GetPitch()) {
        return false;
    }
    if (colourType == PNG_COLOR_TYPE_PALETTE && bits <= 8) {
        png_colorp palette = nullptr;
        int count = 0;
        if (png_get_PLTE(s.png, s.info, &palette, &count) == PNG_INFO_PLTE) {
            RGBQUAD entries[256] = {};
            count = std::min(count, s.image->PaletteSize());
            for (int i = 0; i < count; ++i) {
                entries[i] = RGBQUAD{palette[i].blue, palette[i].green, palette[i].red, 0};
            }
            s.image->SetPalette(0, count, entries);
        }
    }
    s.rows.resize(height);
    for (png_uint_32 i = 0; i < height; ++i) {
        s.rows[i] = s.image->LineAt(static_cast<int32_t>(i));
    }
    png_read_image(s.png, s.rows.data());
    png_read_end(s.png, nullptr);
    return true;
}

struct PngEncode {
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<png_bytep> rows;
};

bool RunEncode(PngEncode& s, const FCObjImage& image, std::vector<uint8_t>& out) {
    if (setjmp(png_jmpbuf(s.png))) {
        return false;
    }
    png_set_write_fn(s.png, &out, WriteToVector, FlushNothing);
    const int bits = image.ColorBits();
    const int colourType = bits <= 8    ? PNG_COLOR_TYPE_PALETTE
                           : bits == 32 ? PNG_COLOR_TYPE_RGB_ALPHA
                                        : PNG_COLOR_TYPE_RGB;
    png_set_IHDR(s.png, s.info, static_cast<png_uint_32>(image.Width()),
                 static_cast<png_uint_32>(image.Height()), bits <= 8 ? bits : 8, colourType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (bits <= 8) {
        png_color palette[256];
        for (int i = 0; i < image.PaletteSize(); ++i) {
            palette[i] = png_color{image.Palette()[i].rgbRed, image.Palette()[i].rgbGreen,
                                   image.Palette()[i].rgbBlue};
        }
        png_set_PLTE(s.png, s.info, palette, image.PaletteSize());
    }
    png_write_info(s.png, s.info);
    if (bits > 8) {
        png_set_bgr(s.png);
    }
    s.rows.resize(static_cast<size_t>(image.Height()));
    for (int32_t i = 0; i < image.Height(); ++i) {
        s.rows[static_cast<size_t>(i)] = image.LineAt(i);
    }
    png_write_image(s.png, s.rows.data());
    png_write_end(s.png, nullptr);
    return true;
}

} // namespace

bool DecodePng(const uint8_t* bytes, size_t length, PCL_Interface_Composite& frames,
               FCImageTags& tags) {
    PngDecode s;
    s.reader = MemoryReader{bytes, length, 0};
    s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngQuiet, PngQuiet);
    if (s.png == nullptr) {
        return false;
    }
    s.info = png_create_info_struct(s.png);
    const bool ok = s.info != nullptr && RunDecode(s);
    png_destroy_read_struct(&s.png, &s.info, nullptr);
    if (!ok) {
        return false;
    }
    frames.PushFrame(std::move(s.image));
    return true;
}

bool EncodePng(const FCObjImage& source, std::vector<uint8_t>& out) {
    FCObjImage scratch;
    const FCObjImage& image =
        source.ColorBits() == 16 ? TrueColour(source, scratch, false) : source;
    PngEncode s;
    s.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngQuiet, PngQuiet);
    if (s.png == nullptr) {
        return false;
    }
    s.info = png_create_info_struct(s.png);
    out.clear();
    const bool ok = s.info != nullptr && RunEncode(s, image, out);
    png_destroy_write_struct(&s.png, &s.info);
    if (!ok) {
        out.clear();
    }
    return ok;
}
