#include "controls/MatrixAnimation.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <random>

namespace {

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

} // namespace

MatrixAnimation::MatrixAnimation(RandomSource random, TextWidth textWidth)
    : random_(std::move(random)), textWidth_(std::move(textWidth)) {
    if (!random_) {
        const auto seed =
            static_cast<std::uint32_t>(std::chrono::system_clock::now().time_since_epoch().count());
        random_ = [generator = std::mt19937(seed)]() mutable { return generator(); };
    }
    SetGrid(grid_);
}

MatrixAnimation::~MatrixAnimation() {
    for (int id = 0; id < TimerCount; ++id) {
        StopTimer(id);
    }
}

void MatrixAnimation::SetTimerDriver(MatrixTimerDriver* driver) {
    timers_ = driver;
}

void MatrixAnimation::SetGrid(const Grid& grid) {
    grid_ = grid;
    rain_.assign(static_cast<size_t>(grid_.columns), RainColumn{});
    activeRain_ = 0;
    rainDraws_.clear();
    rainCells_.assign(static_cast<size_t>(grid_.columns) * static_cast<size_t>(grid_.rows),
                      RainDraw{});
    sparks_.assign(static_cast<size_t>(static_cast<int>(grid_.columns * 0.2)), Spark{});
    activeSparks_ = 0;

    // A page on screen keeps running, re-centred on the new grid.
    if (currentLine_ >= 0) {
        PlaceLines();
        if (PageHasLine(currentLine_) && cursorRow_ >= 0) {
            cursorRow_ = lineCells_[currentLine_ - pageFirstLine_].row;
        }
    }
}

void MatrixAnimation::Start() {
    StartTimer(PageTimer, firstPageDelay_ * 1000);
    StartTimer(RainTimer, kRainIntervalMs);
}

void MatrixAnimation::AddLine(const QString& text) {
    lines_.append(text);
    // Before the first page this makes the next page start at line 0.
    pageLastLine_ = static_cast<int>(lines_.size());
}

void MatrixAnimation::SetTypingMode(bool mode, bool block) {
    typingMode_ = mode;
    cursorCharacter_ = block ? kBlockCursor : 'a';
}

bool MatrixAnimation::OnTimer(int id) {
    switch (id) {
    case PageTimer:
        NextPage();
        StartCursor();
        return false;
    case TypingTimer:
        SparksStep();
        TypingStep();
        return true;
    case CursorTimer:
        CursorStep();
        return true;
    case RainTimer:
        RainStep();
        return true;
    case SparksTimer:
        SparksStep();
        return true;
    default:
        return false;
    }
}

void MatrixAnimation::NextPage() {
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

void MatrixAnimation::StartCursor() {
    if (!typingMode_ || !PageHasLine(currentLine_)) {
        return;
    }
    cursorColumn_ = 0;
    cursorRow_ = lineCells_[currentLine_ - pageFirstLine_].row;
    StartTimer(CursorTimer, kCursorIntervalMs);
}

void MatrixAnimation::CursorStep() {
    ++cursorColumn_;
    if (cursorColumn_ >= grid_.columns) {
        StopTimer(CursorTimer);
    }
}

void MatrixAnimation::TypingStep() {
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
        const bool cursorDone = !typingMode_ || length == 0 || cursorColumn_ >= grid_.columns;
        if (changed || !cursorDone) {
            return;
        }
    }
    FinishTypedLine();
}

void MatrixAnimation::FinishTypedLine() {
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

void MatrixAnimation::RainStep() {
    rainDraws_.clear();
    if (activeRain_ < grid_.columns) {
        for (int attempt = 0; attempt <= grid_.columns; ++attempt) {
            const int column = Random(grid_.columns);
            RainColumn& drop = rain_[column];
            if (drop.active) {
                continue;
            }
            drop.active = true;
            drop.row = Random(2) == 0 ? 0 : Random(grid_.rows - 2);
            const int endSpan = grid_.rows - drop.row - 2; // rows from start + 3 to rows
            drop.endRow =
                (Random(2) == 0 || endSpan <= 0) ? grid_.rows : drop.row + 3 + Random(endSpan);
            drop.character = Random(5) == 0 ? ' ' : RandomCharacter();
            DrawRain(column, drop.row, drop.character, kRainHeadColor);
            ++drop.row;
            ++activeRain_;
            break;
        }
    }

    for (int column = 0; column < grid_.columns; ++column) {
        RainColumn& drop = rain_[column];
        if (!drop.active) {
            continue;
        }
        const QRgb trail = qRgb(0, kTrailGreenMin + Random(kTrailGreenMax - kTrailGreenMin + 1), 0);
        DrawRain(column, drop.row - 1, drop.character, trail);
        if (drop.row >= drop.endRow) {
            drop.active = false;
            --activeRain_;
            continue;
        }
        if (drop.character != ' ') {
            drop.character = RandomCharacter();
        }
        DrawRain(column, drop.row, drop.character, kRainHeadColor);
        ++drop.row;
    }
}

void MatrixAnimation::SparksStep() {
    const int count = static_cast<int>(sparks_.size());
    if (activeSparks_ < count && Random(101) == 0) {
        for (int attempt = 0; attempt <= count; ++attempt) {
            Spark& spark = sparks_[Random(count)];
            if (spark.active) {
                continue;
            }
            spark.active = true;
            spark.life = 300 + Random(501);
            spark.column = Random(grid_.columns);
            spark.row = Random(grid_.rows);
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

QChar MatrixAnimation::TextGlyph(int code) {
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

QChar MatrixAnimation::RainGlyph(int code) {
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

int MatrixAnimation::HoldSeconds(const QString& line) {
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

int MatrixAnimation::Random(int bound) {
    if (bound <= 0) {
        return 0;
    }
    return static_cast<int>(random_() % static_cast<std::uint32_t>(bound));
}

int MatrixAnimation::RandomCharacter() {
    return 32 + Random(kRandomCharLimit - 31);
}

void MatrixAnimation::StartTimer(int id, int intervalMs) {
    if (timers_ != nullptr) {
        timers_->Start(id, std::max(0, intervalMs));
    }
}

void MatrixAnimation::StopTimer(int id) {
    if (timers_ != nullptr) {
        timers_->Stop(id);
    }
}

void MatrixAnimation::PlaceLines() {
    lineCells_.clear();
    const int count = std::max(0, pageLastLine_ - pageFirstLine_ + 1);
    for (int j = 0; j < count; ++j) {
        const int width = textWidth_(lines_[pageFirstLine_ + j]);
        lineCells_.push_back(
            {((grid_.width - width) / 2) / grid_.columnWidth, (grid_.rows - count - 1) / 2 + j});
    }
}

bool MatrixAnimation::PageHasLine(int line) const {
    // The cells bound it too: AddLine while a page runs moves the page's last line.
    return line >= pageFirstLine_ && line <= pageLastLine_ &&
           line - pageFirstLine_ < static_cast<int>(lineCells_.size());
}

void MatrixAnimation::DrawRain(int column, int row, int character, QRgb color) {
    const RainDraw draw{column, row, character, color};
    rainDraws_.push_back(draw);
    if (column >= 0 && column < grid_.columns && row >= 0 && row < grid_.rows) {
        rainCells_[static_cast<size_t>(column) * static_cast<size_t>(grid_.rows) +
                   static_cast<size_t>(row)] = draw;
    }
}

MatrixAnimation::RainDraw MatrixAnimation::RainCell(int column, int row) const {
    if (column < 0 || column >= grid_.columns || row < 0 || row >= grid_.rows ||
        rainCells_.empty()) {
        return RainDraw{column, row, ' ', 0};
    }
    const RainDraw& cell =
        rainCells_[static_cast<size_t>(column) * static_cast<size_t>(grid_.rows) +
                   static_cast<size_t>(row)];
    return RainDraw{column, row, cell.character, cell.color};
}
