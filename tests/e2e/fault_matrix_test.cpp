// SPDX-License-Identifier: GPL-3.0-or-later
// Every fault the simulated controller can inject, through the running link:
// the operator sees the right statuses, nothing waits for ever, and the next
// connect, to a controller that behaves, works.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ostream>
#include <string>
#include <vector>

#include "e2e_harness.h"

namespace zr8 {
namespace {

using namespace e2e_test;

// The link's own tick. Where a case does not depend on the tick's length a
// faster one keeps the 40-tick connect budget short; it must stay long
// enough that the ticks queued during the 500 ms connect pause leave some
// budget (25 ms: 20 of the 40 ticks).
constexpr int kRealTickMs = 250;
constexpr int kFastTickMs = 25;

// Reply numbers: the connect sequence has seven, the first reading is the eighth.
constexpr int kFirstReadingReply = 8;

struct FaultCase {
    const char* name;
    sim::FaultConfig faults;
    int tickMs;
    // Everything the operator sees: the connect, a reading when connected,
    // then Disconnect (4 while the port is open, 12 once the link closed it).
    std::vector<int32_t> statuses;
    // Connected cases: how many reading requests it takes until one is
    // answered (a reading lost to the fault is asked for again).
    int readsUntilAnswer = 1;
};

sim::FaultConfig fault(void (*set)(sim::FaultConfig&)) {
    sim::FaultConfig f;
    set(f);
    return f;
}

const FaultCase kFaultCases[] = {
    {"Silence",
     fault([](auto& f) { f.silent = true; }),
     kFastTickMs,
     {StatusOpeningPort, StatusConnecting, StatusCannotConnect, StatusNotConnectedYet}},
    {"WrongIdentify",
     fault([](auto& f) { f.wrongIdentify = true; }),
     kFastTickMs,
     {StatusOpeningPort, StatusConnecting, StatusNotSupportedDevice, StatusNotConnectedYet}},
    // Slow but inside the 10 s budget, at the program's own tick.
    {"DelayedReplies",
     fault([](auto& f) { f.replyDelayMs = 80; }),
     kRealTickMs,
     {StatusOpeningPort, StatusConnecting, StatusConnected, StatusConnectionClosed}},
    // Later than the whole connect budget allows.
    {"RepliesLaterThanTheBudget",
     fault([](auto& f) { f.replyDelayMs = 1500; }),
     kFastTickMs,
     {StatusOpeningPort, StatusConnecting, StatusCannotConnect, StatusNotConnectedYet}},
    {"ByteByByte",
     fault([](auto& f) { f.byteByByte = true; }),
     kFastTickMs,
     {StatusOpeningPort, StatusConnecting, StatusConnected, StatusConnectionClosed}},
    {"Noise",
     fault([](auto& f) { f.noise = true; }),
     kFastTickMs,
     {StatusOpeningPort, StatusConnecting, StatusConnected, StatusConnectionClosed}},
    {"TruncatedIdentifyReply",
     fault([](auto& f) { f.truncateReplyNumber = 1; }),
     kFastTickMs,
     {StatusOpeningPort, StatusConnecting, StatusCannotConnect, StatusNotConnectedYet}},
    {"TruncatedConfigurationReply",
     fault([](auto& f) { f.truncateReplyNumber = 4; }),
     kFastTickMs,
     {StatusOpeningPort, StatusConnecting, StatusCannotConnect, StatusNotConnectedYet}},
    // The cut reading is lost; the next one must be the controller's true
    // words, not the cut frame completed with the next reply's bytes.
    {"TruncatedReading",
     fault([](auto& f) { f.truncateReplyNumber = kFirstReadingReply; }),
     kFastTickMs,
     {StatusOpeningPort, StatusConnecting, StatusConnected, StatusConnectionClosed},
     2},
    {"HangUpWhileConnecting",
     fault([](auto& f) { f.hangUpAfterFrames = 1; }),
     kFastTickMs,
     {StatusOpeningPort, StatusConnecting, StatusConnectionLost, StatusNotConnectedYet}},
    {"HangUpAfterAReading",
     fault([](auto& f) { f.hangUpAfterFrames = kFirstReadingReply; }),
     kFastTickMs,
     {StatusOpeningPort, StatusConnecting, StatusConnected, StatusConnectionLost,
      StatusNotConnectedYet}},
};

bool isEndOfConnect(int32_t code) {
    return code == StatusConnected || code == StatusCannotConnect || code == StatusCannotOpenPort ||
           code == StatusNotSupportedDevice || code == StatusConnectionLost;
}

void PrintTo(const FaultCase& c, std::ostream* out) { *out << c.name; }

class FaultMatrix : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultMatrix, OperatorSeesTheRightStatusAndTheNextConnectWorks) {
    const FaultCase& c = GetParam();
    Link link(c.faults, c.tickMs);
    sim::PtyServer healthy;
    ASSERT_TRUE(healthy.start());
    const uint8_t healthyNumber = link.ports().addDevicePath(healthy.slavePath());
    Recorder& seen = link.recorder();
    const bool connects = std::count(c.statuses.begin(), c.statuses.end(), StatusConnected) > 0;

    link.comm().connect(link.simNumber(), 115200);
    ASSERT_TRUE(seen.waitFor([&] {
        return std::any_of(seen.statusesLocked().begin(), seen.statusesLocked().end(),
                           isEndOfConnect);
    })) << "still connecting";

    if (connects) {
        ASSERT_EQ(seen.statuses().back(), StatusConnected);
        for (int i = 0; i < c.readsUntilAnswer; ++i) {
            // The operator asks again a moment after the cut reply.
            if (i > 0) {
                ASSERT_TRUE(link.sim().waitForReplies(kFirstReadingReply, kDeadline));
                ASSERT_TRUE(link.ticks().waitForMore(4));
            }
            link.comm().readEncoders(0);
        }
        const bool lineDrops = c.faults.hangUpAfterFrames > 0;
        if (!lineDrops) {
            ASSERT_TRUE(seen.waitForPositions(1));
            const EncoderPositions reading = seen.positions().front();
            const sim::MountSnapshot mount = link.sim().snapshot();
            EXPECT_EQ(reading.valid, 1);
            EXPECT_EQ(reading.raRaw, mount.ra.encoderWord);
            EXPECT_EQ(reading.decRaw, mount.dec.encoderWord);
        }
    }
    // Everything up to Disconnect's answer has come.
    ASSERT_TRUE(seen.waitFor([&] { return seen.statusesLocked().size() + 1 >= c.statuses.size(); }))
        << ::testing::PrintToString(seen.statuses());
    link.comm().disconnect();
    ASSERT_TRUE(seen.waitFor([&] { return seen.statusesLocked().size() >= c.statuses.size(); }));
    EXPECT_EQ(seen.statuses(), c.statuses);
    EXPECT_LE(seen.positions().size(), 1u) << "a reading made of two replies";

    // The operator tries again, on a controller that behaves.
    link.comm().connect(healthyNumber, 115200);
    ASSERT_TRUE(seen.waitForStatus(StatusConnected, connects ? 2 : 1))
        << ::testing::PrintToString(seen.statuses());
    const std::vector<int32_t> all = seen.statuses();
    EXPECT_EQ(std::vector<int32_t>(all.begin() + static_cast<std::ptrdiff_t>(c.statuses.size()),
                                   all.end()),
              (std::vector<int32_t>{StatusOpeningPort, StatusConnecting, StatusConnected}));
    const size_t readingsBefore = seen.positions().size();
    link.comm().readEncoders(0);
    ASSERT_TRUE(seen.waitForPositions(readingsBefore + 1));
    EXPECT_EQ(seen.positions().back().raRaw, healthy.snapshot().ra.encoderWord);

    const auto begin = std::chrono::steady_clock::now();
    link.takeDown();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 5s) << "shutdown held up";
    EXPECT_FALSE(seen.calledAfterShutdown());
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrix, ::testing::ValuesIn(kFaultCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zr8
