#include "app/FrameBusy.h"

#include "app/FrameStatusBar.h"
#include "app/MainFrame.h"

void CFrameBusy::BeginBusy() {
    state_.ProgressPercent = 0;
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
    if (CFrameStatusBar* bar = frame_.FrameStatusBar()) {
        bar->HideProgress();
    }
    frame_.SetStatusPaneText(kStatusMessage, QStringLiteral("Ready"));
}
