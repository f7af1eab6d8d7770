#include "framework/DeferredIcon.h"

#include <QFile>
#include <QIconEngine>
#include <QPainter>

#include <utility>

namespace {

// Builds an ordinary icon the first time anything about it is asked, and hands every question
// on to that icon.
class DeferredIconEngine : public QIconEngine {
public:
    // `nullGuess` answers whether the icon is null before it is built; without one, asking
    // builds it.
    DeferredIconEngine(std::function<QIcon()> make, std::function<bool()> nullGuess)
        : make_(std::move(make)), nullGuess_(std::move(nullGuess)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        Icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return Icon().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override {
        return Icon().pixmap(size, scale, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return Icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        return Icon().availableSizes(mode, state);
    }
    bool isNull() override { return read_ || !nullGuess_ ? Icon().isNull() : nullGuess_(); }
    QString key() const override { return QStringLiteral("DeferredIconEngine"); }
    QIconEngine* clone() const override { return new DeferredIconEngine(*this); }

private:
    const QIcon& Icon() {
        if (!read_) {
            icon_ = make_();
            read_ = true;
        }
        return icon_;
    }

    std::function<QIcon()> make_;
    std::function<bool()> nullGuess_;
    QIcon icon_;
    bool read_ = false;
};

} // namespace

QIcon DeferredIcon(const QString& path) {
    // Asked before anything is drawn (whether a menu leaves room for icons, say): a picture
    // that is there counts until reading it shows otherwise.
    return QIcon(new DeferredIconEngine([path] { return QIcon(path); },
                                        [path] { return !QFile::exists(path); }));
}

QIcon DeferredIcon(std::function<QIcon()> make) {
    return QIcon(new DeferredIconEngine(std::move(make), {}));
}
