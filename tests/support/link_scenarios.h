// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Conversations with a faulty or vanishing controller that the end-to-end
// tests of every system run the same way, each on the program's wiring with
// the device that shows the fault. What only one system can show is checked
// by its tests around these.

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "tests/support/wired_link.h"

namespace zr8::test {

// "Read encoders" on a connected link: one valid reading within a turn.
inline void expectReadingReported(WiredLink& link) {
    ASSERT_TRUE(link.connect());
    link.comm().readEncoders(0);
    ASSERT_TRUE(link.recorder().waitForPositions(1));
    const EncoderPositions reading = link.recorder().positions().front();
    EXPECT_EQ(reading.valid, 1);
    EXPECT_GE(reading.raArcsec, 0);
    EXPECT_LT(reading.raArcsec, 1296000);
    EXPECT_EQ(reading.raRaw >> 32, 0u);
}

// A port that cannot be opened (`path` entered, or no port under the
// number 200): status 6 with the reason and a remedy, and the link still
// usable for the device it was made with.
inline void expectCannotOpen(WiredLink& link, const char* path, PortErrorCode code) {
    const uint8_t number = path != nullptr ? link.ports().addDevicePath(path) : uint8_t{200};
    link.comm().connect(number, 115200);
    ASSERT_TRUE(link.recorder().waitForStatus(StatusCannotOpenPort));
    EXPECT_EQ(link.recorder().statuses(),
              (std::vector<int32_t>{StatusOpeningPort, StatusCannotOpenPort}));
    const ConnectionInfo line = link.recorder().lastConnection();
    EXPECT_EQ(line.state, LineState::OpenFailed);
    EXPECT_EQ(line.failure, code) << line.reason;
    EXPECT_NE(line.reason[0], '\0');
    EXPECT_NE(line.remedy[0], '\0') << line.reason;
    ASSERT_TRUE(link.connect());
}

// A controller that never answers: status 7 once the 40 ticks of the
// connect sequence ran out, and the port closed.
inline void expectSilentDeviceTimesOut(WiredLink& link) {
    const uint64_t ticksBefore = link.ticks().ticks();
    link.comm().connect(link.number(), 115200);
    ASSERT_TRUE(link.recorder().waitForStatus(StatusCannotConnect));
    EXPECT_GE(link.ticks().ticks() - ticksBefore, 40u);
    EXPECT_EQ(link.recorder().statuses(),
              (std::vector<int32_t>{StatusOpeningPort, StatusConnecting, StatusCannotConnect}));
    link.comm().disconnect();  // the time-out closed the port
    ASSERT_TRUE(link.recorder().waitForStatus(StatusNotConnectedYet));
}

// A device that answers identify as another one would: status 9 and the
// port closed, every time.
inline void expectWrongDeviceRejected(WiredLink& link) {
    link.comm().connect(link.number(), 115200);
    ASSERT_TRUE(link.recorder().waitForStatus(StatusNotSupportedDevice));
    // Closed: a new connect opens again instead of "already connected".
    link.comm().connect(link.number(), 115200);
    ASSERT_TRUE(link.recorder().waitForStatus(StatusNotSupportedDevice, 2));
    EXPECT_EQ(link.recorder().count(StatusAlreadyConnected), 0u);
    EXPECT_EQ(link.recorder().count(StatusConnected), 0u);
}

// A controller that hangs up once it has answered the connect sequence and
// one reading, and is gone after that: status 18 once, the port closed, and
// the reader not left spinning (time passes, nothing more is said, and a
// disconnect finds nothing open).
inline void expectDeviceLossReportedOnce(WiredLink& link) {
    ASSERT_TRUE(link.connect());
    link.comm().readEncoders(0);
    ASSERT_TRUE(link.recorder().waitForStatus(StatusConnectionLost));
    EXPECT_EQ(link.recorder().lastConnection().state, LineState::Closed);
    ASSERT_TRUE(link.ticks().waitForMore(10));
    link.comm().disconnect();
    ASSERT_TRUE(link.recorder().waitForStatus(StatusNotConnectedYet));
    EXPECT_EQ(link.recorder().count(StatusConnectionLost), 1u);
    // The device is gone: connecting again fails plainly.
    link.comm().connect(link.number(), 115200);
    ASSERT_TRUE(link.recorder().waitForStatus(StatusCannotOpenPort));
}

// Shutdown in the pause after the port opened: it does not wait the pause
// out, and the listener hears nothing afterwards.
inline void expectShutdownWhileConnectingIsPrompt(WiredLink& link) {
    using namespace std::chrono_literals;
    link.comm().connect(link.number(), 115200);
    ASSERT_TRUE(link.recorder().waitForStatus(StatusConnecting));
    const auto begin = std::chrono::steady_clock::now();
    link.takeDown();
    // Shorter than the connect pause: the pause gives way to shutdown.
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 450ms);
    EXPECT_FALSE(link.recorder().calledAfterShutdown());
}

}  // namespace zr8::test
