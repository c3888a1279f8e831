// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The periodic tick that drives the link's time-outs.
//
// Threads: setListener, clearListener, start and stop are called on the main
// thread; the heartbeat's own thread calls the listener's onHeartBeat with
// the heartbeat's lock held. So clearListener waits for a tick in progress,
// and once it returns no tick reaches the former listener. The listener must
// not call back into the heartbeat from onHeartBeat.
//
// The period counts from the end of one tick to the start of the next; missed
// ticks are not made up.

#include <condition_variable>
#include <mutex>
#include <thread>

#include "link/heartbeat_listener.h"

namespace zr8 {

class HeartBeat {
public:
    static constexpr int kDefaultPeriodMs = 250;

    explicit HeartBeat(int periodMs = kDefaultPeriodMs);
    // Stops the thread if it still runs.
    ~HeartBeat();

    HeartBeat(const HeartBeat&) = delete;
    HeartBeat& operator=(const HeartBeat&) = delete;

    void setListener(iHeartBeatListener* listener);
    void clearListener();

    // Starts the thread; a heartbeat is started once. A second call does nothing.
    void start();
    // Ends the thread: returns as soon as a tick in progress has ended.
    // Safe to call more than once, and without start.
    void stop();

private:
    void run();

    const int periodMs_;

    std::mutex lock_;  // guards listener_; held for the whole of each tick
    iHeartBeatListener* listener_ = nullptr;

    std::mutex stopLock_;  // guards stopRequested_; never held during a tick
    std::condition_variable stopEvent_;
    bool stopRequested_ = false;

    std::thread thread_;
};

}  // namespace zr8
