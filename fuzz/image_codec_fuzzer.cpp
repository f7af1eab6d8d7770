// Feeds arbitrary bytes to the codec adapter, which recognises JPEG, PNG, GIF, TIFF, ICO and
// BMP by their first bytes and decodes every frame. Every frame must be a sound picture.
#include "image/CodecAdapter.h"
#include "image/ObjImage.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FCImageHandle_Gdiplus handler;
    PCL_Interface_Composite frames;
    std::unique_ptr<FCImageTags> tags;
    if (!handler.LoadFromMemory(data, size, frames, tags)) {
        if (frames.FrameCount() != 0 || tags) {
            __builtin_trap(); // a failed decode hands back nothing
        }
        return 0;
    }
    for (int32_t i = 0; i < frames.FrameCount(); ++i) {
        const FCObjImage* frame = frames.GetFrame(i);
        if (frame == nullptr || !frame->IsValid() ||
            frame->LineAt(frame->Height() - 1) == nullptr) {
            __builtin_trap();
        }
        volatile uint32_t sink = frame->PixelValue(frame->Width() - 1, frame->Height() - 1);
        (void)sink;
    }
    return 0;
}
