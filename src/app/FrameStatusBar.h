// The main frame's status bar: the message pane, the document size (pane 1), the caret
// position (pane 2), the CAP, NUM and SCRL indicators and the active document's protection
// ("Strong", pane 6), plus the progress bar that sits
// left of pane 1 while a long operation runs, with a Cancel button left of it while the
// operation can be stopped.
#pragma once

#include <array>
#include <cstdint>

#include <QStatusBar>

#include "framework/FrameHosts.h"

class QLabel;
class QProgressBar;
class QToolButton;

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
    // Work that cannot tell its whole: the bar moves to and fro and shows "N files".
    void SetProgressCount(int64_t files);
    void HideProgress();
    QProgressBar* Progress() const { return progress_; }
    // The Cancel button left of the progress bar, shown while an operation that can be
    // stopped runs; clicking it emits cancelClicked.
    void ShowCancel(bool shown);
    QToolButton* CancelButton() const { return cancel_; }

    void SetIndicators(bool caps, bool num, bool scroll);

    // "%d B", "%.2f KB" or "%.2f MB" of a byte count.
    static QString SizeText(qint64 bytes);

signals:
    void cancelClicked();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void PlaceProgress();

    std::array<QLabel*, kPaneCount> panes_{};
    QProgressBar* progress_ = nullptr;
    QToolButton* cancel_ = nullptr;
};
