#include "editor/TextPrinting.h"

#include <algorithm>
#include <memory>

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QPrinter>
#include <QTextDocument>
#include <QTextOption>

bool PrintPlainText(const QTextDocument& text, const QFont& font, QPrinter& printer) {
    const double margin = kPrintMarginInches;
    printer.setPageMargins(QMarginsF(margin, margin, margin, margin), QPageLayout::Inch);
    QPainter painter;
    if (!painter.begin(&printer)) {
        return false;
    }

    // A copy laid out for the printer, so the view keeps its own layout and scroll position.
    std::unique_ptr<QTextDocument> pages(text.clone());
    pages->documentLayout()->setPaintDevice(&printer);
    pages->setDefaultFont(font);
    pages->setDocumentMargin(0);
    QTextOption option = pages->defaultTextOption();
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    pages->setDefaultTextOption(option);
    const QSizeF body = printer.pageRect(QPrinter::DevicePixel).size();
    pages->setPageSize(body);

    const int count = pages->pageCount();
    int first = 1;
    int last = count;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        first = std::max(1, printer.fromPage());
        last = std::min(count, std::max(first, printer.toPage()));
    }

    QAbstractTextDocumentLayout::PaintContext context;
    context.palette.setColor(QPalette::Text, Qt::black);
    for (int page = first; page <= last; ++page) {
        if (page > first && !printer.newPage()) {
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
