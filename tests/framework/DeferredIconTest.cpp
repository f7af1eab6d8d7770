#include <QIcon>
#include <QImage>

#include <gtest/gtest.h>

#include "framework/BakedIcons.h"
#include "framework/DeferredIcon.h"

#include <QPainter>

TEST(DeferredIcon, DrawsAndMeasuresAsTheIconReadAtOnce) {
    for (const char* path : {":/icons/save.svg", ":/icons/ombrivault.svg"}) {
        const QIcon now{QString::fromLatin1(path)};
        const QIcon later = DeferredIcon(QString::fromLatin1(path));
        ASSERT_FALSE(now.isNull()) << path;
        EXPECT_FALSE(later.isNull()) << path;
        for (int side : {16, 24, 48}) {
            const QSize size(side, side);
            EXPECT_EQ(later.actualSize(size), now.actualSize(size)) << path << " " << side;
            for (QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled}) {
                EXPECT_EQ(later.pixmap(size, mode).toImage(), now.pixmap(size, mode).toImage())
                    << path << " " << side << " mode " << mode;
            }
        }
        // A copy reads its own picture the same way.
        const QIcon copy = later;
        EXPECT_EQ(copy.pixmap(20, 20).toImage(), now.pixmap(20, 20).toImage()) << path;
    }
    // A picture that is not there makes a null icon, as an icon read at once would be.
    EXPECT_TRUE(DeferredIcon(QStringLiteral(":/icons/no-such-picture.svg")).isNull());
}

// The pictures drawn at build time are exactly what the SVG files draw, in every mode, and an
// icon painted at a baked size looks as the SVG icon painted there.
TEST(DeferredIcon, BakedPicturesAreWhatTheSvgFilesDraw) {
    ASSERT_FALSE(BakedIcons().empty());
    for (const BakedIcon& baked : BakedIcons()) {
        const QString path = QString::fromUtf8(baked.key);
        const QSize size(baked.requestedWidth, baked.requestedHeight);
        const QIcon svg(path);
        const QIcon icon = DeferredIcon(path);
        EXPECT_EQ(icon.actualSize(size), svg.actualSize(size)) << baked.key;
        for (QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled, QIcon::Active, QIcon::Selected}) {
            EXPECT_EQ(icon.pixmap(size, mode).toImage(), svg.pixmap(size, mode).toImage())
                << baked.key << " " << size.width() << "x" << size.height() << " mode " << mode;
        }
        const auto painted = [&size](const QIcon& i) {
            QImage image(size + QSize(4, 4), QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::white);
            QPainter painter(&image);
            i.paint(&painter, QRect(QPoint(2, 2), size), Qt::AlignCenter, QIcon::Disabled);
            painter.end();
            return image;
        };
        EXPECT_TRUE(painted(icon) == painted(svg))
            << baked.key << " painted at " << size.width() << "x" << size.height();
    }
}
