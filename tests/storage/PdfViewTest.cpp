// The PDF view on PDF items made with Qt's own PDF writer, and on bytes that are no PDF.
#include <functional>

#include <QAbstractScrollArea>
#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include "ViewTestSite.h"
#include "framework/CommandIds.h"
#include "storage/PdfPane.h"
#include "storage/RightPDFView.h"

namespace {

// A PDF of `pages` pages, each drawn by `draw` (given the page's number from 0).
Bytes MakePdfWith(int pages, const std::function<void(QPainter&, int)>& draw) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(72);
        QPainter painter(&writer);
        for (int page = 0; page < pages; ++page) {
            if (page > 0) {
                writer.newPage();
            }
            draw(painter, page);
        }
    }
    const QByteArray bytes = buffer.data();
    return Bytes(bytes.begin(), bytes.end());
}

// A PDF of `pages` pages, each with its number in large black letters.
Bytes MakePdf(int pages) {
    return MakePdfWith(pages, [](QPainter& painter, int page) {
        painter.fillRect(QRect(40, 40, 200, 200), Qt::black);
        painter.setFont(QFont(QStringLiteral("Sans"), 40));
        painter.drawText(QPoint(60, 320), QStringLiteral("Page %1").arg(page + 1));
    });
}

int32_t AddPdf(ViewTestSite& site, Bytes bytes) {
    auto item = std::make_unique<StorageItem>();
    item->type = static_cast<int32_t>(StorageItemType::Pdf);
    item->name = "doc.pdf";
    item->size = static_cast<int64_t>(bytes.size());
    item->data = std::move(bytes);
    return site.Add(std::move(item));
}

TEST(PdfView, ShowsThePageCountAndTheFirstPageAndNavigates) {
    ViewTestSite site;
    StatusWindow window;
    CRightPDFView view(&site.document, &site, &window);
    view.resize(600, 500);
    window.show();
    view.ShowPdf(AddPdf(site, MakePdf(3)));
    EXPECT_FALSE(view.NoPreview());
    CPdfPane* pane = view.Pane();
    ASSERT_NE(pane, nullptr) << view.Failure().toStdString();
    ASSERT_EQ(pane->PageCount(), 3);
    EXPECT_TRUE(pane->IsOpen());
    EXPECT_TRUE(pane->Widget()->isVisible());
    EXPECT_EQ(view.PageText(), QStringLiteral("Page 1 of 3"));
    // The first page renders with the black square the writer drew.
    const QImage first = pane->Render(0, QSize(300, 400));
    ASSERT_FALSE(first.isNull());
    EXPECT_EQ(first.pixel(60, 80), qRgb(0, 0, 0));
    const QRgb corner = first.pixel(290, 390);
    EXPECT_TRUE(qAlpha(corner) == 0 || corner == qRgb(255, 255, 255)) << std::hex << corner;

    view.NextPage();
    view.NextPage();
    view.NextPage();
    EXPECT_EQ(view.PageText(), QStringLiteral("Page 3 of 3"));
    view.PreviousPage();
    EXPECT_EQ(view.PageText(), QStringLiteral("Page 2 of 3"));
    view.OnCommand(ID_ZOOM_ACTUAL);
    view.OnCommand(ID_ZOOM_IN);
    EXPECT_NEAR(pane->ZoomFactor(), 1.25, 1e-9);
    EXPECT_FALSE(pane->FitsWidth());
    EXPECT_TRUE(window.panes[kStatusMessage].isEmpty());
}

TEST(PdfView, ABrokenPdfShowsThePlaceholderAndSaysWhy) {
    ViewTestSite site;
    StatusWindow window;
    CRightPDFView view(&site.document, &site, &window);
    view.resize(400, 300);
    window.show();
    const std::string junk = "%PDF-1.4 this is not really a PDF";
    const int32_t index = AddPdf(site, Bytes(junk.begin(), junk.end()));
    view.ShowPdf(index);
    EXPECT_TRUE(view.NoPreview());
    EXPECT_FALSE(view.Failure().isEmpty());
    EXPECT_TRUE(window.panes[kStatusMessage].contains(view.Failure()));
    ASSERT_NE(view.Pane(), nullptr) << view.Failure().toStdString();
    EXPECT_FALSE(view.Pane()->IsOpen());
    EXPECT_TRUE(view.PageText().isEmpty());
    // The item is left as it was, and a good PDF shows again afterwards.
    EXPECT_EQ(std::string(site.table.Get(index)->data.begin(), site.table.Get(index)->data.end()),
              junk);
    view.ShowPdf(AddPdf(site, MakePdf(1)));
    EXPECT_FALSE(view.NoPreview());
    EXPECT_EQ(view.PageText(), QStringLiteral("Page 1 of 1"));
}

} // namespace

namespace {

// Zooming from the fitted width steps from the size the pages show at, whatever zoom was
// set before.
TEST(PdfView, ZoomStepsStartFromTheFittedWidth) {
    ViewTestSite site;
    StatusWindow window;
    CRightPDFView view(&site.document, &site, &window);
    view.resize(300, 500);
    window.show();
    view.ShowPdf(AddPdf(site, MakePdf(2)));
    ASSERT_FALSE(view.NoPreview());
    QApplication::processEvents();
    const qreal fitted = view.ShownZoom();
    CPdfPane* pane = view.Pane();
    ASSERT_NE(pane, nullptr);
    const qreal pageWidth = pane->PagePointSize(0).width() * pane->Widget()->logicalDpiX() / 72.0;
    EXPECT_LT(fitted * pageWidth, 300) << "the page fits the view's width";
    view.ZoomOut();
    EXPECT_LT(view.ShownZoom(), fitted) << "zooming out makes the page smaller";
    view.FitWidth();
    view.ZoomIn();
    EXPECT_GT(view.ShownZoom(), fitted);
    EXPECT_LT(view.ShownZoom(), fitted * 1.5) << "one step, not a jump";
}

} // namespace

namespace {

// A PDF of `pages` pages, each with one black square of 150 points and nothing else.
Bytes MakeSquarePdf(int pages) {
    return MakePdfWith(pages, [](QPainter& painter, int) {
        painter.fillRect(QRect(150, 300, 150, 150), Qt::black);
    });
}

// Where the view shows dark pixels (the square), in viewport pixels; empty while the pages
// are still being drawn.
QRect DarkArea(CPdfPane& pane) {
    auto* area = qobject_cast<QAbstractScrollArea*>(pane.Widget());
    const QImage shot = area->viewport()->grab().toImage();
    QRect dark;
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            if (qGray(shot.pixel(x, y)) < 64) {
                dark |= QRect(x, y, 1, 1);
            }
        }
    }
    return dark;
}

// Zooming about the centre moves every point of the page away from (or towards) the centre
// by the zoom's ratio, so the point at the centre stays: each edge of the square does.
TEST(PdfView, ZoomKeepsThePointUnderTheCentreOfTheView) {
    ViewTestSite site;
    StatusWindow window;
    CRightPDFView view(&site.document, &site, &window);
    view.resize(520, 480);
    window.show();
    view.ShowPdf(AddPdf(site, MakeSquarePdf(3)));
    CPdfPane* pane = view.Pane();
    ASSERT_NE(pane, nullptr) << view.Failure().toStdString();
    view.OnCommand(ID_ZOOM_ACTUAL);
    QApplication::processEvents();
    // Page 2 in view, its square a little off the centre.
    const QRect page = pane->PageRect(1);
    const QSize viewport = pane->ViewportSize();
    const qreal scale = pane->Widget()->logicalDpiX() / 72.0;
    pane->ScrollTo(QPoint(page.left() + qRound(200 * scale) - viewport.width() / 2,
                          page.top() + qRound(360 * scale) - viewport.height() / 2));
    ASSERT_EQ(pane->CurrentPage(), 1);
    const QPointF centre(viewport.width() / 2.0, viewport.height() / 2.0);

    QRect before;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (before = DarkArea(*pane)).width() > 100; }));
    const struct {
        const char* what;
        int command;
    } steps[] = {{"in", ID_ZOOM_IN}, {"in again", ID_ZOOM_IN}, {"out", ID_ZOOM_OUT}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        const qreal from = view.ShownZoom();
        view.OnCommand(step.command);
        const qreal ratio = view.ShownZoom() / from;
        ASSERT_NE(ratio, 1.0);
        QRect after;
        // Drawn at the new zoom once the square has the new size.
        ASSERT_TRUE(QTest::qWaitFor([&] {
            after = DarkArea(*pane);
            return std::abs(after.width() - before.width() * ratio) < 3;
        })) << after.width()
            << " after " << before.width();
        const auto expectScaled = [&](qreal was, qreal is, qreal middle, const char* edge) {
            EXPECT_NEAR(is - middle, (was - middle) * ratio, 3) << edge;
        };
        expectScaled(before.left(), after.left(), centre.x(), "left");
        expectScaled(before.right() + 1, after.right() + 1, centre.x(), "right");
        expectScaled(before.top(), after.top(), centre.y(), "top");
        expectScaled(before.bottom() + 1, after.bottom() + 1, centre.y(), "bottom");
        before = after;
    }
}

} // namespace
