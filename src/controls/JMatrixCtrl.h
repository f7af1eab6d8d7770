// The lock screen animation on screen: paints the rain, sparks, message lines and cursor of a
// MatrixAnimation in green characters on black. It only draws; it reads no input and reports
// nothing.
#pragma once

#include "controls/MatrixAnimation.h"

#include <QFont>
#include <QFrame>
#include <QImage>
#include <QString>

#include <memory>

class QPainter;

class JMatrixCtrl : public QFrame {
    Q_OBJECT

public:
    using RandomSource = MatrixAnimation::RandomSource;

    static constexpr QRgb kSparkColor = 0xff00ff00;
    static constexpr QRgb kTextColor = 0xff80ff80;
    static constexpr QRgb kBackgroundColor = 0xff000000;

    // Without a random source the animation seeds its own generator from the current time.
    explicit JMatrixCtrl(RandomSource random = {}, QWidget* parent = nullptr);
    ~JMatrixCtrl() override;

    // Uses `driver` (not owned, must outlive the widget) instead of QTimers. Call before Create.
    void SetTimerDriver(MatrixTimerDriver* driver);

    // Places the widget over `rect` of `parent`, builds the fonts, surfaces and grid, shows it
    // and starts the page and rain timers.
    void Create(const QRect& rect, QWidget* parent);

    // The animation's message lines and typing mode (see MatrixAnimation).
    void AddLine(const QString& text);
    void SetTypingMode(bool mode, bool block);

    // One tick of timer `id`: the animation's step, the rain it drew, then a new frame where
    // the step asks for one. Steps run here so that no rain draw is missed.
    void OnTimer(int id);

    // Builds the frame from the rain surface, sparks, message and cursor, then repaints.
    void Compose();

    const MatrixAnimation& Animation() const { return animation_; }

    // Read-only state, for the lock screen and for tests.
    int RowHeight() const { return rowHeight_; }
    int ColumnWidth() const { return columnWidth_; }
    QSize ClientSize() const { return clientSize_; }
    const QFont& TextFont() const { return textFont_; }
    const QFont& RainFont() const { return rainFont_; }
    const QImage& RainSurface() const { return rainSurface_; }
    const QImage& DisplaySurface() const { return displaySurface_; }
    // The pixel rectangle of a grid cell on the surfaces.
    QRect CellRect(int column, int row) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    class QtTimers;

    void BuildFonts();
    void BuildGrid(QSize clientSize);
    void PaintRain();
    void BuildFrame();
    void RequestFrame();
    void DrawCell(QPainter& painter, int column, int row, QChar glyph, QRgb color) const;

    // Declared before the animation, which stops its timers when it goes.
    std::unique_ptr<QtTimers> qtTimers_;
    MatrixAnimation animation_;
    bool created_ = false;
    bool frameDirty_ = false;

    QImage displaySurface_;
    QImage rainSurface_;
    QFont textFont_;
    QFont rainFont_;
    QSize clientSize_;
    int rowHeight_ = 1;
    int columnWidth_ = 1;
};
