// Tells whoever started the program when it is ready for the user: when $OMBRIVAULT_READY_FD
// names an open file descriptor, one byte is written to it, and it is closed, as soon as a
// window is on screen and the event loop has nothing left to do. A session script or a
// start-up timing waits for that byte instead of guessing. Without the variable nothing
// happens. Call it once the first window has been asked to show, before the event loop runs.
#pragma once

#include <QAbstractEventDispatcher>
#include <QGuiApplication>
#include <QWindow>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <unistd.h>

inline void NotifyReadyWhenIdle() {
    const char* value = std::getenv("OMBRIVAULT_READY_FD");
    if (value == nullptr || *value == '\0') {
        return;
    }
    char* end = nullptr;
    const long fd = std::strtol(value, &end, 10);
    // Programs this one starts (a browser helper, say) have nobody waiting for them.
    ::unsetenv("OMBRIVAULT_READY_FD");
    if (*end != '\0' || fd < 0 || fd > 1 << 20 || QAbstractEventDispatcher::instance() == nullptr) {
        return;
    }
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = QObject::connect(
        QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
        [connection, fd = static_cast<int>(fd)] {
            const QWindowList windows = QGuiApplication::topLevelWindows();
            const bool shown = std::any_of(windows.begin(), windows.end(), [](QWindow* window) {
                return window->isVisible() && window->isExposed();
            });
            if (!shown) {
                return;
            }
            QObject::disconnect(*connection);
            const char byte = '1';
            [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
            ::close(fd);
        });
}
