#include "storage/RightPDFView.h"

#include <algorithm>

#include <QBoxLayout>
#include <QBuffer>
#include <QLabel>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfPageNavigator>
#include <QPdfView>
#include <QStackedWidget>
#include <QStyle>
#include <QToolButton>

#include "framework/CommandIds.h"
#include "framework/FrameHosts.h"
#include "framework/LockHost.h"
#include "image/ImageDrawing.h"
#include "storage/StorageItem.h"
#include "storage/StorageViewSite.h"
#include "storage/ViewPicture.h"

namespace {
constexpr qreal kZoomStep = 1.25;
constexpr qreal kMinZoom = 0.1;
constexpr qreal kMaxZoom = 16.0;

QString LoadFailure(QPdfDocument::Error error) {
    switch (error) {
    case QPdfDocument::Error::InvalidFileFormat:
        return QStringLiteral("not a valid PDF document");
    case QPdfDocument::Error::IncorrectPassword:
    case QPdfDocument::Error::UnsupportedSecurityScheme:
        return QStringLiteral("the PDF document is protected by a password");
    case QPdfDocument::Error::DataNotYetAvailable:
        return QStringLiteral("the PDF document is incomplete");
    default:
        return QStringLiteral("the PDF document could not be read");
    }
}
} // namespace

// The placeholder picture, fitted to the view.
class CRightPDFView::Placeholder : public QWidget {
public:
    explicit Placeholder(QWidget* parent)
        : QWidget(parent), image_(ScreenImage(PlaceholderPicture(::Placeholder::Pdf))) {
        setObjectName(QStringLiteral("pdfPlaceholder"));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), palette().color(QPalette::Window));
        const ImageRect area =
            FittedRect(image_.width(), image_.height(), {0, 0, width(), height()});
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRect(area.left, area.top, area.Width(), area.Height()), image_);
    }

private:
    QImage image_;
};

CRightPDFView::CRightPDFView(CDocument* document, CStorageViewSite* site, QWidget* parent)
    : CView(document, parent), site_(site), buffer_(new QBuffer(this)),
      pdf_(new QPdfDocument(this)), view_(new QPdfView(this)), placeholder_(new Placeholder(this)),
      stack_(new QStackedWidget(this)), page_(new QLabel(this)) {
    setObjectName(QStringLiteral("pdfView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    bar_ = new QWidget(this);
    bar_->setObjectName(QStringLiteral("pdfToolBar"));
    auto* bar = new QHBoxLayout(bar_);
    bar->setContentsMargins(6, 3, 6, 3);
    const auto tool = [this, bar](const QIcon& icon, const QString& tip, const char* name,
                                  void (CRightPDFView::*slot)()) {
        auto* button = new QToolButton(bar_);
        button->setIcon(icon);
        button->setToolTip(tip);
        button->setObjectName(QString::fromLatin1(name));
        button->setAutoRaise(true);
        connect(button, &QToolButton::clicked, this, slot);
        bar->addWidget(button);
    };
    // The zoom buttons look like the main toolbar's.
    const auto toolbarIcon = [](const char* name) {
        return QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name)));
    };
    tool(style()->standardIcon(QStyle::SP_ArrowUp), QStringLiteral("Previous page"), "previousPage",
         &CRightPDFView::PreviousPage);
    tool(style()->standardIcon(QStyle::SP_ArrowDown), QStringLiteral("Next page"), "nextPage",
         &CRightPDFView::NextPage);
    page_->setParent(bar_);
    page_->setObjectName(QStringLiteral("pageText"));
    bar->addWidget(page_);
    bar->addSpacing(16);
    tool(toolbarIcon("zoom_out"), QStringLiteral("Zoom out"), "zoomOut", &CRightPDFView::ZoomOut);
    tool(toolbarIcon("zoom_in"), QStringLiteral("Zoom in"), "zoomIn", &CRightPDFView::ZoomIn);
    tool(toolbarIcon("zoom_fit"), QStringLiteral("Fit to width"), "fitWidth",
         &CRightPDFView::FitWidth);
    bar->addStretch(1);
    layout->addWidget(bar_);

    view_->setPageMode(QPdfView::PageMode::MultiPage);
    view_->setZoomMode(QPdfView::ZoomMode::FitToWidth);
    stack_->addWidget(view_);
    stack_->addWidget(placeholder_);
    layout->addWidget(stack_, 1);
    connect(view_->pageNavigator(), &QPdfPageNavigator::currentPageChanged, this,
            &CRightPDFView::UpdatePageText);
}

CRightPDFView::~CRightPDFView() {
    Release();
}

void CRightPDFView::Release() {
    view_->setDocument(nullptr);
    pdf_->close();
    buffer_->close();
    buffer_->setData(QByteArray());
    // The decrypted bytes go.
    std::fill(bytes_.begin(), bytes_.end(), '\0');
    bytes_.clear();
}

void CRightPDFView::ShowPdf(int32_t index) {
    index_ = index;
    Release();
    failure_.clear();
    const StorageItem* item = site_ != nullptr ? site_->Item(index) : nullptr;
    if (item != nullptr && !item->data.empty()) {
        bytes_ = QByteArray(reinterpret_cast<const char*>(item->data.data()),
                            static_cast<qsizetype>(item->data.size()));
        buffer_->setData(bytes_);
        buffer_->open(QIODevice::ReadOnly);
        pdf_->load(buffer_);
    }
    noPreview_ = pdf_->status() != QPdfDocument::Status::Ready || pdf_->pageCount() <= 0;
    if (noPreview_) {
        failure_ = item == nullptr || item->data.empty()
                       ? QStringLiteral("the PDF document is empty")
                       : LoadFailure(pdf_->error());
        Release();
        stack_->setCurrentWidget(placeholder_);
        if (CStatusHost* status = CStatusHost::Of(this)) {
            status->SetStatusPaneText(
                kStatusMessage, QStringLiteral("The PDF document cannot be shown: ") + failure_);
        }
    } else {
        view_->setDocument(pdf_);
        view_->setZoomMode(QPdfView::ZoomMode::FitToWidth);
        stack_->setCurrentWidget(view_);
        GoTo(0);
    }
    // Page and zoom buttons only for a PDF that shows.
    bar_->setVisible(!noPreview_);
    UpdatePageText();
}

void CRightPDFView::Forget() {
    index_ = -1;
    Release();
    failure_.clear();
    noPreview_ = false;
    stack_->setCurrentWidget(view_);
    bar_->setVisible(false);
    UpdatePageText();
}

QString CRightPDFView::PageText() const {
    if (noPreview_ || pdf_->pageCount() <= 0) {
        return QString();
    }
    return QStringLiteral("Page %1 of %2")
        .arg(view_->pageNavigator()->currentPage() + 1)
        .arg(pdf_->pageCount());
}

void CRightPDFView::UpdatePageText() {
    page_->setText(PageText());
}

void CRightPDFView::GoTo(int page) {
    if (noPreview_ || pdf_->pageCount() <= 0) {
        return;
    }
    page = std::clamp(page, 0, pdf_->pageCount() - 1);
    view_->pageNavigator()->jump(page, QPointF(), view_->pageNavigator()->currentZoom());
    UpdatePageText();
}

void CRightPDFView::NextPage() {
    ResetIdleTimer();
    GoTo(view_->pageNavigator()->currentPage() + 1);
}

void CRightPDFView::PreviousPage() {
    ResetIdleTimer();
    GoTo(view_->pageNavigator()->currentPage() - 1);
}

void CRightPDFView::ZoomIn() {
    ResetIdleTimer();
    const qreal shown = ShownZoom();
    view_->setZoomMode(QPdfView::ZoomMode::Custom);
    view_->setZoomFactor(std::min(kMaxZoom, shown * kZoomStep));
}

void CRightPDFView::ZoomOut() {
    ResetIdleTimer();
    const qreal shown = ShownZoom();
    view_->setZoomMode(QPdfView::ZoomMode::Custom);
    view_->setZoomFactor(std::max(kMinZoom, shown / kZoomStep));
}

qreal CRightPDFView::ShownZoom() const {
    if (view_->zoomMode() != QPdfView::ZoomMode::FitToWidth || pdf_->pageCount() <= 0) {
        return view_->zoomFactor();
    }
    // The zoom factor keeps its last set value while the pages fit the width.
    const QSizeF page = pdf_->pagePointSize(view_->pageNavigator()->currentPage());
    const qreal pixels = page.width() * view_->logicalDpiX() / 72.0;
    const QMargins margins = view_->documentMargins();
    const int width = view_->viewport()->width() - margins.left() - margins.right();
    return pixels > 0 && width > 0 ? std::clamp(width / pixels, kMinZoom, kMaxZoom)
                                   : view_->zoomFactor();
}

void CRightPDFView::FitWidth() {
    ResetIdleTimer();
    view_->setZoomMode(QPdfView::ZoomMode::FitToWidth);
}

bool CRightPDFView::OnCommand(int id) {
    switch (id) {
    case ID_ZOOM_IN:
        ZoomIn();
        return true;
    case ID_ZOOM_OUT:
        ZoomOut();
        return true;
    case ID_ZOOM_FIT:
        FitWidth();
        return true;
    case ID_ZOOM_ACTUAL:
        ResetIdleTimer();
        view_->setZoomMode(QPdfView::ZoomMode::Custom);
        view_->setZoomFactor(1.0);
        return true;
    default:
        return false;
    }
}

bool CRightPDFView::OnUpdateCommand(CCmdUI& ui) {
    switch (ui.id) {
    case ID_ZOOM_IN:
    case ID_ZOOM_OUT:
        ui.Enable(!noPreview_ && pdf_->pageCount() > 0);
        return true;
    case ID_ZOOM_FIT:
        ui.Enable(!noPreview_ && pdf_->pageCount() > 0);
        ui.SetCheck(ui.enabled && view_->zoomMode() == QPdfView::ZoomMode::FitToWidth);
        return true;
    case ID_ZOOM_ACTUAL:
        ui.Enable(!noPreview_ && pdf_->pageCount() > 0);
        ui.SetCheck(ui.enabled && view_->zoomMode() == QPdfView::ZoomMode::Custom &&
                    qFuzzyCompare(view_->zoomFactor(), 1.0));
        return true;
    default:
        return false;
    }
}
