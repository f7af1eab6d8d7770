#include "editor/TextPrinting.h"

#include <algorithm>
#include <memory>

#include <QAbstractTextDocumentLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextDocument>
#include <QTextOption>

#include "framework/Printer.h"

bool PrintPlainText(const QTextDocument& text, const QFont& font, CPrintPages& printer) {
    QPagedPaintDevice& device = printer.Device();
    const double margin = kPrintMarginInches;
    device.setPageMargins(QMarginsF(margin, margin, margin, margin), QPageLayout::Inch);
    QPainter painter;
    if (!painter.begin(&device)) {
        return false;
    }

    // A copy laid out for the printer, so the view keeps its own layout and scroll position.
    std::unique_ptr<QTextDocument> pages(text.clone());
    pages->documentLayout()->setPaintDevice(&device);
    pages->setDefaultFont(font);
    pages->setDocumentMargin(0);
    QTextOption option = pages->defaultTextOption();
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    pages->setDefaultTextOption(option);
    const QSizeF body = printer.PageRectPixels().size();
    pages->setPageSize(body);

    const int count = pages->pageCount();
    int first = 1;
    int last = count;
    if (printer.PrintsPageRange() && printer.FromPage() > 0) {
        first = std::max(1, printer.FromPage());
        last = std::min(count, std::max(first, printer.ToPage()));
    }

    QAbstractTextDocumentLayout::PaintContext context;
    context.palette.setColor(QPalette::Text, Qt::black);
    for (int page = first; page <= last; ++page) {
        if (page > first && !device.newPage()) {
            return false;
        }
        const QRectF area(QPointF(0, (page - 1) * body.height()), body);
        painter.save();
        painter.translate(0, -area.top());
        painter.setClipRect(area);
        context.clip = area;
        pages->documentLayout()->draw(&painter, context);
        painter.restore();
    }
    return painter.end();
}
