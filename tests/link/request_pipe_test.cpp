// SPDX-License-Identifier: GPL-3.0-or-later
// The request pipe as its producers use it: received bytes cut into
// serial-data messages, and a producer that gives up instead of waiting for
// ever.

#include "link/request_pipe.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <vector>

#include "tests/link/link_harness.h"

namespace zr8::test {
namespace {

Bytes readAll(RequestPipe& pipe, size_t expected) {
    WaitableEvent quit;
    Bytes got;
    uint8_t slice[20];
    while (got.size() < expected) {
        size_t received = 0;
        if (pipe.read(slice, sizeof slice, received, quit, 1000) != BytePipe::ReadOutcome::Data) {
            break;
        }
        got.insert(got.end(), slice, slice + received);
    }
    return got;
}

TEST(RequestPipe, SixtyFourReceivedBytesBecomeThreeSerialDataMessages) {
    RequestPipe pipe;
    ASSERT_TRUE(pipe.valid());
    Bytes received(64);
    for (size_t i = 0; i < received.size(); ++i) received[i] = static_cast<uint8_t>(i);
    ASSERT_TRUE(pipe.postSerialData(received.data(), received.size(), nullptr));

    Bytes expected{0xFF};
    expected.insert(expected.end(), received.begin(), received.begin() + 31);
    expected.push_back(0xFF);
    expected.insert(expected.end(), received.begin() + 31, received.begin() + 62);
    expected.push_back(0xE2);
    expected.insert(expected.end(), received.begin() + 62, received.end());
    EXPECT_EQ(hex(readAll(pipe, expected.size())), hex(expected));
    EXPECT_TRUE(pipe.postSerialData(received.data(), 0, nullptr)) << "nothing to forward";
}

// Nobody reads the pipe (its worker is closing the port and waits for the
// serial reader). One producer fills it and then waits for room while it
// holds the pipe's lock; the reader, posting with its stop event, must give
// up once the event is set, whether it waits for room or for the lock.
TEST(RequestPipe, AReaderGivesUpWhileAnotherWriterHoldsTheLockOnAFullPipe) {
    const uint8_t message[kMessageCapacity] = {0x9F};  // a request with 31 body bytes
    for (int round = 0; round < 20; ++round) {
        RequestPipe pipe;
        ASSERT_GT(pipe.capacity(), 0u);
        const size_t fill = pipe.capacity() / sizeof message;
        std::atomic<size_t> posted{0};
        WaitableEvent stop;
        auto writer = std::async(std::launch::async, [&] {
            while (pipe.post(message, sizeof message)) ++posted;
        });
        auto reader = std::async(std::launch::async, [&] {
            while (pipe.post(message, sizeof message, &stop)) ++posted;
        });
        while (posted < fill) std::this_thread::yield();  // the pipe is full now
        stop.set();
        const bool gaveUp = reader.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
        pipe.releaseWriters();  // lets the writer go, and a stuck reader with it
        writer.wait();
        reader.wait();
        ASSERT_TRUE(gaveUp) << "round " << round << ": the reader waited for the lock";
    }
}

}  // namespace
}  // namespace zr8::test
