// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's wiring of the link as start-up does it, for the end-to-end
// tests of every system: CommControl ticked by a HeartBeat (through a tick
// counter), reporting to a recording listener, with a catalogue that holds
// the device under test. The heartbeat runs fast so that the link's tick
// counts run out in test time.

#include <cstdint>
#include <memory>
#include <string>

#include "app/heart_beat.h"
#include "link/comm_control.h"
#include "link/status_codes.h"
#include "platform/port_catalogue.h"
#include "tests/support/link_conversation.h"
#include "tests/support/recording_listener.h"

namespace zr8::test {

class WiredLink {
public:
    explicit WiredLink(const std::string& device, int heartBeatMs = 20)
        : ports_(PortCatalogue::DeviceScanner{}), heartBeat_(heartBeatMs) {
        number_ = ports_.addDevicePath(device);
        comm_ = std::make_unique<CommControl>(recorder_, clock_, defaultFormat(), ports_);
        ticks_.setTarget(comm_.get());
        heartBeat_.setListener(&ticks_);
        heartBeat_.start();
    }
    ~WiredLink() { takeDown(); }
    WiredLink(const WiredLink&) = delete;
    WiredLink& operator=(const WiredLink&) = delete;

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
        comm_->connect(number_, 115200);
        return recorder_.waitForStatus(StatusConnected, times);
    }

    CommControl& comm() { return *comm_; }
    CountingTicks& ticks() { return ticks_; }
    Recorder& recorder() { return recorder_; }
    PortCatalogue& ports() { return ports_; }
    // The device's number in the catalogue, which connect requests carry.
    uint8_t number() const { return number_; }

private:
    PortCatalogue ports_;
    uint8_t number_ = 0;
    FixedClock clock_;
    Recorder recorder_;
    CountingTicks ticks_;
    HeartBeat heartBeat_;
    std::unique_ptr<CommControl> comm_;
};

}  // namespace zr8::test
