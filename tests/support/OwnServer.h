// A server of a test's or benchmark's own that writes where to reach it as a line on
// descriptor 3 (an X server its display number, a message bus its address); Line() is empty
// when none could be started. It is ended with the object.
#pragma once

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

class OwnServer {
public:
    explicit OwnServer(std::vector<const char*> argv) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        argv.push_back(nullptr);
        const int spawned = ::posix_spawnp(&pid_, argv[0], &actions, nullptr,
                                           const_cast<char* const*>(argv.data()), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        if (spawned != 0) {
            pid_ = -1;
            ::close(fds[0]);
            return;
        }
        // The server writes its line once it accepts clients.
        char text[512] = {};
        size_t got = 0;
        pollfd wait{fds[0], POLLIN, 0};
        while (got + 1 < sizeof text && ::poll(&wait, 1, 10000) == 1) {
            const ssize_t n = ::read(fds[0], text + got, sizeof text - 1 - got);
            if (n <= 0) {
                break;
            }
            got += static_cast<size_t>(n);
            if (const void* end = std::memchr(text, '\n', got)) {
                line_.assign(text, static_cast<size_t>(static_cast<const char*>(end) - text));
                break;
            }
        }
        ::close(fds[0]);
    }
    ~OwnServer() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            int status = 0;
            while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
            }
        }
    }
    OwnServer(const OwnServer&) = delete;
    OwnServer& operator=(const OwnServer&) = delete;

    const std::string& Line() const { return line_; }

private:
    pid_t pid_ = -1;
    std::string line_;
};
