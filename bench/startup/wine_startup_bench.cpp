// SPDX-License-Identifier: GPL-3.0-or-later
// Starts the Windows program and its yardstick alternately under Wine, each
// with ZR8_EXIT_WHEN_SHOWN=1, and reports for both the median time to the
// shown window, the time to exit and the peak resident memory, and their
// ratios.
//
//   wine_startup_bench [--runs N] PREFIX-DIR ZR8-SETUP.EXE EMPTY-DIALOG.EXE
//
// The programs run in that prefix through scripts/wine-run, which becomes
// the program itself; its server is started first and kept running, so it
// is not counted. One discarded warm-up run each comes first, so both start
// from a warm page cache.

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

namespace {

using Clock = std::chrono::steady_clock;

struct Run {
    bool ok = false;
    double shownMs = 0;
    double exitMs = 0;
    long peakKiB = 0;
};

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// One start: fork, exec with the child's stdout on a pipe, note when
// "shown" arrives and when the child is gone; its peak RSS from wait4.
Run startOnce(const std::vector<std::string>& command) {
    Run run;
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return run;
    const auto start = Clock::now();
    const pid_t child = fork();
    if (child < 0) {
        close(out[0]);
        close(out[1]);
        return run;
    }
    if (child == 0) {
        dup2(out[1], STDOUT_FILENO);
        std::vector<char*> argv;
        for (const std::string& a : command) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    bool shown = false;
    std::string text;
    const auto deadline = start + std::chrono::seconds(30);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            kill(child, SIGKILL);
            break;
        }
        pollfd p{out[0], POLLIN, 0};
        const int ready = poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) continue;
        char buffer[256];
        const ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;  // the child closed its stdout: it is ending
        // A Windows program's text-mode output ends its lines with "\r\n".
        for (ssize_t i = 0; i < n; ++i) {
            if (buffer[i] != '\r') text.push_back(buffer[i]);
        }
        if (!shown && text.find("shown\n") != std::string::npos) {
            shown = true;
            run.shownMs = msSince(start);
        }
    }
    close(out[0]);
    int status = 0;
    rusage usage{};
    while (wait4(child, &status, 0, &usage) < 0 && errno == EINTR) {}
    run.exitMs = msSince(start);
    run.peakKiB = usage.ru_maxrss;
    run.ok = shown && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
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
    std::vector<std::string> commands[2];
    const char* names[2] = {"zr8-setup.exe", "empty dialog"};
    const double shownGoal = 1.3;
    int a = 1;
    if (a + 1 < argc && std::string(argv[a]) == "--runs") {
        runs = std::atoi(argv[a + 1]);
        a += 2;
    }
    if (argc - a != 3) {
        std::fprintf(stderr, "usage: %s [--runs N] PREFIX ZR8-SETUP.EXE EMPTY-DIALOG.EXE\n",
                     argv[0]);
        return 2;
    }
    for (int k = 0; k < 2; ++k) commands[k] = {ZR8_WINE_RUN, argv[a], argv[a + 1 + k]};
    if (runs < 1) {
        std::fprintf(stderr, "--runs needs a positive number\n");
        return 2;
    }
    const std::string platform = "wine";
    setenv("ZR8_EXIT_WHEN_SHOWN", "1", 1);

    for (int k = 0; k < 2; ++k) {
        if (!startOnce(commands[k]).ok) {
            std::fprintf(stderr, "%s did not start, show its window and exit 0 (platform %s)\n",
                         commands[k].back().c_str(), platform.c_str());
            return 1;
        }
    }
    std::vector<Run> results[2];
    for (int i = 0; i < runs; ++i) {
        for (int k = 0; k < 2; ++k) {
            const int which = (i + k) % 2;  // alternate which one goes first
            const Run r = startOnce(commands[which]);
            if (!r.ok) {
                std::fprintf(stderr, "%s failed in run %d\n", names[which], i + 1);
                return 1;
            }
            results[which].push_back(r);
        }
    }
    const Summary s[2] = {summarise(results[0]), summarise(results[1])};
    std::printf("platform %s, %d runs each, alternating; medians\n", platform.c_str(), runs);
    std::printf("%-14s %14s %14s %14s\n", "", "shown (ms)", "exited (ms)", "peak RSS (MiB)");
    for (int k = 0; k < 2; ++k)
        std::printf("%-14s %14.1f %14.1f %14.1f\n", names[k], s[k].shownMs, s[k].exitMs,
                    s[k].peakMiB);
    const double shownRatio = s[0].shownMs / s[1].shownMs;
    const double exitRatio = s[0].exitMs / s[1].exitMs;
    const double peakRatio = s[0].peakMiB / s[1].peakMiB;
    std::printf("%-14s %13.2fx %13.2fx %13.2fx\n", "ratio", shownRatio, exitRatio, peakRatio);
    std::printf("goal: shown <= %.1fx: %s; peak memory <= 1.3x: %s\n", shownGoal,
                shownRatio <= shownGoal ? "met" : "NOT met", peakRatio <= 1.3 ? "met" : "NOT met");
    return 0;
}
