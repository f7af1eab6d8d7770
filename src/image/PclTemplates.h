// Small companions of the image layer: an owning array, the frame list of a picture and the
// zoom factor of an image view.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>

class FCObjImage;

// Owning array with a signed count: a count of zero or less holds nothing and reports -1.
template <typename T> class PCL_array {
public:
    explicit PCL_array(int32_t count) {
        if (count > 0) {
            data_ = std::make_unique_for_overwrite<T[]>(static_cast<size_t>(count));
            count_ = count;
        }
    }
    T* get() const { return data_.get(); }
    T& operator[](int32_t i) const { return data_[static_cast<size_t>(i)]; }
    int32_t GetArrayCount() const { return count_; }

private:
    std::unique_ptr<T[]> data_;
    int32_t count_ = -1;
};

// The frames of one picture, in order; every frame belongs to the list.
class PCL_Interface_Composite {
public:
    virtual ~PCL_Interface_Composite();
    void PushFrame(std::unique_ptr<FCObjImage> frame);
    // Moves every frame of `other` to the end of this list.
    void Append(PCL_Interface_Composite& other);
    int32_t FrameCount() const { return static_cast<int32_t>(frames_.size()); }
    FCObjImage* GetFrame(int32_t i) const {
        return i >= 0 && i < FrameCount() ? frames_[static_cast<size_t>(i)].get() : nullptr;
    }
    void Clear();

private:
    std::deque<std::unique_ptr<FCObjImage>> frames_;
};

// A rectangle in the layer's own terms: left, top, right, bottom (right and bottom exclusive).
struct ImageRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
    bool operator==(const ImageRect&) const = default;
};

// The zoom factor of an image view: s >= 2 enlarges s times, s <= -2 reduces |s| times, and
// -1, 0 and 1 all stand for actual size.
class PCL_Interface_ZoomScale {
public:
    static constexpr int32_t kMaxScale = 16;

    virtual ~PCL_Interface_ZoomScale() = default;
    int32_t GetScale() const { return scale_; }
    void SetScale(int32_t scale) { scale_ = scale; }

    // One image coordinate in view coordinates.
    int32_t Scaled(int32_t c) const {
        if (scale_ >= 2) {
            return c * scale_;
        }
        if (scale_ <= -2) {
            return -(c / scale_);
        }
        return c;
    }
    ImageRect ScaleRect(const ImageRect& r) const {
        return {Scaled(r.left), Scaled(r.top), Scaled(r.right), Scaled(r.bottom)};
    }
    // The steps of the view's zoom commands; both skip the second spelling of 100 %.
    void ZoomIn() {
        if (scale_ < kMaxScale) {
            scale_ = scale_ == -1 ? 2 : scale_ + 1;
        }
    }
    void ZoomOut() {
        if (scale_ >= -kMaxScale + 1) {
            scale_ = scale_ == 1 ? -2 : scale_ - 1;
        }
    }
    void ActualSize() { scale_ = 1; }

private:
    int32_t scale_ = 1;
};
