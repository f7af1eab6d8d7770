#include <QEventLoop>
#include <QObject>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>

#include "framework/TerminationSignals.h"

namespace {

// SIGTERM and SIGINT no longer end the process: each reaches the handler, later, from the
// event loop, and the process lives on to handle the next one.
TEST(TerminationSignals, EachSignalReachesTheHandlerFromTheEventLoop) {
    QObject context;
    int calls = 0;
    ASSERT_TRUE(OnTerminationSignals(&context, [&] { ++calls; }));
    for (const int signal : {SIGTERM, SIGINT}) {
        const int before = calls;
        ASSERT_EQ(::raise(signal), 0);
        EXPECT_EQ(calls, before) << "not from inside the signal handler";
        QEventLoop loop;
        // A guard only: the call comes at the loop's first turn.
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (calls > before) {
                loop.quit();
            }
        });
        poll.start(0);
        loop.exec();
        EXPECT_EQ(calls, before + 1) << signal;
    }
}

} // namespace
