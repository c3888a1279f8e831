// SPDX-License-Identifier: GPL-3.0-or-later
// The simulator as any client sees it: the slave device opened and set up
// with termios (raw 8N1, 115200), frames written, replies read back.

#include "sim/pty_server.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace zr8::sim {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

const Bytes kIdentify{0xAA, 0x01, 0x01};
const Bytes kIdentifyReply{0x55, 0x05, 0x01, 0x5A, 0x52, 0x38, 0x01};

class SerialClient {
public:
    explicit SerialClient(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) return;
        termios t{};
        ::tcgetattr(fd_, &t);
        ::cfmakeraw(&t);
        t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
        t.c_cflag |= CS8 | CLOCAL | CREAD;
        ::cfsetispeed(&t, B115200);
        ::cfsetospeed(&t, B115200);
        ok_ = ::tcsetattr(fd_, TCSANOW, &t) == 0;
    }
    ~SerialClient() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool ok() const { return fd_ >= 0 && ok_; }

    bool send(const Bytes& bytes) {
        return ::write(fd_, bytes.data(), bytes.size()) == ssize_t(bytes.size());
    }

    // Reads until `count` bytes came or the deadline passed; `reads` counts
    // the read calls that returned data.
    Bytes receive(size_t count, std::chrono::milliseconds timeout = 2s, int* reads = nullptr) {
        Bytes got;
        const auto deadline = Clock::now() + timeout;
        while (got.size() < count) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) break;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left)) <= 0) break;
            if (p.revents & (POLLHUP | POLLERR)) {
                hungUp_ = true;
                break;
            }
            uint8_t buf[300];
            const ssize_t n = ::read(fd_, buf, std::min(sizeof buf, count - got.size()));
            if (n < 0 && errno == EIO) {
                hungUp_ = true;
                break;
            }
            if (n > 0) {
                got.insert(got.end(), buf, buf + n);
                if (reads) ++*reads;
            }
        }
        return got;
    }

    // True when nothing arrives within `quiet` (used only to assert silence).
    bool silentFor(std::chrono::milliseconds quiet) { return receive(1, quiet).empty(); }
    bool hungUp() const { return hungUp_; }

    // Waits for the line to drop, as the link's reader would notice it.
    bool waitForHangUp(std::chrono::milliseconds timeout) {
        const auto deadline = Clock::now() + timeout;
        while (Clock::now() < deadline && !hungUp_) {
            receive(300, std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()));
        }
        return hungUp_;
    }

private:
    int fd_ = -1;
    bool ok_ = false;
    bool hungUp_ = false;
};

// A started server with one client on its device.
struct Session {
    explicit Session(const SimConfig& config = {}, const FaultConfig& faults = {})
        : server(config, faults),
          started(server.start(&error)),
          client(started ? server.slavePath() : "") {}
    bool ok() const { return started && client.ok(); }

    PtyServer server;
    std::string error;
    bool started;
    SerialClient client;
};

Bytes exchange(SerialClient& client, const Bytes& frame, size_t replySize) {
    EXPECT_TRUE(client.send(frame));
    return client.receive(replySize);
}

TEST(PtyServer, AnswersTheConnectSequenceByteForByte) {
    Session s;
    ASSERT_TRUE(s.ok()) << s.error;
    ASSERT_EQ(s.server.slavePath().rfind("/dev/pts/", 0), 0u) << s.server.slavePath();

    EXPECT_EQ(exchange(s.client, kIdentify, 7), kIdentifyReply);
    EXPECT_EQ(exchange(s.client, {0xAA, 0x01, 0x03}, 4), (Bytes{0x55, 0x02, 0x03, 0x01}));
    EXPECT_EQ(exchange(s.client, {0xAA, 0x01, 0x02}, 7),
              (Bytes{0x55, 0x05, 0x02, 0x02, 0x00, 0x01, 0x00}));
    EXPECT_EQ(exchange(s.client, {0xAA, 0x01, 0x14}, 30).size(), 30u);
    EXPECT_EQ(exchange(s.client, {0xAA, 0x01, 0x15}, 60).size(), 60u);
    EXPECT_EQ(exchange(s.client, {0xAA, 0x01, 0x17}, 11),
              (Bytes{0x55, 0x09, 0x17, 0x00, 0x0C, 0x19, 0x00, 0x00, 0x0C, 0x19, 0x00}));
    EXPECT_EQ(exchange(s.client, {0xAA, 0x01, 0x7B}, 12),
              (Bytes{0x55, 0x0A, 0x7B, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

    ASSERT_TRUE(s.server.waitForFrames(7, 2s));
    const auto frames = s.server.receivedFrames();
    EXPECT_EQ(frames.front(), kIdentify);
    EXPECT_EQ(frames.back(), (Bytes{0xAA, 0x01, 0x7B}));
}

TEST(PtyServer, ControlCharactersPassUntouched) {
    // 0x0D, 0x11 and 0x13 would be eaten or translated by a cooked line.
    SimConfig config;
    config.settings.raOffset = 0x13110D0A;
    Session s(config);
    ASSERT_TRUE(s.ok()) << s.error;
    EXPECT_EQ(exchange(s.client, {0x11, 0x13, 0x0D, 0xAA, 0x02, 0x0D, 0x01}, 4),
              (Bytes{0x55, 0x02, 0x0D, 0x00}));
    EXPECT_EQ(exchange(s.client, {0xAA, 0x01, 0x7B}, 12),
              (Bytes{0x55, 0x0A, 0x7B, 0x00, 0x0A, 0x0D, 0x11, 0x13, 0, 0, 0, 0}));
    ASSERT_TRUE(s.server.waitForFrames(2, 1s));
    EXPECT_EQ(s.server.receivedFrames()[0], (Bytes{0xAA, 0x02, 0x0D, 0x01}));
}

TEST(PtyServer, WriteCommandsGetNoReplyAndChangeTheMount) {
    Session s;
    ASSERT_TRUE(s.ok()) << s.error;
    s.client.send({0xAA, 0x03, 0x24, 0x00, 0x01});                          // tracking on
    s.client.send({0xAA, 0x07, 0x23, 0x00, 0x40, 0x18, 0xFC, 0xFF, 0xFF});  // Dec at -1000
    // The next reply is the poll's, so nothing came in between.
    EXPECT_EQ(exchange(s.client, {0xAA, 0x02, 0x1E, 0x01}, 6),
              (Bytes{0x55, 0x04, 0x1E, 0x01, 0x01, 0x03}));
    const MountSnapshot snap = s.server.snapshot();
    EXPECT_TRUE(snap.tracking);
    EXPECT_EQ(snap.dec.state.status, MotionStatus::Manual);
    EXPECT_LT(snap.dec.state.speed, 0);
    EXPECT_EQ(snap.framesHandled, 3u);
}

TEST(PtyServer, GarbageAndUnknownFramesDoNotCostSync) {
    Session s;
    ASSERT_TRUE(s.ok()) << s.error;
    s.client.send({0x00, 0xFF, 0xAA, 0x00, 0xAA, 0xF0, 0xAA, 0x01, 0x42, 0xAA, 0x02, 0x01, 0x00});
    EXPECT_EQ(exchange(s.client, kIdentify, 7), kIdentifyReply);
    EXPECT_TRUE(s.client.silentFor(50ms));
    ASSERT_TRUE(s.server.waitForFrames(3, 1s));
    EXPECT_EQ(s.server.snapshot().framesIgnored, 2u);
}

TEST(PtyServer, AHalfFrameIsForgottenAfterAPause) {
    Session s;
    ASSERT_TRUE(s.ok()) << s.error;
    s.client.send({0xAA, 0x0B, 0x25, 0x01});
    // Nothing completes the half frame; after the line has been quiet the
    // next frame is read afresh.
    EXPECT_TRUE(s.client.silentFor(700ms));
    EXPECT_EQ(exchange(s.client, kIdentify, 7), kIdentifyReply);
}

TEST(PtyServer, ClientsMayOpenAndCloseTheDeviceRepeatedly) {
    PtyServer server;
    ASSERT_TRUE(server.start());
    for (int i = 0; i < 20; ++i) {
        SerialClient client(server.slavePath());
        ASSERT_TRUE(client.ok()) << "open " << i;
        ASSERT_EQ(exchange(client, kIdentify, 7), kIdentifyReply) << "round " << i;
    }
    EXPECT_TRUE(server.running());
}

TEST(PtyServer, RepliesLeftUnreadAreLostWithTheLine) {
    // As on a serial line, a client that leaves without reading its reply
    // leaves nothing behind for the next one.
    std::mutex mutex;  // outlive the server, whose thread calls the sink until it stops
    std::condition_variable changed;
    int gone = 0;
    PtyServer server;
    server.setTraceSink([&](TraceDirection d, std::span<const uint8_t>) {
        if (d != TraceDirection::ClientGone) return;
        std::lock_guard lock(mutex);
        ++gone;
        changed.notify_all();
    });
    ASSERT_TRUE(server.start());
    {
        SerialClient client(server.slavePath());
        client.send({0xAA, 0x01, 0x14});
        ASSERT_TRUE(server.waitForReplies(1, 2s));
    }
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, 2s, [&] { return gone == 1; }));
    }
    SerialClient client(server.slavePath());
    EXPECT_EQ(exchange(client, kIdentify, 7), kIdentifyReply);
    EXPECT_TRUE(client.silentFor(20ms));
}

TEST(PtyServer, StopsWithAClientStillConnectedAndCanBeRestartedAnew) {
    auto server = std::make_unique<PtyServer>();
    ASSERT_TRUE(server->start());
    SerialClient client(server->slavePath());
    ASSERT_TRUE(client.ok());
    server->stop();
    server->stop();
    EXPECT_FALSE(server->running());
    EXPECT_TRUE(client.waitForHangUp(1s));
    server.reset();
    PtyServer second;
    ASSERT_TRUE(second.start());
    SerialClient again(second.slavePath());
    EXPECT_EQ(exchange(again, kIdentify, 7), kIdentifyReply);
}

TEST(PtyServer, AnUnreadableStateFileFailsTheStart) {
    const std::string path =
        ::testing::TempDir() + "zr8-sim-bad-" + std::to_string(::getpid()) + ".state";
    FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("no.such.key 1\n", f);
    std::fclose(f);
    SimConfig config;
    config.stateFile = path;
    PtyServer server(config);
    std::string error;
    EXPECT_FALSE(server.start(&error));
    EXPECT_NE(error.find("unknown key"), std::string::npos) << error;
    std::remove(path.c_str());
}

TEST(PtyServer, ASlewEndsInScaledTime) {
    SimConfig config;
    config.timeScale = 100;  // a quarter turn (21.5 s at 1000 x sidereal) in about 0.2 s
    Session s(config);
    ASSERT_TRUE(s.ok()) << s.error;
    EXPECT_EQ(
        exchange(s.client,
                 {0xAA, 0x0B, 0x25, 0x01, 0xC0, 0x80, 0x97, 0x06, 0x00, 0x80, 0x97, 0x06, 0x00}, 4),
        (Bytes{0x55, 0x02, 0x25, 0x00}));
    const auto deadline = Clock::now() + 5s;
    Bytes poll;
    do {
        poll = exchange(s.client, {0xAA, 0x02, 0x1E, 0x01}, 6);
        ASSERT_EQ(poll.size(), 6u);
    } while ((poll[4] > 2 || poll[5] > 2) && Clock::now() < deadline);
    EXPECT_EQ(poll, (Bytes{0x55, 0x04, 0x1E, 0x01, 0x00, 0x00}));
    EXPECT_EQ(exchange(s.client, {0xAA, 0x03, 0x1F, 0x01, 0xC0}, 14),
              (Bytes{0x55, 0x0C, 0x1F, 0x01, 0xC0, 0x00, 0x80, 0x97, 0x06, 0x00, 0x80, 0x97, 0x06,
                     0x00}));
    EXPECT_EQ(s.server.snapshot().ra.encoderWord, 1u << 23);
}

// Faults ---------------------------------------------------------------

TEST(PtyServerFaults, SilentNeverAnswers) {
    Session s({}, {.silent = true});
    ASSERT_TRUE(s.ok()) << s.error;
    s.client.send(kIdentify);
    ASSERT_TRUE(s.server.waitForFrames(1, 1s));
    EXPECT_TRUE(s.client.silentFor(100ms));
    EXPECT_EQ(s.server.repliesSent(), 0u);
}

TEST(PtyServerFaults, StalledReadsBackUpTheClientsWrites) {
    Session s({}, {.stallReadsAfterFrames = 1});
    ASSERT_TRUE(s.ok()) << s.error;
    EXPECT_EQ(exchange(s.client, kIdentify, 7), kIdentifyReply);  // answered, then no more reading
    bool blocked = false;
    for (int i = 0; i < 100'000 && !blocked; ++i) blocked = !s.client.send(kIdentify);
    EXPECT_TRUE(blocked) << "the line never filled up";
    EXPECT_EQ(s.server.receivedFrames().size(), 1u);
    EXPECT_EQ(s.server.repliesSent(), 1u);
}

TEST(PtyServerFaults, WrongIdentifyKeepsTheLengthButNotTheCommandByte) {
    Session s({}, {.wrongIdentify = true});
    ASSERT_TRUE(s.ok()) << s.error;
    const Bytes reply = exchange(s.client, kIdentify, 7);
    ASSERT_EQ(reply.size(), 7u);
    EXPECT_EQ(reply[1], 5);
    EXPECT_NE(reply[2], 1);
    EXPECT_EQ(exchange(s.client, {0xAA, 0x01, 0x03}, 4), (Bytes{0x55, 0x02, 0x03, 0x01}));
}

TEST(PtyServerFaults, DelayHoldsTheReply) {
    Session s({}, {.replyDelayMs = 300});
    ASSERT_TRUE(s.ok()) << s.error;
    s.client.send(kIdentify);
    EXPECT_TRUE(s.client.receive(1, 150ms).empty());
    EXPECT_EQ(s.client.receive(7, 2s), kIdentifyReply);
}

// Counted at the server: how the client's reads fall depends on how busy
// the machine is.
TEST(PtyServerFaults, ByteByByteWritesOneByteAtATime) {
    std::mutex mutex;  // outlive the server, whose thread calls the sink until it stops
    std::condition_variable changed;
    std::vector<size_t> writes;
    PtyServer server({}, {.byteByByte = true});
    server.setTraceSink([&](TraceDirection d, std::span<const uint8_t> bytes) {
        if (d != TraceDirection::Sent) return;
        std::lock_guard lock(mutex);
        writes.push_back(bytes.size());
        changed.notify_all();
    });
    ASSERT_TRUE(server.start());
    SerialClient client(server.slavePath());
    client.send({0xAA, 0x01, 0x15});
    EXPECT_EQ(client.receive(60, 3s).size(), 60u);
    std::unique_lock lock(mutex);
    // The last write is traced just after the client could read it.
    changed.wait_for(lock, 2s, [&] { return writes.size() >= 60; });
    EXPECT_EQ(writes, std::vector<size_t>(60, 1));
}

TEST(PtyServerFaults, NoiseComesBeforeEachReplyAndNeverLooksLikeAStart) {
    Session s({}, {.noise = true});
    ASSERT_TRUE(s.ok()) << s.error;
    for (int i = 0; i < 5; ++i) {
        s.client.send(kIdentify);
        ASSERT_TRUE(s.server.waitForReplies(size_t(i + 1), 1s));
        size_t noise = 0;
        Bytes got;
        for (;;) {
            got = s.client.receive(1, 1s);
            if (got.empty() || got[0] == 0x55) break;
            ++noise;
        }
        ASSERT_EQ(got, Bytes{0x55});
        EXPECT_GE(noise, 1u);
        EXPECT_LE(noise, 3u);
        const Bytes rest = s.client.receive(6, 1s);
        got.insert(got.end(), rest.begin(), rest.end());
        EXPECT_EQ(got, kIdentifyReply);
    }
}

TEST(PtyServerFaults, TruncateCutsOnlyTheNthReply) {
    Session s({}, {.truncateReplyNumber = 2});
    ASSERT_TRUE(s.ok()) << s.error;
    EXPECT_EQ(exchange(s.client, kIdentify, 7), kIdentifyReply);
    s.client.send(kIdentify);
    ASSERT_TRUE(s.server.waitForReplies(2, 1s));
    EXPECT_EQ(s.client.receive(7, 100ms), (Bytes{0x55, 0x05, 0x01, 0x5A}));
    EXPECT_EQ(exchange(s.client, kIdentify, 7), kIdentifyReply);
}

TEST(PtyServerFaults, HangUpAfterNFramesDropsTheLine) {
    Session s({}, {.hangUpAfterFrames = 2});
    ASSERT_TRUE(s.ok()) << s.error;
    EXPECT_EQ(exchange(s.client, kIdentify, 7), kIdentifyReply);
    EXPECT_EQ(exchange(s.client, {0xAA, 0x01, 0x03}, 4), (Bytes{0x55, 0x02, 0x03, 0x01}));
    EXPECT_TRUE(s.client.waitForHangUp(2s));
    EXPECT_TRUE(s.server.hungUp());
    EXPECT_FALSE(s.server.running());
    s.server.stop();
}

}  // namespace
}  // namespace zr8::sim
