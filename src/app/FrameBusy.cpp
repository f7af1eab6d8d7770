#include "app/FrameBusy.h"

#include "app/FrameStatusBar.h"
#include "app/MainFrame.h"

void CFrameBusy::BeginBusy() {
    // The percent is not reset here: a worker may already have reported progress before this
    // queued command arrived (BusyReport resets it when the operation starts).
    if (CFrameStatusBar* bar = frame_.FrameStatusBar()) {
        bar->ShowProgress();
    }
    frame_.SetStatusPaneText(kStatusMessage, QStringLiteral("Please wait..."));
}

void CFrameBusy::StepBusy() {
    state_.StepQueued = false;
    CFrameStatusBar* bar = frame_.FrameStatusBar();
    if (bar != nullptr && bar->Progress() != nullptr) {
        const int64_t files = state_.ProgressCount;
        if (files >= 0) {
            bar->SetProgressCount(files);
        } else {
            bar->SetProgress(state_.ProgressPercent);
        }
    }
    frame_.SetStatusPaneText(kStatusMessage, QStringLiteral("Please wait..."));
}

void CFrameBusy::EndBusy() {
    if (state_.ReportCount > 0) {
        return; // another operation still shows its progress
    }
    if (CFrameStatusBar* bar = frame_.FrameStatusBar()) {
        bar->HideProgress();
    }
    frame_.SetStatusPaneText(kStatusMessage, QStringLiteral("Ready"));
}

int CFrameBusy::AddCancellable(std::function<void()> stop) {
    const int token = nextToken_++;
    stops_[token] = std::move(stop);
    ShowCancel();
    return token;
}

void CFrameBusy::RemoveCancellable(int token) {
    stops_.erase(token);
    ShowCancel();
}

void CFrameBusy::CancelAll() {
    // A stop may hand its token back (or another's) while this runs.
    std::map<int, std::function<void()>> stops = stops_;
    for (auto& [token, stop] : stops) {
        if (stops_.count(token) != 0 && stop) {
            stop();
        }
    }
}

void CFrameBusy::ShowCancel() {
    if (CFrameStatusBar* bar = frame_.FrameStatusBar()) {
        bar->ShowCancel(!stops_.empty());
    }
}
