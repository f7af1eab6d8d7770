// Turns the signals that ask a program to end (SIGTERM, SIGINT) into a call from the event
// loop, instead of ending the process on the spot: there the handler may close windows, ask
// about unsaved documents and end the display connection properly. Call it once the
// application object exists; the signals are handled from then on.
#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <functional>
#include <unistd.h>

namespace termination_detail {
// The signal handler writes a byte here; the event loop reads it.
inline int g_pipe[2] = {-1, -1};
} // namespace termination_detail

// False when the signals could not be redirected (they then end the process as usual).
inline bool OnTerminationSignals(QObject* context, std::function<void()> handler) {
    using termination_detail::g_pipe;
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return false;
    }
    auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context,
                     [handler = std::move(handler)] {
                         char byte = 0;
                         while (::read(g_pipe[0], &byte, 1) > 0) {
                         }
                         handler();
                     });
    struct sigaction action = {};
    action.sa_handler = [](int signal) {
        const char byte = static_cast<char>(signal);
        [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    };
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    return true;
}
