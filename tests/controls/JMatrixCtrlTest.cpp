// The lock animation stepped by hand: virtual timers instead of QTimers and a random source
// that the tests script, so every page, hold, typing, rain and spark rule can be followed
// step by step.
#include "controls/JMatrixCtrl.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <random>
#include <vector>

namespace {

const QString kPrompt = QStringLiteral("Press any key to unlock the screen...");
const QString kHold2 = QString(QChar(1)) + QStringLiteral(" 2");
const QString kHold10 = QString(QChar(1)) + QStringLiteral(" 10");

// Timers on a virtual clock: Advance() fires every due timer in time order.
class VirtualTimers : public MatrixTimerDriver {
public:
    struct State {
        bool running = false;
        int interval = 0;
        std::int64_t due = 0;
    };

    void Start(int id, int intervalMs) override {
        timers[id] = {true, intervalMs, now + intervalMs};
    }
    void Stop(int id) override { timers[id].running = false; }

    bool Running(int id) const { return timers[id].running; }
    int Interval(int id) const { return timers[id].interval; }

    // Fires due timers until `ms` have passed, or until `stop` says so after a tick.
    void Advance(std::int64_t ms, const std::function<bool()>& stop = {}) {
        const std::int64_t end = now + ms;
        for (;;) {
            int next = -1;
            for (int id = 0; id < JMatrixCtrl::TimerCount; ++id) {
                if (timers[id].running && timers[id].due <= end &&
                    (next < 0 || timers[id].due < timers[next].due)) {
                    next = id;
                }
            }
            if (next < 0) {
                break;
            }
            now = timers[next].due;
            timers[next].due += std::max(1, timers[next].interval);
            ctrl->OnTimer(next);
            if (stop && stop()) {
                return;
            }
        }
        now = end;
    }

    JMatrixCtrl* ctrl = nullptr;
    std::int64_t now = 0;
    std::array<State, JMatrixCtrl::TimerCount> timers{};
};

// Hands out the scripted numbers first, then `fallback` forever.
struct ScriptedRandom {
    std::deque<std::uint32_t> script;
    std::function<std::uint32_t()> fallback = [] { return 0u; };

    std::uint32_t operator()() {
        if (script.empty()) {
            return fallback();
        }
        const std::uint32_t value = script.front();
        script.pop_front();
        return value;
    }
};

// The raw random number that makes the animation draw character `code`.
constexpr std::uint32_t CharDraw(int code) {
    return static_cast<std::uint32_t>(code - 32);
}

struct Matrix {
    explicit Matrix(QSize size, std::uint32_t seed = 1) {
        auto generator = std::make_shared<std::mt19937>(seed);
        random->fallback = [generator] { return (*generator)(); };
        auto source = random;
        ctrl = std::make_unique<JMatrixCtrl>([source] { return (*source)(); });
        ctrl->SetTimerDriver(&timers);
        timers.ctrl = ctrl.get();
        ctrl->Create(QRect(QPoint(0, 0), size), nullptr);
    }
    ~Matrix() { ctrl.reset(); }

    void AddLockLines() {
        ctrl->AddLine(kPrompt);
        ctrl->AddLine(kHold2);
        ctrl->AddLine(QString());
        ctrl->SetTypingMode(true, true);
        ctrl->AddLine(kHold10);
    }
    void Script(std::initializer_list<std::uint32_t> values) {
        random->script.insert(random->script.end(), values);
    }
    void FallBackTo(std::uint32_t value) {
        random->fallback = [value] { return value; };
    }

    std::shared_ptr<ScriptedRandom> random = std::make_shared<ScriptedRandom>();
    VirtualTimers timers;
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

bool IsTrailGreen(QRgb pixel) {
    return qRed(pixel) == 0 && qBlue(pixel) == 0 && qGreen(pixel) >= JMatrixCtrl::kTrailGreenMin &&
           qGreen(pixel) <= JMatrixCtrl::kTrailGreenMax;
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
        EXPECT_EQ(c.Rows(), client.height() / c.RowHeight() + 1);
        EXPECT_EQ(c.Columns(), client.width() / c.ColumnWidth() + 1);
        EXPECT_EQ(static_cast<int>(c.RainColumns().size()), c.Columns());
        EXPECT_EQ(static_cast<int>(c.Sparks().size()), static_cast<int>(c.Columns() * 0.2));
        EXPECT_GE(c.RainSurface().width(), client.width());
        EXPECT_GE(c.RainSurface().height(), client.height());
        EXPECT_EQ(CountNonBlack(c.RainSurface(), c.RainSurface().rect()), 0);
    }
}

TEST(JMatrixCtrlGrid, WindowSmallerThanACellStillHasOneCellAndRunsWithoutSparks) {
    Matrix m(QSize(4, 4));
    EXPECT_EQ(m.ctrl->Columns(), 1);
    EXPECT_EQ(m.ctrl->Rows(), 1);
    EXPECT_TRUE(m.ctrl->Sparks().empty());
    m.AddLockLines();
    m.timers.Advance(30'000);
    m.ctrl->Compose();
    EXPECT_LE(m.ctrl->ActiveRainColumns(), 1);
    EXPECT_EQ(m.ctrl->ActiveSparks(), 0);
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
    EXPECT_TRUE(t.Running(JMatrixCtrl::PageTimer));
    EXPECT_EQ(t.Interval(JMatrixCtrl::PageTimer), 5000);
    EXPECT_TRUE(t.Running(JMatrixCtrl::RainTimer));
    EXPECT_EQ(t.Interval(JMatrixCtrl::RainTimer), 80);
    for (int id : {JMatrixCtrl::TypingTimer, JMatrixCtrl::CursorTimer, JMatrixCtrl::SparksTimer}) {
        EXPECT_FALSE(t.Running(id)) << id;
    }
    EXPECT_TRUE(m.ctrl->TypingMode());
    EXPECT_EQ(m.ctrl->CursorCharacter(), JMatrixCtrl::kBlockCursor);
    EXPECT_EQ(m.ctrl->CursorColumn(), -1);
    EXPECT_EQ(m.ctrl->CurrentLine(), -1);
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
    timers.ctrl = preview;
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
    ASSERT_EQ(m.ctrl->CurrentLine(), 0);
    m.ctrl->resize(400, 300);
    EXPECT_EQ(m.ctrl->ClientSize(), m.ctrl->contentsRect().size());
    EXPECT_EQ(m.ctrl->Columns(), m.ctrl->ClientSize().width() / m.ctrl->ColumnWidth() + 1);
    EXPECT_EQ(static_cast<int>(m.ctrl->RainColumns().size()), m.ctrl->Columns());
    EXPECT_EQ(m.ctrl->RainSurface().size(), m.ctrl->ClientSize());
    ASSERT_EQ(m.ctrl->LineCells().size(), 1u);
    EXPECT_EQ(m.ctrl->CursorRow(), m.ctrl->LineCells()[0].row);
    EXPECT_EQ(m.ctrl->LineCells()[0].row, (m.ctrl->Rows() - 2) / 2);
    m.timers.Advance(20'000); // keeps running on the new grid
}

// ---------------------------------------------------------------------------------------------
// Character sets

TEST(JMatrixCtrlGlyphs, RainCodesAbove127AreGreekAndTextCodesWestern) {
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
            EXPECT_EQ(JMatrixCtrl::RainGlyph(c.code).unicode(), c.rain);
        }
        EXPECT_EQ(JMatrixCtrl::TextGlyph(c.code).unicode(), c.text);
    }
    // Every letter position of the Greek page, assigned or not, falls as a Greek letter.
    for (int code = 0xC0; code <= 0xFF; ++code) {
        const char16_t glyph = JMatrixCtrl::RainGlyph(code).unicode();
        EXPECT_TRUE(glyph >= 0x0384 && glyph <= 0x03CE) << code;
    }
}

// ---------------------------------------------------------------------------------------------
// Pages and hold lines

TEST(JMatrixCtrlPages, HoldLinesParseLikeDecimalNumbers) {
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
        EXPECT_EQ(JMatrixCtrl::HoldSeconds(c.line), c.seconds) << c.line.toStdString();
    }
}

TEST(JMatrixCtrlPages, PagesRunToTheNextHoldLineAndLoop) {
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
        Matrix m(QSize(640, 480));
        for (const QString& line : c.lines) {
            m.ctrl->AddLine(line);
        }
        EXPECT_EQ(m.ctrl->PageLastLine(), c.lines.size());
        for (const Page& page : c.pages) {
            m.ctrl->NextPage();
            EXPECT_EQ(m.ctrl->PageFirstLine(), page.first);
            EXPECT_EQ(m.ctrl->PageLastLine(), page.last);
            EXPECT_EQ(m.ctrl->PageHoldSeconds(), page.hold);
            EXPECT_EQ(m.ctrl->CurrentLine(), page.first);
            EXPECT_EQ(static_cast<int>(m.ctrl->LineCells().size()),
                      std::max(0, page.last - page.first + 1));
        }
    }
}

TEST(JMatrixCtrlPages, NextPageSwitchesFromHoldingToTyping) {
    Matrix m(QSize(640, 480));
    m.ctrl->AddLine("abc");
    m.timers.Start(JMatrixCtrl::SparksTimer, 10);
    m.timers.Advance(5000, [&] { return m.ctrl->CurrentLine() == 0; });
    EXPECT_FALSE(m.timers.Running(JMatrixCtrl::PageTimer));
    EXPECT_FALSE(m.timers.Running(JMatrixCtrl::SparksTimer));
    EXPECT_TRUE(m.timers.Running(JMatrixCtrl::TypingTimer));
    EXPECT_EQ(m.timers.Interval(JMatrixCtrl::TypingTimer), 10);
    EXPECT_TRUE(m.timers.Running(JMatrixCtrl::CursorTimer));
    EXPECT_EQ(m.timers.Interval(JMatrixCtrl::CursorTimer), 30);
    EXPECT_EQ(m.timers.now, 5000);
    EXPECT_TRUE(m.ctrl->TypedText().isEmpty());
    EXPECT_TRUE(m.ctrl->DrawCounts().empty());
}

TEST(JMatrixCtrlPages, WithoutLinesOnlyTheRainRuns) {
    Matrix m(QSize(300, 100));
    int textPixels = 0;
    for (int second = 0; second < 60; ++second) {
        m.timers.Advance(1000);
        EXPECT_FALSE(m.timers.Running(JMatrixCtrl::TypingTimer));
        EXPECT_FALSE(m.timers.Running(JMatrixCtrl::CursorTimer));
        EXPECT_FALSE(m.timers.Running(JMatrixCtrl::SparksTimer));
        m.ctrl->Compose();
        textPixels += CountColour(m.ctrl->DisplaySurface(), m.ctrl->DisplaySurface().rect(),
                                  JMatrixCtrl::kTextColor);
    }
    EXPECT_EQ(textPixels, 0);
    EXPECT_EQ(m.ctrl->ActiveSparks(), 0);
    EXPECT_EQ(m.ctrl->CurrentLine(), -1);
    EXPECT_GT(CountNonBlack(m.ctrl->RainSurface(), m.ctrl->RainSurface().rect()), 0);
}

TEST(JMatrixCtrlPages, LinesAreCentredOnTheGrid) {
    Matrix m(QSize(804, 604));
    for (const char* line : {"first", "a much longer second line", ""}) {
        m.ctrl->AddLine(line);
    }
    m.ctrl->NextPage();
    const JMatrixCtrl& c = *m.ctrl;
    ASSERT_EQ(c.LineCells().size(), 3u);
    const QFontMetrics metrics(c.TextFont());
    for (int j = 0; j < 3; ++j) {
        const int width = metrics.horizontalAdvance(c.Lines()[j]);
        EXPECT_EQ(c.LineCells()[j].row, (c.Rows() - 3 - 1) / 2 + j);
        EXPECT_EQ(c.LineCells()[j].column,
                  ((c.ClientSize().width() - width) / 2) / c.ColumnWidth());
    }
    // The block of lines sits in the middle rows.
    EXPECT_NEAR(c.LineCells()[1].row, c.Rows() / 2, 1);
}

// ---------------------------------------------------------------------------------------------
// Typing

// A page with one line, typed without the cursor: the animation draws 'z' whenever it asks for
// a random character, so no position settles by chance.
TEST(JMatrixCtrlTyping, CharactersCycleUntilTheSettleCountThenTakeTheirTrueValue) {
    Matrix m(QSize(640, 480));
    m.FallBackTo(CharDraw('z'));
    m.ctrl->SetTypingMode(false, true);
    m.ctrl->AddLine("AzB");
    m.ctrl->NextPage();

    m.ctrl->TypingStep();
    EXPECT_EQ(m.ctrl->TypedText(), "zzz");
    EXPECT_EQ(m.ctrl->DrawCounts(), (std::vector<int>{0, 0, 0}));

    for (int step = 1; step <= JMatrixCtrl::kSettleCount; ++step) {
        m.ctrl->TypingStep();
        EXPECT_EQ(m.ctrl->TypedText(), "zzz") << step;
        // The middle character is right from the start and is never drawn again.
        EXPECT_EQ(m.ctrl->DrawCounts(), (std::vector<int>{step, 0, step})) << step;
        EXPECT_TRUE(m.timers.Running(JMatrixCtrl::TypingTimer)) << step;
    }

    // Settling sets the true characters; nothing was drawn, so the line is finished.
    m.ctrl->TypingStep();
    EXPECT_EQ(m.ctrl->TypedText(), "AzB");
    EXPECT_FALSE(m.timers.Running(JMatrixCtrl::TypingTimer));
    EXPECT_TRUE(m.timers.Running(JMatrixCtrl::PageTimer));
    EXPECT_EQ(m.timers.Interval(JMatrixCtrl::PageTimer), 5000);
    EXPECT_TRUE(m.timers.Running(JMatrixCtrl::SparksTimer));
    EXPECT_EQ(m.timers.Interval(JMatrixCtrl::SparksTimer), 10);
}

TEST(JMatrixCtrlTyping, TypingModeTypesOnlyLeftOfTheCursor) {
    Matrix m(QSize(640, 480));
    m.FallBackTo(CharDraw('A'));
    m.ctrl->SetTypingMode(true, true);
    m.ctrl->AddLine("AAAA");
    m.ctrl->AddLine(kHold2);
    m.timers.Advance(5000);
    ASSERT_EQ(m.ctrl->CurrentLine(), 0);
    const JMatrixCtrl::Cell cell = m.ctrl->LineCells()[0];
    ASSERT_GT(cell.column, 2);
    EXPECT_EQ(m.ctrl->CursorColumn(), 0);
    EXPECT_EQ(m.ctrl->CursorRow(), cell.row);

    // Up to the line's column nothing is typed.
    while (m.ctrl->CursorColumn() < cell.column) {
        m.ctrl->TypingStep();
        EXPECT_TRUE(m.ctrl->TypedText().isEmpty());
        m.ctrl->CursorStep();
    }
    // Each column the cursor moves on lets one more character in.
    for (int typed = 1; typed <= 4; ++typed) {
        m.ctrl->CursorStep();
        m.ctrl->TypingStep();
        m.ctrl->TypingStep();
        EXPECT_EQ(m.ctrl->TypedText(), QString(typed, u'A'));
    }
    // All typed and settled, but the line waits for the cursor to leave the screen.
    while (m.ctrl->CursorColumn() < m.ctrl->Columns() - 1) {
        m.ctrl->CursorStep();
        m.ctrl->TypingStep();
        ASSERT_TRUE(m.timers.Running(JMatrixCtrl::TypingTimer));
        ASSERT_TRUE(m.timers.Running(JMatrixCtrl::CursorTimer));
    }
    m.ctrl->CursorStep();
    EXPECT_EQ(m.ctrl->CursorColumn(), m.ctrl->Columns());
    EXPECT_FALSE(m.timers.Running(JMatrixCtrl::CursorTimer));
    m.ctrl->TypingStep();
    EXPECT_FALSE(m.timers.Running(JMatrixCtrl::TypingTimer));
    EXPECT_TRUE(m.timers.Running(JMatrixCtrl::PageTimer));
    EXPECT_EQ(m.timers.Interval(JMatrixCtrl::PageTimer), 2000);
}

TEST(JMatrixCtrlTyping, AFinishedLineHandsOverToTheNextLineOfThePage) {
    Matrix m(QSize(640, 480));
    m.FallBackTo(CharDraw('x'));
    m.ctrl->AddLine("xx");
    m.ctrl->AddLine("xxx");
    m.ctrl->AddLine(kHold2);
    m.timers.Advance(5000);
    const auto cells = m.ctrl->LineCells();
    ASSERT_EQ(cells.size(), 2u);

    m.timers.Advance(10'000, [&] { return m.ctrl->CurrentLine() == 1; });
    ASSERT_EQ(m.ctrl->CurrentLine(), 1);
    EXPECT_TRUE(m.ctrl->TypedText().isEmpty());
    EXPECT_TRUE(m.ctrl->DrawCounts().empty());
    EXPECT_EQ(m.ctrl->CursorColumn(), 0);
    EXPECT_EQ(m.ctrl->CursorRow(), cells[1].row);
    EXPECT_TRUE(m.timers.Running(JMatrixCtrl::CursorTimer));
    EXPECT_TRUE(m.timers.Running(JMatrixCtrl::TypingTimer));

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

TEST(JMatrixCtrlTyping, FlickeringCursorTakesARandomCharacterEveryStep) {
    for (const bool block : {true, false}) {
        SCOPED_TRACE(block);
        Matrix m(QSize(640, 480));
        m.ctrl->AddLine("abc");
        m.ctrl->SetTypingMode(true, block);
        EXPECT_EQ(m.ctrl->CursorCharacter(), block ? 1 : 97);
        m.timers.Advance(5000);
        for (const int code : {int('Q'), 0xE9, int(' ')}) {
            m.Script({CharDraw(code)});
            m.ctrl->TypingStep();
            EXPECT_EQ(m.ctrl->CursorCharacter(), block ? 1 : code);
        }
    }
}

TEST(JMatrixCtrlTyping, WithoutTypingModeThereIsNoCursor) {
    Matrix m(QSize(640, 480));
    m.ctrl->SetTypingMode(false, true);
    m.ctrl->AddLine("abc");
    m.timers.Advance(5000);
    EXPECT_EQ(m.ctrl->CurrentLine(), 0);
    EXPECT_FALSE(m.timers.Running(JMatrixCtrl::CursorTimer));
    EXPECT_EQ(m.ctrl->CursorColumn(), -1);
    m.timers.Advance(1000);
    EXPECT_EQ(m.ctrl->TypedText(), "abc");
    EXPECT_EQ(m.timers.Interval(JMatrixCtrl::PageTimer), 5000);
}

// ---------------------------------------------------------------------------------------------
// The lock screen's lines over time

TEST(JMatrixCtrlLockScreen, PromptIsTypedHeldThenAnEmptyPageIsHeldInTurn) {
    Matrix m(QSize(800, 600), 12345);
    m.AddLockLines();
    JMatrixCtrl& c = *m.ctrl;

    m.timers.Advance(4999);
    EXPECT_EQ(c.CurrentLine(), -1);
    c.Compose();
    EXPECT_EQ(CountColour(c.DisplaySurface(), c.DisplaySurface().rect(), JMatrixCtrl::kTextColor),
              0);

    m.timers.Advance(1);
    ASSERT_EQ(c.CurrentLine(), 0);
    const JMatrixCtrl::Cell prompt = c.LineCells()[0];
    EXPECT_EQ(prompt.row, (c.Rows() - 2) / 2);

    // The block cursor sweeps the prompt's row.
    m.timers.Advance(300);
    c.Compose();
    const QRect cursor = c.CellRect(c.CursorColumn(), c.CursorRow());
    EXPECT_EQ(CountColour(c.DisplaySurface(), cursor, JMatrixCtrl::kTextColor),
              cursor.width() * cursor.height());

    // The prompt is complete when the hold starts, after the cursor crossed the screen.
    m.timers.Advance(60'000, [&] { return m.timers.Running(JMatrixCtrl::PageTimer); });
    EXPECT_EQ(c.TypedText(), kPrompt);
    EXPECT_GE(m.timers.now, 5000 + c.Columns() * 30);
    EXPECT_LT(m.timers.now, 5000 + c.Columns() * 30 + 1000);
    EXPECT_EQ(m.timers.Interval(JMatrixCtrl::PageTimer), 2000);
    EXPECT_TRUE(m.timers.Running(JMatrixCtrl::SparksTimer));
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
    EXPECT_EQ(c.CurrentLine(), 0);
    m.timers.Advance(1 + 10);
    EXPECT_EQ(c.CurrentLine(), 2);
    const std::int64_t emptyDone = m.timers.now;
    EXPECT_EQ(c.PageHoldSeconds(), 10);
    EXPECT_TRUE(m.timers.Running(JMatrixCtrl::CursorTimer));
    EXPECT_TRUE(m.timers.Running(JMatrixCtrl::PageTimer)); // the empty line is done at once
    EXPECT_EQ(m.timers.Interval(JMatrixCtrl::PageTimer), 10'000);
    m.timers.Advance(c.Columns() * 30);
    EXPECT_FALSE(m.timers.Running(JMatrixCtrl::CursorTimer));
    c.Compose();
    EXPECT_EQ(CountColour(c.DisplaySurface(), c.DisplaySurface().rect(), JMatrixCtrl::kTextColor),
              0);

    // And the prompt comes back ten seconds after the empty page was done.
    m.timers.Advance(emptyDone + 10'000 - m.timers.now - 1);
    EXPECT_EQ(c.CurrentLine(), 2);
    m.timers.Advance(1);
    EXPECT_EQ(c.CurrentLine(), 0);
    EXPECT_TRUE(c.TypedText().isEmpty());
}

// ---------------------------------------------------------------------------------------------
// Rain

TEST(JMatrixCtrlRain, ColumnsStartAndEndWhereTheDrawsSay) {
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
        Matrix m(QSize(200, 200));
        ASSERT_GE(m.ctrl->Rows(), 12);
        m.random->script.assign(c.draws.begin(), c.draws.end());
        m.random->script.push_back(0); // trail green of the new column
        m.FallBackTo(1);               // later activations hit column 1 and are not looked at
        m.ctrl->RainStep();

        const JMatrixCtrl::RainColumn& drop = m.ctrl->RainColumns()[4];
        ASSERT_TRUE(drop.active);
        EXPECT_EQ(m.ctrl->ActiveRainColumns(), 1);
        EXPECT_EQ(drop.endRow, c.endRow < 0 ? m.ctrl->Rows() : c.endRow);
        // The new column moves twice in its first step: its head is drawn, then redrawn as
        // trail when the column steps on.
        EXPECT_EQ(drop.row, c.startRow + 2);
        EXPECT_EQ(drop.character, c.space ? ' ' : 33);
        const QImage& rain = m.ctrl->RainSurface();
        const QRect head = m.ctrl->CellRect(4, c.startRow + 1);
        const QRect trail = m.ctrl->CellRect(4, c.startRow);
        if (c.space) {
            EXPECT_EQ(CountNonBlack(rain, rain.rect()), 0);
        } else {
            EXPECT_GT(CountColour(rain, head, JMatrixCtrl::kRainHeadColor), 0);
            EXPECT_EQ(CountColour(rain, trail, JMatrixCtrl::kRainHeadColor), 0);
            EXPECT_GT(CountColour(rain, trail, qRgb(0, 75, 0)), 0);
            EXPECT_EQ(CountNonBlack(rain, rain.rect()),
                      CountNonBlack(rain, head) + CountNonBlack(rain, trail));
        }
    }
}

TEST(JMatrixCtrlRain, ColumnsEndAtTheirEndRow) {
    Matrix m(QSize(200, 200));
    // Column 4, from row 0, ending at row 5, Greek alpha: 4 draws above, then one for the
    // character.
    m.Script({4, 0, 1, 2, 1, CharDraw(0xE1)});
    m.FallBackTo(4); // no other column starts while column 4 runs
    m.ctrl->RainStep();
    const auto& drop = m.ctrl->RainColumns()[4];
    int steps = 1;
    while (drop.active && steps < 100) {
        m.ctrl->RainStep();
        ++steps;
    }
    // Head rows 0..4 are drawn over 4 steps (the first step draws two), then one more step
    // redraws the last head as trail and ends the column.
    EXPECT_EQ(steps, 5);
    const QImage& rain = m.ctrl->RainSurface();
    for (int row = 0; row < 5; ++row) {
        const QRect cell = m.ctrl->CellRect(4, row);
        EXPECT_EQ(CountColour(rain, cell, JMatrixCtrl::kRainHeadColor), 0) << row;
        EXPECT_GT(CountTrailGreen(rain, cell), 0) << row;
    }
    EXPECT_EQ(CountNonBlack(rain, m.ctrl->CellRect(4, 5)), 0);
}

TEST(JMatrixCtrlRain, TrailsStayUntilASpaceColumnWipesThem) {
    Matrix m(QSize(200, 200));
    const int rows = m.ctrl->Rows();
    const int columns = m.ctrl->Columns();
    // After the scripted column every draw is the same number: it picks column 0, starts it at
    // the top as a space column, and gives the other columns a character that is no space.
    const std::uint32_t wiper = 10u * static_cast<std::uint32_t>(columns);
    ASSERT_NE(wiper % 224, 0u);
    m.FallBackTo(wiper);

    // A full-height column of characters in column 2.
    m.Script({2, 0, 0, 1, CharDraw('M')});
    for (int step = 0; step < 4 * rows; ++step) {
        m.ctrl->RainStep();
    }
    ASSERT_FALSE(m.ctrl->RainColumns()[2].active);
    const QImage& rain = m.ctrl->RainSurface();
    for (int row = 0; row < rows - 1; ++row) {
        EXPECT_GT(CountTrailGreen(rain, m.ctrl->CellRect(2, row)), 0) << row;
    }
    // Space columns keep falling in column 0; column 2's trail is never touched again.
    const QRect column2(m.ctrl->CellRect(2, 0).left(), 0, m.ctrl->ColumnWidth(), rain.height());
    const QImage before = rain.copy(column2);
    for (int step = 0; step < 10 * rows; ++step) {
        m.ctrl->RainStep();
    }
    EXPECT_EQ(rain.copy(column2), before);

    // A column of characters in column 0 leaves its trail ...
    while (m.ctrl->RainColumns()[0].active) {
        m.ctrl->RainStep();
    }
    m.Script({0, 0, 0, 1, CharDraw('M')});
    m.ctrl->RainStep();
    ASSERT_TRUE(m.ctrl->RainColumns()[0].active);
    ASSERT_NE(m.ctrl->RainColumns()[0].character, ' ');
    while (m.ctrl->RainColumns()[0].active) {
        m.ctrl->RainStep();
    }
    for (int row = 0; row < rows - 1; ++row) {
        EXPECT_GT(CountTrailGreen(rain, m.ctrl->CellRect(0, row)), 0) << row;
    }
    // ... which the space column after it wipes away.
    for (int step = 0; step <= rows; ++step) {
        m.ctrl->RainStep();
    }
    const QRect column0(0, 0, m.ctrl->ColumnWidth(), rain.height());
    EXPECT_EQ(CountNonBlack(rain, column0), 0);
}

TEST(JMatrixCtrlRain, OnlyRainColoursAppearAndTheSurfaceFillsUp) {
    Matrix m(QSize(400, 300), 777);
    for (int step = 0; step < 400; ++step) {
        m.ctrl->RainStep();
        EXPECT_LE(m.ctrl->ActiveRainColumns(), m.ctrl->Columns());
    }
    const QImage& rain = m.ctrl->RainSurface();
    int head = 0;
    int trail = 0;
    int other = 0;
    for (int y = 0; y < rain.height(); ++y) {
        for (int x = 0; x < rain.width(); ++x) {
            const QRgb pixel = rain.pixel(x, y);
            if (pixel == JMatrixCtrl::kRainHeadColor) {
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
    EXPECT_LE(head, m.ctrl->ActiveRainColumns() * m.ctrl->RowHeight() * m.ctrl->ColumnWidth());
}

// ---------------------------------------------------------------------------------------------
// Sparks

TEST(JMatrixCtrlSparks, ASparkLivesItsStepsThenGoesOut) {
    Matrix m(QSize(800, 600));
    ASSERT_GE(m.ctrl->Sparks().size(), 10u);
    // Draws: the 1/101 coin, the spark, its life, column, row, its first character.
    m.Script({0, 3, 0, 7, 9, CharDraw('S')});
    m.FallBackTo(CharDraw('T')); // the coin never comes up again
    m.ctrl->SparksStep();
    const JMatrixCtrl::Spark& spark = m.ctrl->Sparks()[3];
    ASSERT_TRUE(spark.active);
    EXPECT_EQ(m.ctrl->ActiveSparks(), 1);
    EXPECT_EQ(spark.life, 299);
    EXPECT_EQ(spark.column, 7);
    EXPECT_EQ(spark.row, 9);
    EXPECT_EQ(spark.character, 'S');

    m.ctrl->Compose();
    const QRect cell = m.ctrl->CellRect(7, 9);
    EXPECT_GT(CountColour(m.ctrl->DisplaySurface(), cell, JMatrixCtrl::kSparkColor), 0);
    EXPECT_EQ(CountNonBlack(m.ctrl->RainSurface(), cell), 0); // sparks live on the frame only

    for (int step = 0; step < 299; ++step) {
        m.ctrl->SparksStep();
    }
    EXPECT_TRUE(spark.active);
    EXPECT_EQ(spark.life, 0);
    EXPECT_EQ(spark.character, 'T');
    m.ctrl->SparksStep();
    EXPECT_FALSE(spark.active);
    EXPECT_EQ(m.ctrl->ActiveSparks(), 0);
    m.ctrl->Compose();
    EXPECT_EQ(CountColour(m.ctrl->DisplaySurface(), cell, JMatrixCtrl::kSparkColor), 0);
}

TEST(JMatrixCtrlSparks, ANewSparkNeedsAFreeSlot) {
    Matrix m(QSize(800, 600));
    m.FallBackTo(0); // every step starts a spark, the longest-lived ones: 300 + 0
    const int count = static_cast<int>(m.ctrl->Sparks().size());
    m.Script({0, 0, 500, 1000, 1000});
    m.ctrl->SparksStep();
    const auto& first = m.ctrl->Sparks()[0];
    EXPECT_EQ(first.life, 799);
    EXPECT_EQ(first.column, 1000 % m.ctrl->Columns());
    EXPECT_EQ(first.row, 1000 % m.ctrl->Rows());
    // With every draw 0 the spark picked is always the first: no other spark starts.
    for (int step = 0; step < 10; ++step) {
        m.ctrl->SparksStep();
    }
    EXPECT_EQ(m.ctrl->ActiveSparks(), 1);
    ASSERT_GT(count, 1);
}

TEST(JMatrixCtrlSparks, StartOnlyOnceThePagesRun) {
    Matrix m(QSize(800, 600), 99);
    m.ctrl->AddLine("x");
    m.timers.Advance(4990);
    EXPECT_EQ(m.ctrl->ActiveSparks(), 0);
    // About one start in 101 steps of 10 ms: over a minute of typing and holding some start.
    m.timers.Advance(60'000);
    EXPECT_GT(m.ctrl->ActiveSparks(), 0);
    EXPECT_LE(m.ctrl->ActiveSparks(), static_cast<int>(m.ctrl->Sparks().size()));
}

// ---------------------------------------------------------------------------------------------
// Composed frames

TEST(JMatrixCtrlCompose, FrameIsRainPlusSparksTextAndCursor) {
    Matrix m(QSize(640, 480), 4242);
    m.ctrl->AddLine("HELLO");
    m.timers.Advance(5000);
    JMatrixCtrl& c = *m.ctrl;
    m.timers.Advance((c.LineCells()[0].column + 8) * 30 + 5); // cursor past the line's end
    c.Compose();
    const QImage& frame = c.DisplaySurface();
    const QImage& rain = c.RainSurface();
    ASSERT_EQ(frame.size(), rain.size());

    // Cells of typed text and the cursor are drawn over the rain; elsewhere the frame is the
    // rain, apart from sparks.
    std::vector<QRect> drawn;
    const JMatrixCtrl::Cell cell = c.LineCells()[0];
    for (int i = 0; i < c.TypedText().size(); ++i) {
        drawn.push_back(c.CellRect(cell.column + i, cell.row));
    }
    for (const auto& spark : c.Sparks()) {
        if (spark.active) {
            drawn.push_back(c.CellRect(spark.column, spark.row));
        }
    }
    const QRect cursor = c.CellRect(c.CursorColumn(), c.CursorRow());
    drawn.push_back(cursor);
    EXPECT_EQ(c.TypedText().size(), 5);
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
