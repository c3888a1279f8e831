// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated controller served inside the process: as a byte stream, and
// behind the link exactly where a serial device would be.

#include "sim/in_process_line.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "link/comm_control.h"
#include "link/status_codes.h"
#include "platform/port_catalogue.h"
#include "sim/built_in_simulator.h"
#include "tests/platform/stopped_read.h"

namespace zr8::sim {
namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kIdentify{0xAA, 0x01, 0x01};
const Bytes kIdentifyReply{0x55, 0x05, 0x01, 0x5A, 0x52, 0x38, 0x01};

Bytes readAvailable(InProcessLine& line, size_t capacity = 128) {
    WaitableEvent stop;
    Bytes got(capacity);
    size_t received = 0;
    if (line.readSome(got.data(), got.size(), received, stop) != iByteStream::ReadOutcome::Data) {
        return {};
    }
    got.resize(received);
    return got;
}

TEST(InProcessLine, AnswersAFrameWrittenInPiecesWithZr8SimsReply) {
    InProcessLine line;
    ASSERT_TRUE(line.ok());
    line.attach();
    ASSERT_TRUE(line.write(kIdentify.data(), 1, 1000, nullptr));
    ASSERT_TRUE(line.write(kIdentify.data() + 1, 2, 1000, nullptr));
    EXPECT_EQ(readAvailable(line), kIdentifyReply);
    EXPECT_EQ(line.framesHandled(), 1u);
}

TEST(InProcessLine, ReplyIsReadInSlicesOfTheCallersSize) {
    InProcessLine line;
    line.attach();
    line.write(kIdentify.data(), kIdentify.size(), 1000, nullptr);
    EXPECT_EQ(readAvailable(line, 4), Bytes(kIdentifyReply.begin(), kIdentifyReply.begin() + 4));
    EXPECT_EQ(readAvailable(line, 4), Bytes(kIdentifyReply.begin() + 4, kIdentifyReply.end()));
}

TEST(InProcessLine, ANewClientDoesNotGetWhatTheLastOneLeftUnread) {
    InProcessLine line;
    line.attach();
    line.write(kIdentify.data(), kIdentify.size(), 1000, nullptr);
    line.close();
    EXPECT_FALSE(line.isOpen());
    EXPECT_FALSE(line.write(kIdentify.data(), kIdentify.size(), 1000, nullptr));
    line.attach();
    const Bytes read{0xAA, 0x02, 0x7A, 0x01};
    line.write(read.data(), read.size(), 1000, nullptr);
    const Bytes reply = readAvailable(line);
    ASSERT_GE(reply.size(), 3u);
    EXPECT_EQ(reply[0], 0x55);
    EXPECT_EQ(reply[2], 0x7A);
}

TEST(InProcessLine, StopEndsAReadThatWaitsForData) {
    InProcessLine line;
    line.attach();
    WaitableEvent stop;
    EXPECT_EQ(readUntilStopped(line, stop), iByteStream::ReadOutcome::Stopped);
}

// What the link reports, for waiting on from the test's thread.
class Reports : public iNotificationListener {
public:
    void onStatus(int32_t code) override { record(code); }
    void onConfiguration(int32_t code, int32_t, const MountConfig&, const EncoderConfig&) override {
        record(code);
    }
    void onMeridianFlipQuery(int32_t) override {}
    void reservedNotification(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                              int32_t) override {}
    void onPositions(const EncoderPositions& positions) override {
        std::lock_guard guard(lock_);
        positions_ = positions;
        changed_.notify_all();
    }
    void onConnection(const ConnectionInfo& connection) override {
        std::lock_guard guard(lock_);
        if (connection.state == LineState::Open) opened_ = connection;
    }

    bool waitForStatus(int32_t code, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        std::unique_lock guard(lock_);
        return changed_.wait_for(guard, timeout,
                                 [&] { return !statuses_.empty() && statuses_.back() == code; });
    }
    bool waitForPositions() {
        std::unique_lock guard(lock_);
        return changed_.wait_for(guard, std::chrono::seconds(10),
                                 [&] { return positions_.valid == 1; });
    }
    std::vector<int32_t> statuses() {
        std::lock_guard guard(lock_);
        return statuses_;
    }
    ConnectionInfo opened() {
        std::lock_guard guard(lock_);
        return opened_;
    }

private:
    void record(int32_t code) {
        std::lock_guard guard(lock_);
        statuses_.push_back(code);
        changed_.notify_all();
    }

    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<int32_t> statuses_;
    EncoderPositions positions_;
    ConnectionInfo opened_;
};

class StoppedClock : public iSkyClock {
public:
    long double localSiderealTime() const override { return 6.0L; }
};

// Connects twice to the catalogue's only entry and reads the encoders each time.
void connectAndReadTwice(PortCatalogue& ports) {
    const std::vector<PortEntry> entries = ports.entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].label(), kBuiltInSimulatorName);

    Reports reports;
    StoppedClock clock;
    EncoderConfig format;
    format.raBitsPerRev = format.decBitsPerRev = 25;
    format.raLeadingBits = format.decLeadingBits = 12;
    CommControl link(reports, clock, format, ports);
    for (int attempt = 0; attempt < 2; ++attempt) {  // a second connection is served too
        link.connect(entries[0].number, 115200);
        // The connect sequence counts heartbeat ticks; give them as the heartbeat would.
        for (int tick = 0;
             tick < 200 && !reports.waitForStatus(StatusConnected, std::chrono::milliseconds(50));
             ++tick) {
            link.onHeartBeat();
        }
        ASSERT_EQ(reports.statuses().back(), StatusConnected);
        EXPECT_TRUE(reports.opened().simulated);
        link.readEncoders(0);
        EXPECT_TRUE(reports.waitForPositions());
        link.disconnect();
        ASSERT_TRUE(reports.waitForStatus(StatusConnectionClosed));
    }
    link.shutdown();
}

TEST(BuiltInSimulator, ServesTheLinkAsASimulatedControllerAndReadsTheEncoders) {
    BuiltInSimulator simulator;
    PortCatalogue ports([] { return std::vector<DetectedDevice>{}; });
    simulator.offerIn(ports);
    connectAndReadTwice(ports);
}

// The same over the stream seam on every system.
TEST(InProcessLine, ServesTheLinkThroughTheCatalogue) {
    auto line = std::make_shared<InProcessLine>();
    PortCatalogue ports([] { return std::vector<DetectedDevice>{}; });
    ports.addProvidedStream(kBuiltInSimulatorName, [line](std::string&) {
        line->attach();
        return line;
    });
    // A caller that can only open devices is told why it cannot have it.
    PortEntry entry;
    std::string path;
    PortError error;
    EXPECT_FALSE(ports.resolve(ports.entries()[0].number, entry, path, error));
    EXPECT_FALSE(error.systemMessage.empty());
    connectAndReadTwice(ports);
    EXPECT_GE(line->framesHandled(), 14u);
}

}  // namespace
}  // namespace zr8::sim
