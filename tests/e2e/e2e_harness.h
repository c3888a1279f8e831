#pragma once
// What the end-to-end tests share: the program's wiring of CommControl and
// HeartBeat against a simulated ZR8 on a pty, and a listener that records
// everything the link reports. Every wait is for a condition, with a deadline.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/heart_beat.h"
#include "link/comm_control.h"
#include "link/status_codes.h"
#include "platform/port_catalogue.h"
#include "sim/pty_server.h"
#include "tests/support/line_filler.h"

namespace zr8::e2e_test {

using namespace std::chrono_literals;
using test::LineFiller;
using Bytes = std::vector<uint8_t>;

inline constexpr auto kDeadline = 10s;

class FixedClock : public iSkyClock {
public:
    long double localSiderealTime() const override { return 10.0L; }
};

// Everything the link reports, in order, and whether it came after shutdown.
class Recorder : public iNotificationListener {
public:
    void onStatus(int32_t statusCode) override {
        std::lock_guard lock(mutex_);
        note();
        statuses_.push_back(statusCode);
        changed_.notify_all();
    }
    void onConfiguration(int32_t statusCode, int32_t extra, const MountConfig& mount,
                         const EncoderConfig& encoder) override {
        std::lock_guard lock(mutex_);
        note();
        statuses_.push_back(statusCode);
        extra_ = extra;
        mount_ = mount;
        encoder_ = encoder;
        ++configurations_;
        changed_.notify_all();
    }
    void onMeridianFlipQuery(int32_t flipCase) override {
        std::lock_guard lock(mutex_);
        note();
        flipCases_.push_back(flipCase);
        changed_.notify_all();
    }
    void reservedNotification(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                              int32_t) override {}
    void onPositions(const EncoderPositions& positions) override {
        std::lock_guard lock(mutex_);
        note();
        positions_.push_back(positions);
        changed_.notify_all();
    }
    void onConnection(const ConnectionInfo& connection) override {
        std::lock_guard lock(mutex_);
        connections_.push_back(connection);
        changed_.notify_all();
    }

    // `condition` runs with the recorder's lock held.
    bool waitFor(const std::function<bool()>& condition) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, kDeadline, condition);
    }
    // Waits until `code` has been reported `count` times in all.
    bool waitForStatus(int32_t code, size_t count = 1) {
        return waitFor([&] { return countLocked(code) >= count; });
    }
    bool waitForPositions(size_t count) {
        return waitFor([&] { return positions_.size() >= count; });
    }
    size_t count(int32_t code) {
        std::lock_guard lock(mutex_);
        return countLocked(code);
    }
    // Only inside a waitFor condition (the lock is held there).
    const std::vector<int32_t>& statusesLocked() const { return statuses_; }
    std::vector<int32_t> statuses() {
        std::lock_guard lock(mutex_);
        return statuses_;
    }
    MountConfig mount() {
        std::lock_guard lock(mutex_);
        return mount_;
    }
    EncoderConfig encoder() {
        std::lock_guard lock(mutex_);
        return encoder_;
    }
    int32_t extra() {
        std::lock_guard lock(mutex_);
        return extra_;
    }
    std::vector<ConnectionInfo> connections() {
        std::lock_guard lock(mutex_);
        return connections_;
    }
    ConnectionInfo lastConnection() {
        std::lock_guard lock(mutex_);
        return connections_.empty() ? ConnectionInfo{} : connections_.back();
    }
    std::vector<EncoderPositions> positions() {
        std::lock_guard lock(mutex_);
        return positions_;
    }
    void markShutDown() { shutDown_ = true; }
    bool calledAfterShutdown() const { return calledAfterShutdown_; }

private:
    void note() {
        if (shutDown_) calledAfterShutdown_ = true;
    }
    size_t countLocked(int32_t code) const {
        size_t n = 0;
        for (int32_t s : statuses_) n += s == code ? 1 : 0;
        return n;
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<int32_t> statuses_;
    std::vector<int32_t> flipCases_;
    std::vector<EncoderPositions> positions_;
    std::vector<ConnectionInfo> connections_;
    MountConfig mount_;
    EncoderConfig encoder_;
    int32_t extra_ = 0;
    int configurations_ = 0;
    std::atomic<bool> shutDown_{false};
    std::atomic<bool> calledAfterShutdown_{false};
};

inline const Bytes kConnectFrames[] = {
    {0xAA, 0x01, 0x01}, {0xAA, 0x01, 0x03}, {0xAA, 0x01, 0x02}, {0xAA, 0x01, 0x14},
    {0xAA, 0x01, 0x15}, {0xAA, 0x01, 0x17}, {0xAA, 0x01, 0x7B},
};

inline EncoderConfig defaultFormat() {
    EncoderConfig format;
    format.raLeadingBits = format.decLeadingBits = 12;
    format.raBitsPerRev = format.decBitsPerRev = 25;
    return format;
}

// Passes the heartbeat's ticks on to the link and counts them, so a test can
// wait for the link's time to pass instead of sleeping.
class CountingTicks : public iHeartBeatListener {
public:
    void setTarget(iHeartBeatListener* target) { target_ = target; }
    void onHeartBeat() override {
        if (target_ != nullptr) target_->onHeartBeat();
        std::lock_guard lock(mutex_);
        ++ticks_;
        changed_.notify_all();
    }
    uint64_t ticks() {
        std::lock_guard lock(mutex_);
        return ticks_;
    }
    // Waits until `count` more ticks have reached the link.
    bool waitForMore(uint64_t count) {
        std::unique_lock lock(mutex_);
        const uint64_t until = ticks_ + count;
        return changed_.wait_for(lock, kDeadline, [&] { return ticks_ >= until; });
    }

private:
    iHeartBeatListener* target_ = nullptr;
    std::mutex mutex_;
    std::condition_variable changed_;
    uint64_t ticks_ = 0;
};

// The program's wiring, as start-up does it, with a fast heartbeat so the
// link's tick counts run out in test time.
class Link {
public:
    explicit Link(sim::FaultConfig faults = {}, int heartBeatMs = 20)
        : sim_(sim::SimConfig{}, faults),
          ports_(PortCatalogue::DeviceScanner{}),
          heartBeat_(heartBeatMs) {
        std::string error;
        started_ = sim_.start(&error);
        EXPECT_TRUE(started_) << error;
        simNumber_ = ports_.addDevicePath(sim_.slavePath());
        comm_ = std::make_unique<CommControl>(recorder_, clock_, defaultFormat(), ports_);
        ticks_.setTarget(comm_.get());
        heartBeat_.setListener(&ticks_);
        heartBeat_.start();
    }
    ~Link() { takeDown(); }

    // Start-up's shutdown order: heartbeat off the link, link down, heartbeat stopped.
    void takeDown() {
        if (!comm_) return;
        heartBeat_.clearListener();
        comm_->shutdown();
        recorder_.markShutDown();
        comm_.reset();
        heartBeat_.stop();
    }

    // Connects and waits for "Connection established." to have come `times` times in all.
    bool connect(size_t times = 1) {
        comm_->connect(simNumber_, 115200);
        return recorder_.waitForStatus(StatusConnected, times);
    }

    // Frames the simulator received after the connect sequence's seven.
    std::vector<Bytes> framesAfterConnect() {
        std::vector<Bytes> frames = sim_.receivedFrames();
        if (frames.size() <= std::size(kConnectFrames)) return {};
        return {frames.begin() + std::size(kConnectFrames), frames.end()};
    }
    bool waitForFramesAfterConnect(size_t count) {
        return sim_.waitForFrames(std::size(kConnectFrames) + count, kDeadline);
    }

    CommControl& comm() { return *comm_; }
    CountingTicks& ticks() { return ticks_; }
    Recorder& recorder() { return recorder_; }
    sim::PtyServer& sim() { return sim_; }
    PortCatalogue& ports() { return ports_; }
    uint8_t simNumber() const { return simNumber_; }

private:
    sim::PtyServer sim_;
    bool started_ = false;
    PortCatalogue ports_;
    uint8_t simNumber_ = 0;
    FixedClock clock_;
    Recorder recorder_;
    CountingTicks ticks_;
    HeartBeat heartBeat_;
    std::unique_ptr<CommControl> comm_;
};

inline Bytes word(uint32_t value) {
    return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
}

inline Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

}  // namespace zr8::e2e_test
