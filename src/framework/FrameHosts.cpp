#include "framework/FrameHosts.h"

#include <algorithm>

#include <QPrinter>
#include <QWidget>

#include "framework/CommandIds.h"

namespace {
// Set and cleared on the user-interface thread while no worker runs; read from any thread.
std::atomic<CCommandHost*> g_commands{nullptr};
std::atomic<CPrintHost*> g_print{nullptr};
std::atomic<CBusyHost*> g_busy{nullptr};
} // namespace

CStatusHost* CStatusHost::Of(const QWidget* widget) {
    return widget != nullptr ? dynamic_cast<CStatusHost*>(widget->window()) : nullptr;
}

CCommandHost* CCommandHost::Current() {
    return g_commands;
}

void CCommandHost::SetCurrent(CCommandHost* host) {
    g_commands = host;
}

CPrintHost* CPrintHost::Current() {
    return g_print;
}

void CPrintHost::SetCurrent(CPrintHost* host) {
    g_print = host;
}

QPrinter& CPrintHost::SharedPrinter() {
    if (CPrintHost* host = Current()) {
        return host->Printer();
    }
    // Never destroyed: a printer must not outlive the application object's teardown order.
    static QPrinter* const own = new QPrinter(QPrinter::HighResolution);
    return *own;
}

CBusyHost* CBusyHost::Current() {
    return g_busy;
}

void CBusyHost::SetCurrent(CBusyHost* host) {
    g_busy = host;
}

BusyReport::BusyReport(Kind kind)
    : busy_(CBusyHost::Current()), commands_(CCommandHost::Current()), kind_(kind) {
    if (busy_ == nullptr || commands_ == nullptr) {
        return;
    }
    busy_->Busy().ProgressPercent = 0;
    busy_->Busy().ProgressCount = -1;
    ++busy_->Busy().ReportCount;
    if (kind_ == BlocksInput) {
        ++busy_->Busy().BusyCount;
    }
    commands_->PostCommand(ID_BEGIN_BUSY);
}

BusyReport::~BusyReport() {
    // A report outliving its frame (one still queued when the program ends) has nothing left
    // to take back.
    if (busy_ == nullptr || commands_ == nullptr || busy_ != CBusyHost::Current() ||
        commands_ != CCommandHost::Current()) {
        return;
    }
    if (kind_ == BlocksInput) {
        --busy_->Busy().BusyCount;
    }
    --busy_->Busy().ReportCount;
    commands_->PostCommand(ID_END_BUSY);
}

void BusyReport::Progress(int percent) {
    if (busy_ == nullptr || commands_ == nullptr) {
        return;
    }
    busy_->Busy().ProgressPercent = std::clamp(percent, 0, 100);
    busy_->Busy().ProgressCount = -1;
    commands_->PostCommand(ID_STEP_BUSY);
}

void BusyReport::Count(int64_t files) {
    if (busy_ == nullptr || commands_ == nullptr) {
        return;
    }
    busy_->Busy().ProgressCount = std::max<int64_t>(files, 0);
    // One step in the queue at a time: a walk over many small files would flood it.
    if (!busy_->Busy().StepQueued.exchange(true)) {
        commands_->PostCommand(ID_STEP_BUSY);
    }
}

void CancelRegistration::Set(std::function<void()> stop) {
    Reset();
    host_ = CBusyHost::Current();
    token_ = host_ != nullptr ? host_->AddCancellable(std::move(stop)) : 0;
}

void CancelRegistration::Reset() {
    if (token_ != 0 && host_ != nullptr && host_ == CBusyHost::Current()) {
        host_->RemoveCancellable(token_);
    }
    host_ = nullptr;
    token_ = 0;
}
