// SPDX-License-Identifier: GPL-3.0-or-later
// CommControl and HeartBeat with their threads, over a pseudo-terminal to the
// simulated ZR8. Every wait is for a condition, with a deadline.
#include <gtest/gtest.h>

#include <ostream>

#include "e2e_harness.h"
#include "platform/serial_port.h"
#include "tests/support/link_scenarios.h"

namespace zr8 {
namespace {

using namespace e2e_test;

TEST(LinkEndToEnd, ConnectReadsTheSimulatorsConfiguration) {
    Link link;
    ASSERT_TRUE(link.connect());
    EXPECT_EQ(link.recorder().statuses(),
              (std::vector<int32_t>{StatusOpeningPort, StatusConnecting, StatusConnected}));
    EXPECT_EQ(link.recorder().extra(), 1);

    const sim::ControllerSettings expected = link.sim().snapshot().settings;
    const MountConfig mount = link.recorder().mount();
    EXPECT_EQ(mount.identityWord, expected.identityWord);
    EXPECT_EQ(mount.reply2Word, expected.reply2Word);
    EXPECT_EQ(mount.raGearRatio, expected.ra.gearRatio);
    EXPECT_EQ(mount.raMicrostepResolution, expected.ra.microstepResolution);
    EXPECT_EQ(mount.decMicrostepResolution, expected.dec.microstepResolution);
    EXPECT_EQ(mount.raBaseSpeed, expected.ra.baseSpeed);
    EXPECT_EQ(mount.raSpeedFactor, expected.ra.speedFactor);
    EXPECT_EQ(mount.reverseMotor, expected.reverseMotor);
    const EncoderConfig encoder = link.recorder().encoder();
    EXPECT_EQ(encoder.raLeadingBits, expected.raFormat.leadingBits);
    EXPECT_EQ(encoder.raBitsPerRev, expected.raFormat.bitsPerRev);
    EXPECT_EQ(encoder.decBitsPerRev, expected.decFormat.bitsPerRev);
    EXPECT_EQ(encoder.raOffset, expected.raOffset);

    const std::vector<Bytes> frames = link.sim().receivedFrames();
    ASSERT_GE(frames.size(), std::size(kConnectFrames));
    for (size_t i = 0; i < std::size(kConnectFrames); ++i) EXPECT_EQ(frames[i], kConnectFrames[i]);
    const ConnectionInfo line = link.recorder().lastConnection();
    EXPECT_EQ(line.state, LineState::Open);
    EXPECT_EQ(std::string(line.device), link.sim().slavePath());
    EXPECT_EQ(line.baudRate, 115200u);
    EXPECT_FALSE(line.simulated) << "a device path, not a provided entry";
}

TEST(LinkEndToEnd, ReadEncodersReportsTheSimulatorsWords) {
    Link link;
    test::expectReadingReported(link.wired());
    ASSERT_TRUE(link.waitForFramesAfterConnect(1));
    EXPECT_EQ(link.framesAfterConnect().front(), (Bytes{0xAA, 0x02, 0x7A, 0x01}));
}

TEST(LinkEndToEnd, EveryRequestsFrameArrivesIntact) {
    Link link;
    ASSERT_TRUE(link.connect());
    test::sendEveryRequest(link.comm(), link.recorder());
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(link.waitForFramesAfterConnect(test::kEveryRequestFrames));
    test::expectEveryRequestsFrames(link.framesAfterConnect(), link.recorder().mount());
    EXPECT_EQ(link.sim().snapshot().framesIgnored, 0u);
}

// Replies cut into single bytes, or preceded by stray bytes, still make
// whole readings: the reader forwards what it gets, the worker reassembles.
TEST(LinkEndToEnd, FragmentedAndNoisyRepliesStillConnectAndRead) {
    for (const bool byteByByte : {true, false}) {
        sim::FaultConfig faults;
        faults.byteByByte = byteByByte;
        faults.noise = !byteByByte;
        Link link(faults);
        ASSERT_TRUE(link.connect()) << (byteByByte ? "byte by byte" : "noise");
        link.comm().readEncoders(0);
        EXPECT_TRUE(link.recorder().waitForPositions(1));
        EXPECT_EQ(link.recorder().mount().raGearRatio, link.sim().snapshot().settings.ra.gearRatio);
    }
}

TEST(LinkEndToEnd, ConnectTwiceIsRefusedAndKeepsThePort) {
    Link link;
    ASSERT_TRUE(link.connect());
    link.comm().connect(link.simNumber(), 115200);
    ASSERT_TRUE(link.recorder().waitForStatus(StatusAlreadyConnected));
    link.comm().readEncoders(0);
    EXPECT_TRUE(link.recorder().waitForPositions(1));
    EXPECT_EQ(link.recorder().count(StatusOpeningPort), 1u);
}

TEST(LinkEndToEnd, RequestsBeforeReadyAreRefused) {
    Link link;
    link.comm().readEncoders(0);  // nothing open
    link.comm().disconnect();
    ASSERT_TRUE(link.recorder().waitForStatus(StatusNotConnectedYet, 2));
    // Queued during the pause after opening: taken afterwards, still not ready.
    link.comm().connect(link.simNumber(), 115200);
    link.comm().storeSettings();
    link.comm().connect(link.simNumber(), 115200);
    ASSERT_TRUE(link.recorder().waitForStatus(StatusConnected));
    const std::vector<int32_t> statuses = link.recorder().statuses();
    EXPECT_EQ(statuses,
              (std::vector<int32_t>{StatusNotConnectedYet, StatusNotConnectedYet, StatusOpeningPort,
                                    StatusConnecting, StatusNotConnectedYet, StatusAlreadyConnected,
                                    StatusConnected}));
    EXPECT_EQ(link.sim().receivedFrames().size(), std::size(kConnectFrames));
}

TEST(LinkEndToEnd, DisconnectClosesAndFreesThePort) {
    Link link;
    ASSERT_TRUE(link.connect());
    link.comm().disconnect();
    ASSERT_TRUE(link.recorder().waitForStatus(StatusConnectionClosed));
    link.comm().readEncoders(0);
    ASSERT_TRUE(link.recorder().waitForStatus(StatusNotConnectedYet));
    // Nobody holds the device any more: it can be opened again, by the link too.
    {
        SerialPort other;
        PortError error;
        EXPECT_TRUE(other.open(link.sim().slavePath().c_str(), 115200, error)) << error.text();
    }
    ASSERT_TRUE(link.connect(2));
}

struct UnopenablePort {
    const char* name;
    const char* path;  // nullptr: a number with no device
    PortErrorCode code;
};

// By name: gtest would otherwise print the struct's bytes, padding included.
void PrintTo(const UnopenablePort& port, std::ostream* out) { *out << port.name; }

class LinkCannotOpen : public ::testing::TestWithParam<UnopenablePort> {};

TEST_P(LinkCannotOpen, ReportsStatus6AndWhy) {
    Link link;
    test::expectCannotOpen(link.wired(), GetParam().path, GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(
    Ports, LinkCannotOpen,
    ::testing::Values(UnopenablePort{"NoDevice", nullptr, PortErrorCode::NotFound},
                      UnopenablePort{"Missing", "/dev/ttyZR8-missing", PortErrorCode::NotFound},
                      UnopenablePort{"NotSerial", "/dev/null", PortErrorCode::NotASerialDevice}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LinkEndToEnd, PortInUseByAnotherProgramIsBusy) {
    Link link;
    SerialPort other;
    PortError error;
    ASSERT_TRUE(other.open(link.sim().slavePath().c_str(), 115200, error));
    link.comm().connect(link.simNumber(), 115200);
    ASSERT_TRUE(link.recorder().waitForStatus(StatusCannotOpenPort));
    EXPECT_EQ(link.recorder().lastConnection().failure, PortErrorCode::Busy);
}

TEST(LinkEndToEnd, WrongDeviceIsRejectedAndClosed) {
    sim::FaultConfig faults;
    faults.wrongIdentify = true;
    Link link(faults);
    test::expectWrongDeviceRejected(link.wired());
}

TEST(LinkEndToEnd, SilentDeviceTimesOutAfterFortyTicks) {
    sim::FaultConfig faults;
    faults.silent = true;
    Link link(faults, 5);
    test::expectSilentDeviceTimesOut(link.wired());
}

TEST(LinkEndToEnd, DeviceLossIsReportedOnceAndClosesThePort) {
    sim::FaultConfig faults;
    faults.hangUpAfterFrames = static_cast<int>(std::size(kConnectFrames)) + 1;
    Link link(faults);
    test::expectDeviceLossReportedOnce(link.wired());
}

// The program's simulator entry: the catalogue starts the simulator when the
// link resolves the entry's number, and connect opens what it gives.
TEST(LinkEndToEnd, SimulatorEntryStartsTheSimulatorOnConnect) {
    for (const bool starts : {true, false}) {
        sim::PtyServer simulator;
        PortCatalogue ports(PortCatalogue::DeviceScanner{});
        ports.addProvided("simulator", [&](std::string& devicePath, std::string& error) {
            if (!starts) {
                error = "no pseudo-terminals left";
                return false;
            }
            if (!simulator.running() && !simulator.start(&error)) return false;
            devicePath = simulator.slavePath();
            return true;
        });
        ASSERT_EQ(ports.entries().size(), 1u);
        FixedClock clock;
        Recorder recorder;
        HeartBeat heartBeat(20);
        CommControl comm(recorder, clock, defaultFormat(), ports);
        heartBeat.setListener(&comm);
        heartBeat.start();
        comm.connect(ports.entries().front().number, 9600);
        if (starts) {
            EXPECT_TRUE(recorder.waitForStatus(StatusConnected));
            EXPECT_TRUE(recorder.lastConnection().simulated);
            EXPECT_STREQ(recorder.lastConnection().device, "simulator");
        } else {
            ASSERT_TRUE(recorder.waitForStatus(StatusCannotOpenPort));
            EXPECT_STREQ(recorder.lastConnection().reason, "no pseudo-terminals left");
        }
        heartBeat.clearListener();
        comm.shutdown();
        heartBeat.stop();
    }
}

TEST(LinkEndToEnd, ShutdownWhileConnecting) {
    Link link;
    test::expectShutdownWhileConnectingIsPrompt(link.wired());
    SerialPort other;
    PortError error;
    EXPECT_TRUE(other.open(link.sim().slavePath().c_str(), 115200, error)) << error.text();
}

TEST(LinkEndToEnd, ShutdownWhileConnected) {
    Link link;
    ASSERT_TRUE(link.connect());
    link.comm().readEncoders(0);
    link.takeDown();
    EXPECT_FALSE(link.recorder().calledAfterShutdown());
    SerialPort other;
    PortError error;
    EXPECT_TRUE(other.open(link.sim().slavePath().c_str(), 115200, error)) << error.text();
}

TEST(LinkEndToEnd, ShutdownWhileASlewIsFollowed) {
    Link link;
    ASSERT_TRUE(link.connect());
    // One hour west of the meridian on the east side: a direct slew.
    link.comm().gotoPosition(9 * 54000, 45 * 3600);
    ASSERT_TRUE(link.recorder().waitForStatus(StatusPositioning));
    const Bytes poll = {0xAA, 0x02, 0x1E, 0x01};
    ASSERT_TRUE(link.sim().waitForFrames(std::size(kConnectFrames) + 2, kDeadline));
    const std::vector<Bytes> frames = link.framesAfterConnect();
    EXPECT_EQ(Bytes(frames[0].begin(), frames[0].begin() + 5),
              (Bytes{0xAA, 0x0B, 0x25, 0x01, 0xC0}));
    EXPECT_EQ(frames[1], poll);
    link.takeDown();
    EXPECT_FALSE(link.recorder().calledAfterShutdown());
    EXPECT_EQ(link.recorder().count(StatusReady), 0u);
}

}  // namespace
}  // namespace zr8
