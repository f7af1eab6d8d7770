// The image view when the library a picture's format needs cannot be used (this program runs
// with a damaged TIFF library first on the library search path): the placeholder shows and
// the status bar says why, instead of a picture that silently never appears.
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "ViewTestSite.h"
#include "framework/FrameHosts.h"
#include "storage/RightImageView.h"

TEST(ImageViewMissingCodec, TheStatusBarSaysWhyThePictureDoesNotShow) {
    ViewTestSite site;
    StatusWindow window;
    CPictureRightImageView view(&site.document, &site, &window);
    view.resize(300, 200);
    window.show();

    QFile fixture(QStringLiteral(OV_TEST_FIXTURES "/image/sample.tif"));
    ASSERT_TRUE(fixture.open(QIODevice::ReadOnly));
    const QByteArray tiff = fixture.readAll();
    const int32_t index = site.Add(MakeItemFromFile("sample.tif", Bytes(tiff.begin(), tiff.end())));
    view.ShowImage(index);
    EXPECT_TRUE(window.panes[kStatusMessage].startsWith(
        QStringLiteral("The picture cannot be shown: TIFF pictures cannot be read: " OV_SONAME_TIFF
                       " cannot be loaded: ")))
        << window.panes[kStatusMessage].toStdString();

    // A damaged picture of a format that needs no such library does not repeat that reason.
    window.panes[kStatusMessage].clear();
    const std::string junk = "BM this is not a bitmap";
    view.ShowImage(site.Add(MakeItemFromFile("broken.bmp", Bytes(junk.begin(), junk.end()))));
    EXPECT_TRUE(window.panes[kStatusMessage].isEmpty())
        << window.panes[kStatusMessage].toStdString();

    // A picture whose format needs no such library still shows, and says nothing.
    QTemporaryDir scratch;
    FCObjImage picture;
    ASSERT_TRUE(picture.CreateBlank(8, 6, 24));
    window.panes[kStatusMessage].clear();
    view.ShowImage(site.Add(ImageItem(picture, "plain", false, scratch.path().toStdString())));
    EXPECT_TRUE(window.panes[kStatusMessage].isEmpty());
}
