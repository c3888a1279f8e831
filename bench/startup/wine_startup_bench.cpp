// SPDX-License-Identifier: GPL-3.0-or-later
// Starts the Windows program and its yardstick (its main dialog template
// shown and nothing else) alternately under Wine and reports for both the
// median time to the shown window, the time to exit and the peak resident
// memory, and their ratios.
//
//   wine_startup_bench [--runs N] PREFIX-DIR CLOSE-WHEN-SHOWN.EXE ZR8-SETUP.EXE BARE-DIALOG.EXE
//
// The programs are the ones that ship: nothing in them measures. For each
// start the companion close_when_shown.exe runs first in the same prefix;
// once it says "watching" (its own start is not counted) the program is
// started, and "shown" is when the companion reports the visible window. The
// companion then posts the close command and the program takes its normal
// way down. The prefix is made ready once (scripts/wine-prefix: its server
// runs and is not counted); then each program is started as a user's shell
// would, by `wine PROGRAM.exe` with the settings of scripts/wine-run, and
// becomes that process, so wait4 gives the program's own peak memory. One
// discarded warm-up run each comes first, so both start from a warm page
// cache. Wine's graphics driver is X11 when DISPLAY is set, the null one
// otherwise.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/startup/start_runs.h"

namespace {

using zr8::bench::Clock;
using zr8::bench::median;
using zr8::bench::msSince;
using Run = zr8::bench::StartRun;

// Both programs show template 100, whose caption starts so.
constexpr const char* kCaptionPrefix = "ZR8 Encoder setup 1.1. (";

// Starts `command` (looked up in PATH) with its stdout on `out` (or
// /dev/null when -1).
pid_t spawn(const std::vector<std::string>& command, int out) {
    const pid_t child = fork();
    if (child != 0) return child;
    const int null = open("/dev/null", O_RDWR);
    dup2(null, STDIN_FILENO);
    dup2(out >= 0 ? out : null, STDOUT_FILENO);
    std::vector<char*> argv;
    for (const std::string& a : command) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
}

// The companion's output, line by line.
class Lines {
public:
    explicit Lines(int fd) : fd_(fd) {}

    // Waits until a line starting with `prefix` has come; false on the end
    // of the output or at the deadline. Once `child` (if given) has ended,
    // what was written before is awaited for a moment only.
    bool await(const char* prefix, Clock::time_point deadline, pid_t child = -1) {
        for (;;) {
            for (size_t end; (end = text_.find('\n')) != std::string::npos;) {
                const std::string line = text_.substr(0, end);
                text_.erase(0, end + 1);
                if (line.starts_with(prefix)) return true;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) return false;
            pollfd p{fd_, POLLIN, 0};
            const int ready = poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 50)));
            if (ready < 0 && errno == EINTR) continue;
            if (ready == 0 && child > 0 && ended(child)) {
                deadline = std::min(deadline, Clock::now() + std::chrono::seconds(2));
                child = -1;
            }
            if (ready <= 0) continue;
            char buffer[256];
            const ssize_t n = read(fd_, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            // A Windows program's text-mode output ends its lines with "\r\n".
            for (ssize_t i = 0; i < n; ++i) {
                if (buffer[i] != '\r') text_.push_back(buffer[i]);
            }
        }
    }

private:
    // Without collecting it: its exit status and rusage are wanted later.
    static bool ended(pid_t child) {
        siginfo_t info{};
        return waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
               info.si_pid == child;
    }

    int fd_;
    std::string text_;
};

// One start: the companion watches before the program starts; the program's
// exit status and peak RSS come from wait4; both must have done their part.
Run startOnce(const std::string& companionPath, const std::string& program) {
    Run run;
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return run;
    const pid_t companion = spawn({"wine", companionPath, kCaptionPrefix}, out[1]);
    close(out[1]);
    Lines lines(out[0]);
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    pid_t child = -1;
    Clock::time_point start;
    if (companion > 0 && lines.await("watching", deadline)) {
        start = Clock::now();
        child = spawn({"wine", program}, -1);
    }
    bool shown = false;
    if (child > 0) {
        shown = lines.await("shown", deadline, child);
        if (shown) run.shownMs = msSince(start);
        if (!shown) kill(child, SIGKILL);
        int status = 0;
        rusage usage{};
        while (wait4(child, &status, 0, &usage) < 0 && errno == EINTR) {}
        run.exitMs = msSince(start);
        run.peakKiB = usage.ru_maxrss;
        run.ok = shown && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    // The companion saw the program end with 0 too, and ends itself.
    const bool followed = shown && lines.await("exited 0", deadline);
    close(out[0]);
    if (companion > 0) {
        if (!followed) kill(companion, SIGKILL);
        int status = 0;
        while (waitpid(companion, &status, 0) < 0 && errno == EINTR) {}
        run.ok = run.ok && followed && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    return run;
}

struct Summary {
    double shownMs, shownMinMs, shownMaxMs, exitMs, peakMiB;
};

Summary summarise(const std::vector<Run>& runs) {
    std::vector<double> shown, exited, peak;
    for (const Run& r : runs) {
        shown.push_back(r.shownMs);
        exited.push_back(r.exitMs);
        peak.push_back(static_cast<double>(r.peakKiB) / 1024.0);
    }
    const auto [low, high] = std::minmax_element(shown.begin(), shown.end());
    return {median(shown), *low, *high, median(exited), median(peak)};
}

}  // namespace

int main(int argc, char* argv[]) {
    int runs = 21;
    int a = 1;
    if (a + 1 < argc && std::string(argv[a]) == "--runs") {
        runs = std::atoi(argv[a + 1]);
        a += 2;
    }
    if (argc - a != 4) {
        std::fprintf(stderr,
                     "usage: %s [--runs N] PREFIX CLOSE-WHEN-SHOWN.EXE ZR8-SETUP.EXE "
                     "BARE-DIALOG.EXE\n",
                     argv[0]);
        return 2;
    }
    if (runs < 1) {
        std::fprintf(stderr, "--runs needs a positive number\n");
        return 2;
    }
    // The prefix made and its server running; then what scripts/wine-run sets.
    const pid_t ready = spawn({ZR8_WINE_PREFIX_SCRIPT, argv[a]}, -1);
    int status = 0;
    while (ready > 0 && waitpid(ready, &status, 0) < 0 && errno == EINTR) {}
    char* prefix = realpath(argv[a], nullptr);
    if (ready < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || prefix == nullptr) {
        std::fprintf(stderr, "cannot make the Wine prefix %s ready\n", argv[a]);
        return 1;
    }
    setenv("WINEPREFIX", prefix, 1);
    std::free(prefix);
    setenv("WINEARCH", "win64", 1);
    setenv("WINEDEBUG", "-all", 1);
    setenv("WINEDLLOVERRIDES", "winemenubuilder.exe=d;mscoree=d;mshtml=d", 1);
    const std::string companion = argv[a + 1];
    const std::string programs[2] = {argv[a + 2], argv[a + 3]};
    const char* names[2] = {"zr8-setup.exe", "bare dialog"};
    const char* display = std::getenv("DISPLAY");
    const std::string driver = display != nullptr && *display != '\0'
                                   ? std::string("x11 on ") + display
                                   : std::string("null (no DISPLAY)");

    for (int k = 0; k < 2; ++k) {
        if (!startOnce(companion, programs[k]).ok) {
            std::fprintf(stderr,
                         "%s did not start, show its window and exit 0 (graphics driver %s)\n",
                         programs[k].c_str(), driver.c_str());
            return 1;
        }
    }
    std::vector<Run> results[2];
    for (int i = 0; i < runs; ++i) {
        for (int k = 0; k < 2; ++k) {
            const int which = (i + k) % 2;  // alternate which one goes first
            const Run r = startOnce(companion, programs[which]);
            if (!r.ok) {
                std::fprintf(stderr, "%s failed in run %d\n", names[which], i + 1);
                return 1;
            }
            results[which].push_back(r);
        }
    }
    const Summary s[2] = {summarise(results[0]), summarise(results[1])};
    std::printf("wine, graphics driver %s, %d runs each, alternating; medians\n", driver.c_str(),
                runs);
    std::printf("%-14s %12s %18s %12s %15s\n", "", "shown (ms)", "shown min-max", "exited (ms)",
                "peak RSS (MiB)");
    for (int k = 0; k < 2; ++k) {
        std::printf("%-14s %12.1f %8.1f-%-9.1f %12.1f %15.1f\n", names[k], s[k].shownMs,
                    s[k].shownMinMs, s[k].shownMaxMs, s[k].exitMs, s[k].peakMiB);
    }
    const double shownRatio = s[0].shownMs / s[1].shownMs;
    const double exitRatio = s[0].exitMs / s[1].exitMs;
    const double peakRatio = s[0].peakMiB / s[1].peakMiB;
    char extremes[32];
    std::snprintf(extremes, sizeof extremes, "%.2fx-%.2fx", s[0].shownMinMs / s[1].shownMinMs,
                  s[0].shownMaxMs / s[1].shownMaxMs);
    std::printf("%-14s %11.2fx %18s %11.2fx %14.2fx\n", "ratio", shownRatio, extremes, exitRatio,
                peakRatio);
    // The two starts of a run follow each other, so load that comes and goes
    // weighs on both alike; the median of the runs' own ratios says so.
    std::vector<double> paired;
    for (int i = 0; i < runs; ++i) paired.push_back(results[0][i].shownMs / results[1][i].shownMs);
    std::printf("shown, run by run: median ratio %.2fx\n", median(paired));
    std::printf("goal: shown <= 1.3x: %s; peak memory <= 1.3x: %s\n",
                shownRatio <= 1.3 ? "met" : "NOT met", peakRatio <= 1.3 ? "met" : "NOT met");
    return 0;
}
