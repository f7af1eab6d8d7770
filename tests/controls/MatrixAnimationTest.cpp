// The lock animation's model stepped by hand, without a window: virtual timers and a random
// source that the tests script, so every page, hold, typing, rain and spark rule can be followed
// step by step. Cells are 10 pixels wide and every character of a message line 8.
#include "controls/MatrixAnimation.h"

#include "controls/MatrixTestSupport.h"

#include <QSize>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <memory>
#include <vector>

namespace {

using namespace matrix_test;

constexpr int kCellWidth = 10;
constexpr int kCellHeight = 14;
constexpr int kCharWidth = 8;

// The grid a window of `size` pixels gets.
MatrixAnimation::Grid GridFor(QSize size) {
    MatrixAnimation::Grid grid;
    grid.columns = size.width() / kCellWidth + 1;
    grid.rows = size.height() / kCellHeight + 1;
    grid.columnWidth = kCellWidth;
    grid.width = size.width();
    return grid;
}

int LineWidth(const QString& line) {
    return kCharWidth * static_cast<int>(line.size());
}

struct Animation : ScriptedRun {
    explicit Animation(QSize size, std::uint32_t seed = 1) : ScriptedRun(seed) {
        anim = std::make_unique<MatrixAnimation>(Source(), LineWidth);
        anim->SetTimerDriver(&timers);
        timers.tick = [this](int id) { anim->OnTimer(id); };
        anim->SetGrid(GridFor(size));
        anim->Start();
    }
    void AddLockLines() { matrix_test::AddLockLines(*anim); }

    std::unique_ptr<MatrixAnimation> anim;
};

bool Blank(const MatrixAnimation::RainDraw& cell) {
    return cell.character == ' ';
}

int CountDrawnCells(const MatrixAnimation& a) {
    int count = 0;
    for (int column = 0; column < a.Columns(); ++column) {
        for (int row = 0; row < a.Rows(); ++row) {
            count += Blank(a.RainCell(column, row)) ? 0 : 1;
        }
    }
    return count;
}

// ---------------------------------------------------------------------------------------------
// The grid

TEST(MatrixAnimationGrid, RainColumnsAndSparkSlotsFollowTheGrid) {
    const QSize sizes[] = {{800, 600}, {1280, 1024}, {300, 100}, {30, 200}, {1, 1}};
    for (const QSize size : sizes) {
        SCOPED_TRACE(QStringLiteral("%1x%2").arg(size.width()).arg(size.height()).toStdString());
        Animation m(size);
        const MatrixAnimation& a = *m.anim;
        EXPECT_EQ(a.Columns(), GridFor(size).columns);
        EXPECT_EQ(a.Rows(), GridFor(size).rows);
        EXPECT_EQ(static_cast<int>(a.RainColumns().size()), a.Columns());
        EXPECT_EQ(static_cast<int>(a.Sparks().size()), static_cast<int>(a.Columns() * 0.2));
        EXPECT_EQ(CountDrawnCells(a), 0);
    }
}

TEST(MatrixAnimationGrid, GoingAwayStopsItsTimers) {
    Animation m(QSize(320, 200));
    m.anim->AddLine("abc");
    m.timers.Advance(5100);
    ASSERT_TRUE(m.timers.Running(MatrixAnimation::TypingTimer));
    ASSERT_TRUE(m.timers.Running(MatrixAnimation::CursorTimer));
    // No timer may call into an animation that is gone.
    m.anim.reset();
    for (int id = 0; id < MatrixAnimation::TimerCount; ++id) {
        EXPECT_FALSE(m.timers.Running(id)) << id;
    }
}

TEST(MatrixAnimationGrid, NewGridClearsTheRainAndKeepsThePage) {
    Animation m(QSize(800, 600));
    m.AddLockLines();
    m.timers.Advance(5000);
    ASSERT_EQ(m.anim->CurrentLine(), 0);
    m.timers.Advance(3000);
    ASSERT_GT(CountDrawnCells(*m.anim), 0);

    m.anim->SetGrid(GridFor(QSize(400, 300)));
    EXPECT_EQ(m.anim->Columns(), 41);
    EXPECT_EQ(static_cast<int>(m.anim->RainColumns().size()), 41);
    EXPECT_EQ(m.anim->ActiveRainColumns(), 0);
    EXPECT_EQ(CountDrawnCells(*m.anim), 0);
    ASSERT_EQ(m.anim->LineCells().size(), 1u);
    EXPECT_EQ(m.anim->LineCells()[0].row, (m.anim->Rows() - 2) / 2);
    EXPECT_EQ(m.anim->LineCells()[0].column, ((400 - LineWidth(kPrompt)) / 2) / kCellWidth);
    EXPECT_EQ(m.anim->CursorRow(), m.anim->LineCells()[0].row);
    m.timers.Advance(20'000); // keeps running on the new grid
}

// ---------------------------------------------------------------------------------------------
// Character sets

TEST(MatrixAnimationGlyphs, RainCodesAbove127AreGreekAndTextCodesWestern) {
    struct Case {
        int code;
        char16_t rain;
        char16_t text;
    };
    const Case cases[] = {
        {'A', u'A', u'A'},      {' ', u' ', u' '},      {0x80, 0x20AC, 0x20AC},
        {0xA2, 0x0386, 0x00A2}, {0xC1, 0x0391, 0x00C1}, {0xD3, 0x03A3, 0x00D3},
        {0xE1, 0x03B1, 0x00E1}, {0xFE, 0x03CE, 0x00FE}, {0x8A, 0, 0x0160},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        if (c.rain != 0) {
            EXPECT_EQ(MatrixAnimation::RainGlyph(c.code).unicode(), c.rain);
        }
        EXPECT_EQ(MatrixAnimation::TextGlyph(c.code).unicode(), c.text);
    }
    // Every letter position of the Greek page, assigned or not, falls as a Greek letter.
    for (int code = 0xC0; code <= 0xFF; ++code) {
        const char16_t glyph = MatrixAnimation::RainGlyph(code).unicode();
        EXPECT_TRUE(glyph >= 0x0384 && glyph <= 0x03CE) << code;
    }
}

// ---------------------------------------------------------------------------------------------
// Pages and hold lines

TEST(MatrixAnimationPages, HoldLinesParseLikeDecimalNumbers) {
    const QChar mark(1);
    const struct {
        QString line;
        int seconds;
    } cases[] = {
        {QString(mark) + " 2", 2},
        {QString(mark) + " 10", 10},
        {QString(mark) + "7", 7},
        {QString(mark) + "   12 seconds", 12},
        {QString(mark), 0},
        {QString(mark) + "abc", 0},
        {QString(mark) + " -3", 0},
        {QString(mark) + " 99999999999", INT_MAX / 1000},
        {QStringLiteral("plain text"), -1},
        {QString(), -1},
        {QStringLiteral(" ") + mark + "2", -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MatrixAnimation::HoldSeconds(c.line), c.seconds) << c.line.toStdString();
    }
}

TEST(MatrixAnimationPages, PagesRunToTheNextHoldLineAndLoop) {
    const QString h1 = QString(QChar(1)) + " 1";
    const QString h3 = QString(QChar(1)) + " 3";
    const QString h4 = QString(QChar(1)) + "4";
    struct Page {
        int first, last, hold;
    };
    const struct {
        const char* name;
        QStringList lines;
        std::vector<Page> pages;
    } cases[] = {
        {"lock set-up",
         {kPrompt, kHold2, "", kHold10},
         {{0, 0, 2}, {2, 2, 10}, {0, 0, 2}, {2, 2, 10}}},
        {"no hold line", {"a", "b"}, {{0, 1, 5}, {0, 1, 5}}},
        {"last page without hold", {"a", kHold2, "b"}, {{0, 0, 2}, {2, 2, 5}, {0, 0, 2}}},
        {"hold line first", {h3, "a"}, {{0, -1, 3}, {1, 1, 5}, {0, -1, 3}}},
        {"two hold lines in a row",
         {"a", h1, h4, "b"},
         {{0, 0, 1}, {2, 1, 4}, {3, 3, 5}, {0, 0, 1}}},
        {"ends with a hold line", {"a", "b", h3}, {{0, 1, 3}, {0, 1, 3}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Animation m(QSize(640, 480));
        for (const QString& line : c.lines) {
            m.anim->AddLine(line);
        }
        EXPECT_EQ(m.anim->PageLastLine(), c.lines.size());
        for (const Page& page : c.pages) {
            m.anim->NextPage();
            EXPECT_EQ(m.anim->PageFirstLine(), page.first);
            EXPECT_EQ(m.anim->PageLastLine(), page.last);
            EXPECT_EQ(m.anim->PageHoldSeconds(), page.hold);
            EXPECT_EQ(m.anim->CurrentLine(), page.first);
            EXPECT_EQ(static_cast<int>(m.anim->LineCells().size()),
                      std::max(0, page.last - page.first + 1));
        }
    }
}

TEST(MatrixAnimationPages, NextPageSwitchesFromHoldingToTyping) {
    Animation m(QSize(640, 480));
    m.anim->AddLine("abc");
    m.timers.Start(MatrixAnimation::SparksTimer, 10);
    m.timers.Advance(5000, [&] { return m.anim->CurrentLine() == 0; });
    EXPECT_FALSE(m.timers.Running(MatrixAnimation::PageTimer));
    EXPECT_FALSE(m.timers.Running(MatrixAnimation::SparksTimer));
    EXPECT_TRUE(m.timers.Running(MatrixAnimation::TypingTimer));
    EXPECT_EQ(m.timers.Interval(MatrixAnimation::TypingTimer), 10);
    EXPECT_TRUE(m.timers.Running(MatrixAnimation::CursorTimer));
    EXPECT_EQ(m.timers.Interval(MatrixAnimation::CursorTimer), 30);
    EXPECT_EQ(m.timers.now, 5000);
    EXPECT_TRUE(m.anim->TypedText().isEmpty());
    EXPECT_TRUE(m.anim->DrawCounts().empty());
}

TEST(MatrixAnimationPages, WithoutLinesOnlyTheRainRuns) {
    Animation m(QSize(300, 100));
    for (int second = 0; second < 60; ++second) {
        m.timers.Advance(1000);
        EXPECT_FALSE(m.timers.Running(MatrixAnimation::TypingTimer));
        EXPECT_FALSE(m.timers.Running(MatrixAnimation::CursorTimer));
        EXPECT_FALSE(m.timers.Running(MatrixAnimation::SparksTimer));
        EXPECT_TRUE(m.anim->LineCells().empty());
        EXPECT_TRUE(m.anim->TypedText().isEmpty());
        EXPECT_EQ(m.anim->CursorColumn(), -1);
    }
    EXPECT_EQ(m.anim->ActiveSparks(), 0);
    EXPECT_EQ(m.anim->CurrentLine(), -1);
    EXPECT_GT(CountDrawnCells(*m.anim), 0);
}

TEST(MatrixAnimationPages, LinesAreCentredOnTheGrid) {
    Animation m(QSize(804, 604));
    for (const char* line : {"first", "a much longer second line", ""}) {
        m.anim->AddLine(line);
    }
    m.anim->NextPage();
    const MatrixAnimation& a = *m.anim;
    ASSERT_EQ(a.LineCells().size(), 3u);
    for (int j = 0; j < 3; ++j) {
        const int width = LineWidth(a.Lines()[j]);
        EXPECT_EQ(a.LineCells()[j].row, (a.Rows() - 3 - 1) / 2 + j);
        EXPECT_EQ(a.LineCells()[j].column, ((804 - width) / 2) / kCellWidth);
    }
    // The block of lines sits in the middle rows.
    EXPECT_NEAR(a.LineCells()[1].row, a.Rows() / 2, 1);
    EXPECT_EQ(a.LineCells()[0], (MatrixAnimation::Cell{38, 20}));
}

// ---------------------------------------------------------------------------------------------
// Typing

// A page with one line, typed without the cursor: the animation draws 'z' whenever it asks for
// a random character, so no position settles by chance.
TEST(MatrixAnimationTyping, CharactersCycleUntilTheSettleCountThenTakeTheirTrueValue) {
    Animation m(QSize(640, 480));
    m.FallBackTo(CharDraw('z'));
    m.anim->SetTypingMode(false, true);
    m.anim->AddLine("AzB");
    m.anim->NextPage();

    m.anim->TypingStep();
    EXPECT_EQ(m.anim->TypedText(), "zzz");
    EXPECT_EQ(m.anim->DrawCounts(), (std::vector<int>{0, 0, 0}));

    for (int step = 1; step <= MatrixAnimation::kSettleCount; ++step) {
        m.anim->TypingStep();
        EXPECT_EQ(m.anim->TypedText(), "zzz") << step;
        // The middle character is right from the start and is never drawn again.
        EXPECT_EQ(m.anim->DrawCounts(), (std::vector<int>{step, 0, step})) << step;
        EXPECT_TRUE(m.timers.Running(MatrixAnimation::TypingTimer)) << step;
    }

    // Settling sets the true characters; nothing was drawn, so the line is finished.
    m.anim->TypingStep();
    EXPECT_EQ(m.anim->TypedText(), "AzB");
    EXPECT_FALSE(m.timers.Running(MatrixAnimation::TypingTimer));
    EXPECT_TRUE(m.timers.Running(MatrixAnimation::PageTimer));
    EXPECT_EQ(m.timers.Interval(MatrixAnimation::PageTimer), 5000);
    EXPECT_TRUE(m.timers.Running(MatrixAnimation::SparksTimer));
    EXPECT_EQ(m.timers.Interval(MatrixAnimation::SparksTimer), 10);
}

TEST(MatrixAnimationTyping, TypingModeTypesOnlyLeftOfTheCursor) {
    Animation m(QSize(640, 480));
    m.FallBackTo(CharDraw('A'));
    m.anim->SetTypingMode(true, true);
    m.anim->AddLine("AAAA");
    m.anim->AddLine(kHold2);
    m.timers.Advance(5000);
    ASSERT_EQ(m.anim->CurrentLine(), 0);
    const MatrixAnimation::Cell cell = m.anim->LineCells()[0];
    ASSERT_GT(cell.column, 2);
    EXPECT_EQ(m.anim->CursorColumn(), 0);
    EXPECT_EQ(m.anim->CursorRow(), cell.row);

    // Up to the line's column nothing is typed.
    while (m.anim->CursorColumn() < cell.column) {
        m.anim->TypingStep();
        EXPECT_TRUE(m.anim->TypedText().isEmpty());
        m.anim->CursorStep();
    }
    // Each column the cursor moves on lets one more character in.
    for (int typed = 1; typed <= 4; ++typed) {
        m.anim->CursorStep();
        m.anim->TypingStep();
        m.anim->TypingStep();
        EXPECT_EQ(m.anim->TypedText(), QString(typed, u'A'));
    }
    // All typed and settled, but the line waits for the cursor to leave the screen.
    while (m.anim->CursorColumn() < m.anim->Columns() - 1) {
        m.anim->CursorStep();
        m.anim->TypingStep();
        ASSERT_TRUE(m.timers.Running(MatrixAnimation::TypingTimer));
        ASSERT_TRUE(m.timers.Running(MatrixAnimation::CursorTimer));
    }
    m.anim->CursorStep();
    EXPECT_EQ(m.anim->CursorColumn(), m.anim->Columns());
    EXPECT_FALSE(m.timers.Running(MatrixAnimation::CursorTimer));
    m.anim->TypingStep();
    EXPECT_FALSE(m.timers.Running(MatrixAnimation::TypingTimer));
    EXPECT_TRUE(m.timers.Running(MatrixAnimation::PageTimer));
    EXPECT_EQ(m.timers.Interval(MatrixAnimation::PageTimer), 2000);
}

TEST(MatrixAnimationTyping, AFinishedLineHandsOverToTheNextLineOfThePage) {
    Animation m(QSize(640, 480));
    m.FallBackTo(CharDraw('x'));
    m.anim->AddLine("xx");
    m.anim->AddLine("xxx");
    m.anim->AddLine(kHold2);
    m.timers.Advance(5000);
    const auto cells = m.anim->LineCells();
    ASSERT_EQ(cells.size(), 2u);

    m.timers.Advance(10'000, [&] { return m.anim->CurrentLine() == 1; });
    ASSERT_EQ(m.anim->CurrentLine(), 1);
    EXPECT_TRUE(m.anim->TypedText().isEmpty());
    EXPECT_TRUE(m.anim->DrawCounts().empty());
    EXPECT_EQ(m.anim->CursorColumn(), 0);
    EXPECT_EQ(m.anim->CursorRow(), cells[1].row);
    EXPECT_TRUE(m.timers.Running(MatrixAnimation::CursorTimer));
    EXPECT_TRUE(m.timers.Running(MatrixAnimation::TypingTimer));
}

TEST(MatrixAnimationTyping, FlickeringCursorTakesARandomCharacterEveryStep) {
    for (const bool block : {true, false}) {
        SCOPED_TRACE(block);
        Animation m(QSize(640, 480));
        m.anim->AddLine("abc");
        m.anim->SetTypingMode(true, block);
        EXPECT_EQ(m.anim->CursorCharacter(), block ? 1 : 97);
        m.timers.Advance(5000);
        for (const int code : {int('Q'), 0xE9, int(' ')}) {
            m.Script({CharDraw(code)});
            m.anim->TypingStep();
            EXPECT_EQ(m.anim->CursorCharacter(), block ? 1 : code);
        }
    }
}

TEST(MatrixAnimationTyping, WithoutTypingModeThereIsNoCursor) {
    Animation m(QSize(640, 480));
    m.anim->SetTypingMode(false, true);
    m.anim->AddLine("abc");
    m.timers.Advance(5000);
    EXPECT_EQ(m.anim->CurrentLine(), 0);
    EXPECT_FALSE(m.timers.Running(MatrixAnimation::CursorTimer));
    EXPECT_EQ(m.anim->CursorColumn(), -1);
    m.timers.Advance(1000);
    EXPECT_EQ(m.anim->TypedText(), "abc");
    EXPECT_EQ(m.timers.Interval(MatrixAnimation::PageTimer), 5000);
}

// ---------------------------------------------------------------------------------------------
// Rain

TEST(MatrixAnimationRain, ColumnsStartAndEndWhereTheDrawsSay) {
    // Draws, in order: column, start coin, start row, end coin, end row, space coin, character.
    struct Case {
        const char* name;
        std::vector<std::uint32_t> draws;
        int startRow; // row of the first head
        int endRow;   // -1: the number of rows
        bool space;
    };
    const Case cases[] = {
        {"from the top to the bottom", {4, 0, 0, 1, CharDraw(0xBE)}, 0, -1, false},
        {"random start", {4, 1, 5, 0, 1, CharDraw(0xBE)}, 5, -1, false},
        {"random end", {4, 0, 1, 2, 1, CharDraw(0xBE)}, 0, 5, false},
        {"random start and end", {4, 1, 2, 1, 4, 1, CharDraw(0xBE)}, 2, 9, false},
        {"space column", {4, 0, 0, 0}, 0, -1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Animation m(QSize(200, 200));
        ASSERT_GE(m.anim->Rows(), 12);
        m.random->script.assign(c.draws.begin(), c.draws.end());
        m.random->script.push_back(0); // trail green of the new column
        m.FallBackTo(1);               // later activations hit column 1 and are not looked at
        m.anim->RainStep();

        const MatrixAnimation::RainColumn& drop = m.anim->RainColumns()[4];
        ASSERT_TRUE(drop.active);
        EXPECT_EQ(m.anim->ActiveRainColumns(), 1);
        EXPECT_EQ(drop.endRow, c.endRow < 0 ? m.anim->Rows() : c.endRow);
        // The new column moves twice in its first step: its head is drawn, then redrawn as
        // trail when the column steps on.
        EXPECT_EQ(drop.row, c.startRow + 2);
        EXPECT_EQ(drop.character, c.space ? ' ' : 33);
        const MatrixAnimation::RainDraw head = m.anim->RainCell(4, c.startRow + 1);
        const MatrixAnimation::RainDraw trail = m.anim->RainCell(4, c.startRow);
        if (c.space) {
            EXPECT_EQ(CountDrawnCells(*m.anim), 0);
        } else {
            EXPECT_EQ(head.color, MatrixAnimation::kRainHeadColor);
            EXPECT_EQ(head.character, 33);
            EXPECT_EQ(trail.color, qRgb(0, 75, 0));
            EXPECT_EQ(trail.character, 0xBE);
            EXPECT_EQ(CountDrawnCells(*m.anim), 2);
        }
        // The step's draws in order: the new head, its trail, then the head one row down.
        ASSERT_EQ(m.anim->RainDraws().size(), 3u);
        EXPECT_EQ(m.anim->RainDraws()[0].row, c.startRow);
        EXPECT_EQ(m.anim->RainDraws()[0].color, MatrixAnimation::kRainHeadColor);
        EXPECT_EQ(m.anim->RainDraws()[1].row, c.startRow);
        EXPECT_EQ(m.anim->RainDraws()[1].color, qRgb(0, 75, 0));
        EXPECT_EQ(m.anim->RainDraws()[2].row, c.startRow + 1);
    }
}

TEST(MatrixAnimationRain, ColumnsEndAtTheirEndRow) {
    Animation m(QSize(200, 200));
    // Column 4, from row 0, ending at row 5, Greek alpha: 4 draws above, then one for the
    // character.
    m.Script({4, 0, 1, 2, 1, CharDraw(0xE1)});
    m.FallBackTo(4); // no other column starts while column 4 runs
    m.anim->RainStep();
    const auto& drop = m.anim->RainColumns()[4];
    int steps = 1;
    while (drop.active && steps < 100) {
        m.anim->RainStep();
        ++steps;
    }
    // Head rows 0..4 are drawn over 4 steps (the first step draws two), then one more step
    // redraws the last head as trail and ends the column.
    EXPECT_EQ(steps, 5);
    for (int row = 0; row < 5; ++row) {
        const MatrixAnimation::RainDraw cell = m.anim->RainCell(4, row);
        EXPECT_FALSE(Blank(cell)) << row;
        EXPECT_TRUE(IsTrailGreen(cell.color)) << row;
    }
    EXPECT_TRUE(Blank(m.anim->RainCell(4, 5)));
}

TEST(MatrixAnimationRain, TrailsStayUntilASpaceColumnWipesThem) {
    Animation m(QSize(200, 200));
    const int rows = m.anim->Rows();
    const int columns = m.anim->Columns();
    // After the scripted column every draw is the same number: it picks column 0, starts it at
    // the top as a space column, and gives the other columns a character that is no space.
    const std::uint32_t wiper = 10u * static_cast<std::uint32_t>(columns);
    ASSERT_NE(wiper % 224, 0u);
    m.FallBackTo(wiper);

    const auto column = [&](int c) {
        std::vector<MatrixAnimation::RainDraw> cells;
        for (int row = 0; row < rows; ++row) {
            cells.push_back(m.anim->RainCell(c, row));
        }
        return cells;
    };
    const auto trailed = [&](int c) {
        for (int row = 0; row < rows - 1; ++row) {
            const MatrixAnimation::RainDraw cell = m.anim->RainCell(c, row);
            EXPECT_FALSE(Blank(cell)) << row;
            EXPECT_TRUE(IsTrailGreen(cell.color)) << row;
        }
    };

    // A full-height column of characters in column 2.
    m.Script({2, 0, 0, 1, CharDraw('M')});
    for (int step = 0; step < 4 * rows; ++step) {
        m.anim->RainStep();
    }
    ASSERT_FALSE(m.anim->RainColumns()[2].active);
    trailed(2);
    // Space columns keep falling in column 0; column 2's trail is never touched again.
    const auto before = column(2);
    for (int step = 0; step < 10 * rows; ++step) {
        m.anim->RainStep();
    }
    const auto after = column(2);
    for (int row = 0; row < rows; ++row) {
        EXPECT_EQ(after[row].character, before[row].character) << row;
        EXPECT_EQ(after[row].color, before[row].color) << row;
    }

    // A column of characters in column 0 leaves its trail ...
    while (m.anim->RainColumns()[0].active) {
        m.anim->RainStep();
    }
    m.Script({0, 0, 0, 1, CharDraw('M')});
    m.anim->RainStep();
    ASSERT_TRUE(m.anim->RainColumns()[0].active);
    ASSERT_NE(m.anim->RainColumns()[0].character, ' ');
    while (m.anim->RainColumns()[0].active) {
        m.anim->RainStep();
    }
    trailed(0);
    // ... which the space column after it wipes away.
    for (int step = 0; step <= rows; ++step) {
        m.anim->RainStep();
    }
    for (const MatrixAnimation::RainDraw& cell : column(0)) {
        EXPECT_TRUE(Blank(cell)) << cell.row;
    }
}

TEST(MatrixAnimationRain, OnlyRainColoursAreDrawnAndTrailsBuildUp) {
    Animation m(QSize(400, 300), 777);
    for (int step = 0; step < 400; ++step) {
        m.anim->RainStep();
        EXPECT_LE(m.anim->ActiveRainColumns(), m.anim->Columns());
        for (const MatrixAnimation::RainDraw& draw : m.anim->RainDraws()) {
            ASSERT_TRUE(draw.color == MatrixAnimation::kRainHeadColor || IsTrailGreen(draw.color));
            ASSERT_TRUE(draw.column >= 0 && draw.column < m.anim->Columns());
            ASSERT_TRUE(draw.row >= 0 && draw.row < m.anim->Rows());
        }
    }
    int heads = 0;
    int trails = 0;
    for (int column = 0; column < m.anim->Columns(); ++column) {
        for (int row = 0; row < m.anim->Rows(); ++row) {
            const MatrixAnimation::RainDraw cell = m.anim->RainCell(column, row);
            if (Blank(cell)) {
                continue;
            }
            ++(cell.color == MatrixAnimation::kRainHeadColor ? heads : trails);
        }
    }
    EXPECT_GT(heads, 0);
    EXPECT_LE(heads, m.anim->ActiveRainColumns()); // at most one head per active column
    EXPECT_GT(trails, 5 * heads);                  // the rain is never cleared
}

// ---------------------------------------------------------------------------------------------
// Sparks

TEST(MatrixAnimationSparks, ASparkLivesItsStepsThenGoesOut) {
    Animation m(QSize(800, 600));
    ASSERT_GE(m.anim->Sparks().size(), 10u);
    // Draws: the 1/101 coin, the spark, its life, column, row, its first character.
    m.Script({0, 3, 0, 7, 9, CharDraw('S')});
    m.FallBackTo(CharDraw('T')); // the coin never comes up again
    m.anim->SparksStep();
    const MatrixAnimation::Spark& spark = m.anim->Sparks()[3];
    ASSERT_TRUE(spark.active);
    EXPECT_EQ(m.anim->ActiveSparks(), 1);
    EXPECT_EQ(spark.life, 299);
    EXPECT_EQ(spark.column, 7);
    EXPECT_EQ(spark.row, 9);
    EXPECT_EQ(spark.character, 'S');
    EXPECT_TRUE(Blank(m.anim->RainCell(7, 9))); // sparks are not part of the rain

    for (int step = 0; step < 299; ++step) {
        m.anim->SparksStep();
    }
    EXPECT_TRUE(spark.active);
    EXPECT_EQ(spark.life, 0);
    EXPECT_EQ(spark.character, 'T');
    m.anim->SparksStep();
    EXPECT_FALSE(spark.active);
    EXPECT_EQ(m.anim->ActiveSparks(), 0);
}

TEST(MatrixAnimationSparks, ANewSparkNeedsAFreeSlot) {
    Animation m(QSize(800, 600));
    m.FallBackTo(0); // every step starts a spark, the longest-lived ones: 300 + 0
    const int count = static_cast<int>(m.anim->Sparks().size());
    m.Script({0, 0, 500, 1000, 1000});
    m.anim->SparksStep();
    const auto& first = m.anim->Sparks()[0];
    EXPECT_EQ(first.life, 799);
    EXPECT_EQ(first.column, 1000 % m.anim->Columns());
    EXPECT_EQ(first.row, 1000 % m.anim->Rows());
    // With every draw 0 the spark picked is always the first: no other spark starts.
    for (int step = 0; step < 10; ++step) {
        m.anim->SparksStep();
    }
    EXPECT_EQ(m.anim->ActiveSparks(), 1);
    ASSERT_GT(count, 1);
}

TEST(MatrixAnimationSparks, StartOnlyOnceThePagesRun) {
    Animation m(QSize(800, 600), 99);
    m.anim->AddLine("x");
    m.timers.Advance(4990);
    EXPECT_EQ(m.anim->ActiveSparks(), 0);
    // About one start in 101 steps of 10 ms: over a minute of typing and holding some start.
    m.timers.Advance(60'000);
    EXPECT_GT(m.anim->ActiveSparks(), 0);
    EXPECT_LE(m.anim->ActiveSparks(), static_cast<int>(m.anim->Sparks().size()));
}

} // namespace
