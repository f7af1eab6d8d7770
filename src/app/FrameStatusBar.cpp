#include "app/FrameStatusBar.h"

#include <QLabel>
#include <QProgressBar>
#include <QToolButton>

CFrameStatusBar::CFrameStatusBar(QWidget* parent) : QStatusBar(parent) {
    setObjectName(QStringLiteral("statusbar"));
    for (int i = 0; i < kPaneCount; ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("pane%1").arg(i));
        if (i == Message) {
            label->setText(QStringLiteral("Ready"));
            label->setMinimumWidth(40);
            addWidget(label, 1);
        } else {
            label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            label->setAlignment(i == Size || i == Caret ? Qt::AlignLeft | Qt::AlignVCenter
                                                        : Qt::AlignCenter);
            if (i == Size || i == Caret) {
                label->setFixedWidth(kPaneWidth);
            } else {
                // Wide enough for the indicator text even while it is blank.
                label->setFixedWidth(
                    label->fontMetrics().horizontalAdvance(
                        i == Protection ? QStringLiteral("Strong") : QStringLiteral("SCRL")) +
                    12);
            }
            addPermanentWidget(label);
        }
        panes_[static_cast<size_t>(i)] = label;
    }
}

QLabel* CFrameStatusBar::PaneLabel(int index) const {
    return index >= 0 && index < kPaneCount ? panes_[static_cast<size_t>(index)] : nullptr;
}

void CFrameStatusBar::SetPaneText(int index, const QString& text) {
    if (QLabel* label = PaneLabel(index)) {
        if (label->text() != text) {
            label->setText(text);
        }
    }
}

QString CFrameStatusBar::PaneText(int index) const {
    const QLabel* label = PaneLabel(index);
    return label != nullptr ? label->text() : QString();
}

QRect CFrameStatusBar::PaneRect(int index) const {
    const QLabel* label = PaneLabel(index);
    return label != nullptr ? label->geometry() : QRect();
}

void CFrameStatusBar::ShowProgress() {
    if (progress_ == nullptr) {
        progress_ = new QProgressBar(this);
        progress_->setObjectName(QStringLiteral("progress"));
        progress_->setRange(0, 100);
        progress_->setTextVisible(false);
    }
    progress_->setValue(0);
    PlaceProgress();
    progress_->show();
    progress_->raise();
}

void CFrameStatusBar::SetProgress(int percent) {
    if (progress_ != nullptr) {
        progress_->setTextVisible(false);
        progress_->setValue(std::clamp(percent, 0, 100));
    }
}

void CFrameStatusBar::SetProgressCount(int64_t files) {
    if (progress_ != nullptr) {
        // The whole is not known: the bar stays empty and its text counts.
        progress_->setValue(0);
        progress_->setFormat(files == 1 ? QStringLiteral("1 file")
                                        : QStringLiteral("%1 files").arg(files));
        progress_->setTextVisible(true);
    }
}

void CFrameStatusBar::ShowCancel(bool shown) {
    if (!shown) {
        // Possibly from within the button's own click.
        if (cancel_ != nullptr) {
            cancel_->hide();
            cancel_->deleteLater();
            cancel_ = nullptr;
        }
        return;
    }
    if (cancel_ == nullptr) {
        cancel_ = new QToolButton(this);
        cancel_->setObjectName(QStringLiteral("cancelBusy"));
        cancel_->setText(QStringLiteral("Cancel"));
        cancel_->setToolTip(QStringLiteral("Stop the operation in progress"));
        cancel_->setFocusPolicy(Qt::NoFocus);
        connect(cancel_, &QToolButton::clicked, this, &CFrameStatusBar::cancelClicked);
    }
    PlaceProgress();
    cancel_->show();
    cancel_->raise();
}

void CFrameStatusBar::HideProgress() {
    delete progress_;
    progress_ = nullptr;
}

void CFrameStatusBar::PlaceProgress() {
    // Right edge 2 pixels left of pane 1, 100 wide, 14 high, 2 from the top.
    const int left = PaneRect(Size).left() - 102;
    if (progress_ != nullptr) {
        progress_->setGeometry(left, 2, 100, 14);
    }
    if (cancel_ != nullptr) {
        // Beside the bar, as high as the bar's row allows.
        const int width = cancel_->sizeHint().width();
        cancel_->setGeometry(std::max(0, left - 4 - width), 0, width, height());
    }
}

void CFrameStatusBar::resizeEvent(QResizeEvent* event) {
    QStatusBar::resizeEvent(event);
    PlaceProgress();
}

void CFrameStatusBar::SetIndicators(bool caps, bool num, bool scroll) {
    SetPaneText(Caps, caps ? QStringLiteral("CAP") : QString());
    SetPaneText(Num, num ? QStringLiteral("NUM") : QString());
    SetPaneText(Scroll, scroll ? QStringLiteral("SCRL") : QString());
}

QString CFrameStatusBar::SizeText(qint64 bytes) {
    if (bytes < 1024) {
        return QStringLiteral("%1 B").arg(bytes);
    }
    if (bytes < 1048576) {
        return QString::asprintf("%.2f KB", static_cast<double>(bytes) / 1024.0);
    }
    return QString::asprintf("%.2f MB", static_cast<double>(bytes) / 1024.0 / 1024.0);
}
