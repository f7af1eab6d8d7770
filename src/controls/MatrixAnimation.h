// The lock screen animation without its window: pages of message lines typed out behind a
// cursor, rain columns falling down a grid of character cells and sparks flickering at random
// cells. It keeps the state and runs the timers' steps; JMatrixCtrl paints it.
#pragma once

#include <QRgb>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <vector>

// Starts and stops the animation's numbered timers. The widget runs on QTimers by default;
// tests put in a driver with a virtual clock and call OnTimer themselves.
class MatrixTimerDriver {
public:
    virtual ~MatrixTimerDriver() = default;
    // (Re)starts timer `id` so that it fires every `intervalMs` from now on.
    virtual void Start(int id, int intervalMs) = 0;
    virtual void Stop(int id) = 0;
};

class MatrixAnimation {
public:
    // Returns a fresh random number on every call; the animation reduces it modulo its ranges.
    using RandomSource = std::function<std::uint32_t()>;
    // The width in pixels that a message line takes on screen, for centring it.
    using TextWidth = std::function<int(const QString&)>;

    enum TimerId : int {
        PageTimer = 0,   // next page, then the cursor
        TypingTimer = 1, // sparks and typing
        CursorTimer = 2, // cursor sweep
        RainTimer = 3,   // falling characters
        SparksTimer = 4, // sparks while a page is held
        TimerCount = 5,
    };
    static constexpr int kTypingIntervalMs = 10;
    static constexpr int kCursorIntervalMs = 30;
    static constexpr int kRainIntervalMs = 80;
    static constexpr int kSparksIntervalMs = 10;

    static constexpr int kRandomCharLimit = 255;
    static constexpr int kFirstPageDelaySeconds = 5;
    static constexpr int kDefaultHoldSeconds = 5;
    static constexpr int kSettleCount = 20;
    static constexpr int kBlockCursor = 1;
    static constexpr char16_t kHoldMark = 0x01;

    static constexpr QRgb kRainHeadColor = 0xff00ff00;
    static constexpr int kTrailGreenMin = 75;
    static constexpr int kTrailGreenMax = 150;

    // The cells on screen: `width` is the pixel width the columns cover.
    struct Grid {
        int columns = 1;
        int rows = 1;
        int columnWidth = 1;
        int width = 0;
    };
    struct RainColumn {
        bool active = false;
        int row = 0;
        int endRow = 0;
        int character = 0;
    };
    struct Spark {
        bool active = false;
        int life = 0;
        int column = 0;
        int row = 0;
        int character = 0;
    };
    struct Cell {
        int column = 0;
        int row = 0;
        bool operator==(const Cell&) const = default;
    };
    // A character the rain drew into a cell, in `color` (a space clears the cell).
    struct RainDraw {
        int column = 0;
        int row = 0;
        int character = ' ';
        QRgb color = 0;
    };

    // Without a random source the animation seeds its own generator from the current time.
    MatrixAnimation(RandomSource random, TextWidth textWidth);
    // Stops the timers that still run.
    ~MatrixAnimation();
    MatrixAnimation(const MatrixAnimation&) = delete;
    MatrixAnimation& operator=(const MatrixAnimation&) = delete;

    // The driver (not owned, must outlive the animation) that runs the timers.
    void SetTimerDriver(MatrixTimerDriver* driver);
    MatrixTimerDriver* TimerDriver() const { return timers_; }

    // Lays the cells out anew: the rain starts from an empty grid, no spark burns and a page on
    // screen keeps running, re-centred.
    void SetGrid(const Grid& grid);
    // Starts the page timer (the first page comes after kFirstPageDelaySeconds) and the rain.
    void Start();

    // Appends a message line. A line starting with the control code 1 ends a page and holds it
    // for the number of seconds that follows (leading spaces allowed); it is never shown.
    void AddLine(const QString& text);
    // Typing mode sweeps a cursor that the characters are typed behind; `block` draws it as a
    // filled cell, otherwise it flickers through random characters.
    void SetTypingMode(bool mode, bool block);

    // One tick of timer `id`: its work. True when the frame on screen is out of date.
    bool OnTimer(int id);

    // The steps the timers are made of, each usable on its own.
    void NextPage();
    void StartCursor();
    void CursorStep();
    void TypingStep();
    void RainStep();
    void SparksStep();

    int Rows() const { return grid_.rows; }
    int Columns() const { return grid_.columns; }
    const QStringList& Lines() const { return lines_; }
    int PageFirstLine() const { return pageFirstLine_; }
    int PageLastLine() const { return pageLastLine_; }
    int PageHoldSeconds() const { return pageHold_; }
    const std::vector<Cell>& LineCells() const { return lineCells_; }
    // The cell of a line of the running page, which only those lines have.
    bool PageHasLine(int line) const;
    int CurrentLine() const { return currentLine_; }
    const QString& TypedText() const { return typedText_; }
    const std::vector<int>& DrawCounts() const { return drawCounts_; }
    bool TypingMode() const { return typingMode_; }
    int CursorColumn() const { return cursorColumn_; }
    int CursorRow() const { return cursorRow_; }
    int CursorCharacter() const { return cursorCharacter_; }
    const std::vector<RainColumn>& RainColumns() const { return rain_; }
    int ActiveRainColumns() const { return activeRain_; }
    const std::vector<Spark>& Sparks() const { return sparks_; }
    int ActiveSparks() const { return activeSparks_; }
    // What the last rain step drew, in order; the rain is never cleared, so each draw stays
    // until another one covers its cell.
    const std::vector<RainDraw>& RainDraws() const { return rainDraws_; }
    // The last draw into a cell of the grid; a blank space where nothing was drawn.
    RainDraw RainCell(int column, int row) const;

    // What a random character code looks like in each font: the text font uses the Western
    // code page, the rain font the Greek one, so codes above 127 of the rain are Greek letters.
    static QChar TextGlyph(int code);
    static QChar RainGlyph(int code);
    // The hold time of a hold line in seconds, or -1 when `line` is not a hold line.
    static int HoldSeconds(const QString& line);

private:
    int Random(int bound);
    int RandomCharacter();
    void StartTimer(int id, int intervalMs);
    void StopTimer(int id);
    void PlaceLines();
    void FinishTypedLine();
    void DrawRain(int column, int row, int character, QRgb color);

    RandomSource random_;
    TextWidth textWidth_;
    MatrixTimerDriver* timers_ = nullptr;

    int firstPageDelay_ = kFirstPageDelaySeconds;
    int defaultHold_ = kDefaultHoldSeconds;
    bool typingMode_ = true;
    int cursorColumn_ = -1;
    int cursorRow_ = -1;
    int cursorCharacter_ = kBlockCursor;
    QStringList lines_;
    int pageFirstLine_ = 0;
    int pageLastLine_ = 0;
    std::vector<Cell> lineCells_;
    int currentLine_ = -1;
    QString typedText_;
    std::vector<int> drawCounts_;
    int pageHold_ = kDefaultHoldSeconds;

    Grid grid_;
    std::vector<RainColumn> rain_;
    int activeRain_ = 0;
    std::vector<RainDraw> rainDraws_;
    std::vector<RainDraw> rainCells_; // column by column, rows within a column
    std::vector<Spark> sparks_;
    int activeSparks_ = 0;
};
