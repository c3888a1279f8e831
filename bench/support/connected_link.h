// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's link as the benchmarks run it: CommControl with the real
// 250 ms heartbeat, connected to a device, reporting to a listener that
// notes when a reading arrived.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/heart_beat.h"
#include "link/comm_control.h"
#include "link/status_codes.h"
#include "platform/port_catalogue.h"

namespace zr8::bench {

using Clock = std::chrono::steady_clock;

inline int64_t nowNanos() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

class FixedClock : public iSkyClock {
public:
    long double localSiderealTime() const override { return 10.0L; }
};

class Waiter : public iNotificationListener {
public:
    void onStatus(int32_t) override {}
    void onConfiguration(int32_t code, int32_t, const MountConfig&, const EncoderConfig&) override {
        std::lock_guard lock(mutex_);
        connected_ = code == StatusConnected;
        changed_.notify_all();
    }
    void onMeridianFlipQuery(int32_t) override {}
    void reservedNotification(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                              int32_t) override {}
    void onConnection(const ConnectionInfo&) override {}
    void onPositions(const EncoderPositions&) override {
        const int64_t at = nowNanos();
        std::lock_guard lock(mutex_);
        positionsAt_ = at;
        ++positions_;
        changed_.notify_all();
    }
    bool waitConnected() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return connected_; });
    }
    uint64_t positions() {
        std::lock_guard lock(mutex_);
        return positions_;
    }
    int64_t positionsAt() {
        std::lock_guard lock(mutex_);
        return positionsAt_;
    }
    bool waitPositions(uint64_t count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(5),
                                 [&] { return positions_ >= count; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool connected_ = false;
    uint64_t positions_ = 0;
    int64_t positionsAt_ = 0;
};

// Connected to `device` at 115200 baud once constructed, if `ok`.
struct ConnectedLink {
    PortCatalogue ports{PortCatalogue::DeviceScanner{}};
    FixedClock clock;
    Waiter waiter;
    HeartBeat heartBeat;
    std::unique_ptr<CommControl> comm;
    bool ok = false;

    explicit ConnectedLink(const std::string& device) {
        const uint8_t number = ports.addDevicePath(device);
        EncoderConfig format;
        format.raBitsPerRev = format.decBitsPerRev = 25;
        format.raLeadingBits = format.decLeadingBits = 12;
        comm = std::make_unique<CommControl>(waiter, clock, format, ports);
        heartBeat.setListener(comm.get());
        heartBeat.start();
        comm->connect(number, 115200);
        ok = waiter.waitConnected();
    }
    ~ConnectedLink() {
        heartBeat.clearListener();
        if (comm) comm->shutdown();
        comm.reset();
        heartBeat.stop();
    }
    ConnectedLink(const ConnectedLink&) = delete;
    ConnectedLink& operator=(const ConnectedLink&) = delete;
};

inline double median(std::vector<double> values) {
    if (values.empty()) return 0.0;
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

inline double percentile99(std::vector<double> values) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, values.size() * 99 / 100)];
}

}  // namespace zr8::bench
