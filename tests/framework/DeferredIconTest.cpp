#include <QIcon>
#include <QImage>

#include <gtest/gtest.h>

#include "framework/DeferredIcon.h"

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
