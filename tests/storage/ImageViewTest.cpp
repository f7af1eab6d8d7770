// The image view on real image items: decoding, the zoom steps shared by a document, fit mode
// from the item, drawing, copy and paste through the clipboard into a storage file.
#include <filesystem>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPdfDocument>
#include <QPrinter>
#include <QScrollBar>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "ViewTestSite.h"
#include "framework/CommandIds.h"
#include "storage/RightImageView.h"

namespace {

// A 24-bit picture in four coloured quadrants: red top left, green top right, blue bottom
// left, white bottom right.
FCObjImage Quadrants(int32_t width, int32_t height) {
    FCObjImage picture;
    picture.CreateBlank(width, height, 24);
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* row = picture.LineAt(y);
        for (int32_t x = 0; x < width; ++x, row += 3) {
            const bool right = x >= width / 2;
            const bool bottom = y >= height / 2;
            const QColor c =
                !bottom ? (right ? Qt::green : Qt::red) : (right ? Qt::white : Qt::blue);
            row[0] = static_cast<uint8_t>(c.blue());
            row[1] = static_cast<uint8_t>(c.green());
            row[2] = static_cast<uint8_t>(c.red());
        }
    }
    return picture;
}

class ImageViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        view = std::make_unique<CPictureRightImageView>(&site.document, &site);
        view->resize(400, 300);
        view->show();
        scratchPath = scratch.path().toStdString();
    }
    int32_t AddImage(const FCObjImage& picture, const std::string& name, bool fit,
                     const char* extension = ".bmp") {
        return site.Add(ImageItem(picture, name, fit, scratchPath, extension));
    }
    // The view's client area as painted.
    QImage Painted() const {
        QWidget* viewport = view->Canvas()->viewport();
        QImage out(viewport->size(), QImage::Format_RGB32);
        QPainter painter(&out);
        const QPoint offset(view->Canvas()->horizontalScrollBar()->value(),
                            view->Canvas()->verticalScrollBar()->value());
        view->Render(painter, viewport->rect(), viewport->rect(), offset);
        return out;
    }

    QTemporaryDir scratch;
    std::filesystem::path scratchPath;
    ViewTestSite site;
    std::unique_ptr<CPictureRightImageView> view;
};

TEST_F(ImageViewTest, ZoomStepsStopAtSixteenAndTreatMinusOneAsActualSize) {
    view->ShowImage(AddImage(Quadrants(64, 32), "q", false));
    struct Step {
        const char* name;
        int command;
        int repeat;
        int32_t scale;
        QSize range;
    };
    const Step steps[] = {
        {"sixteen steps in stop at 16", ID_ZOOM_IN, 16, 16, {64 * 16, 32 * 16}},
        {"actual size", ID_ZOOM_ACTUAL, 1, 1, {64, 32}},
        {"out from actual size halves", ID_ZOOM_OUT, 1, -2, {32, 16}},
        {"then a third", ID_ZOOM_OUT, 1, -3, {21, 10}},
        {"down to a sixteenth", ID_ZOOM_OUT, 20, -16, {4, 2}},
        {"actual size again", ID_ZOOM_ACTUAL, 1, 1, {64, 32}},
        {"half", ID_ZOOM_OUT, 1, -2, {32, 16}},
        {"in from half is actual size", ID_ZOOM_IN, 1, -1, {64, 32}},
        {"then double", ID_ZOOM_IN, 1, 2, {128, 64}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        for (int i = 0; i < step.repeat; ++i) {
            EXPECT_TRUE(view->OnCommand(step.command));
        }
        EXPECT_EQ(site.zoom.GetScale(), step.scale);
        EXPECT_FALSE(view->FitMode());
        EXPECT_EQ(view->ScrollRange(), step.range);
    }
    // Zooming changes the view only.
    EXPECT_EQ(site.table.Get(view->ItemIndex())->fitToView, 0);
}

TEST_F(ImageViewTest, ToolbarButtonsFollowTheFitMode) {
    const int32_t fitted = AddImage(Quadrants(8, 8), "fitted", true);
    const auto pressed = [this](int id) {
        CCmdUI ui(id);
        EXPECT_TRUE(view->OnUpdateCommand(ui));
        return ui.checked.value_or(false);
    };
    view->ShowImage(fitted);
    EXPECT_TRUE(pressed(ID_ZOOM_FIT));
    EXPECT_FALSE(pressed(ID_ZOOM_ACTUAL));
    view->OnCommand(ID_ZOOM_IN);
    EXPECT_FALSE(pressed(ID_ZOOM_FIT));
    EXPECT_FALSE(pressed(ID_ZOOM_ACTUAL));
    view->OnCommand(ID_ZOOM_ACTUAL);
    EXPECT_FALSE(pressed(ID_ZOOM_FIT));
    EXPECT_TRUE(pressed(ID_ZOOM_ACTUAL));
    view->OnCommand(ID_ZOOM_FIT);
    EXPECT_TRUE(view->FitMode());
    EXPECT_TRUE(pressed(ID_ZOOM_FIT));
    EXPECT_EQ(view->ScrollRange(), QSize(0, 0));
    // The context menu offers the same commands in the described order.
    std::unique_ptr<QMenu> menu(view->CreateContextMenu(nullptr));
    QStringList texts;
    for (QAction* action : menu->actions()) {
        texts << action->text();
    }
    EXPECT_EQ(texts, QStringList({"Fit to view", "Set to actual size", "Zoom in", "Zoom out", "",
                                  "Copy", "Paste"}));
}

TEST_F(ImageViewTest, SwitchingImagesKeepsTheZoomAndTakesFitFromTheItem) {
    const int32_t first = AddImage(Quadrants(40, 20), "first", false);
    const int32_t second = AddImage(Quadrants(10, 10), "second", true, ".png");
    const int32_t third = AddImage(Quadrants(30, 30), "third", false, ".png");
    view->ShowImage(first);
    view->OnCommand(ID_ZOOM_IN);
    view->OnCommand(ID_ZOOM_IN);
    view->ShowImage(second);
    EXPECT_TRUE(view->FitMode());
    EXPECT_EQ(site.zoom.GetScale(), 3);
    view->ShowImage(third);
    EXPECT_FALSE(view->FitMode());
    EXPECT_EQ(view->ScrollRange(), QSize(90, 90));
    EXPECT_EQ(view->Picture().Width(), 30);
}

TEST_F(ImageViewTest, DrawsZoomedAtTheTopLeftAndFittedInTheMiddle) {
    view->ShowImage(AddImage(Quadrants(40, 20), "q", false));
    view->OnCommand(ID_ZOOM_IN); // twice the size: 80 × 40 at the top left
    QImage painted = Painted();
    EXPECT_EQ(QColor(painted.pixel(5, 5)), QColor(Qt::red));
    EXPECT_EQ(QColor(painted.pixel(75, 5)), QColor(Qt::green));
    EXPECT_EQ(QColor(painted.pixel(5, 35)), QColor(Qt::blue));
    EXPECT_EQ(QColor(painted.pixel(75, 35)), QColor(Qt::white));
    EXPECT_NE(QColor(painted.pixel(85, 5)), QColor(Qt::green));
    EXPECT_NE(QColor(painted.pixel(5, 45)), QColor(Qt::blue));

    // A picture larger than the view is fitted to it, centred, its proportions kept.
    view->ShowImage(AddImage(Quadrants(1600, 400), "wide", true));
    painted = Painted();
    const QSize client = view->Canvas()->viewport()->size();
    const ImageRect area = view->PictureArea();
    EXPECT_EQ(area.Width(), client.width());
    EXPECT_EQ(area.Height(), client.width() / 4);
    EXPECT_EQ(area.top, (client.height() - area.Height()) / 2);
    EXPECT_EQ(QColor(painted.pixel(3, area.top + 3)), QColor(Qt::red));
    EXPECT_EQ(QColor(painted.pixel(client.width() - 3, area.bottom - 3)), QColor(Qt::white));
}

TEST_F(ImageViewTest, BrokenImageShowsThePlaceholderAndLeavesTheItemAlone) {
    auto item = std::make_unique<StorageItem>();
    item->type = static_cast<int32_t>(StorageItemType::Image);
    item->imageType = Jpeg;
    item->data = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00};
    item->size = static_cast<int64_t>(item->data.size());
    item->fitToView = 1;
    const Bytes before = item->data;
    const int32_t index = site.Add(std::move(item));
    view->ShowImage(index);
    const FCObjImage& placeholder = PlaceholderPicture(Placeholder::Image);
    EXPECT_EQ(view->Picture().Width(), placeholder.Width());
    EXPECT_EQ(view->Picture().Height(), placeholder.Height());
    EXPECT_EQ(site.table.Get(index)->data, before);
    EXPECT_FALSE(site.document.IsModified());
    EXPECT_FALSE(Painted().isNull());

    // In a window, the status bar says why the picture does not show; a good picture after
    // it says nothing.
    StatusWindow window;
    CPictureRightImageView inWindow(&site.document, &site, &window);
    inWindow.ShowImage(index);
    EXPECT_EQ(window.panes[kStatusMessage], QString::fromLatin1(kPictureNotShownText));
    window.panes[kStatusMessage].clear();
    FCObjImage picture;
    ASSERT_TRUE(picture.CreateBlank(8, 6, 24));
    inWindow.ShowImage(AddImage(picture, "plain", false));
    EXPECT_TRUE(window.panes[kStatusMessage].isEmpty());
}

TEST_F(ImageViewTest, CopyAndPasteGoThroughTheClipboardAndPasteStoresBmp) {
    QTemporaryDir dir;
    const int32_t source = AddImage(Quadrants(20, 10), "source", false);
    const int32_t target = AddImage(Quadrants(6, 6), "target", true, ".png");
    view->ShowImage(source);
    view->OnCommand(ID_EDIT_COPY);
    const QImage copied = QApplication::clipboard()->image();
    ASSERT_EQ(copied.size(), QSize(20, 10));
    EXPECT_EQ(QColor(copied.pixel(0, 0)), QColor(Qt::red));
    EXPECT_EQ(QColor(copied.pixel(19, 9)), QColor(Qt::white));

    site.selected = target;
    view->ShowImage(target);
    view->OnCommand(ID_EDIT_PASTE);
    EXPECT_EQ(view->Picture().Width(), 20);
    const StorageItem* stored = site.table.Get(target);
    EXPECT_EQ(stored->imageType, Bmp);
    ASSERT_GE(stored->data.size(), 2u);
    EXPECT_EQ(stored->data[0], 'B');
    EXPECT_EQ(stored->data[1], 'M');
    EXPECT_EQ(stored->fitToView, 1);
    EXPECT_TRUE(site.document.IsModified());
    // The clipboard is emptied; a second paste changes nothing.
    EXPECT_TRUE(QApplication::clipboard()->image().isNull());
    site.calls.clear();
    view->OnCommand(ID_EDIT_PASTE);
    EXPECT_TRUE(site.calls.isEmpty());

    // The pasted picture survives a save and a fresh read of the storage file.
    const std::string path = (std::filesystem::path(dir.path().toStdString()) / "s.ovs").string();
    ASSERT_TRUE(site.Save(path, "pw"));
    CompoundReader reader;
    ASSERT_EQ(OpenStorageFile(path, reader), CompoundResult::Ok);
    StorageItemTable table;
    StorageTree tree;
    ReadStorage(reader, "pw", table, tree);
    bool found = false;
    for (const StorageTreeEntry& entry : tree) {
        const StorageItem* item = table.Get(entry.item);
        if (item != nullptr && item->name == "target") {
            FCObjImage back;
            ASSERT_TRUE(back.LoadImage(item->data.data(), item->data.size(), Bmp));
            EXPECT_EQ(back.Width(), 20);
            EXPECT_EQ(back.PixelValue(0, 0) & 0xFFFFFF, 0xFF0000u);
            found = true;
        }
    }
    EXPECT_TRUE(found);
}

TEST_F(ImageViewTest, PrintsThePictureAsOnScreen) {
    view->ShowImage(AddImage(Quadrants(40, 20), "q", false));
    view->OnCommand(ID_ZOOM_IN);
    const QString path = scratch.filePath(QStringLiteral("print.pdf"));
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        view->PrintTo(printer);
    }
    // Read the page back: the doubled picture at the top left of the printable area.
    QPdfDocument pdf;
    ASSERT_EQ(pdf.load(path), QPdfDocument::Error::None);
    ASSERT_EQ(pdf.pageCount(), 1);
    const QSizeF points = pdf.pagePointSize(0);
    const QImage page = pdf.render(0, points.toSize());
    // 80 × 40 screen pixels at the printer's scale, inside the page margins.
    const auto near = [](QRgb p, int r, int g, int b) {
        return std::abs(qRed(p) - r) < 40 && std::abs(qGreen(p) - g) < 40 &&
               std::abs(qBlue(p) - b) < 40 && qAlpha(p) > 200;
    };
    int red = 0;
    int green = 0;
    int blue = 0;
    for (int y = 0; y < page.height() / 3; ++y) {
        for (int x = 0; x < page.width() / 3; ++x) {
            const QRgb p = page.pixel(x, y);
            red += near(p, 255, 0, 0) ? 1 : 0;
            green += near(p, 0, 255, 0) ? 1 : 0;
            blue += near(p, 0, 0, 255) ? 1 : 0;
        }
    }
    EXPECT_GT(red, 20);
    EXPECT_GT(green, 20);
    EXPECT_GT(blue, 20);
}

TEST_F(ImageViewTest, PicturesBelowTwentyFourBitsAreNotCopied) {
    FCObjImage grey;
    grey.CreateBlank(8, 8, 8);
    grey.SetGreyPalette();
    view->ShowImage(AddImage(grey, "grey", true));
    ASSERT_EQ(view->Picture().ColorBits(), 8);
    QApplication::clipboard()->setText(QStringLiteral("unchanged"));
    view->OnCommand(ID_EDIT_COPY);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("unchanged"));
    CCmdUI ui(ID_EDIT_COPY);
    view->OnUpdateCommand(ui);
    EXPECT_FALSE(ui.enabled);
}

TEST_F(ImageViewTest, APictureTooLargeToDrawShowsThePlaceholderAndSaysWhy) {
    // 1 bit per pixel fits the image layer; the 24-bit copy drawn on screen (546 MB) does not.
    QImage mono(14000, 13000, QImage::Format_Mono);
    mono.fill(0);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(mono.save(&buffer, "PNG"));
    mono = QImage();
    auto item = std::make_unique<StorageItem>();
    item->type = static_cast<int32_t>(StorageItemType::Image);
    item->imageType = Png;
    item->data.assign(png.begin(), png.end());
    item->fitToView = 1;
    const int32_t index = site.Add(std::move(item));

    StatusWindow window;
    CPictureRightImageView inWindow(&site.document, &site, &window);
    inWindow.resize(400, 300);
    inWindow.ShowImage(index);
    const FCObjImage& placeholder = PlaceholderPicture(Placeholder::Image);
    EXPECT_EQ(inWindow.Picture().Width(), placeholder.Width());
    EXPECT_FALSE(inWindow.ScreenPicture().isNull());
    EXPECT_EQ(window.panes[kStatusMessage],
              QStringLiteral("The picture cannot be shown: at 14000 x 13000 pixels, the copy "
                             "drawn on screen would take more than the 512 MB a picture may."));
}

} // namespace
