#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "framework/ReadyNotice.h"

namespace {

// Runs the event loop until the notice arrives on `fd` or, as a guard, ten seconds pass;
// true when the byte came.
bool NoticeArrives(int fd) {
    QEventLoop loop;
    bool arrived = false;
    QSocketNotifier notifier(fd, QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &loop, [&] {
        char byte = 0;
        arrived = ::read(fd, &byte, 1) == 1 && byte == '1';
        loop.quit();
    });
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    return arrived;
}

} // namespace

struct Pipe {
    Pipe() { EXPECT_EQ(::pipe2(fds, O_CLOEXEC | O_NONBLOCK), 0); }
    ~Pipe() {
        ::close(fds[0]);
        ::close(fds[1]);
    }
    std::string WriteEnd() const { return std::to_string(fds[1]); }
    int fds[2] = {-1, -1};
};

TEST(ReadyNotice, OneByteOnceAWindowIsShownAndTheLoopIsIdle) {
    // A variable that does not name a descriptor exactly is ignored.
    Pipe ignored;
    for (const std::string& value :
         {ignored.WriteEnd() + "x", "x" + ignored.WriteEnd(), std::string()}) {
        ::setenv("OMBRIVAULT_READY_FD", value.c_str(), 1);
        NotifyReadyWhenIdle();
    }
    Pipe notice;
    ::setenv("OMBRIVAULT_READY_FD", notice.WriteEnd().c_str(), 1);
    NotifyReadyWhenIdle();
    EXPECT_EQ(std::getenv("OMBRIVAULT_READY_FD"), nullptr)
        << "programs started later must not see it";

    QWidget window;
    window.resize(200, 100);
    window.show();
    EXPECT_TRUE(NoticeArrives(notice.fds[0]));
    char byte = 0;
    EXPECT_EQ(::read(ignored.fds[0], &byte, 1), -1);
    // One byte, then the descriptor is closed: reading finds the end.
    EXPECT_EQ(::read(notice.fds[0], &byte, 1), 0);
    notice.fds[1] = -1;
}
