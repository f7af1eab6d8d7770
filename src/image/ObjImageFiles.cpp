// Reading and writing the in-memory picture as an image file, through the codec for its type.
#include "image/ObjImage.h"

#include "base/WholeFile.h"
#include "image/ImageFactory.h"
#include "image/ImageHandle.h"

#include <memory>

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
