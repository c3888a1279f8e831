// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the tests of the running link share on every system: a listener that
// records everything the link reports and lets a test wait for it, a fixed
// sky clock, and a heartbeat listener that counts the ticks it passes on.
// Every wait is for a condition, with a deadline.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "link/heartbeat_listener.h"
#include "link/notification_listener.h"
#include "link/sky_clock.h"

namespace zr8::test {

inline constexpr std::chrono::seconds kDeadline{10};

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

}  // namespace zr8::test
