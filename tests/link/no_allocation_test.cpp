// SPDX-License-Identifier: GPL-3.0-or-later
// The message path allocates nothing: this binary counts every global
// operator new and runs whole conversations through the engine in between.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "link/frames.h"
#include "link/link_engine.h"
#include "link/request_message.h"
#include "tests/link/link_harness.h"

namespace {
std::atomic<long> allocations{0};
}  // namespace

// The replacements below pair malloc with free; GCC cannot see that once it
// inlines them into gtest's `new TestClass` and warns falsely.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace zr8::test {
namespace {

// One connect, configuration, readings, requests and a slew, as pipe bytes.
Bytes conversation() {
    Bytes pipe;
    auto add = [&](const uint8_t* m, size_t n) { pipe.insert(pipe.end(), m, m + n); };
    auto message = [&](auto build, auto... args) {
        uint8_t m[kMessageCapacity];
        add(m, build(m, args...));
    };
    auto serial = [&](const Bytes& bytes) {
        const Bytes messages = asSerialData(bytes);
        pipe.insert(pipe.end(), messages.begin(), messages.end());
    };
    const ControllerFigures f;
    message(buildConnectMessage, uint8_t{1}, uint32_t{115200});
    serial(identifyReply(f));
    message(buildHeartbeatMessage);
    message(buildHeartbeatMessage);
    for (auto reply :
         {query03Reply, query02Reply, axisReply, motorReply, formatReply, calibrationReply}) {
        serial(reply(f));
    }
    for (int i = 0; i < 20; ++i) {
        message(buildReadEncodersMessage, uint8_t{0});
        serial(encoderReply(static_cast<uint32_t>(i) << 20, 77));
        message(buildManualMoveMessage, uint8_t(i % 4), uint8_t(i));
        message(buildStopMessage, uint8_t{4});
        message(buildStoreSettingsMessage);
        serial(replyFrame({0x0D}));
    }
    message(buildGotoMessage, int32_t{9 * 54000}, int32_t{0});
    for (int pass = 0; pass < 2; ++pass) {
        serial(replyFrame({0x25}));
        for (int t = 0; t < 8; ++t) message(buildHeartbeatMessage);
        serial(pollReply(0, 0));
    }
    message(buildDisconnectMessage);
    return pipe;
}

TEST(NoAllocation, WholeConversationAllocatesNothing) {
    const Bytes pipe = conversation();
    CountingListener listener;
    LastFrameTransport transport;
    FixedSkyClock clock;
    clock.hours = 10.0L;
    LinkEngine engine(listener, transport, clock, EncoderConfig{});

    const long before = allocations.load();
    for (int round = 0; round < 3; ++round) {
        engine.feedPipeBytes(pipe.data(), pipe.size());
    }
    const long after = allocations.load();

    EXPECT_EQ(after - before, 0);
    // The conversation really ran: configuration, readings, a finished slew.
    EXPECT_GT(listener.calls, 3 * 80);
    EXPECT_GT(transport.frames, 3 * 80);
    EXPECT_EQ(transport.opens, 3);
    EXPECT_EQ(transport.closes, 3);
}

TEST(NoAllocation, CounterSeesAllocations) {
    const long before = allocations.load();
    void* p = ::operator new(16);  // a direct call: not elided like a new-expression
    ::operator delete(p);
    EXPECT_EQ(allocations.load() - before, 1);
}

}  // namespace
}  // namespace zr8::test
