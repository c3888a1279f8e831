// SPDX-License-Identifier: GPL-3.0-or-later
// indi_bench: the driver as an INDI client sees it. The simulated ZR8 runs in
// this process on a pty and timestamps each axis-position reply it writes;
// a raw XML client on indiserver's socket timestamps each position update it
// reads. Same clock, so:
//   - reply to client update: median and p99 (goal <= 5 ms);
//   - update period against POLLING_PERIOD (goal: within 5 %);
//   - CPU of the connected, idle driver (goal <= 0.1 % of a core).
//   indi_bench [seconds]   (default 60)

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/pty_server.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kPort = 7790;
constexpr double kPollingPeriodMs = 1000;

pid_t spawn(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

void setprop(const std::string& spec) {
    const pid_t pid = spawn({INDI_SETPROP_PATH, "-p", std::to_string(kPort), "-t", "5", spec});
    if (pid > 0) waitpid(pid, nullptr, 0);
}

int clientSocket() {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(kPort);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) return s;
        ::close(s);
        std::this_thread::sleep_for(100ms);
    }
    return -1;
}

double cpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    const size_t close = text.rfind(')');
    if (close == std::string::npos) return 0;
    std::vector<std::string> fields;
    std::string field;
    for (size_t i = close + 2; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == ' ') {
            fields.push_back(field);
            field.clear();
        } else {
            field += text[i];
        }
    }
    // utime and stime are fields 14 and 15 of the whole line (11 and 12 here).
    return (std::atof(fields[11].c_str()) + std::atof(fields[12].c_str())) /
           static_cast<double>(sysconf(_SC_CLK_TCK));
}

pid_t childOf(pid_t parent) {
    std::ifstream children("/proc/" + std::to_string(parent) + "/task/" + std::to_string(parent) +
                           "/children");
    pid_t pid = -1;
    children >> pid;
    return pid;
}

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(p * (v.size() - 1) + 0.5))];
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    zr8::sim::PtyServer sim;
    std::mutex lock;
    std::vector<Clock::time_point> replies;
    sim.setTraceSink([&](zr8::sim::TraceDirection d, std::span<const uint8_t> bytes) {
        if (d == zr8::sim::TraceDirection::Sent && bytes.size() > 2 && bytes[2] == 0x1F) {
            std::lock_guard guard(lock);
            replies.push_back(Clock::now());
        }
    });
    std::string error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "indi_bench: %s\n", error.c_str());
        return 1;
    }
    char dir[] = "/tmp/zr8-indi-bench-XXXXXX";
    if (!mkdtemp(dir)) return 1;
    setenv("INDICONFIG", (std::string(dir) + "/config.xml").c_str(), 1);
    const pid_t server = spawn({INDISERVER_PATH, "-p", std::to_string(kPort), "-u",
                                std::string(dir) + "/socket", DRIVER_PATH});
    const int client = clientSocket();
    if (server <= 0 || client < 0) {
        std::fprintf(stderr, "indi_bench: indiserver did not start\n");
        return 1;
    }
    const std::string hello = "<getProperties version=\"1.7\"/>\n";
    [[maybe_unused]] ssize_t sent = ::write(client, hello.data(), hello.size());
    setprop("ZR8.DEVICE_PORT.PORT=" + sim.slavePath());
    setprop("ZR8.CONNECTION.CONNECT=On");

    std::vector<Clock::time_point> updates;
    std::string stream;
    const std::string marker = "<setNumberVector device=\"ZR8\" name=\"EQUATORIAL_EOD_COORD\"";
    bool measuring = false;
    Clock::time_point start{};
    double cpuStart = 0;
    pid_t driver = -1;
    timeval tv{0, 200000};
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    bool settling = false;  // connected and reporting: settle 2 s, then measure
    Clock::time_point settled{};
    for (;;) {
        char buffer[4096];
        const ssize_t n = ::read(client, buffer, sizeof buffer);
        const Clock::time_point now = Clock::now();
        if (n > 0) stream.append(buffer, static_cast<size_t>(n));
        for (size_t at; (at = stream.find(marker)) != std::string::npos;) {
            stream.erase(0, at + marker.size());
            if (!settling) {
                settling = true;
                settled = now + 2s;
            }
            if (measuring) updates.push_back(now);
        }
        if (stream.size() > 65536) stream.erase(0, stream.size() - 4096);
        if (settling && !measuring && now >= settled) {
            measuring = true;
            driver = childOf(server);
            cpuStart = cpuSeconds(driver);
            start = now;
            std::lock_guard guard(lock);
            replies.clear();
        }
        if (measuring && now - start > std::chrono::seconds(seconds)) break;
    }
    const double cpu = cpuSeconds(driver) - cpuStart;
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();

    std::vector<double> latencies, periods;
    {
        std::lock_guard guard(lock);
        size_t r = 0;
        for (const Clock::time_point& u : updates) {
            while (r + 1 < replies.size() && replies[r + 1] <= u) ++r;
            if (r < replies.size() && replies[r] <= u)
                latencies.push_back(
                    std::chrono::duration<double, std::milli>(u - replies[r]).count());
        }
    }
    for (size_t i = 1; i < updates.size(); ++i)
        periods.push_back(
            std::chrono::duration<double, std::milli>(updates[i] - updates[i - 1]).count());
    double mean = 0;
    for (double p : periods) mean += p;
    if (!periods.empty()) mean /= static_cast<double>(periods.size());

    std::printf("updates %zu over %.1f s\n", updates.size(), elapsed);
    for (size_t i = 0; i < periods.size(); ++i)
        if (periods[i] < kPollingPeriodMs / 2)
            std::printf("  update %zu came %.1f ms after the one before\n", i + 1, periods[i]);
    std::printf("reply to client update: median %.3f ms, p99 %.3f ms (goal <= 5 ms)\n",
                percentile(latencies, 0.5), percentile(latencies, 0.99));
    std::printf(
        "update period: mean %.1f ms, median %.1f ms, min %.1f, max %.1f; POLLING_PERIOD %.0f ms: "
        "mean off by %.2f %% (goal within 5 %%)\n",
        mean, percentile(periods, 0.5), percentile(periods, 0), percentile(periods, 1),
        kPollingPeriodMs, (mean - kPollingPeriodMs) / kPollingPeriodMs * 100);
    std::printf("driver CPU while connected and idle: %.3f %% of a core (goal <= 0.1 %%)\n",
                cpu / elapsed * 100);

    ::close(client);
    ::kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
    std::this_thread::sleep_for(500ms);
    sim.stop();
    std::filesystem::remove_all(dir);
    return 0;
}
