// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/byte_pipe.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

namespace zr8 {
namespace {

TEST(WaitableEvent, StaysSetUntilReset) {
    WaitableEvent event;
    ASSERT_TRUE(event.valid());
    EXPECT_FALSE(event.isSet());
    EXPECT_FALSE(event.wait(0));
    event.set();
    event.set();
    EXPECT_TRUE(event.wait(0));
    EXPECT_TRUE(event.wait(-1));  // still set: a second wait ends at once too
    event.reset();
    EXPECT_FALSE(event.isSet());
}

TEST(WaitableEvent, WakesAWaitingThread) {
    WaitableEvent event;
    std::thread setter([&] { event.set(); });
    EXPECT_TRUE(event.wait(-1));
    setter.join();
}

TEST(BytePipe, CarriesBytesInOrder) {
    BytePipe pipe;
    WaitableEvent quit;
    ASSERT_TRUE(pipe.valid());
    const uint8_t first[] = {0x82, 0x0B, 0x00};
    const uint8_t second[] = {0xA0, 0x00};
    ASSERT_TRUE(pipe.write(first, sizeof first));
    ASSERT_TRUE(pipe.write(second, sizeof second));
    uint8_t buffer[20];
    size_t received = 0;
    ASSERT_EQ(pipe.read(buffer, sizeof buffer, received, quit, 1000), BytePipe::ReadOutcome::Data);
    ASSERT_EQ(received, 5u);
    EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 5),
              (std::vector<uint8_t>{0x82, 0x0B, 0x00, 0xA0, 0x00}));
}

TEST(BytePipe, ReadsNoMoreThanTheSlice) {
    BytePipe pipe;
    WaitableEvent quit;
    uint8_t message[32];
    for (size_t i = 0; i < sizeof message; ++i) message[i] = static_cast<uint8_t>(i);
    ASSERT_TRUE(pipe.write(message, sizeof message));
    uint8_t buffer[20];
    size_t received = 0;
    ASSERT_EQ(pipe.read(buffer, sizeof buffer, received, quit, 1000), BytePipe::ReadOutcome::Data);
    EXPECT_EQ(received, 20u);
    ASSERT_EQ(pipe.read(buffer, sizeof buffer, received, quit, 1000), BytePipe::ReadOutcome::Data);
    EXPECT_EQ(received, 12u);
    EXPECT_EQ(buffer[11], 31);
}

TEST(BytePipe, TimesOutWhenEmptyAndQuitWinsOverData) {
    BytePipe pipe;
    WaitableEvent quit;
    uint8_t buffer[20];
    size_t received = 0;
    EXPECT_EQ(pipe.read(buffer, sizeof buffer, received, quit, 5), BytePipe::ReadOutcome::TimedOut);
    const uint8_t heartbeat[] = {0xA0, 0x00};
    ASSERT_TRUE(pipe.write(heartbeat, sizeof heartbeat));
    quit.set();
    EXPECT_EQ(pipe.read(buffer, sizeof buffer, received, quit, 1000), BytePipe::ReadOutcome::Quit);
    EXPECT_EQ(received, 0u);
}

TEST(BytePipe, RefusesEmptyAndOversizedWrites) {
    BytePipe pipe;
    std::vector<uint8_t> big(BytePipe::kMaxAtomicWrite + 1, 0x80);
    EXPECT_FALSE(pipe.write(big.data(), 0));
    EXPECT_FALSE(pipe.write(big.data(), big.size()));
}

// Once the reader has gone, releaseWriters() lets every writer go: one
// that filled the pipe and waits for room as well as later ones.
TEST(BytePipe, ReleaseLetsWritersOfAFullPipeGo) {
    BytePipe pipe;
    const uint8_t message[32] = {0x9F};
    size_t accepted = 0;
    std::thread writer([&] {
        while (pipe.write(message, sizeof message)) ++accepted;
    });
    pipe.releaseWriters();
    writer.join();  // hangs if a writer waiting for room is not let go
    EXPECT_FALSE(pipe.write(message, sizeof message));
}

// A writer can also be let go on its own, by its give-up event.
TEST(BytePipe, GiveUpLetsOneWriterOfAFullPipeGo) {
    BytePipe pipe;
    WaitableEvent giveUp;
    const uint8_t message[32] = {0x9F};
    std::thread writer([&] {
        while (pipe.write(message, sizeof message, &giveUp)) {}
    });
    giveUp.set();
    writer.join();
    EXPECT_FALSE(pipe.write(message, sizeof message, &giveUp));
}

// Messages written by several threads at once arrive whole, never torn.
TEST(BytePipe, ConcurrentMessagesStayWhole) {
    BytePipe pipe;
    WaitableEvent quit;
    constexpr int kThreads = 4;
    constexpr int kMessages = 2000;
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([&pipe, t] {
            uint8_t message[8];
            std::memset(message, 0x10 + t, sizeof message);
            message[0] = 0x87;
            for (int i = 0; i < kMessages; ++i) pipe.write(message, sizeof message);
        });
    }
    std::vector<uint8_t> stream;
    uint8_t slice[20];
    while (stream.size() < size_t{kThreads} * kMessages * 8) {
        size_t received = 0;
        ASSERT_EQ(pipe.read(slice, sizeof slice, received, quit, 5000),
                  BytePipe::ReadOutcome::Data);
        stream.insert(stream.end(), slice, slice + received);
    }
    for (auto& writer : writers) writer.join();
    for (size_t at = 0; at < stream.size(); at += 8) {
        ASSERT_EQ(stream[at], 0x87) << "at " << at;
        for (size_t i = 2; i < 8; ++i) ASSERT_EQ(stream[at + i], stream[at + 1]) << "at " << at;
    }
}

}  // namespace
}  // namespace zr8
