// The main frame's side of the busy protocol: the state long operations write, and its display
// in the status bar (the progress bar and "Please wait...", then "Ready").
#pragma once

#include "framework/FrameHosts.h"

class CMainFrame;

class CFrameBusy : public CBusyHost {
public:
    explicit CFrameBusy(CMainFrame& frame) : frame_(frame) {}

    CBusyState& Busy() override { return state_; }
    bool IsBusy() const { return state_.IsBusy(); }
    void BeginBusy() override;
    void StepBusy() override;
    void EndBusy() override;

private:
    CMainFrame& frame_;
    CBusyState state_;
};
