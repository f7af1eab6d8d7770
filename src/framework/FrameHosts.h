// What views, documents and their worker threads need from the window they live in, without
// knowing the main frame: the status panes, posting a command, the busy protocol and its
// progress, and the printer. The main frame implements them all and is the current host of
// each while it exists; tests and picture tools may install hosts of their own.
//
// Threads: PostCommand, SendCommand and everything in CBusyState and BusyReport may be used
// from any thread. The other functions run on the user-interface thread only.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include <QString>

class QPrinter;
class QWidget;

// The panes of the status bar, by index.
enum StatusPane : int {
    kStatusMessage = 0,
    kStatusSize = 1,
    kStatusCaret = 2,
    kStatusCaps = 3,
    kStatusNum = 4,
    kStatusScroll = 5,
    kStatusProtection = 6, // "Strong" for a document with strong protection
};

class CStatusHost {
public:
    virtual ~CStatusHost() = default;
    // Sets the text of a pane, if the bar exists.
    virtual void SetStatusPaneText(int pane, const QString& text) = 0;
    virtual QString StatusPaneText(int pane) const = 0;

    // The host of the top-level window `widget` is in, or null when that window is none.
    static CStatusHost* Of(const QWidget* widget);
};

class CCommandHost {
public:
    virtual ~CCommandHost() = default;
    // Queues a command for the user-interface thread and returns at once.
    virtual void PostCommand(int id) = 0;
    // Runs a command on the user-interface thread and waits for it.
    virtual void SendCommand(int id) = 0;

    static CCommandHost* Current();
    static void SetCurrent(CCommandHost* host);
};

class CPrintHost {
public:
    virtual ~CPrintHost() = default;
    // The printer every document prints to, so its settings carry from one job to the next.
    virtual QPrinter& Printer() = 0;

    static CPrintHost* Current();
    static void SetCurrent(CPrintHost* host);
    // The current host's printer, or one of the program's own when no host is set (tests,
    // tools), so every print command of every view shares one printer.
    static QPrinter& SharedPrinter();
};

// The busy protocol of long operations: while one that blocks input runs the frame swallows
// commands, keys and clicks in its window and cannot be closed; while any runs the status bar
// shows "Please wait..." and a progress bar. Operations are counted, so the first to end does
// not clear the state of another. The state is atomic, for worker threads to write.
struct CBusyState {
    std::atomic<int> BusyCount{0};   // running operations that block input
    std::atomic<int> ReportCount{0}; // running operations that show progress (all of them)
    bool IsBusy() const { return BusyCount.load() > 0; }
    std::atomic<int> ProgressPercent{0};
    // Work done so far, counted in files, for an operation that cannot tell its whole (the
    // bar then shows the count); -1 while the percent is what shows.
    std::atomic<int64_t> ProgressCount{-1};
    // A progress step is on its way to the frame (a report posts no second one meanwhile).
    std::atomic<bool> StepQueued{false};
};

class CBusyHost {
public:
    virtual ~CBusyHost() = default;
    virtual CBusyState& Busy() = 0;
    // The display of the protocol: the progress bar goes up, follows ProgressPercent, goes
    // away. User-interface thread only; other threads post ID_BEGIN_BUSY, ID_STEP_BUSY and
    // ID_END_BUSY (BusyReport does).
    virtual void BeginBusy() = 0;
    virtual void StepBusy() = 0;
    virtual void EndBusy() = 0;

    // Operations the user may stop (an import, a save) hand in how to stop them while they
    // run: the frame then offers a Cancel beside the progress bar, which stops them all. The
    // token takes the operation back. User-interface thread only.
    virtual int AddCancellable(std::function<void()> stop) { return 0; }
    virtual void RemoveCancellable(int token) {}

    static CBusyHost* Current();
    static void SetCurrent(CBusyHost* host);
};

// An operation's stop as the current busy host's Cancel offers it: registered by Set, taken
// back by Reset or when destroyed (from the host it was registered with, while that host is
// still the current one). User-interface thread only.
class CancelRegistration {
public:
    CancelRegistration() = default;
    ~CancelRegistration() { Reset(); }
    CancelRegistration(const CancelRegistration&) = delete;
    CancelRegistration& operator=(const CancelRegistration&) = delete;

    // Offers `stop`, in place of what was offered before.
    void Set(std::function<void()> stop);
    void Reset();

private:
    CBusyHost* host_ = nullptr;
    int token_ = 0;
};

// A long operation's report to the current hosts, usable from any thread: counts itself busy
// (unless it only shows progress, for work the user may go on beside) and shows the progress
// bar when made, moves the bar on Progress, and takes both back when destroyed. Without hosts
// it does nothing.
class BusyReport {
public:
    enum Kind { BlocksInput, ProgressOnly };
    explicit BusyReport(Kind kind = BlocksInput);
    ~BusyReport();
    BusyReport(const BusyReport&) = delete;
    BusyReport& operator=(const BusyReport&) = delete;

    // `percent` is clamped to 0..100.
    void Progress(int percent);
    // For work whose whole is not known: the number of files done so far.
    void Count(int64_t files);

private:
    CBusyHost* busy_;
    CCommandHost* commands_;
    Kind kind_;
};
