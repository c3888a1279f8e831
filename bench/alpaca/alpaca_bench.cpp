// SPDX-License-Identifier: GPL-3.0-or-later
// zr8-alpaca as a whole process, connected to the simulated controller on a
// pty (served by this process), measured from outside:
// - the latency of GET rightascension while `clients` clients (20 unless
//   given) each send one request after another on a connection of their
//   own: median and 99th percentile of every request, from the first byte
//   sent to the last byte of the answer; goal p99 <= 10 ms;
// - the CPU the server takes while connected and idle (its position polls
//   and the heartbeat go on): the time its threads ran over wall time, from
//   /proc; goal <= 0.1 % of one core.
//
//   alpaca_bench [--clients N] [--seconds S] [--idle S]

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "sim/pty_server.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// One keep-alive HTTP/1.1 connection; requests one at a time.
class Client {
public:
    explicit Client(uint16_t port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_port = htons(port);
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const int one = 1;
        ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0) close();
    }
    ~Client() { close(); }

    // The answer's body, or empty when the exchange failed.
    std::string exchange(const std::string& request) {
        if (fd_ < 0 || ::send(fd_, request.data(), request.size(), MSG_NOSIGNAL) < 0) return {};
        std::string in;
        char buffer[4096];
        size_t bodyAt = std::string::npos, length = 0;
        while (bodyAt == std::string::npos || in.size() < bodyAt + length) {
            const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n <= 0) return {};
            in.append(buffer, static_cast<size_t>(n));
            if (bodyAt == std::string::npos &&
                (bodyAt = in.find("\r\n\r\n")) != std::string::npos) {
                const size_t field = in.find("Content-Length: ");
                length = field < bodyAt ? std::strtoul(in.c_str() + field + 16, nullptr, 10) : 0;
                bodyAt += 4;
            }
        }
        return in.substr(bodyAt, length);
    }

private:
    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    int fd_ = -1;
};

std::string get(const std::string& member) {
    return "GET /api/v1/telescope/0/" + member + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
}

std::string put(const std::string& member, const std::string& body) {
    return "PUT /api/v1/telescope/0/" + member +
           " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/x-www-form-urlencoded\r\n"
           "Content-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

// The server's own CPU time so far, in seconds: the sum over its threads
// of the scheduler's nanosecond count (the tick counts of /proc/PID/stat,
// 10 ms each, are too coarse for an idle process).
double cpuSeconds(pid_t pid) {
    double total = 0;
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    std::error_code ec;
    for (const auto& task : std::filesystem::directory_iterator(tasks, ec)) {
        std::ifstream stat(task.path() / "schedstat");
        double nanoseconds = 0;
        if (stat >> nanoseconds) total += nanoseconds / 1e9;
    }
    return total;
}

double percentile(std::vector<double>& sorted, double p) {
    return sorted[std::min(sorted.size() - 1, static_cast<size_t>(p * (sorted.size() - 1) + 0.5))];
}

}  // namespace

int main(int argc, char** argv) {
    int clients = 20;
    double seconds = 10, idle = 30;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--clients")
            clients = std::atoi(argv[i + 1]);
        else if (option == "--seconds")
            seconds = std::atof(argv[i + 1]);
        else if (option == "--idle")
            idle = std::atof(argv[i + 1]);
    }

    zr8::sim::PtyServer sim(zr8::sim::SimConfig{}, zr8::sim::FaultConfig{});
    std::string error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "alpaca_bench: %s\n", error.c_str());
        return 1;
    }
    const std::filesystem::path settings =
        std::filesystem::temp_directory_path() / ("alpaca-bench-" + std::to_string(::getpid()));

    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return 1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    const std::string settingsFile = (settings / "settings.json").string();
    std::vector<std::string> args = {ZR8_ALPACA_PATH, "--settings",  settingsFile, "--serial-port",
                                     sim.slavePath(), "--http-port", "0"};
    std::vector<char*> argvOut;
    for (std::string& a : args) argvOut.push_back(a.data());
    argvOut.push_back(nullptr);
    pid_t server = -1;
    if (posix_spawn(&server, argvOut[0], &actions, nullptr, argvOut.data(), environ) != 0) return 1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    std::string banner;
    char c = 0;
    while (banner.find('\n') == std::string::npos && ::read(out[0], &c, 1) == 1) banner += c;
    const size_t colon = banner.find(':', banner.find("127.0.0.1"));
    const uint16_t port = colon == std::string::npos
                              ? 0
                              : static_cast<uint16_t>(std::atoi(banner.c_str() + colon + 1));
    int status = 1;
    if (port == 0) {
        std::fprintf(stderr, "alpaca_bench: the server said \"%s\"\n", banner.c_str());
    } else {
        Client control(port);
        const std::string connected = control.exchange(put("connected", "Connected=true"));
        if (connected.find("\"ErrorNumber\":0") == std::string::npos) {
            std::fprintf(stderr, "alpaca_bench: no connection: %s\n", connected.c_str());
        } else {
            // Latency: every client on its own connection, closed loop.
            std::atomic<bool> stop{false};
            std::atomic<long> failures{0};
            std::vector<std::vector<double>> latencies(static_cast<size_t>(clients));
            std::vector<std::thread> threads;
            for (int t = 0; t < clients; ++t) {
                threads.emplace_back([&, t] {
                    Client client(port);
                    std::vector<double>& mine = latencies[static_cast<size_t>(t)];
                    mine.reserve(1 << 20);
                    const std::string request = get("rightascension");
                    while (!stop) {
                        const auto start = Clock::now();
                        const std::string body = client.exchange(request);
                        const auto end = Clock::now();
                        if (body.find("\"ErrorNumber\":0") == std::string::npos) ++failures;
                        mine.push_back(
                            std::chrono::duration<double, std::milli>(end - start).count());
                    }
                });
            }
            std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
            stop = true;
            for (std::thread& t : threads) t.join();
            std::vector<double> all;
            for (const auto& l : latencies) all.insert(all.end(), l.begin(), l.end());
            std::sort(all.begin(), all.end());
            const double p99 = percentile(all, 0.99);
            std::printf(
                "GET rightascension, %d clients, %.0f s: %zu requests (%.0f/s), %ld failed\n",
                clients, seconds, all.size(), all.size() / seconds, failures.load());
            std::printf("  median %.3f ms, p99 %.3f ms, max %.3f ms; goal p99 <= 10 ms: %s\n",
                        percentile(all, 0.5), p99, all.back(), p99 <= 10 ? "met" : "missed");

            // Idle: connected, no client.
            const double before = cpuSeconds(server);
            const auto start = Clock::now();
            std::this_thread::sleep_for(std::chrono::duration<double>(idle));
            const double cpu = cpuSeconds(server) - before;
            const double wall = std::chrono::duration<double>(Clock::now() - start).count();
            std::printf("idle and connected, %.0f s: %.3f %% of one core; goal <= 0.1 %%: %s\n",
                        wall, 100 * cpu / wall, 100 * cpu / wall <= 0.1 ? "met" : "missed");
            status = failures == 0 ? 0 : 1;
        }
    }
    ::kill(server, SIGTERM);
    int exit = 0;
    while (::waitpid(server, &exit, 0) < 0 && errno == EINTR) {}
    ::close(out[0]);
    std::filesystem::remove_all(settings);
    return status;
}
