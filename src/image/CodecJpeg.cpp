// JPEG through libjpeg-turbo, with Exif metadata through libexif.
#include "image/CodecFormats.h"

#include "image/CodecAdapter.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>

#include <jpeglib.h>

#include <libexif/exif-data.h>

namespace {

struct JpegError {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

[[noreturn]] void JpegErrorExit(j_common_ptr cinfo) {
    longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1);
}
void JpegQuiet(j_common_ptr, int) {}
void JpegNoOutput(j_common_ptr) {}

void InstallErrors(JpegError& err) {
    jpeg_std_error(&err.pub);
    err.pub.error_exit = JpegErrorExit;
    err.pub.emit_message = JpegQuiet;
    err.pub.output_message = JpegNoOutput;
}

// The quality the file was most likely written with, estimated from its luminance table
// against the standard one the usual encoders scale.
int EstimateQuality(const JQUANT_TBL* table) {
    static const unsigned kStd[64] = {16,  11,  10,  16,  24, 40, 51,  61,  12,  12,  14,  19,  26,
                                      58,  60,  55,  14,  13, 16, 24,  40,  57,  69,  56,  14,  17,
                                      22,  29,  51,  87,  80, 62, 18,  22,  37,  56,  68,  109, 103,
                                      77,  24,  35,  55,  64, 81, 104, 113, 92,  49,  64,  78,  87,
                                      103, 121, 120, 101, 72, 92, 95,  98,  112, 100, 103, 99};
    if (table == nullptr) {
        return 0;
    }
    double sum = 0;
    for (int i = 0; i < 64; ++i) {
        sum += table->quantval[i] * 100.0 / kStd[i];
    }
    const double scale = sum / 64;
    const double q = scale <= 100 ? (200 - scale) / 2 : 5000 / scale;
    return std::clamp(static_cast<int>(q + 0.5), 1, 100);
}

// Adobe CMYK is stored inverted; turns one decoded row into blue, green, red.
void CmykRowToBgr(const uint8_t* src, uint8_t* dst, int32_t width) {
    for (int32_t i = 0; i < width; ++i, src += 4, dst += 3) {
        const unsigned k = src[3];
        dst[0] = static_cast<uint8_t>(src[2] * k / 255);
        dst[1] = static_cast<uint8_t>(src[1] * k / 255);
        dst[2] = static_cast<uint8_t>(src[0] * k / 255);
    }
}

struct DecodeState {
    jpeg_decompress_struct cinfo;
    JpegError err;
    std::unique_ptr<FCObjImage> image;
    std::vector<uint8_t> cmykRow;
    bool created = false;
};

// Everything that may jump lives in the state, created before setjmp.
bool RunDecode(DecodeState& s, const uint8_t* bytes, size_t length, FCImageTags& tags) {
    jpeg_decompress_struct& cinfo = s.cinfo;
    if (setjmp(s.err.jump)) {
        // A fault after rows were decoded still gives the picture decoded so far.
        return s.created && cinfo.output_scanline > 0;
    }
    jpeg_mem_src(&cinfo, bytes, static_cast<unsigned long>(length));
    jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) {
        return false;
    }
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m != nullptr; m = m->next) {
        if (m->marker == JPEG_APP0 + 1 && m->data_length >= 6 &&
            std::memcmp(m->data, "Exif\0\0", 6) == 0) {
            ReadExifBlock(m->data, m->data_length, tags);
            break;
        }
    }
    const int quality = EstimateQuality(cinfo.quant_tbl_ptrs[0]);
    if (quality > 0) {
        tags.SetValue(kTagJpegQuality, std::to_string(quality));
    }
    int bits = 24;
    if (cinfo.jpeg_color_space == JCS_GRAYSCALE) {
        cinfo.out_color_space = JCS_GRAYSCALE;
        bits = 8;
    } else if (cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK) {
        cinfo.out_color_space = JCS_CMYK;
    } else {
        cinfo.out_color_space = JCS_EXT_BGR;
    }
    if (cinfo.image_width > 0x7FFFFFFF || cinfo.image_height > 0x7FFFFFFF ||
        !s.image->CreateBlank(static_cast<int32_t>(cinfo.image_width),
                              static_cast<int32_t>(cinfo.image_height), bits)) {
        return false;
    }
    // Progressive files keep every coefficient in memory: bound it like the picture.
    cinfo.mem->max_memory_to_use = static_cast<long>(FCObjImage::kMaxBytes);
    jpeg_start_decompress(&cinfo);
    s.created = true;
    const bool cmyk = cinfo.out_color_space == JCS_CMYK;
    if (cmyk) {
        s.cmykRow.resize(size_t{cinfo.output_width} * 4);
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW rows[16];
        int n = 0;
        if (cmyk) {
            rows[n++] = s.cmykRow.data();
        } else {
            for (; n < 16 && cinfo.output_scanline + n < cinfo.output_height; ++n) {
                rows[n] = s.image->LineAt(static_cast<int32_t>(cinfo.output_scanline) + n);
            }
        }
        const auto line = static_cast<int32_t>(cinfo.output_scanline);
        const JDIMENSION got = jpeg_read_scanlines(&cinfo, rows, static_cast<JDIMENSION>(n));
        if (got == 0) {
            break;
        }
        if (cmyk) {
            CmykRowToBgr(s.cmykRow.data(), s.image->LineAt(line), s.image->Width());
        }
    }
    jpeg_finish_decompress(&cinfo);
    return true;
}

struct EncodeState {
    jpeg_compress_struct cinfo;
    JpegError err;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
};

bool RunEncode(EncodeState& s, const FCObjImage& image, int quality,
               const std::vector<uint8_t>& exif) {
    jpeg_compress_struct& cinfo = s.cinfo;
    if (setjmp(s.err.jump)) {
        return false;
    }
    jpeg_mem_dest(&cinfo, &s.buffer, &s.size);
    cinfo.image_width = static_cast<JDIMENSION>(image.Width());
    cinfo.image_height = static_cast<JDIMENSION>(image.Height());
    cinfo.input_components = image.ColorBits() / 8;
    cinfo.in_color_space = image.ColorBits() == 32 ? JCS_EXT_BGRX : JCS_EXT_BGR;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    if (!exif.empty()) {
        jpeg_write_marker(&cinfo, JPEG_APP0 + 1, exif.data(), static_cast<unsigned>(exif.size()));
    }
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW rows[16];
        int n = 0;
        for (; n < 16 && cinfo.next_scanline + n < cinfo.image_height; ++n) {
            rows[n] = image.LineAt(static_cast<int32_t>(cinfo.next_scanline) + n);
        }
        jpeg_write_scanlines(&cinfo, rows, static_cast<JDIMENSION>(n));
    }
    jpeg_finish_compress(&cinfo);
    return true;
}

} // namespace

bool DecodeJpeg(const uint8_t* bytes, size_t length, PCL_Interface_Composite& frames,
                FCImageTags& tags) {
    auto s = std::make_unique<DecodeState>();
    s->image = std::make_unique<FCObjImage>();
    s->cinfo.err = &s->err.pub;
    InstallErrors(s->err);
    jpeg_create_decompress(&s->cinfo);
    const bool ok = RunDecode(*s, bytes, length, tags);
    jpeg_destroy_decompress(&s->cinfo);
    if (!ok) {
        return false;
    }
    frames.PushFrame(std::move(s->image));
    return true;
}

bool EncodeJpeg(const FCObjImage& source, int quality, const FCImageTags& tags,
                std::vector<uint8_t>& out) {
    if (source.Width() > 65500 || source.Height() > 65500) {
        return false; // the format's limit
    }
    FCObjImage scratch;
    const FCObjImage& image = TrueColour(source, scratch, true);
    const std::vector<uint8_t> exif = MakeExifBlock(tags);
    if (exif.size() > 65533) {
        return false;
    }
    auto s = std::make_unique<EncodeState>();
    s->cinfo.err = &s->err.pub;
    InstallErrors(s->err);
    jpeg_create_compress(&s->cinfo);
    const bool ok = RunEncode(*s, image, quality, exif);
    jpeg_destroy_compress(&s->cinfo);
    if (ok) {
        out.assign(s->buffer, s->buffer + s->size);
    }
    std::free(s->buffer);
    return ok;
}

// ---- Exif ----

void ReadExifBlock(const uint8_t* data, size_t length, FCImageTags& tags) {
    ExifData* exif = exif_data_new();
    if (exif == nullptr) {
        return;
    }
    // Take the items as they are: no fixing up, no adding of mandatory ones.
    exif_data_unset_option(exif, EXIF_DATA_OPTION_IGNORE_UNKNOWN_TAGS);
    exif_data_unset_option(exif, EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    exif_data_load_data(exif, data, static_cast<unsigned int>(length));
    const bool big = exif_data_get_byte_order(exif) == EXIF_BYTE_ORDER_MOTOROLA;
    for (ExifIfd ifd : {EXIF_IFD_0, EXIF_IFD_EXIF, EXIF_IFD_GPS}) {
        ExifContent* content = exif->ifd[ifd];
        if (content == nullptr) {
            continue;
        }
        for (unsigned i = 0; i < content->count; ++i) {
            const ExifEntry* e = content->entries[i];
            if (e != nullptr && e->data != nullptr) {
                AddMetadataItem(tags, e->tag, static_cast<uint16_t>(e->format), e->data, e->size,
                                big);
            }
        }
    }
    exif_data_unref(exif);
}

std::vector<uint8_t> MakeExifBlock(const FCImageTags& tags) {
    std::vector<uint8_t> block;
    ExifData* exif = exif_data_new();
    if (exif == nullptr) {
        return block;
    }
    exif_data_unset_option(exif, EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    exif_data_set_byte_order(exif, EXIF_BYTE_ORDER_INTEL);
    ExifMem* mem = exif_mem_new_default();
    bool any = false;
    for (const WritableTag& w : kWritableTags) {
        std::vector<uint8_t> value;
        if (!tags.Has(w.tag) || !MetadataValueBytes(w.type, tags.GetValue(w.tag), value)) {
            continue;
        }
        ExifEntry* entry = exif_entry_new_mem(mem);
        void* data = exif_mem_alloc(mem, static_cast<ExifLong>(value.size()));
        if (entry == nullptr || data == nullptr) {
            exif_mem_free(mem, data);
            exif_entry_unref(entry);
            continue;
        }
        std::memcpy(data, value.data(), value.size());
        entry->tag = static_cast<ExifTag>(w.tag);
        entry->format = static_cast<ExifFormat>(w.type);
        entry->components = w.type == kTypeAscii ? value.size() : 1;
        entry->data = static_cast<unsigned char*>(data);
        entry->size = static_cast<unsigned int>(value.size());
        exif_content_add_entry(exif->ifd[w.exifDirectory ? EXIF_IFD_EXIF : EXIF_IFD_0], entry);
        exif_entry_unref(entry);
        any = true;
    }
    if (any) {
        unsigned char* saved = nullptr;
        unsigned int size = 0;
        exif_data_save_data(exif, &saved, &size);
        if (saved != nullptr) {
            block.assign(saved, saved + size);
            exif_mem_free(mem, saved);
        }
    }
    exif_mem_unref(mem);
    exif_data_unref(exif);
    return block;
}
