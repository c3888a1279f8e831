// SPDX-License-Identifier: GPL-3.0-or-later
// Shutdown while a frame write waits for a controller that stopped taking
// bytes: the write's own limit is a second, shutdown must not wait it out.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "e2e_harness.h"

namespace zr8 {
namespace {

using namespace e2e_test;

TEST(LinkShutdown, WhileAWriteWaitsForAStalledController) {
    sim::FaultConfig faults;
    faults.stallReadsAfterFrames = static_cast<int>(std::size(kConnectFrames));
    Link link(faults);
    LineFiller filler(link.sim().slavePath());
    ASSERT_TRUE(filler.ok());
    ASSERT_TRUE(link.connect());
    ASSERT_TRUE(filler.fill());

    link.comm().setEncoderCalibration(0, 1, 2);
    // Answered only once the write before it has ended.
    link.comm().connect(link.simNumber(), 115200);
    // A tenth of the write's limit: its wait is under way.
    ASSERT_TRUE(link.ticks().waitForMore(4));
    ASSERT_EQ(link.recorder().count(StatusAlreadyConnected), 0u);

    const auto begin = std::chrono::steady_clock::now();
    link.takeDown();
    const auto took = std::chrono::steady_clock::now() - begin;
    std::printf("shutdown during a pending write: %.1f ms\n",
                std::chrono::duration<double, std::milli>(took).count());
    EXPECT_LT(took, 5s);
    EXPECT_FALSE(link.recorder().calledAfterShutdown());
}

}  // namespace
}  // namespace zr8
