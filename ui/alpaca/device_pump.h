// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The thread that keeps the telescope current: woken by the session's
// observer whenever the link reports, and at least every `period`, it hands
// the reports to the device and lets it poll and watch its deadlines.
//
// Threads: onMountEvent() from the link's worker (it only wakes); start()
// and stop() on the owner's thread.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "mount/mount_session.h"
#include "ui/alpaca/telescope_device.h"

namespace zr8::alpaca {

class DevicePump final : public mount::iMountObserver {
public:
    DevicePump() = default;
    ~DevicePump() { stop(); }
    DevicePump(const DevicePump&) = delete;
    DevicePump& operator=(const DevicePump&) = delete;

    void onMountEvent() override {
        {
            std::lock_guard guard(lock_);
            woken_ = true;
        }
        wake_.notify_one();
    }

    void start(TelescopeDevice& device, std::chrono::milliseconds period) {
        thread_ = std::thread([this, &device, period] {
            std::unique_lock guard(lock_);
            while (!stopping_) {
                wake_.wait_for(guard, period, [&] { return woken_ || stopping_; });
                woken_ = false;
                guard.unlock();
                device.service();
                device.tick(Clock::now());
                guard.lock();
            }
        });
    }

    void stop() {
        {
            std::lock_guard guard(lock_);
            stopping_ = true;
        }
        wake_.notify_one();
        if (thread_.joinable()) thread_.join();
    }

private:
    std::mutex lock_;
    std::condition_variable wake_;
    bool woken_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace zr8::alpaca
