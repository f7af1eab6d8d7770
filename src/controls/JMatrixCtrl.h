// The lock screen animation: green characters rain down a black grid, single characters
// flicker at random places and message lines are typed out in the middle behind a cursor.
// It only draws; it reads no input and reports nothing.
#pragma once

#include <QFont>
#include <QFrame>
#include <QImage>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QPainter;

// Starts and stops the animation's numbered timers. The widget runs on QTimers by default;
// tests put in a driver with a virtual clock and call JMatrixCtrl::OnTimer themselves.
class MatrixTimerDriver {
public:
    virtual ~MatrixTimerDriver() = default;
    // (Re)starts timer `id` so that it fires every `intervalMs` from now on.
    virtual void Start(int id, int intervalMs) = 0;
    virtual void Stop(int id) = 0;
};

class JMatrixCtrl : public QFrame {
    Q_OBJECT

public:
    // Returns a fresh random number on every call; the animation reduces it modulo its ranges.
    using RandomSource = std::function<std::uint32_t()>;

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
    static constexpr QRgb kSparkColor = 0xff00ff00;
    static constexpr QRgb kTextColor = 0xff80ff80;
    static constexpr QRgb kBackgroundColor = 0xff000000;

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

    // Without a random source the widget seeds its own generator from the current time.
    explicit JMatrixCtrl(RandomSource random = {}, QWidget* parent = nullptr);
    ~JMatrixCtrl() override;

    // Uses `driver` (not owned, must outlive the widget) instead of QTimers. Call before Create.
    void SetTimerDriver(MatrixTimerDriver* driver);

    // Places the widget over `rect` of `parent`, builds the fonts, surfaces and grid, shows it
    // and starts the page and rain timers.
    void Create(const QRect& rect, QWidget* parent);

    // Appends a message line. A line starting with the control code 1 ends a page and holds it
    // for the number of seconds that follows (leading spaces allowed); it is never shown.
    void AddLine(const QString& text);
    // Typing mode sweeps a cursor that the characters are typed behind; `block` draws it as a
    // filled cell, otherwise it flickers through random characters.
    void SetTypingMode(bool mode, bool block);

    // One tick of timer `id`: its work, then a new frame where the timer table asks for one.
    void OnTimer(int id);

    // The steps the timers are made of, each usable on its own.
    void NextPage();
    void StartCursor();
    void CursorStep();
    void TypingStep();
    void RainStep();
    void SparksStep();
    // Builds the frame from the rain surface, sparks, message and cursor, then repaints.
    void Compose();

    // Read-only state, for the lock screen and for tests.
    int Rows() const { return rows_; }
    int Columns() const { return columns_; }
    int RowHeight() const { return rowHeight_; }
    int ColumnWidth() const { return columnWidth_; }
    QSize ClientSize() const { return clientSize_; }
    const QFont& TextFont() const { return textFont_; }
    const QFont& RainFont() const { return rainFont_; }
    const QStringList& Lines() const { return lines_; }
    int PageFirstLine() const { return pageFirstLine_; }
    int PageLastLine() const { return pageLastLine_; }
    int PageHoldSeconds() const { return pageHold_; }
    const std::vector<Cell>& LineCells() const { return lineCells_; }
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
    const QImage& RainSurface() const { return rainSurface_; }
    const QImage& DisplaySurface() const { return displaySurface_; }
    // The pixel rectangle of a grid cell on the surfaces.
    QRect CellRect(int column, int row) const;

    // What a random character code looks like in each font: the text font uses the Western
    // code page, the rain font the Greek one, so codes above 127 of the rain are Greek letters.
    static QChar TextGlyph(int code);
    static QChar RainGlyph(int code);
    // The hold time of a hold line in seconds, or -1 when `line` is not a hold line.
    static int HoldSeconds(const QString& line);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    class QtTimers;

    int Random(int bound);
    int RandomCharacter();
    void StartTimer(int id, int intervalMs);
    void StopTimer(int id);
    void BuildFonts();
    void BuildGrid(QSize clientSize);
    void PlaceLines();
    bool PageHasLine(int line) const;
    void FinishTypedLine();
    void BuildFrame();
    void RequestFrame();
    void DrawCell(QPainter& painter, int column, int row, QChar glyph, QRgb color) const;

    RandomSource random_;
    std::unique_ptr<QtTimers> qtTimers_;
    MatrixTimerDriver* timers_ = nullptr;
    bool created_ = false;
    bool frameDirty_ = false;

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

    QImage displaySurface_;
    QImage rainSurface_;
    QFont textFont_;
    QFont rainFont_;
    QSize clientSize_;
    int rowHeight_ = 1;
    int columnWidth_ = 1;
    int rows_ = 1;
    int columns_ = 1;
    std::vector<RainColumn> rain_;
    int activeRain_ = 0;
    std::vector<Spark> sparks_;
    int activeSparks_ = 0;
};
