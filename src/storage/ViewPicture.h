// Not a view: conversions between the image layer's pictures and QImage for the views.
// Pictures of the storage views on screen: the image layer's bottom-up bitmaps turned into
// QImage once per shown picture, and back for pasted pictures; the placeholder pictures shown
// for an image or PDF item that cannot be shown.
#pragma once

#include <QImage>

#include "image/ObjImage.h"

// A screen copy of `picture` (RGB32, or ARGB32 for 32-bit pictures); null when it is empty.
QImage ScreenImage(const FCObjImage& picture);
// The pixels of a 24- or 32-bit `picture` seen as a QImage without copying them: its rows
// bottom first, so the image is upside down (BGR888 or ARGB32). Valid while the picture
// lives and is not changed; null for other depths.
QImage BottomUpImage(const FCObjImage& picture);
// A 32-bit picture from `image`; false when `image` is null.
bool PictureFromImage(const QImage& image, FCObjImage& picture);

enum class Placeholder { Image, Pdf };
// The picture shown instead of an item that does not decode.
const FCObjImage& PlaceholderPicture(Placeholder which);
