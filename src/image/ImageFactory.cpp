#include "image/ImageFactory.h"

#include "image/CodecAdapter.h"

std::unique_ptr<FCImageHandleBase> FCImageHandleFactory_Gdiplus::CreateHandler(int type) const {
    switch (type) {
    case Bmp:
        return std::make_unique<FCImageHandle_Bmp>();
    case Tga:
        return std::make_unique<FCImageHandle_Tga>();
    case Jpeg:
    case Gif:
    case Tiff:
    case Png:
    case Ico:
        return std::make_unique<FCImageHandle_Gdiplus>();
    default:
        return nullptr;
    }
}

FCImageHandleFactory& GetImageFactory() {
    static FCImageHandleFactory_Gdiplus factory;
    return factory;
}
