#include "framework/DeferredIcon.h"

#include <QFile>
#include <QIconEngine>
#include <QPainter>

namespace {

// Reads the picture into an ordinary icon the first time anything about it is asked, and
// hands every question on to that icon.
class DeferredIconEngine : public QIconEngine {
public:
    explicit DeferredIconEngine(const QString& path) : path_(path) {}

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
    // Asked before anything is drawn (whether a menu leaves room for icons, say): a picture
    // that is there counts until reading it shows otherwise.
    bool isNull() override { return read_ ? icon_.isNull() : !QFile::exists(path_); }
    QString key() const override { return QStringLiteral("DeferredIconEngine"); }
    QIconEngine* clone() const override { return new DeferredIconEngine(*this); }

private:
    const QIcon& Icon() {
        if (!read_) {
            icon_ = QIcon(path_);
            read_ = true;
        }
        return icon_;
    }

    QString path_;
    QIcon icon_;
    bool read_ = false;
};

} // namespace

QIcon DeferredIcon(const QString& path) {
    return QIcon(new DeferredIconEngine(path));
}
