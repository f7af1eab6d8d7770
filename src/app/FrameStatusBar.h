// The main frame's status bar: the message pane, the document size (pane 1), the caret
// position (pane 2), the CAP, NUM and SCRL indicators and the active document's protection
// ("Strong", pane 6), plus the progress bar that sits
// left of pane 1 while a long operation runs.
#pragma once

#include <array>

#include <QStatusBar>

#include "framework/FrameHosts.h"

class QLabel;
class QProgressBar;

class CFrameStatusBar : public QStatusBar {
    Q_OBJECT
public:
    enum Pane {
        Message = kStatusMessage,
        Size = kStatusSize,
        Caret = kStatusCaret,
        Caps = kStatusCaps,
        Num = kStatusNum,
        Scroll = kStatusScroll,
        Protection = kStatusProtection,
    };
    static constexpr int kPaneCount = 7;
    static constexpr int kPaneWidth = 90;

    explicit CFrameStatusBar(QWidget* parent = nullptr);

    void SetPaneText(int index, const QString& text);
    QString PaneText(int index) const;
    QLabel* PaneLabel(int index) const;
    // The pane's rectangle in status-bar coordinates.
    QRect PaneRect(int index) const;

    void ShowProgress();
    void SetProgress(int percent);
    void HideProgress();
    QProgressBar* Progress() const { return progress_; }

    void SetIndicators(bool caps, bool num, bool scroll);

    // "%d B", "%.2f KB" or "%.2f MB" of a byte count.
    static QString SizeText(qint64 bytes);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void PlaceProgress();

    std::array<QLabel*, kPaneCount> panes_{};
    QProgressBar* progress_ = nullptr;
};
