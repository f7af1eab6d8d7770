#include "image/CodecLibraries.h"

#include "crypto/SystemLibrary.h"

#include <cstdio>
#include <mutex>

namespace {

template <typename Api> struct Loaded {
    explicit Loaded(const char* soname) : table(soname) {}
    SystemLibraryTable<Api> table;
    std::once_flag told;
};

// The table once `bind` has resolved every entry point, else null with the reason. The first
// failure is also said on standard error: a picture that will not open is otherwise all a user
// sees of a broken installation.
template <typename Api, typename BindAll>
const Api* Open(Loaded<Api>& loaded, std::string& error, BindAll&& bind) {
    const Api* api = loaded.table.Get(bind, error);
    if (api == nullptr) {
        std::call_once(loaded.told, [&] { std::fprintf(stderr, "%s\n", error.c_str()); });
    }
    return api;
}

#define OV_BIND(name) lib.Bind(api.name, #name)

} // namespace

const TiffApi* TiffLibrary(std::string& error) {
    static Loaded<TiffApi> loaded(OV_SONAME_TIFF);
    return Open(loaded, error, [](SystemLibrary& lib, TiffApi& api) {
        OV_BIND(TIFFClientOpenExt);
        OV_BIND(TIFFClose);
        OV_BIND(TIFFCreateEXIFDirectory);
        OV_BIND(TIFFDefaultStripSize);
        OV_BIND(TIFFGetField);
        OV_BIND(TIFFGetFieldDefaulted);
        OV_BIND(TIFFIsTiled);
        OV_BIND(TIFFOpenOptionsAlloc);
        OV_BIND(TIFFOpenOptionsFree);
        OV_BIND(TIFFOpenOptionsSetErrorHandlerExtR);
        OV_BIND(TIFFOpenOptionsSetMaxSingleMemAlloc);
        OV_BIND(TIFFOpenOptionsSetWarningHandlerExtR);
        OV_BIND(TIFFRGBAImageOK);
        OV_BIND(TIFFReadDirectory);
        OV_BIND(TIFFReadRGBAImageOriented);
        OV_BIND(TIFFReadScanline);
        OV_BIND(TIFFRewriteDirectory);
        OV_BIND(TIFFScanlineSize64);
        OV_BIND(TIFFSetDirectory);
        OV_BIND(TIFFSetField);
        OV_BIND(TIFFWriteCustomDirectory);
        OV_BIND(TIFFWriteDirectory);
        OV_BIND(TIFFWriteScanline);
    });
}

const GifApi* GifLibrary(std::string& error) {
    static Loaded<GifApi> loaded(OV_SONAME_GIF);
    return Open(loaded, error, [](SystemLibrary& lib, GifApi& api) {
        OV_BIND(DGifCloseFile);
        OV_BIND(DGifGetExtension);
        OV_BIND(DGifGetExtensionNext);
        OV_BIND(DGifGetImageDesc);
        OV_BIND(DGifGetLine);
        OV_BIND(DGifGetRecordType);
        OV_BIND(DGifOpen);
        OV_BIND(EGifCloseFile);
        OV_BIND(EGifOpen);
        OV_BIND(EGifPutImageDesc);
        OV_BIND(EGifPutLine);
        OV_BIND(EGifPutScreenDesc);
        OV_BIND(GifFreeMapObject);
        OV_BIND(GifMakeMapObject);
        OV_BIND(GifQuantizeBuffer);
    });
}

const JpegApi* JpegLibrary(std::string& error) {
    static Loaded<JpegApi> loaded(OV_SONAME_JPEG);
    return Open(loaded, error, [](SystemLibrary& lib, JpegApi& api) {
        OV_BIND(jpeg_CreateCompress);
        OV_BIND(jpeg_CreateDecompress);
        OV_BIND(jpeg_destroy_compress);
        OV_BIND(jpeg_destroy_decompress);
        OV_BIND(jpeg_finish_compress);
        OV_BIND(jpeg_finish_decompress);
        OV_BIND(jpeg_mem_dest);
        OV_BIND(jpeg_mem_src);
        OV_BIND(jpeg_read_header);
        OV_BIND(jpeg_read_scanlines);
        OV_BIND(jpeg_save_markers);
        OV_BIND(jpeg_set_defaults);
        OV_BIND(jpeg_set_quality);
        OV_BIND(jpeg_start_compress);
        OV_BIND(jpeg_start_decompress);
        OV_BIND(jpeg_std_error);
        OV_BIND(jpeg_write_marker);
        OV_BIND(jpeg_write_scanlines);
    });
}

const ExifApi* ExifLibrary(std::string& error) {
    static Loaded<ExifApi> loaded(OV_SONAME_EXIF);
    return Open(loaded, error, [](SystemLibrary& lib, ExifApi& api) {
        OV_BIND(exif_content_add_entry);
        OV_BIND(exif_data_get_byte_order);
        OV_BIND(exif_data_load_data);
        OV_BIND(exif_data_new);
        OV_BIND(exif_data_save_data);
        OV_BIND(exif_data_set_byte_order);
        OV_BIND(exif_data_unref);
        OV_BIND(exif_data_unset_option);
        OV_BIND(exif_entry_new_mem);
        OV_BIND(exif_entry_unref);
        OV_BIND(exif_mem_alloc);
        OV_BIND(exif_mem_free);
        OV_BIND(exif_mem_new_default);
        OV_BIND(exif_mem_unref);
    });
}
