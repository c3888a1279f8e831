// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/heart_beat.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

namespace zr8 {
namespace {

// Counts ticks; can hold a tick inside onHeartBeat until released.
class Listener : public iHeartBeatListener {
public:
    void onHeartBeat() override {
        std::unique_lock lock(mutex_);
        ++ticks_;
        inTick_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return !holding_; });
        inTick_ = false;
        tickEnded_ = true;
    }
    void hold() {
        std::lock_guard lock(mutex_);
        holding_ = true;
    }
    void release() {
        std::lock_guard lock(mutex_);
        holding_ = false;
        changed_.notify_all();
    }
    bool waitForTicks(int count, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return ticks_ >= count; });
    }
    bool waitInTick() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(5), [&] { return inTick_; });
    }
    int ticks() {
        std::lock_guard lock(mutex_);
        return ticks_;
    }
    bool tickEnded() {
        std::lock_guard lock(mutex_);
        return tickEnded_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int ticks_ = 0;
    bool holding_ = false;
    bool inTick_ = false;
    bool tickEnded_ = false;
};

TEST(HeartBeat, TicksTheListenerAgainAndAgain) {
    Listener listener;
    HeartBeat heartBeat(1);
    heartBeat.setListener(&listener);
    heartBeat.start();
    EXPECT_TRUE(listener.waitForTicks(5));
    heartBeat.stop();
}

// Between two listeners the heartbeat goes on ticking with none: about
// twenty periods pass, nothing is called, and the thread is still there for
// the next listener.
TEST(HeartBeat, WithoutAListenerTicksSilently) {
    Listener first;
    Listener second;
    HeartBeat heartBeat(1);
    heartBeat.setListener(&first);
    heartBeat.start();
    ASSERT_TRUE(first.waitForTicks(1));
    heartBeat.clearListener();
    const int seen = first.ticks();
    const auto silentUntil = std::chrono::steady_clock::now() + std::chrono::milliseconds(20);
    while (std::chrono::steady_clock::now() < silentUntil) std::this_thread::yield();
    heartBeat.setListener(&second);
    EXPECT_TRUE(second.waitForTicks(3)) << "the thread did not survive the silent phase";
    heartBeat.stop();
    EXPECT_EQ(first.ticks(), seen) << "a tick reached the cleared listener";
}

// A tick is held inside the listener: clearListener must not return before
// it ends, and no tick reaches the listener afterwards.
TEST(HeartBeat, ClearListenerWaitsForATickInProgress) {
    Listener listener;
    HeartBeat heartBeat(1);
    heartBeat.setListener(&listener);
    listener.hold();
    heartBeat.start();
    ASSERT_TRUE(listener.waitInTick());

    bool tickEndedFirst = false;
    auto clearing = std::async(std::launch::async, [&] {
        heartBeat.clearListener();
        tickEndedFirst = listener.tickEnded();
    });
    EXPECT_EQ(clearing.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout)
        << "clearListener returned while a tick was in progress";
    listener.release();
    clearing.wait();
    EXPECT_TRUE(tickEndedFirst) << "clearListener returned while the tick still ran";
    const int seen = listener.ticks();
    heartBeat.stop();
    EXPECT_EQ(listener.ticks(), seen) << "a tick reached the cleared listener";
}

TEST(HeartBeat, StopEndsTheWaitAtOnce) {
    HeartBeat heartBeat(60'000);
    heartBeat.start();
    const auto begin = std::chrono::steady_clock::now();
    heartBeat.stop();
    // Far below the period: the wait is cut short, not slept out.
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(10));
}

TEST(HeartBeat, StopWaitsForTheTickInProgress) {
    Listener listener;
    HeartBeat heartBeat(1);
    heartBeat.setListener(&listener);
    listener.hold();
    heartBeat.start();
    ASSERT_TRUE(listener.waitInTick());
    bool tickEndedFirst = false;
    std::thread stopping([&] {
        heartBeat.stop();
        tickEndedFirst = listener.tickEnded();
    });
    listener.release();
    stopping.join();
    EXPECT_TRUE(tickEndedFirst);
}

// Stop without start, stop twice: both return. A stopped heartbeat is not
// started again: a listener set afterwards hears nothing within a hundred
// periods.
TEST(HeartBeat, StopIsFinalAndHarmlessWhenRepeated) {
    HeartBeat idle;
    idle.stop();
    Listener listener;
    HeartBeat heartBeat(1);
    heartBeat.start();
    heartBeat.stop();
    heartBeat.stop();
    heartBeat.setListener(&listener);
    heartBeat.start();
    EXPECT_FALSE(listener.waitForTicks(1, std::chrono::milliseconds(100)));
    heartBeat.stop();
}

}  // namespace
}  // namespace zr8
