// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/heart_beat.h"

#include <chrono>
#include <system_error>

namespace zr8 {

HeartBeat::HeartBeat(int periodMs) : periodMs_(periodMs > 0 ? periodMs : kDefaultPeriodMs) {}

HeartBeat::~HeartBeat() { stop(); }

void HeartBeat::setListener(iHeartBeatListener* listener) {
    std::lock_guard guard(lock_);
    listener_ = listener;
}

void HeartBeat::clearListener() {
    std::lock_guard guard(lock_);
    listener_ = nullptr;
}

void HeartBeat::start() {
    if (thread_.joinable()) return;
    {
        std::lock_guard guard(stopLock_);
        if (stopRequested_) return;  // never restarted once stopped
    }
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        // No thread, no ticks: the link's time-outs then never run out.
    }
}

void HeartBeat::stop() {
    {
        std::lock_guard guard(stopLock_);
        stopRequested_ = true;
    }
    stopEvent_.notify_all();
    // Joined without a limit: giving up on a thread that still uses this
    // object would leave it running on freed memory.
    if (thread_.joinable()) thread_.join();
}

void HeartBeat::run() {
    const auto period = std::chrono::milliseconds(periodMs_);
    for (;;) {
        {
            std::unique_lock wait(stopLock_);
            if (stopEvent_.wait_for(wait, period, [this] { return stopRequested_; })) return;
        }
        std::lock_guard guard(lock_);
        if (listener_ != nullptr) listener_->onHeartBeat();
    }
}

}  // namespace zr8
