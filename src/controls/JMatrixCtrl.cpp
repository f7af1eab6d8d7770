#include "controls/JMatrixCtrl.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QTimer>

#include <algorithm>
#include <array>

namespace {

// Height of a character cell in pixels; the font is made as large as fits in it.
constexpr int kCellHeight = 14;
// "Courier" where the system has it, else the system's fixed-pitch font, bold, at the largest
// pixel size whose line height fits the cell. Antialiasing is off so that every glyph pixel
// has exactly the colour it was drawn in, as on the classic lock screens.
QFont MakeCellFont() {
    QFont font;
    font.setFamilies(
        {QStringLiteral("Courier"), QFontDatabase::systemFont(QFontDatabase::FixedFont).family()});
    font.setStyleHint(QFont::TypeWriter, QFont::NoAntialias);
    font.setFixedPitch(true);
    font.setWeight(QFont::Bold);
    for (int pixels = kCellHeight; pixels > 1; --pixels) {
        font.setPixelSize(pixels);
        if (QFontMetrics(font).height() <= kCellHeight) {
            break;
        }
    }
    return font;
}

} // namespace

// The production timers: one QTimer per timer id, each calling back into the widget.
class JMatrixCtrl::QtTimers : public MatrixTimerDriver {
public:
    explicit QtTimers(JMatrixCtrl* owner) {
        for (int id = 0; id < MatrixAnimation::TimerCount; ++id) {
            QObject::connect(&timers_[id], &QTimer::timeout, owner,
                             [owner, id] { owner->OnTimer(id); });
        }
    }
    void Start(int id, int intervalMs) override { timers_[id].start(intervalMs); }
    void Stop(int id) override { timers_[id].stop(); }

private:
    std::array<QTimer, MatrixAnimation::TimerCount> timers_;
};

JMatrixCtrl::JMatrixCtrl(RandomSource random, QWidget* parent)
    : QFrame(parent), animation_(std::move(random), [this](const QString& line) {
          return QFontMetrics(textFont_, &displaySurface_).horizontalAdvance(line);
      }) {
    setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
    BuildFonts();
}

JMatrixCtrl::~JMatrixCtrl() = default;

void JMatrixCtrl::SetTimerDriver(MatrixTimerDriver* driver) {
    animation_.SetTimerDriver(driver);
}

void JMatrixCtrl::Create(const QRect& rect, QWidget* parent) {
    if (parent != parentWidget()) {
        setParent(parent);
    }
    setGeometry(rect);
    BuildGrid(contentsRect().size());
    created_ = true;
    if (animation_.TimerDriver() == nullptr) {
        qtTimers_ = std::make_unique<QtTimers>(this);
        animation_.SetTimerDriver(qtTimers_.get());
    }
    animation_.Start();
    show();
    RequestFrame();
}

void JMatrixCtrl::AddLine(const QString& text) {
    animation_.AddLine(text);
}

void JMatrixCtrl::SetTypingMode(bool mode, bool block) {
    animation_.SetTypingMode(mode, block);
}

void JMatrixCtrl::OnTimer(int id) {
    if (!animation_.OnTimer(id)) {
        return;
    }
    if (id == MatrixAnimation::RainTimer) {
        PaintRain();
    }
    RequestFrame();
}

void JMatrixCtrl::PaintRain() {
    QPainter painter(&rainSurface_);
    painter.setFont(rainFont_);
    for (const MatrixAnimation::RainDraw& draw : animation_.RainDraws()) {
        DrawCell(painter, draw.column, draw.row, MatrixAnimation::RainGlyph(draw.character),
                 draw.color);
    }
}

void JMatrixCtrl::Compose() {
    BuildFrame();
    update();
}

void JMatrixCtrl::BuildFrame() {
    frameDirty_ = false;
    displaySurface_ = rainSurface_.copy();
    QPainter painter(&displaySurface_);
    painter.setFont(textFont_);
    const MatrixAnimation& a = animation_;

    for (const MatrixAnimation::Spark& spark : a.Sparks()) {
        if (spark.active) {
            DrawCell(painter, spark.column, spark.row, MatrixAnimation::TextGlyph(spark.character),
                     kSparkColor);
        }
    }

    const int current = a.CurrentLine();
    if (a.PageHasLine(current)) {
        for (int line = a.PageFirstLine(); line <= current; ++line) {
            const QString& text = line < current ? a.Lines()[line] : a.TypedText();
            const MatrixAnimation::Cell cell = a.LineCells()[line - a.PageFirstLine()];
            for (int i = 0; i < text.size(); ++i) {
                DrawCell(painter, cell.column + i, cell.row, text[i], kTextColor);
            }
        }
    }

    if (a.TypingMode() && a.CursorColumn() >= 0 && a.CursorRow() >= 0) {
        if (a.CursorCharacter() == MatrixAnimation::kBlockCursor) {
            painter.fillRect(CellRect(a.CursorColumn(), a.CursorRow()), QColor(kTextColor));
        } else {
            DrawCell(painter, a.CursorColumn(), a.CursorRow(),
                     MatrixAnimation::TextGlyph(a.CursorCharacter()), kTextColor);
        }
    }
}

void JMatrixCtrl::RequestFrame() {
    // Several timers may tick between two paints; the frame is built once, when painted.
    frameDirty_ = true;
    update();
}

QRect JMatrixCtrl::CellRect(int column, int row) const {
    return {column * columnWidth_, row * rowHeight_, columnWidth_, rowHeight_};
}

void JMatrixCtrl::paintEvent(QPaintEvent* event) {
    if (frameDirty_) {
        BuildFrame();
    }
    QPainter painter(this);
    const QRect client = contentsRect();
    painter.fillRect(event->rect() & client, Qt::black);
    if (!displaySurface_.isNull()) {
        painter.drawImage(client.topLeft(), displaySurface_, QRect(QPoint(0, 0), client.size()));
    }
    drawFrame(&painter);
}

void JMatrixCtrl::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    if (created_ && contentsRect().size() != clientSize_) {
        BuildGrid(contentsRect().size());
        RequestFrame();
    }
}

void JMatrixCtrl::BuildFonts() {
    textFont_ = MakeCellFont();
    // The same face; RainGlyph maps its codes through the Greek code page.
    rainFont_ = textFont_;
}

void JMatrixCtrl::BuildGrid(QSize clientSize) {
    clientSize_ = clientSize.expandedTo(QSize(0, 0));
    const QSize surfaceSize = clientSize_.expandedTo(QSize(1, 1));
    rainSurface_ = QImage(surfaceSize, QImage::Format_RGB32);
    rainSurface_.fill(kBackgroundColor);
    displaySurface_ = rainSurface_.copy();

    const QFontMetrics metrics(textFont_, &displaySurface_);
    rowHeight_ = std::max(1, metrics.height());
    columnWidth_ = std::max(1, metrics.averageCharWidth()) + 2;
    MatrixAnimation::Grid grid;
    grid.rows = clientSize_.height() / rowHeight_ + 1;
    grid.columns = clientSize_.width() / columnWidth_ + 1;
    grid.columnWidth = columnWidth_;
    grid.width = clientSize_.width();
    animation_.SetGrid(grid);
}

void JMatrixCtrl::DrawCell(QPainter& painter, int column, int row, QChar glyph, QRgb color) const {
    const QRect cell = CellRect(column, row);
    painter.fillRect(cell, QColor(kBackgroundColor));
    if (glyph != u' ') {
        // Accents and wide glyphs would reach into the neighbouring cells, where nothing ever
        // clears them again: every glyph stays inside its own cell.
        painter.setClipRect(cell);
        painter.setPen(QColor(color));
        painter.drawText(cell, Qt::AlignCenter, QString(glyph));
        painter.setClipping(false);
    }
}
