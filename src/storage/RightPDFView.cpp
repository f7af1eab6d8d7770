#include "storage/RightPDFView.h"

#include <algorithm>

#include <QBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QStackedWidget>
#include <QStyle>
#include <QToolButton>

#include "framework/CommandIds.h"
#include "framework/FrameHosts.h"
#include "framework/LockHost.h"
#include "framework/ModuleLoader.h"
#include "image/ImageDrawing.h"
#include "storage/PdfPane.h"
#include "storage/StorageItem.h"
#include "storage/StorageViewSite.h"
#include "storage/ViewPicture.h"

namespace {
constexpr qreal kZoomStep = 1.25;
constexpr qreal kMinZoom = 0.1;
constexpr qreal kMaxZoom = 16.0;

QString LoadFailure(CPdfPane::LoadError error) {
    switch (error) {
    case CPdfPane::LoadError::InvalidFormat:
        return QStringLiteral("not a valid PDF document");
    case CPdfPane::LoadError::Password:
        return QStringLiteral("the PDF document is protected by a password");
    case CPdfPane::LoadError::Incomplete:
        return QStringLiteral("the PDF document is incomplete");
    default:
        return QStringLiteral("the PDF document could not be read");
    }
}

// Loaded once for the whole run, when the first PDF is shown.
CModuleLoader& PdfModule() {
    static CModuleLoader module(kPdfModuleName, kCreatePdfPaneSymbol);
    return module;
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
    : CView(document, parent), site_(site), blank_(new QWidget(this)),
      placeholder_(new Placeholder(this)), stack_(new QStackedWidget(this)),
      page_(new QLabel(this)) {
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

    stack_->addWidget(blank_);
    stack_->addWidget(placeholder_);
    layout->addWidget(stack_, 1);
}

CRightPDFView::~CRightPDFView() {
    Release();
    if (pane_ != nullptr) {
        pane_->SetPageChanged(nullptr);
    }
}

CPdfPane* CRightPDFView::MakePane() {
    if (pane_ != nullptr) {
        return pane_.get();
    }
    const auto create = PdfModule().Resolve<CreatePdfPaneFunction>();
    if (create == nullptr) {
        failure_ = QStringLiteral("the PDF viewer module could not be loaded: %1")
                       .arg(PdfModule().Error());
        return nullptr;
    }
    pane_.reset(create(stack_));
    pane_->Widget()->setObjectName(QStringLiteral("pdfPane"));
    pane_->SetPageChanged([this] { UpdatePageText(); });
    stack_->insertWidget(0, pane_->Widget());
    return pane_.get();
}

CPdfPane* CRightPDFView::Shown() const {
    return failure_.isEmpty() && pane_ != nullptr && pane_->IsOpen() ? pane_.get() : nullptr;
}

void CRightPDFView::Release() {
    if (pane_ != nullptr) {
        pane_->Close();
    }
    // The decrypted bytes go.
    std::fill(bytes_.begin(), bytes_.end(), '\0');
    bytes_.clear();
}

void CRightPDFView::ShowPdf(int32_t index) {
    index_ = index;
    Release();
    failure_.clear();
    const StorageItem* item = site_ != nullptr ? site_->Item(index) : nullptr;
    if (item == nullptr || item->data.empty()) {
        failure_ = QStringLiteral("the PDF document is empty");
    } else if (CPdfPane* pane = MakePane()) {
        ItemData bytes;
        if (!site_->LoadItemData(index, bytes)) {
            failure_ = QStringLiteral("the PDF document is damaged");
        } else {
            bytes_ = QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                static_cast<qsizetype>(bytes.size()));
            const CPdfPane::LoadError error = pane->Load(bytes_);
            if (error != CPdfPane::LoadError::None) {
                failure_ = LoadFailure(error);
            }
        }
    }
    if (NoPreview()) {
        Release();
        stack_->setCurrentWidget(placeholder_);
        if (CStatusHost* status = CStatusHost::Of(this)) {
            status->SetStatusPaneText(
                kStatusMessage, QStringLiteral("The PDF document cannot be shown: ") + failure_);
        }
    } else {
        stack_->setCurrentWidget(pane_->Widget());
    }
    // Page and zoom buttons only for a PDF that shows.
    bar_->setVisible(!NoPreview());
    UpdatePageText();
}

void CRightPDFView::Forget() {
    index_ = -1;
    Release();
    failure_.clear();
    stack_->setCurrentIndex(0);
    bar_->setVisible(false);
    UpdatePageText();
}

QString CRightPDFView::PageText() const {
    const CPdfPane* pane = Shown();
    if (pane == nullptr) {
        return QString();
    }
    return QStringLiteral("Page %1 of %2").arg(pane->CurrentPage() + 1).arg(pane->PageCount());
}

void CRightPDFView::UpdatePageText() {
    page_->setText(PageText());
}

void CRightPDFView::GoTo(int page) {
    CPdfPane* pane = Shown();
    if (pane == nullptr) {
        return;
    }
    pane->Jump(page);
    UpdatePageText();
}

void CRightPDFView::NextPage() {
    ResetIdleTimer();
    if (const CPdfPane* pane = Shown()) {
        GoTo(pane->CurrentPage() + 1);
    }
}

void CRightPDFView::PreviousPage() {
    ResetIdleTimer();
    if (const CPdfPane* pane = Shown()) {
        GoTo(pane->CurrentPage() - 1);
    }
}

void CRightPDFView::ZoomIn() {
    ResetIdleTimer();
    if (CPdfPane* pane = Shown()) {
        ZoomKeepingCentre(*pane, std::min(kMaxZoom, ShownZoom() * kZoomStep));
    }
}

void CRightPDFView::ZoomOut() {
    ResetIdleTimer();
    if (CPdfPane* pane = Shown()) {
        ZoomKeepingCentre(*pane, std::max(kMinZoom, ShownZoom() / kZoomStep));
    }
}

void CRightPDFView::ZoomKeepingCentre(CPdfPane& pane, qreal factor) {
    // The page under the centre of the view (the one above, in the gap between two) and the
    // point of it there, as parts of its width and height.
    const QSize viewport = pane.ViewportSize();
    const QPointF half(viewport.width() / 2.0, viewport.height() / 2.0);
    const QPointF centre = QPointF(pane.ScrollPosition()) + half;
    int page = 0;
    while (page + 1 < pane.PageCount() && pane.PageRect(page + 1).top() <= centre.y()) {
        ++page;
    }
    const QRectF before = pane.PageRect(page);
    pane.SetZoomFactor(factor);
    const QRectF after = pane.PageRect(page);
    if (before.isEmpty() || after.isEmpty()) {
        return;
    }
    const QPointF part((centre.x() - before.left()) / before.width(),
                       (centre.y() - before.top()) / before.height());
    const QPointF moved(after.left() + part.x() * after.width(),
                        after.top() + part.y() * after.height());
    pane.ScrollTo((moved - half).toPoint());
}

qreal CRightPDFView::ShownZoom() const {
    const CPdfPane* pane = Shown();
    if (pane == nullptr) {
        return 1.0;
    }
    // The zoom factor keeps its last set value while the pages fit the width.
    const qreal fitted = pane->FitsWidth() ? pane->FittedZoom() : 0;
    return fitted > 0 ? std::clamp(fitted, kMinZoom, kMaxZoom) : pane->ZoomFactor();
}

void CRightPDFView::FitWidth() {
    ResetIdleTimer();
    if (CPdfPane* pane = Shown()) {
        pane->FitWidth();
    }
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
        if (CPdfPane* pane = Shown()) {
            ZoomKeepingCentre(*pane, 1.0);
        }
        return true;
    default:
        return false;
    }
}

bool CRightPDFView::OnUpdateCommand(CCmdUI& ui) {
    const CPdfPane* pane = Shown();
    switch (ui.id) {
    case ID_ZOOM_IN:
    case ID_ZOOM_OUT:
        ui.Enable(pane != nullptr);
        return true;
    case ID_ZOOM_FIT:
        ui.Enable(pane != nullptr);
        ui.SetCheck(ui.enabled && pane->FitsWidth());
        return true;
    case ID_ZOOM_ACTUAL:
        ui.Enable(pane != nullptr);
        ui.SetCheck(ui.enabled && !pane->FitsWidth() && qFuzzyCompare(pane->ZoomFactor(), 1.0));
        return true;
    default:
        return false;
    }
}
