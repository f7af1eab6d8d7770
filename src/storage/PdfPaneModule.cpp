// The PDF module: CPdfPane on Qt PDF. Loaded by the program when it first shows a PDF, so
// that the PDF libraries (and what they bring) are mapped only then.
#include <algorithm>

#include <QBuffer>
#include <QPdfDocument>
#include <QPdfPageNavigator>
#include <QPdfView>
#include <QScrollBar>

#include "storage/PdfPane.h"

namespace {

CPdfPane::LoadError ErrorOf(QPdfDocument::Error error) {
    switch (error) {
    case QPdfDocument::Error::InvalidFileFormat:
        return CPdfPane::LoadError::InvalidFormat;
    case QPdfDocument::Error::IncorrectPassword:
    case QPdfDocument::Error::UnsupportedSecurityScheme:
        return CPdfPane::LoadError::Password;
    case QPdfDocument::Error::DataNotYetAvailable:
        return CPdfPane::LoadError::Incomplete;
    default:
        return CPdfPane::LoadError::Unreadable;
    }
}

class PdfPane : public QPdfView, public CPdfPane {
public:
    explicit PdfPane(QWidget* parent)
        : QPdfView(parent), buffer_(new QBuffer(this)), document_(new QPdfDocument(this)) {
        setPageMode(QPdfView::PageMode::MultiPage);
        setZoomMode(QPdfView::ZoomMode::FitToWidth);
        connect(pageNavigator(), &QPdfPageNavigator::currentPageChanged, this, [this] {
            if (pageChanged_) {
                pageChanged_();
            }
        });
    }
    ~PdfPane() override { Close(); }

    QWidget* Widget() override { return this; }
    void SetPageChanged(std::function<void()> changed) override {
        pageChanged_ = std::move(changed);
    }

    LoadError Load(const QByteArray& bytes) override {
        Close();
        buffer_->setData(bytes);
        buffer_->open(QIODevice::ReadOnly);
        document_->load(buffer_);
        if (document_->status() != QPdfDocument::Status::Ready || document_->pageCount() <= 0) {
            const LoadError error = ErrorOf(document_->error());
            Close();
            return error;
        }
        setDocument(document_);
        setZoomMode(QPdfView::ZoomMode::FitToWidth);
        Jump(0);
        return LoadError::None;
    }

    void Close() override {
        setDocument(nullptr);
        document_->close();
        buffer_->close();
        buffer_->setData(QByteArray());
    }

    bool IsOpen() const override { return document() != nullptr; }

    int PageCount() const override { return IsOpen() ? document_->pageCount() : 0; }
    int CurrentPage() const override { return pageNavigator()->currentPage(); }
    void Jump(int page) override {
        if (PageCount() > 0) {
            pageNavigator()->jump(std::clamp(page, 0, PageCount() - 1), QPointF(),
                                  pageNavigator()->currentZoom());
        }
    }
    QSizeF PagePointSize(int page) const override { return document_->pagePointSize(page); }
    QImage Render(int page, QSize size) override { return document_->render(page, size); }

    bool FitsWidth() const override { return zoomMode() == QPdfView::ZoomMode::FitToWidth; }
    void FitWidth() override { setZoomMode(QPdfView::ZoomMode::FitToWidth); }
    qreal ZoomFactor() const override { return zoomFactor(); }
    void SetZoomFactor(qreal factor) override {
        setZoomMode(QPdfView::ZoomMode::Custom);
        setZoomFactor(factor);
    }
    qreal FittedZoom() const override {
        if (PageCount() <= 0) {
            return 0;
        }
        const qreal pixels = PagePointSize(CurrentPage()).width() * logicalDpiX() / 72.0;
        const QMargins margins = documentMargins();
        const int width = viewport()->width() - margins.left() - margins.right();
        return pixels > 0 && width > 0 ? width / pixels : 0;
    }

    QPoint ScrollPosition() const override {
        return {horizontalScrollBar()->value(), verticalScrollBar()->value()};
    }
    void ScrollTo(QPoint position) override {
        horizontalScrollBar()->setValue(position.x());
        verticalScrollBar()->setValue(position.y());
    }
    QSize ViewportSize() const override { return viewport()->size(); }
    QRect PageRect(int page) const override {
        if (page < 0 || page >= PageCount()) {
            return {};
        }
        // The layout of the pages: the margins around them all, pages centred in the width
        // of the widest one and set apart by the spacing, each at the shown zoom.
        const qreal zoom = FitsWidth() ? FittedZoom() : zoomFactor();
        const qreal scale = zoom * logicalDpiX() / 72.0;
        const auto pixels = [&](int at) { return (PagePointSize(at) * scale).toSize(); };
        const QMargins margins = documentMargins();
        int widest = 0;
        int top = margins.top();
        for (int at = 0; at < PageCount(); ++at) {
            widest = std::max(widest, pixels(at).width());
            if (at < page) {
                top += pixels(at).height() + pageSpacing();
            }
        }
        const QSize size = pixels(page);
        return {margins.left() + (widest - size.width()) / 2, top, size.width(), size.height()};
    }

private:
    QBuffer* buffer_;
    QPdfDocument* document_;
    std::function<void()> pageChanged_;
};

} // namespace

extern "C" Q_DECL_EXPORT CPdfPane* ombrivault_create_pdf_pane_v2(QWidget* parent) {
    return new PdfPane(parent);
}
