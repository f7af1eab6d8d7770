#include "storage/StorageTreeIcons.h"

#include <QFileInfo>
#include <QMimeDatabase>
#include <QPainter>
#include <QPainterPath>

#include "storage/PictureLeftView.h"

namespace {

// The nine tree icons, drawn for this program.
QPixmap DrawIcon(int position) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor outline(60, 60, 60);
    p.setPen(QPen(outline, 1));
    auto page = [&](const QColor& fill, const QColor& band) {
        QPainterPath path;
        path.moveTo(3.5, 1.5);
        path.lineTo(10.5, 1.5);
        path.lineTo(13.5, 4.5);
        path.lineTo(13.5, 14.5);
        path.lineTo(3.5, 14.5);
        path.closeSubpath();
        p.setBrush(fill);
        p.drawPath(path);
        p.fillRect(QRectF(4, 10, 9, 4), band);
    };
    switch (position) {
    case CPictureLeftView::IconFolder:
    case CPictureLeftView::IconOpenFolder: {
        p.setBrush(QColor(230, 180, 60));
        p.drawRect(QRectF(1.5, 3.5, 6, 3));
        p.drawRect(QRectF(1.5, 5.5, 13, 9));
        if (position == CPictureLeftView::IconOpenFolder) {
            QPolygonF flap({{3.5, 8.5}, {15.5, 8.5}, {13.5, 14.5}, {1.5, 14.5}});
            p.setBrush(QColor(250, 215, 110));
            p.drawPolygon(flap);
        }
        break;
    }
    case CPictureLeftView::IconImage:
        p.setBrush(QColor(170, 210, 250));
        p.drawRect(QRectF(1.5, 2.5, 13, 11));
        p.setBrush(QColor(70, 150, 60));
        p.drawPolygon(QPolygonF({{2, 13}, {7, 7}, {10, 10}, {12, 8}, {14, 13}}));
        p.setBrush(QColor(250, 220, 60));
        p.drawEllipse(QPointF(11, 5.5), 1.5, 1.5);
        break;
    case CPictureLeftView::IconNote:
        page(Qt::white, Qt::transparent);
        for (int y = 5; y <= 12; y += 2) {
            p.drawLine(QPointF(5, y + 0.5), QPointF(12, y + 0.5));
        }
        break;
    case CPictureLeftView::IconWebAccount:
        p.setBrush(QColor(90, 160, 230));
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        p.drawLine(QPointF(1.5, 8), QPointF(14.5, 8));
        p.drawEllipse(QRectF(5, 1.5, 6, 13));
        break;
    case CPictureLeftView::IconOtherAccount:
        p.setBrush(QColor(240, 200, 80));
        p.drawEllipse(QRectF(1.5, 4.5, 7, 7));
        p.drawRect(QRectF(8.5, 7, 6.5, 2));
        p.drawRect(QRectF(12, 9, 1.5, 2.5));
        break;
    case CPictureLeftView::IconPdf:
        page(Qt::white, QColor(200, 30, 30));
        break;
    case CPictureLeftView::IconFile:
        page(QColor(245, 245, 245), QColor(150, 150, 150));
        break;
    case CPictureLeftView::IconRoot:
        p.setBrush(QColor(120, 120, 130));
        p.drawRoundedRect(QRectF(2.5, 6.5, 11, 8), 1.5, 1.5);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(outline, 2));
        p.drawArc(QRectF(4.5, 1.5, 7, 9), 0, 180 * 16);
        p.setPen(QPen(QColor(250, 220, 60), 2));
        p.drawPoint(QPointF(8, 10.5));
        break;
    default:
        break;
    }
    return pixmap;
}

} // namespace

StorageTreeIcons::StorageTreeIcons() {
    for (int i = 0; i < CPictureLeftView::kIconCount; ++i) {
        icons_.emplace_back(DrawIcon(i));
    }
    // A folder shows open while it is selected.
    icons_[CPictureLeftView::IconFolder].addPixmap(DrawIcon(CPictureLeftView::IconOpenFolder),
                                                   QIcon::Selected);
}

QIcon StorageTreeIcons::At(int position) const {
    return position >= 0 && static_cast<size_t>(position) < icons_.size()
               ? icons_[static_cast<size_t>(position)]
               : QIcon();
}

bool StorageTreeIcons::FileIconFromTheme(const QString& name) {
    const QString suffix = QFileInfo(name).suffix().toLower();
    auto found = fileIcons_.find(suffix);
    if (found == fileIcons_.end()) {
        QIcon icon;
        if (!suffix.isEmpty()) {
            // By the extension alone: the file is never opened for its icon.
            const QMimeType type =
                QMimeDatabase().mimeTypeForFile(name, QMimeDatabase::MatchExtension);
            if (type.isValid() && !type.isDefault()) {
                icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
            }
        }
        found = fileIcons_.emplace(suffix, icon).first;
    }
    return !found->second.isNull();
}

QIcon StorageTreeIcons::FileIconFor(const QString& name) {
    if (FileIconFromTheme(name)) {
        return fileIcons_[QFileInfo(name).suffix().toLower()];
    }
    return icons_[CPictureLeftView::IconFile];
}
