#pragma once
// What the end-to-end tests on Linux share: the program's wiring of
// CommControl and HeartBeat against a simulated ZR8 on a pty. The recording
// listener and the conversation's frames are every system's (tests/support).

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "app/heart_beat.h"
#include "link/comm_control.h"
#include "link/status_codes.h"
#include "platform/port_catalogue.h"
#include "sim/pty_server.h"
#include "tests/support/line_filler.h"
#include "tests/support/link_conversation.h"
#include "tests/support/recording_listener.h"

namespace zr8::e2e_test {

using namespace std::chrono_literals;
using test::Bytes;
using test::concat;
using test::CountingTicks;
using test::defaultFormat;
using test::FixedClock;
using test::kConnectFrames;
using test::kDeadline;
using test::LineFiller;
using test::Recorder;
using test::word;

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

}  // namespace zr8::e2e_test
