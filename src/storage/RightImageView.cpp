#include "storage/RightImageView.h"

#include <algorithm>
#include <cstring>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScrollBar>
#include <QVBoxLayout>

#include "controls/SecretClipboard.h"
#include "framework/CommandIds.h"
#include "framework/FrameHosts.h"
#include "framework/LockHost.h"
#include "framework/ModalSeam.h"
#include "image/ImageDrawing.h"
#include "storage/RightViewDrops.h"
#include "storage/StorageItem.h"
#include "storage/StorageViewSite.h"
#include "storage/ViewCommandMenu.h"
#include "storage/ViewPicture.h"

class CPictureRightImageView::ImageCanvas : public QAbstractScrollArea {
public:
    explicit ImageCanvas(CPictureRightImageView* view) : QAbstractScrollArea(view), view_(view) {
        setFrameShape(QFrame::NoFrame);
        viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
        setFocusPolicy(Qt::StrongFocus);
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(viewport());
        view_->Render(painter, viewport()->rect(), event->rect(),
                      QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value()));
    }
    void resizeEvent(QResizeEvent* event) override {
        QAbstractScrollArea::resizeEvent(event);
        view_->UpdateScrollRange();
    }
    void contextMenuEvent(QContextMenuEvent* event) override {
        ResetIdleTimer();
        QMenu* menu = view_->CreateContextMenu(this);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(event->globalPos());
    }
    void mousePressEvent(QMouseEvent* event) override {
        ResetIdleTimer();
        QAbstractScrollArea::mousePressEvent(event);
    }
    void keyPressEvent(QKeyEvent* event) override {
        ResetIdleTimer();
        QAbstractScrollArea::keyPressEvent(event);
    }

private:
    CPictureRightImageView* view_;
};

CPictureRightImageView::CPictureRightImageView(CDocument* document, CStorageViewSite* site,
                                               QWidget* parent)
    : CView(document, parent), site_(site), canvas_(new ImageCanvas(this)) {
    setObjectName(QStringLiteral("imageView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(canvas_);
    new StorageDropTarget(canvas_->viewport(), site_);
}

CPictureRightImageView::~CPictureRightImageView() = default;

QAbstractScrollArea* CPictureRightImageView::Canvas() const {
    return canvas_;
}

PCL_Interface_ZoomScale& CPictureRightImageView::Zoom() const {
    return site_ != nullptr ? site_->Zoom() : ownZoom_;
}

void CPictureRightImageView::ShowImage(int32_t index) {
    index_ = index;
    const StorageItem* item = site_ != nullptr ? site_->Item(index) : nullptr;
    FCObjImage picture;
    const bool tried = item != nullptr && !item->data.empty();
    bool decoded = false;
    {
        // The bytes are needed only while the picture decodes; they go (wiped) right after.
        ItemData bytes;
        decoded =
            tried && site_->LoadItemData(index, bytes) &&
            picture.LoadImage(bytes.data(), bytes.size(), static_cast<ImageType>(item->imageType));
    }
    const int32_t width = picture.Width();
    const int32_t height = picture.Height();
    SetPicture(decoded ? std::move(picture) : PlaceholderPicture(Placeholder::Image));
    // A picture below 24 bits is drawn from a 24-bit copy; one whose copy would pass the
    // largest picture held cannot be drawn at all.
    const bool drawable = !decoded || !screen_.isNull();
    if (!drawable) {
        SetPicture(PlaceholderPicture(Placeholder::Image));
    }
    // A picture that does not show gets the placeholder, and the status bar says why.
    if (tried && (!decoded || !drawable)) {
        if (CStatusHost* status = CStatusHost::Of(this)) {
            status->SetStatusPaneText(kStatusMessage,
                                      decoded ? QString::fromLatin1(kPictureTooLargeText)
                                                    .arg(width)
                                                    .arg(height)
                                                    .arg(FCObjImage::kMaxBytes >> 20)
                                              : QString::fromLatin1(kPictureNotShownText));
        }
    }
    fit_ = item != nullptr && item->fitToView != 0;
    pressed_ = fit_ ? ZoomButton::Fit : ZoomButton::ActualSize;
    Redraw();
    canvas_->setFocus();
}

void CPictureRightImageView::Forget() {
    index_ = -1;
    SetPicture(FCObjImage());
    Redraw();
}

void CPictureRightImageView::SetPicture(FCObjImage picture) {
    screen_ = QImage();
    drawn_.Destroy();
    picture_ = std::move(picture);
    screen_ = BottomUpImage(picture_);
    if (screen_.isNull() && picture_.IsValid()) {
        drawn_ = picture_;
        drawn_.ConvertDepth(24);
        screen_ = BottomUpImage(drawn_);
    }
}

QSize CPictureRightImageView::ScrollRange() const {
    if (fit_ || !picture_.IsValid()) {
        return {0, 0};
    }
    const ImageRect scaled = Zoom().ScaleRect({0, 0, picture_.Width(), picture_.Height()});
    return {scaled.Width(), scaled.Height()};
}

ImageRect CPictureRightImageView::PictureArea() const {
    if (!picture_.IsValid()) {
        return {};
    }
    if (fit_) {
        const QRect client = canvas_->viewport()->rect();
        return FittedRect(picture_.Width(), picture_.Height(),
                          {0, 0, client.width(), client.height()});
    }
    return Zoom().ScaleRect({0, 0, picture_.Width(), picture_.Height()});
}

void CPictureRightImageView::UpdateScrollRange() {
    const QSize range = ScrollRange();
    const QSize page = canvas_->viewport()->size();
    const Qt::ScrollBarPolicy policy = fit_ ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded;
    canvas_->setHorizontalScrollBarPolicy(policy);
    canvas_->setVerticalScrollBarPolicy(policy);
    QScrollBar* h = canvas_->horizontalScrollBar();
    QScrollBar* v = canvas_->verticalScrollBar();
    h->setRange(0, std::max(0, range.width() - page.width()));
    v->setRange(0, std::max(0, range.height() - page.height()));
    h->setPageStep(page.width());
    v->setPageStep(page.height());
    h->setSingleStep(20);
    v->setSingleStep(20);
}

void CPictureRightImageView::Redraw() {
    UpdateScrollRange();
    canvas_->viewport()->update();
}

void CPictureRightImageView::Render(QPainter& painter, const QRect& client, const QRect& exposed,
                                    const QPoint& offset) const {
    const QColor background = palette().color(QPalette::Window);
    if (screen_.isNull()) {
        painter.fillRect(exposed, background);
        return;
    }
    const ImageRect area = PictureArea();
    const QRect target =
        QRect(area.left, area.top, area.Width(), area.Height()).translated(-offset);
    // The background around the picture only: filling under it would paint twice.
    const QRegion around = QRegion(exposed).subtracted(QRegion(target));
    for (const QRect& r : around) {
        painter.fillRect(r, background);
    }
    const QRect visible = target.intersected(exposed).intersected(client);
    if (visible.isEmpty()) {
        return;
    }
    if (screen_.hasAlphaChannel()) {
        // A transparent picture shows the background, never what was painted before it.
        painter.fillRect(visible, background);
    }
    if (!fit_) {
        RenderZoomed(painter, visible, target);
        return;
    }
    // The part of the picture under the visible part of the target, in the upside-down rows
    // of the screen image, drawn flipped back.
    const double sx = static_cast<double>(screen_.width()) / target.width();
    const double sy = static_cast<double>(screen_.height()) / target.height();
    const double top = (visible.top() - target.top()) * sy;
    const double height = visible.height() * sy;
    const QRectF source((visible.left() - target.left()) * sx, screen_.height() - top - height,
                        visible.width() * sx, height);
    // Enlarged pictures show their pixels; reduced ones are sampled smoothly.
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, sx > 1.0 || sy > 1.0);
    painter.scale(1, -1);
    painter.drawImage(QRectF(visible.left(), -(visible.top() + visible.height()), visible.width(),
                             visible.height()),
                      screen_, source);
    painter.restore();
}

void CPictureRightImageView::RenderZoomed(QPainter& painter, const QRect& visible,
                                          const QRect& target) const {
    const FCObjImage& source = drawn_.IsValid() ? drawn_ : picture_;
    const int bytes = source.ColorBits() / 8;
    const int32_t scale = Zoom().GetScale();
    // A view coordinate (from the picture's corner) to a picture coordinate.
    const auto pictureAt = [scale](int32_t c) {
        return scale >= 2 ? c / scale : scale <= -2 ? c * -scale : c;
    };
    const QImage::Format format = bytes == 4 ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    if (zoomBuffer_.format() != format || zoomBuffer_.width() < visible.width() ||
        zoomBuffer_.height() < visible.height()) {
        zoomBuffer_ = QImage(visible.size().expandedTo(zoomBuffer_.size()), format);
    }
    const int width = visible.width();
    columns_.resize(static_cast<size_t>(width));
    for (int x = 0; x < width; ++x) {
        const int32_t column = pictureAt(visible.left() - target.left() + x);
        columns_[static_cast<size_t>(x)] = std::min(column, source.Width() - 1) * bytes;
    }
    int32_t lastRow = -1;
    for (int y = 0; y < visible.height(); ++y) {
        const int32_t row =
            std::min(pictureAt(visible.top() - target.top() + y), source.Height() - 1);
        auto* out = reinterpret_cast<uint32_t*>(zoomBuffer_.scanLine(y));
        if (row == lastRow) {
            // An enlarged picture repeats its rows.
            std::memcpy(out, zoomBuffer_.constScanLine(y - 1), static_cast<size_t>(width) * 4);
            continue;
        }
        lastRow = row;
        const uint8_t* in = source.LineAt(row);
        if (bytes == 4) {
            for (int x = 0; x < width; ++x) {
                std::memcpy(&out[x], in + columns_[static_cast<size_t>(x)], 4);
            }
        } else {
            for (int x = 0; x < width; ++x) {
                const uint8_t* p = in + columns_[static_cast<size_t>(x)];
                out[x] = 0xff000000u | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
            }
        }
    }
    painter.drawImage(visible.topLeft(), zoomBuffer_, QRect(0, 0, width, visible.height()));
}

void CPictureRightImageView::FitToView() {
    ResetIdleTimer();
    fit_ = true;
    pressed_ = ZoomButton::Fit;
    Redraw();
}

void CPictureRightImageView::ActualSize() {
    ResetIdleTimer();
    fit_ = false;
    Zoom().ActualSize();
    pressed_ = ZoomButton::ActualSize;
    Redraw();
}

void CPictureRightImageView::ZoomIn() {
    ResetIdleTimer();
    fit_ = false;
    Zoom().ZoomIn();
    pressed_ = ZoomButton::None;
    Redraw();
}

void CPictureRightImageView::ZoomOut() {
    ResetIdleTimer();
    fit_ = false;
    Zoom().ZoomOut();
    pressed_ = ZoomButton::None;
    Redraw();
}

void CPictureRightImageView::Copy() {
    ResetIdleTimer();
    if (!picture_.IsValid() || picture_.ColorBits() < 24) {
        return;
    }
    // A picture from a storage is as secret as the rest of it.
    SecretClipboard::Instance().PutImage(screen_.mirrored(false, true), GetDocument());
}

void CPictureRightImageView::Paste() {
    ResetIdleTimer();
    const QMimeData* data = QApplication::clipboard()->mimeData();
    if (data == nullptr || !data->hasImage()) {
        return;
    }
    FCObjImage pasted;
    if (!PictureFromImage(qvariant_cast<QImage>(data->imageData()), pasted)) {
        return;
    }
    QApplication::clipboard()->clear();
    SetPicture(std::move(pasted));
    if (site_ != nullptr) {
        site_->ReplaceImageData(picture_);
    }
    Redraw();
    canvas_->viewport()->repaint();
}

void CPictureRightImageView::PrintTo(QPrinter& printer) {
    QPainter painter;
    if (!painter.begin(&printer)) {
        return;
    }
    // The page shows what the view shows, at the printer's resolution.
    const QRect client = canvas_->viewport()->rect();
    const double scale = static_cast<double>(printer.logicalDpiX()) / std::max(1, logicalDpiX());
    painter.scale(scale, scale);
    const QPoint offset(canvas_->horizontalScrollBar()->value(),
                        canvas_->verticalScrollBar()->value());
    Render(painter, client, client, offset);
}

bool CPictureRightImageView::OnCommand(int id) {
    switch (id) {
    case ID_ZOOM_FIT:
        FitToView();
        return true;
    case ID_ZOOM_ACTUAL:
        ActualSize();
        return true;
    case ID_ZOOM_IN:
        ZoomIn();
        return true;
    case ID_ZOOM_OUT:
        ZoomOut();
        return true;
    case ID_EDIT_COPY:
        Copy();
        return true;
    case ID_EDIT_PASTE:
        Paste();
        return true;
    case ID_FILE_PRINT:
    case ID_FILE_PRINT_DIRECT: {
        ResetIdleTimer();
        QPrinter& printer = CPrintHost::SharedPrinter();
        QPrintDialog dialog(&printer, this);
        if (id == ID_FILE_PRINT_DIRECT ||
            ModalSeam::Run(dialog, QDialog::Rejected) == QDialog::Accepted) {
            PrintTo(printer);
        }
        return true;
    }
    case ID_FILE_PRINT_PREVIEW: {
        ResetIdleTimer();
        QPrintPreviewDialog preview(&CPrintHost::SharedPrinter(), this);
        connect(&preview, &QPrintPreviewDialog::paintRequested, this,
                [this](QPrinter* p) { PrintTo(*p); });
        ModalSeam::Run(preview, QDialog::Rejected);
        return true;
    }
    default:
        return false;
    }
}

bool CPictureRightImageView::OnUpdateCommand(CCmdUI& ui) {
    switch (ui.id) {
    case ID_ZOOM_FIT:
        ui.SetCheck(pressed_ == ZoomButton::Fit);
        return true;
    case ID_ZOOM_ACTUAL:
        ui.SetCheck(pressed_ == ZoomButton::ActualSize);
        return true;
    case ID_ZOOM_IN:
    case ID_ZOOM_OUT:
    case ID_FILE_PRINT:
    case ID_FILE_PRINT_DIRECT:
    case ID_FILE_PRINT_PREVIEW:
        return true;
    case ID_EDIT_COPY:
        ui.Enable(picture_.IsValid() && picture_.ColorBits() >= 24);
        return true;
    case ID_EDIT_PASTE: {
        const QMimeData* data = QApplication::clipboard()->mimeData();
        ui.Enable(data != nullptr && data->hasImage());
        return true;
    }
    default:
        return false;
    }
}

QMenu* CPictureRightImageView::CreateContextMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    const auto add = [this, menu](const QString& text, int id) {
        AddCommandEntry(*menu, this, text, id);
    };
    add(QStringLiteral("Fit to view"), ID_ZOOM_FIT);
    add(QStringLiteral("Set to actual size"), ID_ZOOM_ACTUAL);
    add(QStringLiteral("Zoom in"), ID_ZOOM_IN);
    add(QStringLiteral("Zoom out"), ID_ZOOM_OUT);
    menu->addSeparator();
    add(QStringLiteral("Copy"), ID_EDIT_COPY);
    add(QStringLiteral("Paste"), ID_EDIT_PASTE);
    return menu;
}
