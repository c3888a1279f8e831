// SPDX-License-Identifier: GPL-3.0-or-later
// Starts zr8-setup and an empty Qt dialog alternately on a private X server
// and reports for both the median time to the shown window, the time to exit
// and the peak resident memory, and their ratios.
//
//   startup_bench [--runs N]
//
// The programs are the ones that ship: nothing in them measures. The bench
// watches the X server as a window manager would: "shown" is the first
// exposure of the top-level window with the program's title; it then asks
// that window to close (WM_DELETE_WINDOW) and waits for the program to exit.
// It starts its own Xvfb, so that no other client's windows count. One
// discarded warm-up run each comes first, so both start from a warm page
// cache.

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/startup/start_runs.h"
#include "tests/support/x11/x_server.h"

namespace {

using zr8::bench::Clock;
using zr8::bench::median;
using zr8::bench::msSince;
using Run = zr8::bench::StartRun;

struct Program {
    const char* name;
    const char* path;
    const char* titlePrefix;
};

// One start: the watch is on the display before the program starts, so its
// window cannot be missed; then fork, exec, wait for the window, close it
// and collect the exit status and peak RSS from wait4.
Run startOnce(const Program& program, const std::string& display) {
    Run run;
    zr8::x_test::WindowManager watch(display);
    if (!watch.ok()) return run;
    const auto start = Clock::now();
    const pid_t child = fork();
    if (child < 0) return run;
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        execl(program.path, program.path, static_cast<char*>(nullptr));
        _exit(127);
    }
    const auto running = [child] { return waitpid(child, nullptr, WNOHANG) == 0; };
    const uint32_t window = watch.waitShown(program.titlePrefix, std::chrono::seconds(30), running);
    if (window != 0) {
        run.shownMs = msSince(start);
        watch.close(window);
    } else {
        kill(child, SIGKILL);
    }
    int status = 0;
    rusage usage{};
    while (wait4(child, &status, 0, &usage) < 0 && errno == EINTR) {}
    run.exitMs = msSince(start);
    run.peakKiB = usage.ru_maxrss;
    run.ok = window != 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

struct Summary {
    double shownMs, exitMs, peakMiB;
};

Summary summarise(const std::vector<Run>& runs) {
    std::vector<double> shown, exited, peak;
    for (const Run& r : runs) {
        shown.push_back(r.shownMs);
        exited.push_back(r.exitMs);
        peak.push_back(static_cast<double>(r.peakKiB) / 1024.0);
    }
    return {median(shown), median(exited), median(peak)};
}

}  // namespace

int main(int argc, char* argv[]) {
    int runs = 21;
    if (argc == 3 && std::string(argv[1]) == "--runs") {
        runs = std::atoi(argv[2]);
    } else if (argc != 1) {
        std::fprintf(stderr, "usage: %s [--runs N]\n", argv[0]);
        return 2;
    }
    if (runs < 1) {
        std::fprintf(stderr, "--runs needs a positive number\n");
        return 2;
    }
    const Program programs[2] = {
        {"zr8-setup", ZR8_SETUP_PATH, "ZR8 Encoder setup 1.1. ("},
        {"empty QDialog", ZR8_EMPTY_DIALOG_PATH, "empty dialog"},
    };
    zr8::x_test::PrivateXServer display;
    std::string error;
    if (!display.start(error)) {
        std::fprintf(stderr, "startup_bench: %s\n", error.c_str());
        return 1;
    }
    setenv("DISPLAY", display.display().c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);

    for (const Program& program : programs) {
        if (!startOnce(program, display.display()).ok) {
            std::fprintf(stderr, "%s did not start, show its window and exit 0 on display %s\n",
                         program.path, display.display().c_str());
            return 1;
        }
    }
    std::vector<Run> results[2];
    for (int i = 0; i < runs; ++i) {
        for (int k = 0; k < 2; ++k) {
            const int which = (i + k) % 2;  // alternate which one goes first
            const Run r = startOnce(programs[which], display.display());
            if (!r.ok) {
                std::fprintf(stderr, "%s failed in run %d (shown %.1f ms, exited %.1f ms)\n",
                             programs[which].name, i + 1, r.shownMs, r.exitMs);
                return 1;
            }
            results[which].push_back(r);
        }
    }
    const Summary s[2] = {summarise(results[0]), summarise(results[1])};
    std::printf("xcb on a private Xvfb, %d runs each, alternating; medians\n", runs);
    std::printf("%-14s %14s %14s %14s\n", "", "shown (ms)", "exited (ms)", "peak RSS (MiB)");
    for (int k = 0; k < 2; ++k)
        std::printf("%-14s %14.1f %14.1f %14.1f\n", programs[k].name, s[k].shownMs, s[k].exitMs,
                    s[k].peakMiB);
    const double shownRatio = s[0].shownMs / s[1].shownMs;
    const double exitRatio = s[0].exitMs / s[1].exitMs;
    const double peakRatio = s[0].peakMiB / s[1].peakMiB;
    std::printf("%-14s %13.2fx %13.2fx %13.2fx\n", "ratio", shownRatio, exitRatio, peakRatio);
    std::printf("goal: shown <= 1.5x: %s; peak memory <= 1.3x: %s\n",
                shownRatio <= 1.5 ? "met" : "NOT met", peakRatio <= 1.3 ? "met" : "NOT met");
    return 0;
}
