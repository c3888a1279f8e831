// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/serial_port.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/platform/stopped_read.h"

namespace zr8 {
namespace {

// The other end of the line: a pty master whose slave the port opens.
class Pty {
public:
    Pty() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
        const char* name = ::ptsname(master_);
        if (name != nullptr) slave_ = name;
    }
    ~Pty() { closeMaster(); }
    bool ok() const { return master_ >= 0 && !slave_.empty(); }
    const std::string& slave() const { return slave_; }
    int master() const { return master_; }
    void closeMaster() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }
    // Reads exactly `count` bytes or fails after two seconds.
    std::vector<uint8_t> read(size_t count) {
        std::vector<uint8_t> bytes;
        while (bytes.size() < count) {
            pollfd entry{master_, POLLIN, 0};
            if (::poll(&entry, 1, 2000) <= 0) break;
            uint8_t chunk[256];
            const ssize_t got =
                ::read(master_, chunk, std::min(sizeof chunk, count - bytes.size()));
            if (got <= 0) break;
            bytes.insert(bytes.end(), chunk, chunk + got);
        }
        return bytes;
    }

private:
    int master_ = -1;
    std::string slave_;
};

// A port opened on the slave of a fresh pty.
class SerialPortOnPty : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(pty.ok()); }
    ::testing::AssertionResult open(uint32_t baud = 115200) {
        if (port.open(pty.slave().c_str(), baud, error)) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << error.text();
    }

    Pty pty;
    SerialPort port;
    PortError error;
};

TEST_F(SerialPortOnPty, OpensRaw8N1WithoutFlowControl) {
    ASSERT_TRUE(open());
    EXPECT_EQ(error.code, PortErrorCode::None);
    termios settings{};
    ASSERT_EQ(::tcgetattr(pty.master(), &settings), 0);  // a pty shares its settings
    EXPECT_EQ(settings.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(settings.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(settings.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(settings.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(settings.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP), 0u);
    EXPECT_EQ(settings.c_oflag & OPOST, 0u);
    EXPECT_EQ(cfgetospeed(&settings), static_cast<speed_t>(B115200));
    EXPECT_EQ(settings.c_cc[VMIN], 1);
}

// A terminal opened by mistake is left as it was, not raw at another rate.
TEST_F(SerialPortOnPty, CloseLeavesTheLineAsOpenFoundIt) {
    termios before{};
    ASSERT_EQ(::tcgetattr(pty.master(), &before), 0);  // a fresh pty: cooked, 38400 baud
    ASSERT_TRUE(open(9600));
    port.close();
    termios after{};
    ASSERT_EQ(::tcgetattr(pty.master(), &after), 0);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_oflag, before.c_oflag);
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before));
    EXPECT_EQ(std::vector<cc_t>(after.c_cc, after.c_cc + NCCS),
              std::vector<cc_t>(before.c_cc, before.c_cc + NCCS));
}

TEST_F(SerialPortOnPty, WritesAndReadsBytesUnchanged) {
    ASSERT_TRUE(open(9600));
    // Bytes a cooked line would change: CR, LF, XON/XOFF, DEL, 0xFF.
    const std::vector<uint8_t> frame = {0xAA, 0x02, 0x0D, 0x0A, 0x11, 0x13, 0x7F, 0xFF, 0x00};
    ASSERT_TRUE(port.write(frame.data(), frame.size(), 1000));
    EXPECT_EQ(pty.read(frame.size()), frame);

    const uint8_t reply[] = {0x55, 0x03, 0x0D, 0x11, 0xFF};
    ASSERT_EQ(::write(pty.master(), reply, sizeof reply), static_cast<ssize_t>(sizeof reply));
    WaitableEvent stop;
    std::vector<uint8_t> got;
    while (got.size() < sizeof reply) {
        uint8_t buffer[128];
        size_t received = 0;
        ASSERT_EQ(port.readSome(buffer, sizeof buffer, received, stop),
                  SerialPort::ReadOutcome::Data);
        ASSERT_GT(received, 0u);
        got.insert(got.end(), buffer, buffer + received);
    }
    EXPECT_EQ(got, std::vector<uint8_t>(reply, reply + sizeof reply));
}

TEST_F(SerialPortOnPty, SecondOpenOfTheSameDeviceIsBusy) {
    ASSERT_TRUE(open());
    SerialPort second;
    EXPECT_FALSE(second.open(pty.slave().c_str(), 115200, error));
    EXPECT_EQ(error.code, PortErrorCode::Busy);
    EXPECT_FALSE(error.remedy.empty());
    port.close();
    EXPECT_TRUE(second.open(pty.slave().c_str(), 115200, error)) << error.text();
}

struct OpenFailure {
    const char* device;
    uint32_t baud;
    PortErrorCode code;
};

class SerialPortOpenFailure : public ::testing::TestWithParam<OpenFailure> {};

TEST_P(SerialPortOpenFailure, IsMappedWithTheSystemsMessage) {
    SerialPort port;
    PortError error;
    EXPECT_FALSE(port.open(GetParam().device, GetParam().baud, error));
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(error.code, GetParam().code) << error.text();
    EXPECT_EQ(error.device, GetParam().device);
    EXPECT_FALSE(error.systemMessage.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Devices, SerialPortOpenFailure,
    ::testing::Values(OpenFailure{"/dev/ttyZR8-does-not-exist", 115200, PortErrorCode::NotFound},
                      OpenFailure{"/dev/null", 115200, PortErrorCode::NotASerialDevice},
                      OpenFailure{"/dev/ptmx", 12345, PortErrorCode::Other}));

TEST_F(SerialPortOnPty, StopEndsAWaitingReadAndWinsOverData) {
    ASSERT_TRUE(open());
    WaitableEvent stop;
    EXPECT_EQ(readUntilStopped(port, stop), SerialPort::ReadOutcome::Stopped);

    const uint8_t byte = 0x55;
    ASSERT_EQ(::write(pty.master(), &byte, 1), 1);
    uint8_t buffer[128];
    size_t received = 0;
    EXPECT_EQ(port.readSome(buffer, sizeof buffer, received, stop),
              SerialPort::ReadOutcome::Stopped);
}

TEST_F(SerialPortOnPty, HangUpIsReportedAsLostNotSpun) {
    ASSERT_TRUE(open());
    const uint8_t last[] = {0x55, 0x01};
    ASSERT_EQ(::write(pty.master(), last, 2), 2);
    pty.closeMaster();
    WaitableEvent stop;
    uint8_t buffer[128];
    size_t received = 0;
    SerialPort::ReadOutcome outcome = SerialPort::ReadOutcome::Data;
    int reads = 0;
    while (reads < 10 && (outcome = port.readSome(buffer, sizeof buffer, received, stop)) ==
                             SerialPort::ReadOutcome::Data) {
        ++reads;
    }
    EXPECT_EQ(outcome, SerialPort::ReadOutcome::Lost);
    EXPECT_FALSE(port.write(last, 2, 100));
}

TEST_F(SerialPortOnPty, WriteGivesUpWhenTheLineDoesNotTakeTheBytes) {
    ASSERT_TRUE(open());
    // Nobody reads the master: the line's buffers fill up and stay full.
    std::vector<uint8_t> block(4096, 0x5A);
    bool accepted = true;
    for (int i = 0; i < 1024 && accepted; ++i)
        accepted = port.write(block.data(), block.size(), 20);
    EXPECT_FALSE(accepted);
}

// Closing the program must not wait out a write to a device that stopped
// taking bytes.
TEST_F(SerialPortOnPty, WriteToAFullLineEndsWhenToldToGiveUp) {
    ASSERT_TRUE(open());
    std::vector<uint8_t> block(4096, 0x5A);
    while (port.write(block.data(), block.size(), 20)) {}
    WaitableEvent giveUp;
    std::thread setter([&] { giveUp.set(); });
    // Far longer than the test may take: only the event can end it early.
    EXPECT_FALSE(port.write(block.data(), block.size(), 60'000, &giveUp));
    setter.join();
    EXPECT_FALSE(port.write(block.data(), 1, 60'000, &giveUp));  // already set: no wait at all
}

TEST_F(SerialPortOnPty, CloseTwiceAndUseAfterCloseAreHarmless) {
    ASSERT_TRUE(open());
    port.close();
    port.close();
    EXPECT_FALSE(port.isOpen());
    const uint8_t byte = 0xAA;
    EXPECT_FALSE(port.write(&byte, 1, 10));
}

}  // namespace
}  // namespace zr8
