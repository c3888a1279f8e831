// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the end-to-end tests on Linux share: the program's wiring of
// CommControl and HeartBeat against a simulated ZR8 on a pty. The wiring, the
// recording listener and the conversation's frames are every system's
// (tests/support).

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "sim/pty_server.h"
#include "tests/support/line_filler.h"
#include "tests/support/link_conversation.h"
#include "tests/support/recording_listener.h"
#include "tests/support/wired_link.h"

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
using test::WiredLink;
using test::word;

// A simulated ZR8 on a pty and the program's link wired to it.
class Link {
public:
    explicit Link(sim::FaultConfig faults = {}, int heartBeatMs = 20)
        : sim_(sim::SimConfig{}, faults), wired_(startedPath(sim_), heartBeatMs) {}

    void takeDown() { wired_.takeDown(); }
    bool connect(size_t times = 1) { return wired_.connect(times); }

    // Frames the simulator received after the connect sequence's seven.
    std::vector<Bytes> framesAfterConnect() {
        std::vector<Bytes> frames = sim_.receivedFrames();
        if (frames.size() <= std::size(kConnectFrames)) return {};
        return {frames.begin() + std::size(kConnectFrames), frames.end()};
    }
    bool waitForFramesAfterConnect(size_t count) {
        return sim_.waitForFrames(std::size(kConnectFrames) + count, kDeadline);
    }

    CommControl& comm() { return wired_.comm(); }
    CountingTicks& ticks() { return wired_.ticks(); }
    Recorder& recorder() { return wired_.recorder(); }
    sim::PtyServer& sim() { return sim_; }
    PortCatalogue& ports() { return wired_.ports(); }
    uint8_t simNumber() const { return wired_.number(); }
    WiredLink& wired() { return wired_; }

private:
    static std::string startedPath(sim::PtyServer& sim) {
        std::string error;
        EXPECT_TRUE(sim.start(&error)) << error;
        return sim.slavePath();
    }

    sim::PtyServer sim_;  // outlives the link
    WiredLink wired_;
};

}  // namespace zr8::e2e_test
