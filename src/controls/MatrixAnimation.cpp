#include "controls/JMatrixCtrl.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <climits>
#include <random>

namespace {

// Height of a character cell in pixels; the font is made as large as fits in it.
constexpr int kCellHeight = 14;
// Hold times are turned into milliseconds for the timer and must not overflow.
constexpr int kMaxHoldSeconds = INT_MAX / 1000;

// The random characters include 127, which fonts have no glyph for; it shows as the house
// sign that old code pages put there rather than as an empty box.
constexpr int kDelete = 0x7F;
constexpr QChar kDeleteGlyph(u'\u2302');

// Codes 0x80..0xFF of the Western and the Greek code page; 0 marks an unassigned code.
constexpr char16_t kWesternHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
constexpr char16_t kGreekHigh[64] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0,      0x2030, 0,
    0x2039, 0,      0,      0,      0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0,      0x2122, 0,      0x203A, 0,      0,      0,      0,      0x00A0,
    0x0385, 0x0386, 0x00A3, 0x00A4, 0x00A5, 0x00A6, 0x00A7, 0x00A8, 0x00A9, 0,      0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x2015, 0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x0384, 0x00B5, 0x00B6,
    0x00B7, 0x0388, 0x0389, 0x038A, 0x00BB, 0x038C, 0x00BD, 0x038E, 0x038F};

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
        for (int id = 0; id < TimerCount; ++id) {
            QObject::connect(&timers_[id], &QTimer::timeout, owner,
                             [owner, id] { owner->OnTimer(id); });
        }
    }
    void Start(int id, int intervalMs) override { timers_[id].start(intervalMs); }
    void Stop(int id) override { timers_[id].stop(); }

private:
    std::array<QTimer, TimerCount> timers_;
};

JMatrixCtrl::JMatrixCtrl(RandomSource random, QWidget* parent)
    : QFrame(parent), random_(std::move(random)) {
    if (!random_) {
        const auto seed =
            static_cast<std::uint32_t>(std::chrono::system_clock::now().time_since_epoch().count());
        random_ = [generator = std::mt19937(seed)]() mutable { return generator(); };
    }
    setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
    BuildFonts();
}

JMatrixCtrl::~JMatrixCtrl() {
    for (int id = 0; id < TimerCount; ++id) {
        StopTimer(id);
    }
}

void JMatrixCtrl::SetTimerDriver(MatrixTimerDriver* driver) {
    timers_ = driver;
}

void JMatrixCtrl::Create(const QRect& rect, QWidget* parent) {
    if (parent != parentWidget()) {
        setParent(parent);
    }
    setGeometry(rect);
    BuildGrid(contentsRect().size());
    created_ = true;
    if (timers_ == nullptr) {
        qtTimers_ = std::make_unique<QtTimers>(this);
        timers_ = qtTimers_.get();
    }
    StartTimer(PageTimer, firstPageDelay_ * 1000);
    StartTimer(RainTimer, kRainIntervalMs);
    show();
    RequestFrame();
}

void JMatrixCtrl::AddLine(const QString& text) {
    lines_.append(text);
    // Before the first page this makes the next page start at line 0.
    pageLastLine_ = static_cast<int>(lines_.size());
}

void JMatrixCtrl::SetTypingMode(bool mode, bool block) {
    typingMode_ = mode;
    cursorCharacter_ = block ? kBlockCursor : 'a';
}

void JMatrixCtrl::OnTimer(int id) {
    switch (id) {
    case PageTimer:
        NextPage();
        StartCursor();
        return;
    case TypingTimer:
        SparksStep();
        TypingStep();
        break;
    case CursorTimer:
        CursorStep();
        break;
    case RainTimer:
        RainStep();
        break;
    case SparksTimer:
        SparksStep();
        break;
    default:
        return;
    }
    RequestFrame();
}

void JMatrixCtrl::NextPage() {
    const int count = static_cast<int>(lines_.size());
    if (count == 0) {
        return;
    }
    int first = pageLastLine_ + 2; // skips the hold line that ended the previous page
    if (first >= count) {
        first = 0;
    }
    int last = count - 1;
    int hold = defaultHold_;
    for (int i = first; i < count; ++i) {
        const int seconds = HoldSeconds(lines_[i]);
        if (seconds >= 0) {
            last = i - 1;
            hold = seconds;
            break;
        }
    }
    pageFirstLine_ = first;
    pageLastLine_ = last;
    pageHold_ = hold;
    PlaceLines();

    currentLine_ = first;
    typedText_.clear();
    drawCounts_.clear();
    StopTimer(PageTimer);
    StopTimer(SparksTimer);
    StartTimer(TypingTimer, kTypingIntervalMs);
}

void JMatrixCtrl::StartCursor() {
    if (!typingMode_ || !PageHasLine(currentLine_)) {
        return;
    }
    cursorColumn_ = 0;
    cursorRow_ = lineCells_[currentLine_ - pageFirstLine_].row;
    StartTimer(CursorTimer, kCursorIntervalMs);
}

void JMatrixCtrl::CursorStep() {
    ++cursorColumn_;
    if (cursorColumn_ >= columns_) {
        StopTimer(CursorTimer);
    }
}

void JMatrixCtrl::TypingStep() {
    if (typingMode_ && cursorCharacter_ != kBlockCursor) {
        cursorCharacter_ = RandomCharacter();
    }
    if (currentLine_ < 0) {
        return;
    }
    // A page made of a hold line alone has nothing to type and is finished at once.
    if (PageHasLine(currentLine_)) {
        const QString& line = lines_[currentLine_];
        const int length = static_cast<int>(line.size());
        const int lineColumn = lineCells_[currentLine_ - pageFirstLine_].column;
        bool changed = false;
        for (int i = 0; i < length; ++i) {
            if (typingMode_ && i >= cursorColumn_ - lineColumn) {
                break;
            }
            if (i >= typedText_.size()) {
                typedText_.append(TextGlyph(RandomCharacter()));
                drawCounts_.push_back(0);
                changed = true;
            } else if (drawCounts_[i] >= kSettleCount) {
                typedText_[i] = line[i];
            } else if (typedText_[i] != line[i]) {
                typedText_[i] = TextGlyph(RandomCharacter());
                ++drawCounts_[i];
                changed = true;
            }
        }
        const bool cursorDone = !typingMode_ || length == 0 || cursorColumn_ >= columns_;
        if (changed || !cursorDone) {
            return;
        }
    }
    FinishTypedLine();
}

void JMatrixCtrl::FinishTypedLine() {
    if (currentLine_ < pageLastLine_) {
        ++currentLine_;
        typedText_.clear();
        drawCounts_.clear();
        StartCursor();
        return;
    }
    StopTimer(TypingTimer);
    StartTimer(PageTimer, pageHold_ * 1000);
    StartTimer(SparksTimer, kSparksIntervalMs);
}

void JMatrixCtrl::RainStep() {
    QPainter painter(&rainSurface_);
    painter.setFont(rainFont_);

    if (activeRain_ < columns_) {
        for (int attempt = 0; attempt <= columns_; ++attempt) {
            const int column = Random(columns_);
            RainColumn& drop = rain_[column];
            if (drop.active) {
                continue;
            }
            drop.active = true;
            drop.row = Random(2) == 0 ? 0 : Random(rows_ - 2);
            const int endSpan = rows_ - drop.row - 2; // rows from start + 3 to rows
            drop.endRow = (Random(2) == 0 || endSpan <= 0) ? rows_ : drop.row + 3 + Random(endSpan);
            drop.character = Random(5) == 0 ? ' ' : RandomCharacter();
            DrawCell(painter, column, drop.row, RainGlyph(drop.character), kRainHeadColor);
            ++drop.row;
            ++activeRain_;
            break;
        }
    }

    for (int column = 0; column < columns_; ++column) {
        RainColumn& drop = rain_[column];
        if (!drop.active) {
            continue;
        }
        const QRgb trail = qRgb(0, kTrailGreenMin + Random(kTrailGreenMax - kTrailGreenMin + 1), 0);
        DrawCell(painter, column, drop.row - 1, RainGlyph(drop.character), trail);
        if (drop.row >= drop.endRow) {
            drop.active = false;
            --activeRain_;
            continue;
        }
        if (drop.character != ' ') {
            drop.character = RandomCharacter();
        }
        DrawCell(painter, column, drop.row, RainGlyph(drop.character), kRainHeadColor);
        ++drop.row;
    }
}

void JMatrixCtrl::SparksStep() {
    const int count = static_cast<int>(sparks_.size());
    if (activeSparks_ < count && Random(101) == 0) {
        for (int attempt = 0; attempt <= count; ++attempt) {
            Spark& spark = sparks_[Random(count)];
            if (spark.active) {
                continue;
            }
            spark.active = true;
            spark.life = 300 + Random(501);
            spark.column = Random(columns_);
            spark.row = Random(rows_);
            ++activeSparks_;
            break;
        }
    }
    for (Spark& spark : sparks_) {
        if (!spark.active) {
            continue;
        }
        if (spark.life > 0) {
            spark.character = RandomCharacter();
            --spark.life;
        } else {
            spark.active = false;
            --activeSparks_;
        }
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

    for (const Spark& spark : sparks_) {
        if (spark.active) {
            DrawCell(painter, spark.column, spark.row, TextGlyph(spark.character), kSparkColor);
        }
    }

    if (PageHasLine(currentLine_)) {
        for (int line = pageFirstLine_; line <= currentLine_; ++line) {
            const QString& text = line < currentLine_ ? lines_[line] : typedText_;
            const Cell cell = lineCells_[line - pageFirstLine_];
            for (int i = 0; i < text.size(); ++i) {
                DrawCell(painter, cell.column + i, cell.row, text[i], kTextColor);
            }
        }
    }

    if (typingMode_ && cursorColumn_ >= 0 && cursorRow_ >= 0) {
        if (cursorCharacter_ == kBlockCursor) {
            painter.fillRect(CellRect(cursorColumn_, cursorRow_), QColor(kTextColor));
        } else {
            DrawCell(painter, cursorColumn_, cursorRow_, TextGlyph(cursorCharacter_), kTextColor);
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

QChar JMatrixCtrl::TextGlyph(int code) {
    code &= 0xFF;
    if (code == kDelete) {
        return kDeleteGlyph;
    }
    if (code < 0x80 || code >= 0xA0) {
        return QChar(static_cast<char16_t>(code));
    }
    const char16_t mapped = kWesternHigh[code - 0x80];
    // Unassigned codes still flicker as something visible.
    return QChar(mapped != 0 ? mapped : u'\u00A4');
}

QChar JMatrixCtrl::RainGlyph(int code) {
    code &= 0xFF;
    if (code == kDelete) {
        return kDeleteGlyph;
    }
    if (code < 0x80) {
        return QChar(static_cast<char16_t>(code));
    }
    char16_t mapped = 0;
    if (code < 0xC0) {
        mapped = kGreekHigh[code - 0x80];
    } else if (code != 0xD2 && code != 0xFF) {
        mapped = static_cast<char16_t>(0x0390 + (code - 0xC0));
    }
    // Codes the Greek page leaves unassigned fall as Greek letters too, so the rain has no gaps.
    return QChar(mapped != 0 ? mapped : static_cast<char16_t>(0x03B1 + code % 25));
}

int JMatrixCtrl::HoldSeconds(const QString& line) {
    if (line.isEmpty() || line[0] != QChar(kHoldMark)) {
        return -1;
    }
    qsizetype i = 1;
    while (i < line.size() && (line[i] == u' ' || line[i] == u'\t')) {
        ++i;
    }
    bool negative = false;
    if (i < line.size() && (line[i] == u'-' || line[i] == u'+')) {
        negative = line[i] == u'-';
        ++i;
    }
    int seconds = 0;
    for (; i < line.size() && line[i] >= u'0' && line[i] <= u'9'; ++i) {
        seconds = std::min(kMaxHoldSeconds, seconds * 10 + (line[i].unicode() - u'0'));
    }
    // A negative hold would stop the animation for good; it shows the page only briefly.
    return negative ? 0 : seconds;
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

int JMatrixCtrl::Random(int bound) {
    if (bound <= 0) {
        return 0;
    }
    return static_cast<int>(random_() % static_cast<std::uint32_t>(bound));
}

int JMatrixCtrl::RandomCharacter() {
    return 32 + Random(kRandomCharLimit - 31);
}

void JMatrixCtrl::StartTimer(int id, int intervalMs) {
    if (timers_ != nullptr) {
        timers_->Start(id, std::max(0, intervalMs));
    }
}

void JMatrixCtrl::StopTimer(int id) {
    if (timers_ != nullptr) {
        timers_->Stop(id);
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
    rows_ = clientSize_.height() / rowHeight_ + 1;
    columns_ = clientSize_.width() / columnWidth_ + 1;

    rain_.assign(static_cast<size_t>(columns_), RainColumn{});
    activeRain_ = 0;
    sparks_.assign(static_cast<size_t>(static_cast<int>(columns_ * 0.2)), Spark{});
    activeSparks_ = 0;

    // A page on screen keeps running, re-centred on the new grid.
    if (currentLine_ >= 0) {
        PlaceLines();
        if (PageHasLine(currentLine_) && cursorRow_ >= 0) {
            cursorRow_ = lineCells_[currentLine_ - pageFirstLine_].row;
        }
    }
}

void JMatrixCtrl::PlaceLines() {
    lineCells_.clear();
    const int count = std::max(0, pageLastLine_ - pageFirstLine_ + 1);
    const QFontMetrics metrics(textFont_, &displaySurface_);
    for (int j = 0; j < count; ++j) {
        const int width = metrics.horizontalAdvance(lines_[pageFirstLine_ + j]);
        lineCells_.push_back(
            {((clientSize_.width() - width) / 2) / columnWidth_, (rows_ - count - 1) / 2 + j});
    }
}

bool JMatrixCtrl::PageHasLine(int line) const {
    // The cells bound it too: AddLine while a page runs moves the page's last line.
    return line >= pageFirstLine_ && line <= pageLastLine_ &&
           line - pageFirstLine_ < static_cast<int>(lineCells_.size());
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
