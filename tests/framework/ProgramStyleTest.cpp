#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QPushButton>
#include <QStyleOption>

#include <gtest/gtest.h>

#include <memory>

#include "framework/ProgramStyle.h"

namespace {

struct IconCase {
    const char* name;
    QStyle::StandardPixmap icon;
};

const IconCase kIcons[] = {
    {"toolbar_extension", QStyle::SP_ToolBarHorizontalExtensionButton},
    {"title_bar_close", QStyle::SP_TitleBarCloseButton},
    {"title_bar_minimise", QStyle::SP_TitleBarMinButton},
    {"message_warning", QStyle::SP_MessageBoxWarning},
    {"arrow_back", QStyle::SP_ArrowBack},
    {"file_icon", QStyle::SP_FileIcon},
};

QImage Picture(const QIcon& icon, int side, QIcon::Mode mode = QIcon::Normal) {
    return icon.pixmap(QSize(side, side), mode).toImage();
}

} // namespace

// The icons the style hands out late look exactly like those its base style makes at once,
// whether asked with a plain option, for a widget, or with neither; in right-to-left
// layouts as well, which is what a kept option carries.
TEST(ProgramStyle, StandardIconsDrawAsTheBaseStyleDrawsThem) {
    ProgramStyle style;
    QPushButton widget;
    QStyleOption rightToLeft;
    rightToLeft.direction = Qt::RightToLeft;
    for (const IconCase& c : kIcons) {
        for (const QStyleOption* option : {static_cast<const QStyleOption*>(nullptr),
                                           static_cast<const QStyleOption*>(&rightToLeft)}) {
            for (const QWidget* asker :
                 {static_cast<const QWidget*>(nullptr), static_cast<const QWidget*>(&widget)}) {
                const QIcon late = style.standardIcon(c.icon, option, asker);
                const QIcon now = style.baseStyle()->standardIcon(c.icon, option, asker);
                const std::string where =
                    std::string(c.name) + (option ? " rtl" : "") + (asker ? " for a widget" : "");
                ASSERT_FALSE(now.isNull()) << where;
                EXPECT_FALSE(late.isNull()) << where;
                EXPECT_EQ(late.availableSizes(), now.availableSizes()) << where;
                for (int side : {16, 32}) {
                    EXPECT_EQ(late.actualSize(QSize(side, side)), now.actualSize(QSize(side, side)))
                        << where << " " << side;
                    EXPECT_TRUE(Picture(late, side) == Picture(now, side)) << where << " " << side;
                    EXPECT_TRUE(Picture(late, side, QIcon::Disabled) ==
                                Picture(now, side, QIcon::Disabled))
                        << where << " disabled " << side;
                }
            }
        }
    }
}

// An icon made for a widget is drawn after the widget is gone, and one whose style is gone
// is empty instead of reaching into a deleted style.
TEST(ProgramStyle, IconsOutliveTheirWidgetAndStyle) {
    auto style = std::make_unique<ProgramStyle>();
    auto widget = std::make_unique<QPushButton>();
    const QIcon forWidget =
        style->standardIcon(QStyle::SP_TitleBarCloseButton, nullptr, widget.get());
    const QIcon expected = style->baseStyle()->standardIcon(QStyle::SP_TitleBarCloseButton);
    widget.reset();
    EXPECT_TRUE(Picture(forWidget, 16) == Picture(expected, 16));

    const QIcon orphan = style->standardIcon(QStyle::SP_MessageBoxWarning);
    style.reset();
    EXPECT_TRUE(orphan.isNull());
    EXPECT_TRUE(orphan.pixmap(16, 16).isNull());
}

// The program's style keeps the look of the style the application had (one the user chose
// included), and installing it again changes nothing.
TEST(ProgramStyle, KeepsTheLookOfTheApplicationStyle) {
    const QString original = QApplication::style()->name();
    for (const char* name : {"Windows", "Fusion"}) {
        QApplication::setStyle(QString::fromLatin1(name));
        UseProgramStyle();
        auto* style = qobject_cast<ProgramStyle*>(QApplication::style());
        ASSERT_NE(style, nullptr) << name;
        EXPECT_EQ(style->baseStyle()->name(), QString::fromLatin1(name).toLower());
        UseProgramStyle();
        EXPECT_EQ(QApplication::style(), style) << name;
    }
    QApplication::setStyle(original);
}
