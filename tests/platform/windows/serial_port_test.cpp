// SPDX-License-Identifier: GPL-3.0-or-later
// The serial port on Windows. Open failures need no device; the rest talks
// to simulated controllers named by ZR8_SIM_PORTS ("COM5,COM6,COM7": one
// that answers, one that hangs up after its first reply, one that stops
// reading after its first frame), which the Wine test run provides.
#include "platform/serial_port.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/platform/stopped_read.h"

namespace zr8 {
namespace {

const std::vector<uint8_t> kIdentify = {0xAA, 0x01, 0x01};
const std::vector<uint8_t> kIdentifyReply = {0x55, 0x05, 0x01, 0x5A, 0x52, 0x38, 0x01};

struct SimPorts {
    std::string answering, hangsUp, stalls;
};

SimPorts simPorts() {
    SimPorts ports;
    const char* list = std::getenv("ZR8_SIM_PORTS");
    std::istringstream names(list != nullptr ? list : "");
    std::getline(names, ports.answering, ',');
    std::getline(names, ports.hangsUp, ',');
    std::getline(names, ports.stalls, ',');
    return ports;
}

class SerialPortOnSim : public ::testing::Test {
protected:
    void SetUp() override {
        if (sims.stalls.empty()) GTEST_SKIP() << "no simulated controllers (ZR8_SIM_PORTS)";
    }
    ::testing::AssertionResult open(SerialPort& port, const std::string& name) {
        PortError error;
        if (port.open(name.c_str(), 115200, error)) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << error.text();
    }
    // Reads until `count` bytes arrived or a read ends otherwise.
    std::vector<uint8_t> read(SerialPort& port, size_t count) {
        std::vector<uint8_t> bytes;
        while (bytes.size() < count) {
            uint8_t buffer[128];
            size_t received = 0;
            if (port.readSome(buffer, sizeof buffer, received, stop) !=
                SerialPort::ReadOutcome::Data)
                break;
            bytes.insert(bytes.end(), buffer, buffer + received);
        }
        return bytes;
    }

    const SimPorts sims = simPorts();
    WaitableEvent stop;
};

TEST_F(SerialPortOnSim, EitherNameOpensThePortAndTheControllerAnswers) {
    for (const std::string& name : {sims.answering, "\\\\.\\" + sims.answering}) {
        SerialPort port;
        ASSERT_TRUE(open(port, name)) << name;
        ASSERT_TRUE(port.write(kIdentify.data(), kIdentify.size(), 1000));
        EXPECT_EQ(read(port, kIdentifyReply.size()), kIdentifyReply) << name;
    }
}

TEST_F(SerialPortOnSim, SecondOpenIsRefusedAsInUse) {
    SerialPort first;
    ASSERT_TRUE(open(first, sims.answering));
    SerialPort second;
    PortError error;
    EXPECT_FALSE(second.open(sims.answering.c_str(), 115200, error));
    EXPECT_EQ(error.code, PortErrorCode::Busy) << error.text();
    EXPECT_NE(error.remedy.find("another program"), std::string::npos) << error.text();
    first.close();
    EXPECT_TRUE(open(second, sims.answering));
}

TEST_F(SerialPortOnSim, StopEndsAPendingRead) {
    SerialPort port;
    ASSERT_TRUE(open(port, sims.answering));
    EXPECT_EQ(readUntilStopped(port, stop), SerialPort::ReadOutcome::Stopped);
    // The cancelled read left the line usable.
    stop.reset();
    ASSERT_TRUE(port.write(kIdentify.data(), kIdentify.size(), 1000));
    EXPECT_EQ(read(port, kIdentifyReply.size()), kIdentifyReply);
}

// The driver keeps a port's settings for the next program: close puts back
// those open found.
TEST_F(SerialPortOnSim, CloseLeavesTheLineAsOpenFoundIt) {
    const std::wstring path =
        L"\\\\.\\" + std::wstring(sims.answering.begin(), sims.answering.end());
    // The line's block, after putting `set` (if given) on it.
    auto lineState = [&](DCB* set) {
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        const HANDLE line = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                          OPEN_EXISTING, 0, nullptr);
        if (line == INVALID_HANDLE_VALUE) return dcb;
        ::GetCommState(line, &dcb);
        if (set != nullptr) ::SetCommState(line, set);
        ::CloseHandle(line);
        return dcb;
    };
    DCB found = lineState(nullptr);
    ASSERT_NE(found.BaudRate, 0u);
    DCB other = found;
    other.BaudRate = 4800;  // as another program left it
    lineState(&other);
    {
        SerialPort port;
        ASSERT_TRUE(open(port, sims.answering));
    }
    const DCB after = lineState(&found);  // and back for the tests after this one
    EXPECT_EQ(after.BaudRate, 4800u);
}

TEST_F(SerialPortOnSim, HangUpIsReportedAsLostNotSpun) {
    SerialPort port;
    ASSERT_TRUE(open(port, sims.hangsUp));
    ASSERT_TRUE(port.write(kIdentify.data(), kIdentify.size(), 1000));
    ASSERT_EQ(read(port, kIdentifyReply.size()), kIdentifyReply);
    // The simulator now hangs up.
    uint8_t buffer[128];
    size_t received = 0;
    SerialPort::ReadOutcome outcome = SerialPort::ReadOutcome::Data;
    for (int reads = 0; reads < 10 && outcome == SerialPort::ReadOutcome::Data; ++reads) {
        outcome = port.readSome(buffer, sizeof buffer, received, stop);
    }
    EXPECT_EQ(outcome, SerialPort::ReadOutcome::Lost);
    EXPECT_FALSE(port.write(kIdentify.data(), kIdentify.size(), 100));
}

// Closing the program must not wait out a write to a device that stopped
// taking bytes.
TEST_F(SerialPortOnSim, WriteToAStalledLineTimesOutOrGivesUp) {
    SerialPort port;
    ASSERT_TRUE(open(port, sims.stalls));
    ASSERT_TRUE(port.write(kIdentify.data(), kIdentify.size(), 1000));  // its last frame
    // Full once two writes in a row are not taken: one alone may only have
    // been slow, on a busy machine.
    std::vector<uint8_t> block(4096, 0x5A);
    int refusedInARow = 0;
    for (int i = 0; i < 1024 && refusedInARow < 2; ++i) {
        refusedInARow = port.write(block.data(), block.size(), 200) ? 0 : refusedInARow + 1;
    }
    ASSERT_EQ(refusedInARow, 2);
    WaitableEvent giveUp;
    std::thread setter([&] { giveUp.set(); });
    // Far longer than the test may take: only the event can end it early.
    EXPECT_FALSE(port.write(block.data(), block.size(), 60'000, &giveUp));
    setter.join();
}

struct OpenFailure {
    const char* name;
    const char* device;
    PortErrorCode code;
};

void PrintTo(const OpenFailure& failure, std::ostream* out) {
    *out << '"' << failure.device << '"';
}

class SerialPortOpenFailure : public ::testing::TestWithParam<OpenFailure> {};

TEST_P(SerialPortOpenFailure, IsMappedWithTheSystemsMessage) {
    SerialPort port;
    PortError error;
    EXPECT_FALSE(port.open(GetParam().device, 115200, error));
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(error.code, GetParam().code) << error.text();
    EXPECT_EQ(error.device, GetParam().device);
    EXPECT_FALSE(error.systemMessage.empty());
    EXPECT_FALSE(error.remedy.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Devices, SerialPortOpenFailure,
    ::testing::Values(OpenFailure{"NoSuchPort", "COM250", PortErrorCode::NotFound},
                      OpenFailure{"NoName", "", PortErrorCode::NotFound},
                      OpenFailure{"NotSerial", "NUL", PortErrorCode::NotASerialDevice}),
    [](const ::testing::TestParamInfo<OpenFailure>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zr8
