#include "storage/ViewPicture.h"

#include <cstring>

#include <QPainter>

QImage ScreenImage(const FCObjImage& source) {
    if (!source.IsValid() || source.Width() <= 0 || source.Height() <= 0) {
        return {};
    }
    const FCObjImage* picture = &source;
    FCObjImage converted;
    if (source.ColorBits() != 24 && source.ColorBits() != 32) {
        converted = source;
        converted.ConvertDepth(24);
        picture = &converted;
    }
    const int32_t width = picture->Width();
    const int32_t height = picture->Height();
    const bool alpha = picture->ColorBits() == 32;
    QImage image(width, height, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull()) {
        return {};
    }
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* in = picture->LineAt(y);
        auto* out = reinterpret_cast<uint32_t*>(image.scanLine(y));
        if (alpha) {
            // B, G, R, A bytes are the ARGB32 word on a little-endian machine.
            std::memcpy(out, in, static_cast<size_t>(width) * 4);
            continue;
        }
        for (int32_t x = 0; x < width; ++x, in += 3) {
            out[x] = 0xff000000u | (uint32_t{in[2]} << 16) | (uint32_t{in[1]} << 8) | in[0];
        }
    }
    return image;
}

QImage BottomUpImage(const FCObjImage& picture) {
    if (!picture.IsValid() || (picture.ColorBits() != 24 && picture.ColorBits() != 32)) {
        return {};
    }
    const auto* bits = static_cast<const uchar*>(picture.GetMemStart());
    return QImage(bits, picture.Width(), picture.Height(),
                  static_cast<qsizetype>(picture.GetPitch()),
                  picture.ColorBits() == 24 ? QImage::Format_BGR888 : QImage::Format_ARGB32);
}

bool PictureFromImage(const QImage& source, FCObjImage& picture) {
    if (source.isNull()) {
        return false;
    }
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    FCObjImage made;
    if (!made.CreateBlank(image.width(), image.height(), 32)) {
        return false;
    }
    for (int y = 0; y < image.height(); ++y) {
        std::memcpy(made.LineAt(y), image.constScanLine(y), static_cast<size_t>(image.width()) * 4);
    }
    picture = std::move(made);
    return true;
}

namespace {

FCObjImage DrawPlaceholder(Placeholder which) {
    QImage image(160, 120, QImage::Format_ARGB32);
    image.fill(QColor(236, 236, 236));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(150, 150, 150), 2));
    painter.drawRect(QRectF(1, 1, 158, 118));
    if (which == Placeholder::Image) {
        // A framed landscape with a cross through it: a picture that cannot be shown.
        painter.setBrush(QColor(180, 200, 225));
        painter.drawRect(QRectF(40, 25, 80, 60));
        painter.setBrush(QColor(120, 160, 110));
        painter.drawPolygon(QPolygonF({QPointF(40, 85), QPointF(70, 55), QPointF(90, 72),
                                       QPointF(105, 60), QPointF(120, 85)}));
    } else {
        // A page with a folded corner.
        painter.setBrush(Qt::white);
        painter.drawPolygon(QPolygonF({QPointF(55, 15), QPointF(95, 15), QPointF(110, 30),
                                       QPointF(110, 100), QPointF(55, 100)}));
        painter.drawLine(QPointF(95, 15), QPointF(95, 30));
        painter.drawLine(QPointF(95, 30), QPointF(110, 30));
        painter.setPen(QPen(QColor(170, 170, 170), 1));
        for (int y = 45; y < 95; y += 8) {
            painter.drawLine(QPointF(63, y), QPointF(102, y));
        }
    }
    painter.setPen(QPen(QColor(200, 40, 40), 4));
    painter.drawLine(QPointF(30, 20), QPointF(130, 104));
    painter.drawLine(QPointF(130, 20), QPointF(30, 104));
    painter.end();
    FCObjImage picture;
    PictureFromImage(image, picture);
    return picture;
}

} // namespace

const FCObjImage& PlaceholderPicture(Placeholder which) {
    static const FCObjImage image = DrawPlaceholder(Placeholder::Image);
    static const FCObjImage pdf = DrawPlaceholder(Placeholder::Pdf);
    return which == Placeholder::Image ? image : pdf;
}
