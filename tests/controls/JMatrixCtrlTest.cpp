// The lock animation's widget: how it lays out the grid for its size and font, and what it
// paints. The animation runs on virtual timers with a random source the tests script.
#include "controls/JMatrixCtrl.h"

#include "controls/MatrixTestSupport.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

namespace {

using namespace matrix_test;

struct Matrix : ScriptedRun {
    explicit Matrix(QSize size, std::uint32_t seed = 1) : ScriptedRun(seed) {
        ctrl = std::make_unique<JMatrixCtrl>(Source());
        ctrl->SetTimerDriver(&timers);
        timers.tick = [this](int id) { ctrl->OnTimer(id); };
        ctrl->Create(QRect(QPoint(0, 0), size), nullptr);
    }
    const MatrixAnimation& Anim() const { return ctrl->Animation(); }
    void AddLockLines() { matrix_test::AddLockLines(*ctrl); }

    std::unique_ptr<JMatrixCtrl> ctrl;
};

int CountColour(const QImage& image, QRect area, QRgb colour) {
    area &= image.rect();
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            count += image.pixel(x, y) == colour ? 1 : 0;
        }
    }
    return count;
}

int CountNonBlack(const QImage& image, QRect area) {
    area &= image.rect();
    return area.width() * area.height() - CountColour(image, area, JMatrixCtrl::kBackgroundColor);
}

int CountTrailGreen(const QImage& image, QRect area) {
    area &= image.rect();
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            count += IsTrailGreen(image.pixel(x, y)) ? 1 : 0;
        }
    }
    return count;
}

// ---------------------------------------------------------------------------------------------
// Creation and the grid

TEST(JMatrixCtrlGrid, CellsRowsAndColumnsFollowTheClientSize) {
    const QSize sizes[] = {{800, 600}, {1280, 1024}, {300, 100}, {30, 200}, {1, 1}, {4, 4}};
    for (const QSize size : sizes) {
        SCOPED_TRACE(QStringLiteral("%1x%2").arg(size.width()).arg(size.height()).toStdString());
        Matrix m(size);
        const JMatrixCtrl& c = *m.ctrl;
        const QSize client = c.ClientSize();
        EXPECT_LE(client.width(), size.width());
        EXPECT_GE(client.width(), 0);

        const QFontMetrics metrics(c.TextFont());
        EXPECT_LE(c.RowHeight(), 14);
        EXPECT_EQ(c.RowHeight(), metrics.height());
        EXPECT_EQ(c.ColumnWidth(), metrics.averageCharWidth() + 2);
        EXPECT_EQ(c.Animation().Rows(), client.height() / c.RowHeight() + 1);
        EXPECT_EQ(c.Animation().Columns(), client.width() / c.ColumnWidth() + 1);
        EXPECT_EQ(static_cast<int>(c.Animation().RainColumns().size()), c.Animation().Columns());
        EXPECT_EQ(static_cast<int>(c.Animation().Sparks().size()),
                  static_cast<int>(c.Animation().Columns() * 0.2));
        EXPECT_GE(c.RainSurface().width(), client.width());
        EXPECT_GE(c.RainSurface().height(), client.height());
        EXPECT_EQ(CountNonBlack(c.RainSurface(), c.RainSurface().rect()), 0);
    }
}

TEST(JMatrixCtrlGrid, WindowSmallerThanACellStillHasOneCellAndRunsWithoutSparks) {
    Matrix m(QSize(4, 4));
    EXPECT_EQ(m.Anim().Columns(), 1);
    EXPECT_EQ(m.Anim().Rows(), 1);
    EXPECT_TRUE(m.Anim().Sparks().empty());
    m.AddLockLines();
    m.timers.Advance(30'000);
    m.ctrl->Compose();
    EXPECT_LE(m.Anim().ActiveRainColumns(), 1);
    EXPECT_EQ(m.Anim().ActiveSparks(), 0);
}

TEST(JMatrixCtrlGrid, FontsAreBoldAndFixedPitch) {
    Matrix m(QSize(200, 100));
    for (const QFont& font : {m.ctrl->TextFont(), m.ctrl->RainFont()}) {
        const QFontInfo info(font);
        EXPECT_TRUE(info.fixedPitch()) << info.family().toStdString();
        EXPECT_EQ(info.weight(), QFont::Bold);
    }
}

TEST(JMatrixCtrlGrid, CreationStartsOnlyThePageAndRainTimers) {
    Matrix m(QSize(320, 200));
    const VirtualTimers& t = m.timers;
    EXPECT_TRUE(t.Running(MatrixAnimation::PageTimer));
    EXPECT_EQ(t.Interval(MatrixAnimation::PageTimer), 5000);
    EXPECT_TRUE(t.Running(MatrixAnimation::RainTimer));
    EXPECT_EQ(t.Interval(MatrixAnimation::RainTimer), 80);
    for (int id : {MatrixAnimation::TypingTimer, MatrixAnimation::CursorTimer,
                   MatrixAnimation::SparksTimer}) {
        EXPECT_FALSE(t.Running(id)) << id;
    }
    EXPECT_TRUE(m.Anim().TypingMode());
    EXPECT_EQ(m.Anim().CursorCharacter(), MatrixAnimation::kBlockCursor);
    EXPECT_EQ(m.Anim().CursorColumn(), -1);
    EXPECT_EQ(m.Anim().CurrentLine(), -1);
}

TEST(JMatrixCtrlGrid, CreateFillsTheGivenRectangleOfItsParent) {
    // As the settings dialog uses it: a child filling a placeholder control.
    QWidget dialog;
    dialog.resize(400, 300);
    auto* placeholder = new QWidget(&dialog);
    placeholder->setGeometry(20, 10, 360, 90);
    dialog.show();
    VirtualTimers timers;
    auto* preview = new JMatrixCtrl([g = std::mt19937(3)]() mutable { return g(); });
    preview->SetTimerDriver(&timers);
    timers.tick = [preview](int id) { preview->OnTimer(id); };
    preview->Create(placeholder->rect(), placeholder);
    EXPECT_EQ(preview->parentWidget(), placeholder);
    EXPECT_EQ(preview->geometry(), placeholder->rect());
    EXPECT_TRUE(preview->isVisible());
    EXPECT_EQ(preview->ClientSize(), preview->contentsRect().size());
    EXPECT_LT(preview->ClientSize().width(), 360); // the sunken edge takes its share
    timers.Advance(1000);
    EXPECT_GT(CountNonBlack(preview->RainSurface(), preview->RainSurface().rect()), 0);
    delete preview; // the owner destroys it while its parent lives on
    EXPECT_TRUE(placeholder->children().isEmpty());
}

TEST(JMatrixCtrlGrid, ResizingRebuildsTheGridAndKeepsThePage) {
    Matrix m(QSize(800, 600));
    m.AddLockLines();
    m.timers.Advance(5000);
    ASSERT_EQ(m.Anim().CurrentLine(), 0);
    m.ctrl->resize(400, 300);
    EXPECT_EQ(m.ctrl->ClientSize(), m.ctrl->contentsRect().size());
    EXPECT_EQ(m.Anim().Columns(), m.ctrl->ClientSize().width() / m.ctrl->ColumnWidth() + 1);
    EXPECT_EQ(static_cast<int>(m.Anim().RainColumns().size()), m.Anim().Columns());
    EXPECT_EQ(m.ctrl->RainSurface().size(), m.ctrl->ClientSize());
    ASSERT_EQ(m.Anim().LineCells().size(), 1u);
    EXPECT_EQ(m.Anim().CursorRow(), m.Anim().LineCells()[0].row);
    EXPECT_EQ(m.Anim().LineCells()[0].row, (m.Anim().Rows() - 2) / 2);
    m.timers.Advance(20'000); // keeps running on the new grid
}

// ---------------------------------------------------------------------------------------------
// Typing

TEST(JMatrixCtrlTyping, FinishedLinesOfThePageShowInFull) {
    Matrix m(QSize(640, 480));
    m.FallBackTo(CharDraw('x'));
    m.ctrl->AddLine("xx");
    m.ctrl->AddLine("xxx");
    m.ctrl->AddLine(kHold2);
    m.timers.Advance(5000);
    const auto cells = m.Anim().LineCells();
    ASSERT_EQ(cells.size(), 2u);
    m.timers.Advance(10'000, [&] { return m.Anim().CurrentLine() == 1; });
    ASSERT_EQ(m.Anim().CurrentLine(), 1);

    // The first line now shows in full, the second not yet.
    m.ctrl->Compose();
    const QImage& frame = m.ctrl->DisplaySurface();
    for (int i = 0; i < 2; ++i) {
        EXPECT_GT(CountColour(frame, m.ctrl->CellRect(cells[0].column + i, cells[0].row),
                              JMatrixCtrl::kTextColor),
                  0);
    }
    EXPECT_EQ(CountColour(frame, m.ctrl->CellRect(cells[1].column, cells[1].row),
                          JMatrixCtrl::kTextColor),
              0);
}

// ---------------------------------------------------------------------------------------------
// The lock screen's lines over time

TEST(JMatrixCtrlLockScreen, PromptIsTypedHeldThenAnEmptyPageIsHeldInTurn) {
    Matrix m(QSize(800, 600), 12345);
    m.AddLockLines();
    JMatrixCtrl& c = *m.ctrl;

    m.timers.Advance(4999);
    EXPECT_EQ(c.Animation().CurrentLine(), -1);
    c.Compose();
    EXPECT_EQ(CountColour(c.DisplaySurface(), c.DisplaySurface().rect(), JMatrixCtrl::kTextColor),
              0);

    m.timers.Advance(1);
    ASSERT_EQ(c.Animation().CurrentLine(), 0);
    const MatrixAnimation::Cell prompt = c.Animation().LineCells()[0];
    EXPECT_EQ(prompt.row, (c.Animation().Rows() - 2) / 2);

    // The block cursor sweeps the prompt's row.
    m.timers.Advance(300);
    c.Compose();
    const QRect cursor = c.CellRect(c.Animation().CursorColumn(), c.Animation().CursorRow());
    EXPECT_EQ(CountColour(c.DisplaySurface(), cursor, JMatrixCtrl::kTextColor),
              cursor.width() * cursor.height());

    // The prompt is complete when the hold starts, after the cursor crossed the screen.
    m.timers.Advance(60'000, [&] { return m.timers.Running(MatrixAnimation::PageTimer); });
    EXPECT_EQ(c.Animation().TypedText(), kPrompt);
    EXPECT_GE(m.timers.now, 5000 + c.Animation().Columns() * 30);
    EXPECT_LT(m.timers.now, 5000 + c.Animation().Columns() * 30 + 1000);
    EXPECT_EQ(m.timers.Interval(MatrixAnimation::PageTimer), 2000);
    EXPECT_TRUE(m.timers.Running(MatrixAnimation::SparksTimer));
    c.Compose();
    for (int i = 0; i < kPrompt.size(); ++i) {
        if (kPrompt[i] != u' ') {
            EXPECT_GT(CountColour(c.DisplaySurface(), c.CellRect(prompt.column + i, prompt.row),
                                  JMatrixCtrl::kTextColor),
                      0)
                << i;
        }
    }

    // Two seconds later the empty page: the cursor sweeps its row once, then only rain and
    // sparks are left.
    m.timers.Advance(2000 - 1);
    EXPECT_EQ(c.Animation().CurrentLine(), 0);
    m.timers.Advance(1 + 10);
    EXPECT_EQ(c.Animation().CurrentLine(), 2);
    const std::int64_t emptyDone = m.timers.now;
    EXPECT_EQ(c.Animation().PageHoldSeconds(), 10);
    EXPECT_TRUE(m.timers.Running(MatrixAnimation::CursorTimer));
    EXPECT_TRUE(m.timers.Running(MatrixAnimation::PageTimer)); // the empty line is done at once
    EXPECT_EQ(m.timers.Interval(MatrixAnimation::PageTimer), 10'000);
    m.timers.Advance(c.Animation().Columns() * 30);
    EXPECT_FALSE(m.timers.Running(MatrixAnimation::CursorTimer));
    c.Compose();
    EXPECT_EQ(CountColour(c.DisplaySurface(), c.DisplaySurface().rect(), JMatrixCtrl::kTextColor),
              0);

    // And the prompt comes back ten seconds after the empty page was done.
    m.timers.Advance(emptyDone + 10'000 - m.timers.now - 1);
    EXPECT_EQ(c.Animation().CurrentLine(), 2);
    m.timers.Advance(1);
    EXPECT_EQ(c.Animation().CurrentLine(), 0);
    EXPECT_TRUE(c.Animation().TypedText().isEmpty());
}

// ---------------------------------------------------------------------------------------------
// Rain

TEST(JMatrixCtrlRain, SurfaceShowsEachCellAsTheRainLastDrewIt) {
    Matrix m(QSize(300, 200), 31);
    for (int step = 0; step < 120; ++step) {
        m.ctrl->OnTimer(MatrixAnimation::RainTimer);
    }
    const MatrixAnimation& a = m.Anim();
    const QImage& rain = m.ctrl->RainSurface();
    int letters = 0;
    for (int column = 0; column < a.Columns(); ++column) {
        for (int row = 0; row < a.Rows(); ++row) {
            SCOPED_TRACE(testing::Message() << column << "," << row);
            const MatrixAnimation::RainDraw drawn = a.RainCell(column, row);
            const QRect cell = m.ctrl->CellRect(column, row);
            const int lit = CountNonBlack(rain, cell);
            if (drawn.character == ' ') {
                EXPECT_EQ(lit, 0);
                continue;
            }
            // Drawn in its colour alone, and a letter always shows (the last row and column
            // may lie partly off the surface).
            EXPECT_EQ(CountColour(rain, cell, drawn.color), lit);
            if (MatrixAnimation::RainGlyph(drawn.character).isLetterOrNumber() &&
                rain.rect().contains(cell)) {
                EXPECT_GT(lit, 0);
                ++letters;
            }
        }
    }
    EXPECT_GT(letters, 20);
}

TEST(JMatrixCtrlRain, OnlyRainColoursAppearAndTheSurfaceFillsUp) {
    Matrix m(QSize(400, 300), 777);
    for (int step = 0; step < 400; ++step) {
        m.ctrl->OnTimer(MatrixAnimation::RainTimer);
        EXPECT_LE(m.Anim().ActiveRainColumns(), m.Anim().Columns());
    }
    const QImage& rain = m.ctrl->RainSurface();
    int head = 0;
    int trail = 0;
    int other = 0;
    for (int y = 0; y < rain.height(); ++y) {
        for (int x = 0; x < rain.width(); ++x) {
            const QRgb pixel = rain.pixel(x, y);
            if (pixel == MatrixAnimation::kRainHeadColor) {
                ++head;
            } else if (IsTrailGreen(pixel)) {
                ++trail;
            } else if (pixel != JMatrixCtrl::kBackgroundColor) {
                ++other;
            }
        }
    }
    EXPECT_EQ(other, 0);
    EXPECT_GT(head, 0);
    EXPECT_GT(trail, 10 * head); // trails build up: the surface is never cleared
    // At most one head per active column.
    EXPECT_LE(head, m.Anim().ActiveRainColumns() * m.ctrl->RowHeight() * m.ctrl->ColumnWidth());
}

// ---------------------------------------------------------------------------------------------
// Sparks

TEST(JMatrixCtrlSparks, SparksAreDrawnOnTheFrameOnly) {
    Matrix m(QSize(800, 600));
    // Draws: the 1/101 coin, the spark, its life, column, row, its first character.
    m.Script({0, 3, 0, 7, 9, CharDraw('S')});
    m.FallBackTo(CharDraw('T')); // the coin never comes up again
    m.ctrl->OnTimer(MatrixAnimation::SparksTimer);
    const MatrixAnimation::Spark& spark = m.Anim().Sparks()[3];
    ASSERT_TRUE(spark.active);
    ASSERT_EQ(spark.column, 7);
    ASSERT_EQ(spark.row, 9);

    m.ctrl->Compose();
    const QRect cell = m.ctrl->CellRect(7, 9);
    EXPECT_GT(CountColour(m.ctrl->DisplaySurface(), cell, JMatrixCtrl::kSparkColor), 0);
    EXPECT_EQ(CountNonBlack(m.ctrl->RainSurface(), cell), 0); // sparks live on the frame only

    for (int step = 0; step < 300; ++step) {
        m.ctrl->OnTimer(MatrixAnimation::SparksTimer);
    }
    ASSERT_FALSE(spark.active);
    m.ctrl->Compose();
    EXPECT_EQ(CountColour(m.ctrl->DisplaySurface(), cell, JMatrixCtrl::kSparkColor), 0);
}

// ---------------------------------------------------------------------------------------------
// Composed frames

TEST(JMatrixCtrlCompose, FrameIsRainPlusSparksTextAndCursor) {
    Matrix m(QSize(640, 480), 4242);
    m.ctrl->AddLine("HELLO");
    m.timers.Advance(5000);
    JMatrixCtrl& c = *m.ctrl;
    m.timers.Advance((c.Animation().LineCells()[0].column + 8) * 30 +
                     5); // cursor past the line's end
    c.Compose();
    const QImage& frame = c.DisplaySurface();
    const QImage& rain = c.RainSurface();
    ASSERT_EQ(frame.size(), rain.size());

    // Cells of typed text and the cursor are drawn over the rain; elsewhere the frame is the
    // rain, apart from sparks.
    std::vector<QRect> drawn;
    const MatrixAnimation::Cell cell = c.Animation().LineCells()[0];
    for (int i = 0; i < c.Animation().TypedText().size(); ++i) {
        drawn.push_back(c.CellRect(cell.column + i, cell.row));
    }
    for (const auto& spark : c.Animation().Sparks()) {
        if (spark.active) {
            drawn.push_back(c.CellRect(spark.column, spark.row));
        }
    }
    const QRect cursor = c.CellRect(c.Animation().CursorColumn(), c.Animation().CursorRow());
    drawn.push_back(cursor);
    EXPECT_EQ(c.Animation().TypedText().size(), 5);
    EXPECT_EQ(CountColour(frame, cursor, JMatrixCtrl::kTextColor),
              cursor.width() * cursor.height());
    int textPixels = 0;
    for (int i = 0; i < 5; ++i) {
        textPixels += CountColour(frame, drawn[i], JMatrixCtrl::kTextColor);
        // the cell was cleared to black before the text was drawn
        EXPECT_EQ(CountTrailGreen(frame, drawn[i]), 0);
    }
    EXPECT_GT(textPixels, 0);
    int differing = 0;
    for (int y = 0; y < frame.height(); ++y) {
        for (int x = 0; x < frame.width(); ++x) {
            const bool inDrawn = std::any_of(drawn.begin(), drawn.end(),
                                             [&](const QRect& r) { return r.contains(x, y); });
            if (!inDrawn && frame.pixel(x, y) != rain.pixel(x, y)) {
                ++differing;
            }
        }
    }
    EXPECT_EQ(differing, 0);
}

TEST(JMatrixCtrlCompose, PaintingShowsTheComposedFrame) {
    Matrix m(QSize(320, 240), 5);
    m.ctrl->AddLine("hi");
    m.timers.Advance(8000);
    const QImage shot = m.ctrl->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRect client = m.ctrl->contentsRect();
    EXPECT_EQ(shot.copy(client), m.ctrl->DisplaySurface().copy(QRect(QPoint(0, 0), client.size())));
    EXPECT_GT(CountColour(shot, client, JMatrixCtrl::kTextColor), 0);
}

} // namespace
