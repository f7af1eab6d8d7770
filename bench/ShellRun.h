// Runs a shell command for a benchmark and measures it: the elapsed time, the peak memory and
// the exit code. A command that starts with "exec " is measured as the program it becomes.
#pragma once

#include <chrono>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

struct Measured {
    double seconds = 0;
    long peakKiB = 0;
    int code = -1;
};

inline Measured Run(const std::string& command) {
    Measured m;
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        ::execl("/bin/sh", "sh", "-c", command.c_str(), nullptr);
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child > 0 && ::wait4(child, &status, 0, &usage) == child && WIFEXITED(status)) {
        m.code = WEXITSTATUS(status);
    }
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.peakKiB = usage.ru_maxrss;
    return m;
}
