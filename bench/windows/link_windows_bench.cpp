// SPDX-License-Identifier: GPL-3.0-or-later
// The Windows link's figures, each beside its floor in one run, against a
// controller on a COM port (under Wine: zr8-sim on a pseudo-terminal that
// Wine serves as the port; scripts/wine-bench starts it):
//
// - BM_ReadEncodersThroughTheLink: "Read encoders" from the call of
//   readEncoders(0) to onPositions through the whole running link (request
//   pipe, worker, overlapped write, controller, reader thread, pipe, worker,
//   listener), and the heap allocations per round trip on every thread;
// - BM_OverlappedRoundTripFloor/11: its floor, the same 4 request bytes and
//   the same 11 reply bytes on the same port by bare overlapped WriteFile and
//   ReadFile from one thread, each read asking for the bytes still missing;
// - BM_OverlappedRoundTrip/128: the same with reads of 128 bytes, as the
//   link's reader asks, which end at the port's 1 ms interval time-out;
// - BM_PipeMessageHandOff and BM_EventHandOff: one request message through
//   the link's request pipe to a reader thread and back by an event, beside
//   the event hand-off alone, the two thread hand-offs that the link adds to
//   the floor;
// - BM_ConnectedIdleCpu: the CPU the process takes while connected and idle
//   (the heartbeat ticking, no requests), and the Wine server's beside it;
//   under Wine from /proc when ZR8_UNIX_PID and ZR8_WINESERVER_PID name the
//   two Linux processes (scripts/wine-bench does).
//
// The benchmarks run interleaved, one repetition of each in turn; each
// prints a line per repetition and then the median over the repetitions.
//
// Usage: link_windows_bench [--quick] [--repetitions N] PORT
//   --quick: one repetition, 100 round trips, 1 s idle (a check that it runs)

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "bench/support/connected_link.h"
#include "bench/support/counting_new.h"
#include "link/request_pipe.h"
#include "platform/serial_line.h"
#include "platform/waitable_event.h"

namespace zr8::bench {
namespace {

struct Options {
    std::string port;
    int repetitions = 5;
    int roundTrips = 2000;
    int idleSeconds = 10;
};

const uint8_t kRequest[4] = {0xAA, 0x02, 0x7A, 0x01};
// 55 09 7A and the two encoder words.
constexpr size_t kReplySize = 11;
// What the link's reader asks for in one read.
constexpr size_t kReadSlice = SerialLine::kReadSlice;

double microsSince(Clock::time_point begin) {
    return std::chrono::duration<double, std::micro>(Clock::now() - begin).count();
}

// One repetition's figures, by counter name.
using Figures = std::map<std::string, double>;

Figures latencies(const std::vector<double>& micros) {
    return {{"median_us", median(micros)}, {"p99_us", percentile99(micros)}};
}

Figures readEncodersThroughTheLink(const Options& options) {
    ConnectedLink link(options.port);
    if (!link.ok) return {};
    uint64_t expected = link.waiter.positions();
    // Warm up: the first reads fault pages in and settle the threads.
    for (int i = 0; i < 50; ++i) {
        link.comm->readEncoders(0);
        link.waiter.waitPositions(++expected);
    }
    std::vector<double> micros;
    micros.reserve(static_cast<size_t>(options.roundTrips));
    const uint64_t allocationsBefore = gAllocations.load();
    for (int i = 0; i < options.roundTrips; ++i) {
        const int64_t begin = nowNanos();
        link.comm->readEncoders(0);
        if (!link.waiter.waitPositions(++expected)) return {};
        micros.push_back(static_cast<double>(link.waiter.positionsAt() - begin) / 1000.0);
    }
    const uint64_t allocations = gAllocations.load() - allocationsBefore;
    Figures figures = latencies(micros);
    figures["allocs_per_round_trip"] =
        static_cast<double>(allocations) / static_cast<double>(options.roundTrips);
    return figures;
}

// The bare overlapped round trip: what the port and the controller take.
class BarePort {
public:
    explicit BarePort(const std::string& port) {
        const std::wstring path = L"\\\\.\\" + std::wstring(port.begin(), port.end());
        handle_ =
            ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
        event_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (handle_ == INVALID_HANDLE_VALUE || event_ == nullptr) return;
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        ::GetCommState(handle_, &dcb);
        dcb.BaudRate = 115200;
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        dcb.fBinary = TRUE;
        dcb.fParity = FALSE;
        COMMTIMEOUTS timeouts{};
        timeouts.ReadIntervalTimeout = 1;
        ok_ = ::SetCommState(handle_, &dcb) && ::SetCommTimeouts(handle_, &timeouts) &&
              ::PurgeComm(handle_, PURGE_RXCLEAR | PURGE_TXCLEAR);
    }
    ~BarePort() {
        if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
        if (event_ != nullptr) ::CloseHandle(event_);
    }
    BarePort(const BarePort&) = delete;
    BarePort& operator=(const BarePort&) = delete;
    bool ok() const { return ok_; }

    // Reads of `readSize` bytes until the whole reply is in.
    bool roundTrip(size_t readSize) {
        DWORD done = 0;
        if (!complete(::WriteFile(handle_, kRequest, sizeof kRequest, nullptr, &overlapped()),
                      done) ||
            done != sizeof kRequest) {
            return false;
        }
        uint8_t reply[kReadSlice];
        for (size_t got = 0; got < kReplySize; got += done) {
            const DWORD wanted = static_cast<DWORD>(std::min(readSize, sizeof reply - got));
            if (!complete(::ReadFile(handle_, reply + got, wanted, nullptr, &overlapped()), done)) {
                return false;
            }
        }
        return true;
    }

private:
    OVERLAPPED& overlapped() {
        overlapped_ = OVERLAPPED{};
        overlapped_.hEvent = event_;
        return overlapped_;
    }
    bool complete(BOOL started, DWORD& done) {
        if (!started && ::GetLastError() != ERROR_IO_PENDING) return false;
        if (::WaitForSingleObject(event_, 5000) != WAIT_OBJECT_0) {
            ::CancelIoEx(handle_, &overlapped_);
            ::GetOverlappedResult(handle_, &overlapped_, &done, TRUE);
            return false;
        }
        return ::GetOverlappedResult(handle_, &overlapped_, &done, FALSE) != FALSE;
    }

    HANDLE handle_ = INVALID_HANDLE_VALUE;
    HANDLE event_ = nullptr;
    OVERLAPPED overlapped_{};
    bool ok_ = false;
};

Figures overlappedRoundTrip(const Options& options, size_t readSize) {
    BarePort port(options.port);
    if (!port.ok()) return {};
    for (int i = 0; i < 50; ++i) port.roundTrip(readSize);
    std::vector<double> micros;
    micros.reserve(static_cast<size_t>(options.roundTrips));
    for (int i = 0; i < options.roundTrips; ++i) {
        const auto begin = Clock::now();
        if (!port.roundTrip(readSize)) return {};
        micros.push_back(microsSince(begin));
    }
    return latencies(micros);
}

// A reader thread that answers every message it reads from the request pipe
// (or every `ping`, with no pipe) by setting `ack`.
Figures handOff(const Options& options, bool throughThePipe) {
    RequestPipe pipe;
    WaitableEvent ping, ack, quit;
    std::thread reader([&] {
        uint8_t buffer[20];
        while (!quit.isSet()) {
            size_t received = 0;
            if (throughThePipe) {
                if (pipe.read(buffer, sizeof buffer, received, quit, -1) !=
                    BytePipe::ReadOutcome::Data) {
                    continue;
                }
            } else {
                if (!ping.wait(-1) || quit.isSet()) continue;
                ping.reset();
            }
            ack.set();
        }
    });
    const uint8_t message[3] = {0x82, 0x0B, 0x00};
    std::vector<double> micros;
    micros.reserve(static_cast<size_t>(options.roundTrips));
    for (int i = 0; i < options.roundTrips + 50; ++i) {
        const auto begin = Clock::now();
        if (throughThePipe) {
            pipe.post(message, sizeof message);
        } else {
            ping.set();
        }
        ack.wait(-1);
        ack.reset();
        if (i >= 50) micros.push_back(microsSince(begin));
    }
    quit.set();
    ping.set();
    reader.join();
    return latencies(micros);
}

// CPU seconds of a Linux process under Wine (ZR8_UNIX_PID: this one,
// ZR8_WINESERVER_PID: Wine's server), summed over its threads from /proc to
// the nanosecond; -1 when the variable is not set. Wine's GetProcessTimes
// counts in 10 ms steps, too coarse for an idle process.
double linuxCpuSeconds(const char* pidVariable) {
    const char* pid = std::getenv(pidVariable);
    if (pid == nullptr) return -1;
    const std::string tasks = std::string("Z:\\proc\\") + pid + "\\task\\";
    double seconds = 0;
    WIN32_FIND_DATAA entry;
    const HANDLE found = ::FindFirstFileA((tasks + "*").c_str(), &entry);
    if (found == INVALID_HANDLE_VALUE) return -1;
    do {
        if (entry.cFileName[0] == '.') continue;
        std::ifstream stat(tasks + entry.cFileName + "\\schedstat");
        unsigned long long nanos = 0;
        if (stat >> nanos) seconds += static_cast<double>(nanos) * 1e-9;
    } while (::FindNextFileA(found, &entry));
    ::FindClose(found);
    return seconds;
}

double processCpuSeconds() {
    const double fromProc = linuxCpuSeconds("ZR8_UNIX_PID");
    if (fromProc >= 0) return fromProc;
    FILETIME created, exited, kernel, user;
    if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    auto value = [](FILETIME t) {
        return static_cast<double>((static_cast<uint64_t>(t.dwHighDateTime) << 32) |
                                   t.dwLowDateTime) *
               1e-7;
    };
    return value(kernel) + value(user);
}

Figures connectedIdleCpu(const Options& options) {
    ConnectedLink link(options.port);
    if (!link.ok) return {};
    const double serverBefore = linuxCpuSeconds("ZR8_WINESERVER_PID");
    const double cpuBefore = processCpuSeconds();
    const uint64_t allocationsBefore = gAllocations.load();
    const auto begin = Clock::now();
    ::Sleep(static_cast<DWORD>(options.idleSeconds) * 1000);
    const double wall = std::chrono::duration<double>(Clock::now() - begin).count();
    // Before the measuring itself allocates.
    const uint64_t allocations = gAllocations.load() - allocationsBefore;
    Figures figures = {
        {"cpu_percent_of_core", 100.0 * (processCpuSeconds() - cpuBefore) / wall},
        {"allocs_while_idle", static_cast<double>(allocations)},
    };
    const double serverAfter = linuxCpuSeconds("ZR8_WINESERVER_PID");
    if (serverBefore >= 0 && serverAfter >= 0) {
        figures["wineserver_cpu_percent_of_core"] = 100.0 * (serverAfter - serverBefore) / wall;
    }
    return figures;
}

void print(const char* name, const std::string& repetition, const Figures& figures) {
    std::printf("%-32s %-8s", name, repetition.c_str());
    if (figures.empty()) std::printf(" FAILED");
    for (const auto& [counter, value] : figures) std::printf(" %s=%.4g", counter.c_str(), value);
    std::printf("\n");
    std::fflush(stdout);
}

bool parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--quick") {
            options.repetitions = 1;
            options.roundTrips = 100;
            options.idleSeconds = 1;
        } else if (arg == "--repetitions" && i + 1 < argc) {
            options.repetitions = std::max(1, std::atoi(argv[++i]));
        } else if (!arg.empty() && arg[0] != '-' && options.port.empty()) {
            options.port = arg;
        } else {
            return false;
        }
    }
    return !options.port.empty();
}

}  // namespace
}  // namespace zr8::bench

int main(int argc, char** argv) {
    using namespace zr8::bench;
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr, "usage: %s [--quick] [--repetitions N] PORT\n", argv[0]);
        return 2;
    }
    struct Benchmark {
        const char* name;
        Figures (*run)(const Options&);
        std::vector<Figures> repetitions;
    };
    std::vector<Benchmark> benchmarks = {
        {"BM_ReadEncodersThroughTheLink", readEncodersThroughTheLink, {}},
        {"BM_OverlappedRoundTripFloor/11",
         [](const Options& o) { return overlappedRoundTrip(o, kReplySize); },
         {}},
        {"BM_OverlappedRoundTrip/128",
         [](const Options& o) { return overlappedRoundTrip(o, kReadSlice); },
         {}},
        {"BM_PipeMessageHandOff", [](const Options& o) { return handOff(o, true); }, {}},
        {"BM_EventHandOff", [](const Options& o) { return handOff(o, false); }, {}},
        {"BM_ConnectedIdleCpu", connectedIdleCpu, {}},
    };
    std::printf("port %s, %d repetitions of %d round trips, %d s idle\n", options.port.c_str(),
                options.repetitions, options.roundTrips, options.idleSeconds);
    bool failed = false;
    for (int repetition = 0; repetition < options.repetitions; ++repetition) {
        for (Benchmark& benchmark : benchmarks) {
            Figures figures = benchmark.run(options);
            failed = failed || figures.empty();
            print(benchmark.name, std::to_string(repetition), figures);
            benchmark.repetitions.push_back(std::move(figures));
        }
    }
    std::map<std::string, Figures> medians;
    for (const Benchmark& benchmark : benchmarks) {
        std::map<std::string, std::vector<double>> values;
        for (const Figures& figures : benchmark.repetitions) {
            for (const auto& [counter, value] : figures) values[counter].push_back(value);
        }
        for (const auto& [counter, list] : values) medians[benchmark.name][counter] = median(list);
        print(benchmark.name, "median", medians[benchmark.name]);
    }
    const Figures& link = medians["BM_ReadEncodersThroughTheLink"];
    for (const char* floor : {"BM_OverlappedRoundTripFloor/11", "BM_OverlappedRoundTrip/128"}) {
        const Figures& bare = medians[floor];
        if (failed || bare.at("median_us") <= 0 || bare.at("p99_us") <= 0) continue;
        std::printf("link / %s: median %.2fx, p99 %.2fx\n", floor,
                    link.at("median_us") / bare.at("median_us"),
                    link.at("p99_us") / bare.at("p99_us"));
    }
    return failed ? 1 : 0;
}
