// Start-up of the desktop program: the time from starting the process until its first window
// is shown and idle, and its memory at that moment, against an empty Qt main window with a
// menu bar started
// the same way (same application attribute, same platform) in alternating rounds. Each
// process says when it is ready through OMBRIVAULT_READY_FD; the fastest round and the least
// memory of each stand, as other work on the machine only ever adds to both. Measured on an
// X display of its own (Xvfb), where users start the program and where the shared graphics
// contexts cost what they cost (the figures held to a loose goal: they inform, and are not
// worth any complication of the program), and on the offscreen platform,
// which has no display costs (shown for comparison); both with a session message bus of their
// own, as on a desktop.
#include "BenchFigures.h"
#include "BenchSupport.h"

#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "app/AppSettings.h"
#include "support/OwnServer.h"
#include "support/ScratchFolders.h"

extern char** environ;

namespace {

struct Start {
    double seconds = 0;
    double idleMiB = 0;
    double peakMiB = 0;
    // Of the memory in use, what is the process's own rather than pages of shared libraries.
    double ownMiB = 0;
};

// A field of /proc/PID/status in kB, as MiB.
double StatusMiB(pid_t pid, const std::string& field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with(field + ":")) {
            return std::stod(line.substr(field.size() + 1)) / 1024.0;
        }
    }
    return 0;
}

// Starts `program` with the ready notice on a pipe and waits for it; false when the program
// ended or stayed silent for a minute instead.
bool TimeStart(const char* program, const char* argument, Start& start) {
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0) {
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ready[1], 3);
    // What the programs say about the platform (the offscreen one has no size hints) is noise.
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    ::setenv("OMBRIVAULT_READY_FD", "3", 1);
    char* const argv[] = {const_cast<char*>(program), const_cast<char*>(argument), nullptr};
    pid_t pid = 0;
    const auto begin = BenchClock::now();
    const int spawned = ::posix_spawn(&pid, program, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::unsetenv("OMBRIVAULT_READY_FD");
    ::close(ready[1]);
    if (spawned != 0) {
        ::close(ready[0]);
        return false;
    }
    pollfd wait{ready[0], POLLIN, 0};
    char byte = 0;
    const bool ok = ::poll(&wait, 1, 60000) == 1 && ::read(ready[0], &byte, 1) == 1;
    start.seconds = SecondsSince(begin);
    ::close(ready[0]);
    if (ok) {
        start.idleMiB = StatusMiB(pid, "VmRSS");
        start.peakMiB = StatusMiB(pid, "VmHWM");
        start.ownMiB = StatusMiB(pid, "RssAnon");
    }
    ::kill(pid, SIGTERM);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return ok;
}

// Alternating rounds of the programs on the platform set in the environment; prints each
// round and the figures, named after `platform`, against the minimal window with `goal`.
bool CompareStarts(const std::string& platform, const char* goal) {
    struct Program {
        const char* path;
        const char* argument;
        const char* name;
        Start best;
    };
    Program programs[] = {{OV_REFERENCE, nullptr, "minimal window", {}},
                          {OV_REFERENCE, "--furnished", "furnished window", {}},
                          {OV_PROGRAM, nullptr, "program", {}}};
    constexpr int kRounds = 15;
    for (Program& p : programs) {
        p.best.seconds = p.best.idleMiB = p.best.peakMiB = 1e9;
    }
    // Round 0 warms the file cache and the font cache for all and does not count.
    for (int round = 0; round <= kRounds; ++round) {
        std::printf("%s round %d:", platform.c_str(), round);
        for (Program& p : programs) {
            Start start;
            if (!TimeStart(p.path, p.argument, start)) {
                std::fprintf(stderr, "%s did not report a shown window on %s\n", p.name,
                             platform.c_str());
                return false;
            }
            if (round > 0) {
                p.best.seconds = std::min(p.best.seconds, start.seconds);
                p.best.idleMiB = std::min(p.best.idleMiB, start.idleMiB);
                p.best.peakMiB = std::min(p.best.peakMiB, start.peakMiB);
            }
            std::printf(" %s %.3f s %.1f MiB (peak %.1f, own %.1f);", p.name, start.seconds,
                        start.idleMiB, start.peakMiB, start.ownMiB);
        }
        std::printf("\n");
        std::fflush(stdout);
    }
    const Start& minimal = programs[0].best;
    const Start& furnished = programs[1].best;
    const Start& program = programs[2].best;
    PrintFigure("startup_time_" + platform + "_vs_minimal_qt_window",
                program.seconds / minimal.seconds, goal);
    PrintFigure("idle_memory_" + platform + "_vs_minimal_qt_window",
                program.idleMiB / minimal.idleMiB, goal);
    // For comparison only: against a window that also shows menus, a toolbar and a status bar.
    PrintFigure("startup_time_" + platform + "_vs_furnished_qt_window",
                program.seconds / furnished.seconds, "(for comparison)");
    PrintFigure("idle_memory_" + platform + "_vs_furnished_qt_window",
                program.idleMiB / furnished.idleMiB, "(for comparison)");
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir scratch;
    UseScratchFolders(scratch);
    // A start as on every day but the first: no welcome wizard.
    AppSettings::SetShowWizard(0);

    // A desktop session has a message bus, which every program with menus and buttons talks
    // to at start-up (accessibility); without one, the bus library would try to launch a bus
    // on every start instead.
    const OwnServer bus({"dbus-daemon", "--session", "--nofork", "--print-address=3"});
    if (!bus.Line().empty()) {
        ::setenv("DBUS_SESSION_BUS_ADDRESS", bus.Line().c_str(), 1);
    } else {
        std::printf("no message bus (dbus-daemon) could be started\n");
    }
    bool ok = true;
    {
        const OwnServer server(
            {"Xvfb", "-displayfd", "3", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"});
        if (server.Line().empty()) {
            std::printf("no X server (Xvfb) could be started: no figures for a display\n");
        } else {
            const std::string display = ":" + std::to_string(std::atoi(server.Line().c_str()));
            ::setenv("DISPLAY", display.c_str(), 1);
            ::setenv("QT_QPA_PLATFORM", "xcb", 1);
            ok = CompareStarts("x11", "<=1.5");
        }
    }
    ::unsetenv("DISPLAY");
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Without a display the empty window draws no text and loads no fonts at all, so the ratio
    // measures what any window with a menu costs there; it is shown, not held to the goal.
    ok = CompareStarts("offscreen", "(for comparison: no display)") && ok;
    return ok ? 0 : 1;
}
