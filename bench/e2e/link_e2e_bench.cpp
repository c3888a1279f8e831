// SPDX-License-Identifier: GPL-3.0-or-later
// Round trip of "Read encoders" through the whole running link (request pipe,
// worker, serial port, simulated controller, reader, pipe, worker, listener)
// beside the floor: the same 4 + 13 bytes between two threads over a pty.
// Also the CPU the connected link takes while idle, and heap allocations per
// round trip on the link's side.
//
// Latencies are reported as counters in microseconds: median_us and p99_us.

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <span>
#include <thread>
#include <vector>

#include "bench/support/connected_link.h"
#include "bench/support/counting_new.h"
#include "sim/pty_server.h"

namespace zr8 {
namespace {

using bench::ConnectedLink;
using bench::gAllocations;
using bench::median;
using bench::nowNanos;
using bench::tExcluded;
using Clock = bench::Clock;

// When the simulator last received a frame and last handed reply bytes to
// the pty, from its trace (called on its thread).
std::atomic<int64_t> gSimReceivedAt{0};
std::atomic<int64_t> gSimSentAt{0};
// 4 + 13 bytes at 115200 baud, 8N1: ten bits a byte.
constexpr double kWireMicros = 17 * 10 * 1e6 / 115200.0;

// The program's link, connected to the simulator, with the real 250 ms heartbeat.
struct SimulatedLink {
    sim::PtyServer sim;
    std::unique_ptr<ConnectedLink> link;
    bool ok = false;

    SimulatedLink() {
        sim.setTraceSink([](sim::TraceDirection direction, std::span<const uint8_t>) {
            tExcluded = true;
            if (direction == sim::TraceDirection::Received) gSimReceivedAt = nowNanos();
            if (direction == sim::TraceDirection::Sent) gSimSentAt = nowNanos();
        });
        if (!sim.start()) return;
        link = std::make_unique<ConnectedLink>(sim.slavePath());
        ok = link->ok;
    }
};

void reportPercentiles(benchmark::State& state, const std::vector<double>& micros) {
    if (micros.empty()) return;
    state.counters["median_us"] = median(micros);
    state.counters["p99_us"] = bench::percentile99(micros);
    state.counters["wire_us"] = kWireMicros;
}

void BM_ReadEncodersThroughTheLink(benchmark::State& state) {
    SimulatedLink simulated;
    if (!simulated.ok) {
        state.SkipWithError("could not connect to the simulator");
        return;
    }
    ConnectedLink& link = *simulated.link;
    // Measured from the call of readEncoders to the link's onPositions call;
    // the stages around the simulator and the hand-over to the waiting
    // thread are reported beside it.
    std::vector<double> micros, toSim, inSim, fromSim, toWaiter;
    for (auto* v : {&micros, &toSim, &inSim, &fromSim, &toWaiter}) v->reserve(1 << 20);
    uint64_t expected = link.waiter.positions();
    // Warm up: the first reads fault pages in and settle the threads.
    for (int i = 0; i < 50; ++i) {
        link.comm->readEncoders(0);
        link.waiter.waitPositions(++expected);
    }
    const uint64_t allocationsBefore = gAllocations.load();
    for (auto _ : state) {
        const int64_t begin = nowNanos();
        link.comm->readEncoders(0);
        if (!link.waiter.waitPositions(++expected)) {
            state.SkipWithError("no reply");
            break;
        }
        const int64_t woken = nowNanos();
        const int64_t reported = link.waiter.positionsAt();
        const int64_t received = gSimReceivedAt.load();
        const int64_t sent = gSimSentAt.load();
        micros.push_back(static_cast<double>(reported - begin) / 1000.0);
        toSim.push_back(static_cast<double>(received - begin) / 1000.0);
        inSim.push_back(static_cast<double>(sent - received) / 1000.0);
        fromSim.push_back(static_cast<double>(reported - sent) / 1000.0);
        toWaiter.push_back(static_cast<double>(woken - reported) / 1000.0);
        state.SetIterationTime(static_cast<double>(reported - begin) * 1e-9);
    }
    const uint64_t allocations = gAllocations.load() - allocationsBefore;
    state.counters["allocs_per_round_trip"] =
        static_cast<double>(allocations) / static_cast<double>(std::max<size_t>(1, micros.size()));
    state.counters["to_sim_us"] = median(toSim);
    state.counters["in_sim_us"] = median(inSim);
    state.counters["from_sim_us"] = median(fromSim);
    state.counters["to_waiter_us"] = median(toWaiter);
    reportPercentiles(state, micros);
}
BENCHMARK(BM_ReadEncodersThroughTheLink)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(1.0);

// The floor: a thread writes the 4-byte request into a raw pty slave, a second
// thread reads it from the master and answers (11 bytes is the size of the
// real reply, 55 09 7A and two words; 13 is measured too), the first reads it.
bool readExactly(int fd, uint8_t* buffer, size_t count) {
    size_t got = 0;
    while (got < count) {
        pollfd entry{fd, POLLIN, 0};
        if (::poll(&entry, 1, 5000) <= 0) return false;
        const ssize_t n = ::read(fd, buffer + got, count - got);
        if (n <= 0) return false;
        got += static_cast<size_t>(n);
    }
    return true;
}

void BM_PtyRoundTripFloor(benchmark::State& state) {
    const size_t replySize = static_cast<size_t>(state.range(0));
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        state.SkipWithError("no pty");
        return;
    }
    const int slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios raw{};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);

    std::atomic<bool> stop{false};
    std::thread device([&] {
        uint8_t request[4];
        const uint8_t reply[13] = {0x55, 0x0B, 0x7A, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
        while (!stop && readExactly(master, request, sizeof request)) {
            if (::write(master, reply, replySize) != static_cast<ssize_t>(replySize)) break;
        }
    });
    const uint8_t request[4] = {0xAA, 0x02, 0x7A, 0x01};
    uint8_t reply[13];
    std::vector<double> micros;
    micros.reserve(1 << 20);
    for (int i = 0; i < 50; ++i) {
        (void)!::write(slave, request, sizeof request);
        readExactly(slave, reply, replySize);
    }
    for (auto _ : state) {
        const auto begin = Clock::now();
        if (::write(slave, request, sizeof request) != 4 || !readExactly(slave, reply, replySize)) {
            state.SkipWithError("pty round trip failed");
            break;
        }
        const auto end = Clock::now();
        micros.push_back(std::chrono::duration<double, std::micro>(end - begin).count());
        state.SetIterationTime(std::chrono::duration<double>(end - begin).count());
    }
    stop = true;
    (void)!::write(slave, request, sizeof request);  // let the device thread see stop
    device.join();
    ::close(slave);
    ::close(master);
    reportPercentiles(state, micros);
}
BENCHMARK(BM_PtyRoundTripFloor)
    ->Arg(11)
    ->Arg(13)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(1.0);

// The simulated controller alone: the 4-byte request written straight into
// the pty and the 13-byte reply read back, no link in between. The link's own
// share of the round trip is the difference to the first benchmark.
void BM_SimulatorRoundTripDirect(benchmark::State& state) {
    sim::PtyServer sim;
    if (!sim.start()) {
        state.SkipWithError("no simulator");
        return;
    }
    SerialPort port;
    PortError error;
    if (!port.open(sim.slavePath().c_str(), 115200, error)) {
        state.SkipWithError("cannot open the simulator's pty");
        return;
    }
    const uint8_t request[4] = {0xAA, 0x02, 0x7A, 0x01};
    WaitableEvent never;
    auto roundTrip = [&] {
        if (!port.write(request, sizeof request, 1000)) return false;
        // The reply: 55, its length, then that many bytes (55 09 7A and two words).
        uint8_t reply[128];
        size_t got = 0;
        while (got < 2 || got < size_t{reply[1]} + 2) {
            size_t received = 0;
            if (port.readSome(reply + got, sizeof reply - got, received, never) !=
                SerialPort::ReadOutcome::Data) {
                return false;
            }
            got += received;
        }
        return got == size_t{reply[1]} + 2;
    };
    for (int i = 0; i < 50; ++i) roundTrip();
    std::vector<double> micros;
    micros.reserve(1 << 20);
    for (auto _ : state) {
        const auto begin = Clock::now();
        if (!roundTrip()) {
            state.SkipWithError("no reply");
            break;
        }
        const auto end = Clock::now();
        micros.push_back(std::chrono::duration<double, std::micro>(end - begin).count());
        state.SetIterationTime(std::chrono::duration<double>(end - begin).count());
    }
    reportPercentiles(state, micros);
}
BENCHMARK(BM_SimulatorRoundTripDirect)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(1.0);

// CPU of the whole process (link, heartbeat and the idle simulator) while
// connected and idle, as a share of one core.
double processCpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void BM_ConnectedIdleCpu(benchmark::State& state) {
    SimulatedLink simulated;
    if (!simulated.ok) {
        state.SkipWithError("could not connect to the simulator");
        return;
    }
    const double seconds = static_cast<double>(state.range(0));
    double cpu = 0.0, wall = 0.0;
    uint64_t allocations = 0;
    for (auto _ : state) {
        const double cpuBefore = processCpuSeconds();
        const uint64_t allocationsBefore = gAllocations.load();
        const auto begin = Clock::now();
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        wall = std::chrono::duration<double>(Clock::now() - begin).count();
        cpu = processCpuSeconds() - cpuBefore;
        allocations = gAllocations.load() - allocationsBefore;
    }
    state.counters["cpu_percent_of_core"] = 100.0 * cpu / wall;
    // About four heartbeat ticks a second travel the pipe meanwhile.
    state.counters["allocs_while_idle"] = static_cast<double>(allocations);
}
BENCHMARK(BM_ConnectedIdleCpu)->Arg(10)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace zr8

BENCHMARK_MAIN();
