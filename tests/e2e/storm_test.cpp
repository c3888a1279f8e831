// SPDX-License-Identifier: GPL-3.0-or-later
// Thousands of requests in a burst, as from an operator hammering the
// buttons, while heartbeats tick into the same pipe: every frame must reach
// the controller whole and in the order of the requests.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "e2e_harness.h"
#include "link/manual_move.h"

namespace zr8 {
namespace {

using namespace e2e_test;

constexpr size_t kStormRequests = 5000;

Bytes manualMoveFrame(uint8_t direction, uint8_t step, const MountConfig& mount) {
    const ManualMoveCommand move = manualMoveFor(direction, step, mount);
    return concat(
        {{0xAA, 0x07, 0x23, 0x00, move.axisMask}, word(static_cast<uint32_t>(move.speed))});
}

TEST(LinkStorm, EveryFrameArrivesWholeAndInOrder) {
    Link link;
    ASSERT_TRUE(link.connect());
    const MountConfig mount = link.recorder().mount();
    // A second, faster heartbeat on top of the link's own one.
    HeartBeat extraTicks(2);
    extraTicks.setListener(&link.comm());
    extraTicks.start();

    std::mt19937 random(7);
    std::vector<Bytes> expected;
    expected.reserve(kStormRequests);
    const auto begin = std::chrono::steady_clock::now();
    for (size_t i = 0; i < kStormRequests; ++i) {
        const auto pick = random() % 5;
        const auto a = static_cast<uint8_t>(random());
        const auto b = static_cast<uint8_t>(random());
        switch (pick) {
        case 0: {
            const auto direction = static_cast<uint8_t>(a % 4);
            const auto step = static_cast<uint8_t>(b % 32);
            link.comm().manualMove(direction, step);
            expected.push_back(manualMoveFrame(direction, step, mount));
            break;
        }
        case 1:
            link.comm().stopMotion(kStopBothAxes);
            expected.push_back({0xAA, 0x03, 0x21, 0x00, 0xC0});
            break;
        case 2:
            link.comm().setTracking(a & 1);
            expected.push_back({0xAA, 0x03, 0x24, 0x00, static_cast<uint8_t>(a & 1)});
            break;
        case 3:
            link.comm().readEncoders(0);
            expected.push_back({0xAA, 0x02, 0x7A, 0x01});
            break;
        default:
            link.comm().setMotorReverse(a & 3, b);
            expected.push_back({0xAA, 0x05, 0x32, 0x00, 0xC0, static_cast<uint8_t>(a & 3), b});
            break;
        }
    }
    const auto posted = std::chrono::steady_clock::now();
    ASSERT_TRUE(link.sim().waitForFrames(std::size(kConnectFrames) + kStormRequests, 60s))
        << link.sim().receivedFrames().size() << " frames arrived";
    const auto arrived = std::chrono::steady_clock::now();
    extraTicks.clearListener();
    extraTicks.stop();

    const std::vector<Bytes> frames = link.framesAfterConnect();
    ASSERT_EQ(frames.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(frames[i], expected[i]) << "request " << i;
    }
    EXPECT_EQ(link.sim().snapshot().framesIgnored, 0u);
    using Ms = std::chrono::duration<double, std::milli>;
    std::printf(
        "storm: %zu requests posted in %.1f ms, all frames at the controller after %.1f ms\n",
        kStormRequests, Ms(posted - begin).count(), Ms(arrived - begin).count());

    // Still answering afterwards.
    const size_t readings = link.recorder().positions().size();
    link.comm().readEncoders(0);
    EXPECT_TRUE(link.recorder().waitForPositions(readings + 1));
}

}  // namespace
}  // namespace zr8
