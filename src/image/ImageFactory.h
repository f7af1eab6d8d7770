// Chooses the image type of a path and the codec of an image type.
#pragma once

#include "image/ImageHandle.h"
#include "image/ImageType.h"

#include <memory>

// Once held the start-up of the platform's codec service; the codecs used here need none, so
// it holds nothing and only keeps the class shape of the handlers that derive from it.
class FCAutoInitGDIPlus {
public:
    virtual ~FCAutoInitGDIPlus() = default;
};

class FCImageHandleFactory {
public:
    // The type named by the path's extension; a null path gives Unrecognised.
    virtual ImageType TypeFromPath(const char* path) const { return ImageTypeFromPath(path); }
    // A new codec for the type, or none for types nobody reads or writes.
    virtual std::unique_ptr<FCImageHandleBase> CreateHandler(int type) const = 0;
    virtual ~FCImageHandleFactory() = default;
};

// BMP and TGA by our own codecs; JPEG, GIF, TIFF, PNG and ICO through the codec adapter.
class FCImageHandleFactory_Gdiplus : public FCImageHandleFactory, public FCAutoInitGDIPlus {
public:
    std::unique_ptr<FCImageHandleBase> CreateHandler(int type) const override;
};

// The one process-wide factory.
FCImageHandleFactory& GetImageFactory();
