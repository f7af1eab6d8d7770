#include "framework/DeferredIcon.h"

#include <QApplication>
#include <QFile>
#include <QIconEngine>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

#include <algorithm>
#include <cstring>
#include <utility>

#include "framework/BakedIcons.h"

namespace {

// Builds an ordinary icon the first time anything about it is asked, and hands every question
// on to that icon.
class DeferredIconEngine : public QIconEngine {
public:
    // `nullGuess` answers whether the icon is null before it is built; without one, asking
    // builds it.
    // `baked`: pictures of the icon drawn at build time, answered without building it.
    DeferredIconEngine(std::function<QIcon()> make, std::function<bool()> nullGuess,
                       std::span<const BakedIcon> baked = {})
        : make_(std::move(make)), nullGuess_(std::move(nullGuess)), baked_(baked) {}

    // As Qt's own icon engines do: the picture for the rectangle's size in device pixels,
    // drawn into the rectangle (which the icon has already fitted to the picture's shape).
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        const QPaintDevice* device = painter->device();
        const qreal ratio = device != nullptr ? device->devicePixelRatio() : 1.0;
        painter->drawPixmap(rect, pixmap(rect.size() * ratio, mode, state));
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        if (const BakedIcon* baked = Baked(size)) {
            return Picture(*baked, mode);
        }
        return Icon().pixmap(size, 1.0, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override {
        if (const BakedIcon* baked = scale == 1.0 ? Baked(size) : nullptr) {
            return Picture(*baked, mode);
        }
        return Icon().pixmap(size, scale, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        if (const BakedIcon* baked = Baked(size)) {
            return QSize(baked->width, baked->height);
        }
        return Icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        // An SVG icon names no sizes of its own; the baked pictures stand in for it.
        if (!baked_.empty() && !read_) {
            return {};
        }
        return Icon().availableSizes(mode, state);
    }
    bool isNull() override {
        if (!baked_.empty() && !read_) {
            return false;
        }
        return read_ || !nullGuess_ ? Icon().isNull() : nullGuess_();
    }
    QString key() const override { return QStringLiteral("DeferredIconEngine"); }
    QIconEngine* clone() const override { return new DeferredIconEngine(*this); }

private:
    const BakedIcon* Baked(const QSize& size) const {
        const auto found = std::find_if(baked_.begin(), baked_.end(), [&size](const BakedIcon& b) {
            return b.requestedWidth == size.width() && b.requestedHeight == size.height();
        });
        return found != baked_.end() ? &*found : nullptr;
    }

    // The baked picture in `mode`: the style makes the disabled and selected looks from it,
    // as it does for a picture drawn from the SVG file.
    static QPixmap Picture(const BakedIcon& baked, QIcon::Mode mode) {
        const QImage image(reinterpret_cast<const uchar*>(baked.pixels), baked.width, baked.height,
                           baked.width * 4, QImage::Format_ARGB32_Premultiplied);
        QPixmap picture = QPixmap::fromImage(image);
        if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) {
            QStyleOption option(0);
            option.palette = QGuiApplication::palette();
            const QPixmap styled =
                QApplication::style()->generatedIconPixmap(mode, picture, &option);
            if (!styled.isNull()) {
                picture = styled;
            }
        }
        return picture;
    }

    const QIcon& Icon() {
        if (!read_) {
            icon_ = make_();
            read_ = true;
        }
        return icon_;
    }

    std::function<QIcon()> make_;
    std::function<bool()> nullGuess_;
    std::span<const BakedIcon> baked_;
    QIcon icon_;
    bool read_ = false;
};

// Compares baked pictures by key, with a key on either side.
struct ByKey {
    bool operator()(const BakedIcon& a, const char* b) const { return std::strcmp(a.key, b) < 0; }
    bool operator()(const char* a, const BakedIcon& b) const { return std::strcmp(a, b.key) < 0; }
};

std::span<const BakedIcon> BakedPictures(const QString& path) {
    const QByteArray key = path.toUtf8();
    const std::span<const BakedIcon> all = BakedIcons();
    const auto [first, last] = std::equal_range(all.begin(), all.end(), key.constData(), ByKey());
    return {first, last};
}

} // namespace

QIcon DeferredIcon(const QString& path) {
    // Asked before anything is drawn (whether a menu leaves room for icons, say): a picture
    // that is there counts until reading it shows otherwise.
    return QIcon(new DeferredIconEngine([path] { return QIcon(path); },
                                        [path] { return !QFile::exists(path); },
                                        BakedPictures(path)));
}

QIcon DeferredIcon(std::function<QIcon()> make) {
    return QIcon(new DeferredIconEngine(std::move(make), {}));
}
