// GIF through giflib: every frame on reading; writing quantises true-colour pictures with
// giflib's own quantiser.
#include "image/CodecAdapter.h"
#include "image/CodecFormats.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include <gif_lib.h>

namespace {

struct MemoryReader {
    const uint8_t* data;
    size_t length;
    size_t at;
};

int ReadFromMemory(GifFileType* gif, GifByteType* out, int count) {
    auto* r = static_cast<MemoryReader*>(gif->UserData);
    const size_t n = std::min(static_cast<size_t>(std::max(count, 0)), r->length - r->at);
    std::memcpy(out, r->data + r->at, n);
    r->at += n;
    return static_cast<int>(n);
}

int WriteToVector(GifFileType* gif, const GifByteType* data, int count) {
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), data, data + count);
    return count;
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

struct FrameControl {
    uint32_t delay = 0;
    int transparent = -1;
};

// Reads one image record onto a canvas of the logical screen's size.
std::unique_ptr<FCObjImage> ReadFrame(GifFileType* gif, const FrameControl& control,
                                      DecodeBudget& budget) {
    if (DGifGetImageDesc(gif) == GIF_ERROR) {
        return nullptr;
    }
    const GifImageDesc& desc = gif->Image;
    if (desc.Width <= 0 || desc.Height <= 0) {
        return nullptr;
    }
    const int canvasWidth = gif->SWidth > 0 ? gif->SWidth : desc.Left + desc.Width;
    const int canvasHeight = gif->SHeight > 0 ? gif->SHeight : desc.Top + desc.Height;
    auto image = std::make_unique<FCObjImage>();
    if (!image->CreateBlank(canvasWidth, canvasHeight, 8) || !budget.Take(image->GetPixelBytes())) {
        return nullptr;
    }
    const ColorMapObject* map = desc.ColorMap != nullptr ? desc.ColorMap : gif->SColorMap;
    RGBQUAD palette[256] = {};
    if (map != nullptr && map->Colors != nullptr) {
        const int count = std::min(map->ColorCount, 256);
        for (int i = 0; i < count; ++i) {
            const GifColorType& c = map->Colors[i];
            palette[i] = RGBQUAD{c.Blue, c.Green, c.Red, 255};
        }
    }
    if (control.transparent >= 0 && control.transparent < 256) {
        palette[control.transparent].rgbReserved = 0;
    }
    image->SetPalette(0, 256, palette);
    const uint8_t background = control.transparent >= 0
                                   ? static_cast<uint8_t>(control.transparent)
                                   : static_cast<uint8_t>(gif->SBackGroundColor);
    for (int32_t row = 0; row < image->Height(); ++row) {
        std::memset(image->LineAt(row), background, static_cast<size_t>(image->Width()));
    }
    std::vector<GifPixelType> line(static_cast<size_t>(desc.Width));
    static const int kStart[4] = {0, 4, 2, 1};
    static const int kStep[4] = {8, 8, 4, 2};
    const int passes = desc.Interlace ? 4 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        const int start = desc.Interlace ? kStart[pass] : 0;
        const int step = desc.Interlace ? kStep[pass] : 1;
        for (int y = start; y < desc.Height; y += step) {
            if (DGifGetLine(gif, line.data(), desc.Width) == GIF_ERROR) {
                return image; // a short file keeps the rows read so far
            }
            const int target = desc.Top + y;
            if (target < 0 || target >= canvasHeight || desc.Left >= canvasWidth) {
                continue;
            }
            const int count = std::min(desc.Width, canvasWidth - desc.Left);
            std::memcpy(image->LineAt(target) + desc.Left, line.data(),
                        static_cast<size_t>(std::max(count, 0)));
        }
    }
    return image;
}

} // namespace

bool DecodeGif(const uint8_t* bytes, size_t length, PCL_Interface_Composite& frames,
               FCImageTags& tags) {
    MemoryReader reader{bytes, length, 0};
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&reader, ReadFromMemory, &error));
    if (!gif) {
        return false;
    }
    PCL_Interface_Composite decoded;
    FCImageTags found;
    DecodeBudget budget;
    FrameControl control;
    bool done = false;
    while (!done) {
        GifRecordType record;
        if (DGifGetRecordType(gif.get(), &record) == GIF_ERROR) {
            break;
        }
        switch (record) {
        case IMAGE_DESC_RECORD_TYPE: {
            std::unique_ptr<FCObjImage> frame = ReadFrame(gif.get(), control, budget);
            if (!frame) {
                done = true;
                break;
            }
            decoded.PushFrame(std::move(frame));
            AppendFrameDelay(found, control.delay);
            control = FrameControl{};
            break;
        }
        case EXTENSION_RECORD_TYPE: {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif.get(), &code, &block) == GIF_ERROR) {
                done = true;
                break;
            }
            if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr && block[0] >= 4) {
                control.delay = static_cast<uint32_t>(block[2] | (block[3] << 8));
                control.transparent = (block[1] & 1) ? block[4] : -1;
            }
            while (block != nullptr) {
                if (DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR) {
                    done = true;
                    break;
                }
            }
            break;
        }
        case TERMINATE_RECORD_TYPE:
        default:
            done = true;
            break;
        }
    }
    if (decoded.FrameCount() == 0) {
        return false;
    }
    frames.Append(decoded);
    tags = std::move(found);
    return true;
}

bool EncodeGif(const FCObjImage& image, std::vector<uint8_t>& out) {
    const int width = image.Width();
    const int height = image.Height();
    if (width > 0xFFFF || height > 0xFFFF) {
        return false;
    }
    const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
    std::vector<GifPixelType> indices(pixels);
    GifColorType colours[256] = {};
    int colourCount = 256;
    if (image.ColorBits() <= 8) {
        colourCount = image.PaletteSize();
        for (int i = 0; i < colourCount; ++i) {
            const RGBQUAD& q = image.Palette()[i];
            colours[i] = GifColorType{q.rgbRed, q.rgbGreen, q.rgbBlue};
        }
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                indices[static_cast<size_t>(y) * width + x] =
                    static_cast<GifPixelType>(image.PixelValue(x, y));
            }
        }
    } else {
        FCObjImage scratch;
        const FCObjImage& rgb = TrueColour(image, scratch, false);
        std::vector<GifByteType> red(pixels), green(pixels), blue(pixels);
        for (int32_t y = 0; y < height; ++y) {
            const uint8_t* p = rgb.LineAt(y);
            for (int32_t x = 0; x < width; ++x, p += 3) {
                const size_t i = static_cast<size_t>(y) * width + x;
                blue[i] = p[0];
                green[i] = p[1];
                red[i] = p[2];
            }
        }
        if (GifQuantizeBuffer(static_cast<unsigned>(width), static_cast<unsigned>(height),
                              &colourCount, red.data(), green.data(), blue.data(), indices.data(),
                              colours) == GIF_ERROR) {
            return false;
        }
    }
    // A GIF colour table has a power-of-two size of at least 2.
    int tableSize = 2;
    while (tableSize < colourCount) {
        tableSize *= 2;
    }
    ColorMapObject* map = GifMakeMapObject(tableSize, nullptr);
    if (map == nullptr) {
        return false;
    }
    std::memcpy(map->Colors, colours, sizeof(GifColorType) * static_cast<size_t>(colourCount));
    out.clear();
    int error = 0;
    GifFileType* gif = EGifOpen(&out, WriteToVector, &error);
    bool ok = gif != nullptr;
    if (ok) {
        ok = EGifPutScreenDesc(gif, width, height, 8, 0, map) != GIF_ERROR &&
             EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) != GIF_ERROR;
        for (int32_t y = 0; ok && y < height; ++y) {
            ok = EGifPutLine(gif, indices.data() + static_cast<size_t>(y) * width, width) !=
                 GIF_ERROR;
        }
        ok = EGifCloseFile(gif, &error) != GIF_ERROR && ok;
    }
    GifFreeMapObject(map);
    if (!ok) {
        out.clear();
    }
    return ok;
}
