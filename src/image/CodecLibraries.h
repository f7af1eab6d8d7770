// The picture codec libraries, opened when a picture of their format is first read or written
// rather than linked (see crypto/SystemLibrary.h): no picture is decoded at start, and libtiff
// alone brings half a dozen libraries of its own. Call through the table:
//     std::string error;
//     const TiffApi* tiff = TiffLibrary(error);
//     if (tiff == nullptr) { ... error names the library and the reason ... }
//     tiff->TIFFClose(t);
#pragma once

#include <cstdio> // jpeglib.h needs FILE and size_t declared first
#include <string>

#include <gif_lib.h>
#include <jpeglib.h>
#include <libexif/exif-data.h>
#include <tiffio.h>

struct TiffApi {
    decltype(&::TIFFClientOpenExt) TIFFClientOpenExt;
    decltype(&::TIFFClose) TIFFClose;
    decltype(&::TIFFCreateEXIFDirectory) TIFFCreateEXIFDirectory;
    decltype(&::TIFFDefaultStripSize) TIFFDefaultStripSize;
    decltype(&::TIFFGetField) TIFFGetField;
    decltype(&::TIFFGetFieldDefaulted) TIFFGetFieldDefaulted;
    decltype(&::TIFFIsTiled) TIFFIsTiled;
    decltype(&::TIFFOpenOptionsAlloc) TIFFOpenOptionsAlloc;
    decltype(&::TIFFOpenOptionsFree) TIFFOpenOptionsFree;
    decltype(&::TIFFOpenOptionsSetErrorHandlerExtR) TIFFOpenOptionsSetErrorHandlerExtR;
    decltype(&::TIFFOpenOptionsSetMaxSingleMemAlloc) TIFFOpenOptionsSetMaxSingleMemAlloc;
    decltype(&::TIFFOpenOptionsSetWarningHandlerExtR) TIFFOpenOptionsSetWarningHandlerExtR;
    decltype(&::TIFFRGBAImageOK) TIFFRGBAImageOK;
    decltype(&::TIFFReadDirectory) TIFFReadDirectory;
    decltype(&::TIFFReadRGBAImageOriented) TIFFReadRGBAImageOriented;
    decltype(&::TIFFReadScanline) TIFFReadScanline;
    decltype(&::TIFFRewriteDirectory) TIFFRewriteDirectory;
    decltype(&::TIFFScanlineSize64) TIFFScanlineSize64;
    decltype(&::TIFFSetDirectory) TIFFSetDirectory;
    decltype(&::TIFFSetField) TIFFSetField;
    decltype(&::TIFFWriteCustomDirectory) TIFFWriteCustomDirectory;
    decltype(&::TIFFWriteDirectory) TIFFWriteDirectory;
    decltype(&::TIFFWriteScanline) TIFFWriteScanline;
};

struct GifApi {
    decltype(&::DGifCloseFile) DGifCloseFile;
    decltype(&::DGifGetExtension) DGifGetExtension;
    decltype(&::DGifGetExtensionNext) DGifGetExtensionNext;
    decltype(&::DGifGetImageDesc) DGifGetImageDesc;
    decltype(&::DGifGetLine) DGifGetLine;
    decltype(&::DGifGetRecordType) DGifGetRecordType;
    decltype(&::DGifOpen) DGifOpen;
    decltype(&::EGifCloseFile) EGifCloseFile;
    decltype(&::EGifOpen) EGifOpen;
    decltype(&::EGifPutImageDesc) EGifPutImageDesc;
    decltype(&::EGifPutLine) EGifPutLine;
    decltype(&::EGifPutScreenDesc) EGifPutScreenDesc;
    decltype(&::GifFreeMapObject) GifFreeMapObject;
    decltype(&::GifMakeMapObject) GifMakeMapObject;
    decltype(&::GifQuantizeBuffer) GifQuantizeBuffer;
};

// jpeg_create_decompress and jpeg_create_compress are macros over jpeg_CreateDecompress and
// jpeg_CreateCompress, so `jpeg->jpeg_create_decompress(&cinfo)` calls through the table with
// the header's version and sizes. The error manager jpeg_std_error fills points into the
// library, which stays open for the rest of the run.
struct JpegApi {
    decltype(&::jpeg_CreateCompress) jpeg_CreateCompress;
    decltype(&::jpeg_CreateDecompress) jpeg_CreateDecompress;
    decltype(&::jpeg_destroy_compress) jpeg_destroy_compress;
    decltype(&::jpeg_destroy_decompress) jpeg_destroy_decompress;
    decltype(&::jpeg_finish_compress) jpeg_finish_compress;
    decltype(&::jpeg_finish_decompress) jpeg_finish_decompress;
    decltype(&::jpeg_mem_dest) jpeg_mem_dest;
    decltype(&::jpeg_mem_src) jpeg_mem_src;
    decltype(&::jpeg_read_header) jpeg_read_header;
    decltype(&::jpeg_read_scanlines) jpeg_read_scanlines;
    decltype(&::jpeg_save_markers) jpeg_save_markers;
    decltype(&::jpeg_set_defaults) jpeg_set_defaults;
    decltype(&::jpeg_set_quality) jpeg_set_quality;
    decltype(&::jpeg_start_compress) jpeg_start_compress;
    decltype(&::jpeg_start_decompress) jpeg_start_decompress;
    decltype(&::jpeg_std_error) jpeg_std_error;
    decltype(&::jpeg_write_marker) jpeg_write_marker;
    decltype(&::jpeg_write_scanlines) jpeg_write_scanlines;
};

struct ExifApi {
    decltype(&::exif_content_add_entry) exif_content_add_entry;
    decltype(&::exif_data_get_byte_order) exif_data_get_byte_order;
    decltype(&::exif_data_load_data) exif_data_load_data;
    decltype(&::exif_data_new) exif_data_new;
    decltype(&::exif_data_save_data) exif_data_save_data;
    decltype(&::exif_data_set_byte_order) exif_data_set_byte_order;
    decltype(&::exif_data_unref) exif_data_unref;
    decltype(&::exif_data_unset_option) exif_data_unset_option;
    decltype(&::exif_entry_new_mem) exif_entry_new_mem;
    decltype(&::exif_entry_unref) exif_entry_unref;
    decltype(&::exif_mem_alloc) exif_mem_alloc;
    decltype(&::exif_mem_free) exif_mem_free;
    decltype(&::exif_mem_new_default) exif_mem_new_default;
    decltype(&::exif_mem_unref) exif_mem_unref;
};

// Each opens its library on the first call from any thread and binds the table once. Null when
// the library cannot be opened or lacks an entry point, with the reason in `error` (e.g.
// "libtiff.so.6 cannot be loaded: ..."); every later call gives the same answer.
const TiffApi* TiffLibrary(std::string& error);
const GifApi* GifLibrary(std::string& error);
const JpegApi* JpegLibrary(std::string& error);
const ExifApi* ExifLibrary(std::string& error);
