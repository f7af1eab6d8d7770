// The main frame's side of the busy protocol: the state long operations write, and its display
// in the status bar (the progress bar and "Please wait...", then "Ready").
#pragma once

#include <functional>
#include <map>

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

    int AddCancellable(std::function<void()> stop) override;
    void RemoveCancellable(int token) override;
    bool HasCancellable() const { return !stops_.empty(); }
    // Stops every operation that handed in a way to stop it (the status bar's Cancel).
    void CancelAll();

private:
    void ShowCancel();

    CMainFrame& frame_;
    CBusyState state_;
    std::map<int, std::function<void()>> stops_;
    int nextToken_ = 1;
};
