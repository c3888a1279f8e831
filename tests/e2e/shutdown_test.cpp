// SPDX-License-Identifier: GPL-3.0-or-later
// Shutdown while a frame write waits for a controller that stopped taking
// bytes: the write's own limit is a second, shutdown must not wait it out.
#include <gtest/gtest.h>

#include <pthread.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <memory>

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

#ifdef __GLIBC__
// Nobody reads the pipe of a link whose worker could not start: a writer
// waiting for room there (the heartbeat, with its lock held) would wait for
// ever, and teardown behind it.
TEST(LinkShutdown, WithoutAWorkerWritersDoNotWaitForRoom) {
    FixedClock clock;
    Recorder recorder;
    PortCatalogue ports(PortCatalogue::DeviceScanner{});
    // No thread can start while the default stack exceeds the address space.
    pthread_attr_t saved, huge;
    pthread_getattr_default_np(&saved);
    pthread_attr_init(&huge);
    pthread_attr_setstacksize(&huge, size_t{1} << 50);
    pthread_setattr_default_np(&huge);
    auto link = std::make_unique<CommControl>(recorder, clock, EncoderConfig{}, ports);
    pthread_setattr_default_np(&saved);
    if (link->running()) GTEST_SKIP() << "threads start here whatever stack they ask for";
    auto writing = std::async(std::launch::async, [&] {
        for (size_t i = 0; i < 100000; ++i) link->onHeartBeat();  // several pipes full
    });
    EXPECT_EQ(writing.wait_for(10s), std::future_status::ready);
    link->shutdown();  // releases a writer that waits, should the test fail
}
#endif

}  // namespace
}  // namespace zr8
