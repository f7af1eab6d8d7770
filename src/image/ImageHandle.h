// The codec interface of the image layer and its own BMP and TGA codecs.
#pragma once

#include "image/ImageTags.h"
#include "image/ObjImage.h"
#include "image/PclTemplates.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Frames handed to a writer; they stay the caller's. Writers use the first one.
using ImageFrames = std::vector<const FCObjImage*>;

class FCImageHandleBase {
public:
    // Reads the whole file and decodes it with LoadFromMemory.
    virtual bool LoadFromFile(const std::string& path, PCL_Interface_Composite& frames,
                              std::unique_ptr<FCImageTags>& tags);
    // Decodes and appends frames; may hand back metadata through `tags`. A failed decode
    // appends nothing and hands back nothing.
    virtual bool LoadFromMemory(const uint8_t* bytes, size_t length,
                                PCL_Interface_Composite& frames,
                                std::unique_ptr<FCImageTags>& tags) {
        return false;
    }
    // Encodes the first frame; the file is replaced atomically.
    virtual bool SaveToFile(const std::string& path, const ImageFrames& frames,
                            const FCImageTags& tags) {
        return false;
    }
    virtual bool SaveToMemory(std::vector<uint8_t>& out, const ImageFrames& frames,
                              const FCImageTags& tags) {
        return false;
    }
    virtual ~FCImageHandleBase() = default;

protected:
    // The first frame when it holds a picture, else null.
    static const FCObjImage* FirstFrame(const ImageFrames& frames);
    static bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
};

class FCImageHandle_Bmp : public FCImageHandleBase {
public:
    // Reads a BMP file image into `image`, reusing its pixel memory when the size matches.
    // On failure `image` is unchanged.
    static bool Decode(const uint8_t* bytes, size_t length, FCObjImage& image);
    bool LoadFromMemory(const uint8_t* bytes, size_t length, PCL_Interface_Composite& frames,
                        std::unique_ptr<FCImageTags>& tags) override;
    bool SaveToFile(const std::string& path, const ImageFrames& frames,
                    const FCImageTags& tags) override;
    // Reuses `out`'s storage when it already has the size of the file image.
    bool SaveToMemory(std::vector<uint8_t>& out, const ImageFrames& frames,
                      const FCImageTags& tags) override;
};

class FCImageHandle_Tga : public FCImageHandleBase {
public:
    bool LoadFromMemory(const uint8_t* bytes, size_t length, PCL_Interface_Composite& frames,
                        std::unique_ptr<FCImageTags>& tags) override;
    bool SaveToFile(const std::string& path, const ImageFrames& frames,
                    const FCImageTags& tags) override;
};

// The image ID text our TGA writer puts in every file.
inline constexpr char kTgaImageId[] = "Quorv -- TGA";
