#include "app/heart_beat.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
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
    bool waitForTicks(int count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(5), [&] { return ticks_ >= count; });
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

TEST(HeartBeat, WithoutAListenerTicksSilently) {
    Listener listener;
    HeartBeat heartBeat(1);
    heartBeat.start();
    heartBeat.setListener(&listener);  // only from here on
    EXPECT_TRUE(listener.waitForTicks(1));
    heartBeat.clearListener();
    const int seen = listener.ticks();
    heartBeat.stop();
    EXPECT_EQ(listener.ticks(), seen);
}

TEST(HeartBeat, ClearListenerWaitsForATickInProgress) {
    Listener listener;
    HeartBeat heartBeat(1);
    heartBeat.setListener(&listener);
    listener.hold();
    heartBeat.start();
    ASSERT_TRUE(listener.waitInTick());

    std::atomic<bool> clearingStarted{false};
    bool tickEndedFirst = false;
    std::thread clearing([&] {
        clearingStarted = true;
        heartBeat.clearListener();
        tickEndedFirst = listener.tickEnded();
    });
    while (!clearingStarted) std::this_thread::yield();
    listener.release();
    clearing.join();
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

TEST(HeartBeat, StopWithoutStartAndTwiceIsHarmless) {
    HeartBeat idle;
    idle.stop();
    HeartBeat heartBeat(1);
    heartBeat.start();
    heartBeat.stop();
    heartBeat.stop();
    heartBeat.start();  // never restarted
    heartBeat.stop();
}

}  // namespace
}  // namespace zr8
