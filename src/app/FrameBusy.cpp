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
    CFrameStatusBar* bar = frame_.FrameStatusBar();
    if (bar != nullptr && bar->Progress() != nullptr) {
        bar->SetProgress(state_.ProgressPercent);
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
