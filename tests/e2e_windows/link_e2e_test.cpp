// SPDX-License-Identifier: GPL-3.0-or-later
// CommControl and HeartBeat on Windows, with their threads, against
// simulated controllers on COM ports: zr8-sim processes on the host's
// pseudo-terminals, which Wine serves as COM5 and up. Every wait is for a
// condition, with a deadline.
#include <gtest/gtest.h>

#include <chrono>
#include <ostream>
#include <string>
#include <vector>

#include "platform/serial_port.h"
#include "sim_ports.h"
#include "tests/support/link_conversation.h"
#include "tests/support/link_scenarios.h"
#include "tests/support/recording_listener.h"
#include "tests/support/wired_link.h"

namespace zr8 {
namespace {

using namespace std::chrono_literals;
using namespace test;

class WindowsLink : public ::testing::Test {
protected:
    // The port of the simulator in `role`; a failure when there is none.
    std::string simulator(const std::string& role) {
        const std::string port = sims.port(role);
        if (port.empty()) ADD_FAILURE() << "no simulated controller in the role " << role;
        return port;
    }
    void SetUp() override {
        if (sims.port("answering").empty()) {
            GTEST_SKIP() << "no simulated controllers (ZR8_WINE_SIMS)";
        }
    }

    const SimPorts sims;
};

// The port answers a new opener in full: nothing of the link holds it or
// reads from it any more.
::testing::AssertionResult answersAfresh(const std::string& port) {
    SerialPort line;
    PortError error;
    if (!line.open(port.c_str(), 115200, error)) {
        return ::testing::AssertionFailure() << "cannot open " << port << ": " << error.text();
    }
    const uint8_t identify[] = {0xAA, 0x01, 0x01};
    if (!line.write(identify, sizeof identify, 1000)) {
        return ::testing::AssertionFailure() << "cannot write to " << port;
    }
    WaitableEvent never;
    uint8_t reply[16];
    size_t got = 0;
    while (got < 7) {
        size_t received = 0;
        if (line.readSome(reply + got, sizeof reply - got, received, never) !=
            SerialPort::ReadOutcome::Data) {
            return ::testing::AssertionFailure() << port << " went away";
        }
        got += received;
    }
    return ::testing::AssertionSuccess();
}

// The options scripts/wine-sims gives the simulator in the role "configured".
TEST_F(WindowsLink, ConnectReportsItsStatusesInOrderAndTheConfiguration) {
    const std::string port = simulator("configured");
    WiredLink link(port);
    EXPECT_EQ(link.number(), std::stoi(port.substr(3))) << "the catalogue keeps COM numbers";
    ASSERT_TRUE(link.connect());
    Recorder& seen = link.recorder();
    EXPECT_EQ(seen.statuses(),
              (std::vector<int32_t>{StatusOpeningPort, StatusConnecting, StatusConnected}));
    EXPECT_EQ(seen.extra(), 1);

    const MountConfig mount = seen.mount();
    EXPECT_EQ(mount.identityWord, 0x0138525Au);
    EXPECT_EQ(mount.raGearRatio, 180u);
    EXPECT_EQ(mount.decGearRatio, 360u);
    EXPECT_EQ(mount.raMicrostepResolution, 2764800u);
    EXPECT_EQ(mount.decMicrostepResolution, 1296000u);
    EXPECT_EQ(mount.raBaseSpeed, 1200u);
    EXPECT_EQ(mount.decBaseSpeed, 900u);
    EXPECT_EQ(mount.raSpeedFactor, 800u);
    EXPECT_EQ(mount.decSpeedFactor, 700u);
    EXPECT_EQ(mount.reverseMotor, 2);
    const EncoderConfig encoder = seen.encoder();
    EXPECT_EQ(encoder.raFlags, 2);
    EXPECT_EQ(encoder.raLeadingBits, 10);
    EXPECT_EQ(encoder.raBitsPerRev, 24);
    EXPECT_EQ(encoder.decFlags, 1);
    EXPECT_EQ(encoder.decBitsPerRev, 22);
    EXPECT_EQ(encoder.reverseEncoder, 1);
    EXPECT_EQ(encoder.raOffset, 1234);
    EXPECT_EQ(encoder.decOffset, -4321);

    const ConnectionInfo line = seen.lastConnection();
    EXPECT_EQ(line.state, LineState::Open);
    EXPECT_EQ(std::string(line.device), port);
    EXPECT_EQ(line.baudRate, 115200u);
}

TEST_F(WindowsLink, ReadEncodersReportsAReading) {
    WiredLink link(simulator("configured"));
    expectReadingReported(link);
}

TEST_F(WindowsLink, EveryRequestsFrameArrivesIntact) {
    const std::string port = simulator("traced");
    SimTrace trace(sims.logOf(port));
    WiredLink link(port);
    ASSERT_TRUE(link.connect());
    sendEveryRequest(link.comm(), link.recorder());
    ASSERT_FALSE(HasFatalFailure());

    const size_t connectFrames = std::size(kConnectFrames);
    ASSERT_TRUE(trace.waitForFrames(connectFrames + kEveryRequestFrames));
    const std::vector<Bytes> frames = trace.framesReceived();
    for (size_t i = 0; i < connectFrames; ++i) EXPECT_EQ(frames[i], kConnectFrames[i]);
    expectEveryRequestsFrames({frames.begin() + connectFrames, frames.end()},
                              link.recorder().mount());
    for (const SimTrace::Event& event : trace.events()) {
        EXPECT_NE(event.kind, "skip") << "bytes that made no frame";
    }
}

TEST_F(WindowsLink, SilentDeviceTimesOutAfterFortyTicks) {
    WiredLink link(simulator("silent"), 5);
    expectSilentDeviceTimesOut(link);
}

TEST_F(WindowsLink, WrongDeviceIsRejectedAndClosed) {
    WiredLink link(simulator("wrong-device"));
    expectWrongDeviceRejected(link);
}

struct MissingPort {
    const char* name;
    const char* typed;  // nullptr: a number the catalogue has no port for
};

void PrintTo(const MissingPort& port, std::ostream* out) { *out << port.name; }

class WindowsLinkCannotOpen : public WindowsLink,
                              public ::testing::WithParamInterface<MissingPort> {};

TEST_P(WindowsLinkCannotOpen, ReportsStatus6AsNotFoundAndStaysUsable) {
    WiredLink link(simulator("answering"));
    expectCannotOpen(link, GetParam().typed, PortErrorCode::NotFound);
}

INSTANTIATE_TEST_SUITE_P(Ports, WindowsLinkCannotOpen,
                         ::testing::Values(MissingPort{"NoSuchComPort", "COM250"},
                                           MissingPort{"NumberWithoutPort", nullptr}),
                         [](const auto& info) { return std::string(info.param.name); });

// Windows refuses a second open of a COM port, from any process. Wine does
// not between processes; the platform layer refuses one inside the program,
// and that is what this shows under Wine.
TEST_F(WindowsLink, PortAlreadyOpenIsRefusedAsInUse) {
    const std::string port = simulator("answering");
    WiredLink link(port);
    {
        SerialPort other;
        PortError error;
        ASSERT_TRUE(other.open(port.c_str(), 115200, error)) << error.text();
        link.comm().connect(link.number(), 115200);
        ASSERT_TRUE(link.recorder().waitForStatus(StatusCannotOpenPort));
        const ConnectionInfo line = link.recorder().lastConnection();
        EXPECT_EQ(line.failure, PortErrorCode::Busy) << line.reason;
        EXPECT_NE(std::string(line.remedy).find("another program"), std::string::npos)
            << line.remedy;
    }
    ASSERT_TRUE(link.connect());
}

// This simulator hangs up once it has answered the connect sequence and one
// reading, and is gone after that: one test per start of the simulators.
TEST_F(WindowsLink, DeviceLossIsReportedOnceAndClosesThePort) {
    WiredLink link(simulator("lost-after-reading"));
    expectDeviceLossReportedOnce(link);
}

TEST_F(WindowsLink, ShutdownWhileConnecting) {
    const std::string port = simulator("answering");
    WiredLink link(port);
    expectShutdownWhileConnectingIsPrompt(link);
    EXPECT_TRUE(answersAfresh(port));
}

TEST_F(WindowsLink, ShutdownWhileConnected) {
    const std::string port = simulator("answering");
    WiredLink link(port);
    ASSERT_TRUE(link.connect());
    link.comm().readEncoders(0);
    const auto begin = std::chrono::steady_clock::now();
    link.takeDown();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 2s);
    EXPECT_FALSE(link.recorder().calledAfterShutdown());
    EXPECT_TRUE(answersAfresh(port));
}

}  // namespace
}  // namespace zr8
