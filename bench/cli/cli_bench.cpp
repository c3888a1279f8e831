// SPDX-License-Identifier: GPL-3.0-or-later
// Wall time of `zr8ctl info` and `zr8ctl read`, whole processes from start
// to exit, against the simulated controller on a pty, beside the waits that
// the connect sequence itself is built from: the 500 ms pause after the port
// opens and the 2 heartbeat ticks of 250 ms after the identify reply. The
// link's own connect (CommControl and the 250 ms heartbeat in this process,
// from the connect request to the configuration) is measured too, so the
// share of the process around it shows.
//
//   cli_bench [--runs N]
//
// One discarded warm-up run of each comes first; then the three are run in
// turn, N times each. Medians are reported.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "app/heart_beat.h"
#include "link/comm_control.h"
#include "platform/port_catalogue.h"
#include "sim/pty_server.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// The connect sequence's own waits: the pause after opening, then two ticks.
constexpr double kPauseMs = 500;
constexpr double kTickMs = zr8::HeartBeat::kDefaultPeriodMs;
constexpr double kWaitsMs = kPauseMs + 2 * kTickMs;
constexpr double kGoal = 1.2;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// One whole zr8ctl run, its output thrown away; negative when it failed.
double timeProgram(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto start = Clock::now();
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    const double ms = msSince(start);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ms : -1;
}

class Configured final : public zr8::iNotificationListener {
public:
    void onStatus(int32_t) override {}
    void onConfiguration(int32_t, int32_t, const zr8::MountConfig&,
                         const zr8::EncoderConfig&) override {
        std::lock_guard lock(mutex_);
        done_ = true;
        changed_.notify_all();
    }
    void onMeridianFlipQuery(int32_t) override {}
    void reservedNotification(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                              int32_t) override {}
    void onPositions(const zr8::EncoderPositions&) override {}
    void onConnection(const zr8::ConnectionInfo&) override {}
    bool wait() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(15), [&] { return done_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool done_ = false;
};

class FixedClock final : public zr8::iSkyClock {
public:
    long double localSiderealTime() const override { return 0; }
};

// The link alone, wired as the programs wire it: from the connect request
// (the heartbeat started just before, as in zr8ctl) to the configuration.
double timeLinkConnect(const std::string& device) {
    zr8::PortCatalogue ports(zr8::PortCatalogue::DeviceScanner{});
    const uint8_t number = ports.addDevicePath(device);
    Configured listener;
    FixedClock clock;
    zr8::EncoderConfig format;
    zr8::HeartBeat heartBeat;
    zr8::CommControl link(listener, clock, format, ports);
    heartBeat.setListener(&link);
    const auto start = Clock::now();
    heartBeat.start();
    link.connect(number, 115200);
    const bool done = listener.wait();
    const double ms = msSince(start);
    heartBeat.clearListener();
    link.shutdown();
    heartBeat.stop();
    return done ? ms : -1;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

}  // namespace

int main(int argc, char* argv[]) {
    int runs = 11;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) {
            runs = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: %s [--runs N]\n", argv[0]);
            return 2;
        }
    }
    if (runs < 1) {
        std::fprintf(stderr, "--runs needs a positive number\n");
        return 2;
    }
    zr8::sim::PtyServer sim;
    std::string error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return 1;
    }
    const std::string device = sim.slavePath();
    const std::vector<std::string> info{ZR8CTL_PATH, "--port", device, "info"};
    const std::vector<std::string> read{ZR8CTL_PATH, "--port", device, "read"};

    const char* names[3] = {"link connect (in process)", "zr8ctl info", "zr8ctl read"};
    auto once = [&](int which) {
        switch (which) {
        case 0:
            return timeLinkConnect(device);
        case 1:
            return timeProgram(info);
        default:
            return timeProgram(read);
        }
    };
    for (int which = 0; which < 3; ++which) {
        if (once(which) < 0) {
            std::fprintf(stderr, "%s failed\n", names[which]);
            return 1;
        }
    }
    std::vector<double> times[3];
    for (int i = 0; i < runs; ++i) {
        for (int which = 0; which < 3; ++which) {
            const double ms = once(which);
            if (ms < 0) {
                std::fprintf(stderr, "%s failed in run %d\n", names[which], i + 1);
                return 1;
            }
            times[which].push_back(ms);
        }
    }
    std::printf(
        "%d runs each, in turn; medians. The connect sequence's own waits: %.0f ms pause "
        "+ 2 ticks of %.0f ms = %.0f ms\n",
        runs, kPauseMs, kTickMs, kWaitsMs);
    std::printf("%-28s %12s %12s %12s %16s\n", "", "median (ms)", "min (ms)", "max (ms)",
                "ratio to waits");
    double worst = 0;
    for (int which = 0; which < 3; ++which) {
        const double m = median(times[which]);
        const auto [lo, hi] = std::minmax_element(times[which].begin(), times[which].end());
        std::printf("%-28s %12.1f %12.1f %12.1f %15.3fx\n", names[which], m, *lo, *hi,
                    m / kWaitsMs);
        if (which > 0) worst = std::max(worst, m / kWaitsMs);
    }
    std::printf("goal: zr8ctl info and read at most %.1fx the waits: %s\n", kGoal,
                worst <= kGoal ? "met" : "NOT met");
    return 0;
}
