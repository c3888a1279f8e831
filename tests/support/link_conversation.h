// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The frames of a conversation with a connected controller, as the end-to-end
// tests of every system check them at the controller's end: the connect
// sequence's, and one of each request a ready link executes.

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <vector>

#include "link/comm_control.h"
#include "link/status_codes.h"
#include "tests/support/recording_listener.h"

namespace zr8::test {

using Bytes = std::vector<uint8_t>;

inline const Bytes kConnectFrames[] = {
    {0xAA, 0x01, 0x01}, {0xAA, 0x01, 0x03}, {0xAA, 0x01, 0x02}, {0xAA, 0x01, 0x14},
    {0xAA, 0x01, 0x15}, {0xAA, 0x01, 0x17}, {0xAA, 0x01, 0x7B},
};

inline EncoderConfig defaultFormat() {
    EncoderConfig format;
    format.raLeadingBits = format.decLeadingBits = 12;
    format.raBitsPerRev = format.decBitsPerRev = 25;
    return format;
}

inline Bytes word(uint32_t value) {
    return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
}

inline Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// Frames that sendEveryRequest makes the link send.
inline constexpr size_t kEveryRequestFrames = 11;

// One of each request to a connected link, waiting where a status says that
// the request was carried out.
inline void sendEveryRequest(CommControl& comm, Recorder& seen) {
    comm.storeSettings();
    ASSERT_TRUE(seen.waitForStatus(StatusParametersStored));
    comm.setEncoderCalibration(0x03, 0x01020304, -2);
    ASSERT_TRUE(seen.waitForStatus(StatusCalibrationUpdated));
    comm.stopMotion(4);
    ASSERT_TRUE(seen.waitForStatus(StatusReady));
    comm.setTracking(1);
    comm.setMotorReverse(0x03, 0x5A);
    const uint8_t format[8] = {0x01, 0x0C, 0x19, 0x00, 0x02, 0x0C, 0x19, 0x00};
    comm.setEncoderFormat(format);
    comm.readEncoders(1);
    comm.readEncoders(2);
    comm.readEncodersQuiet(7);
    comm.sendReserved(0xDEADBEEF, 1);  // no frame
    comm.manualMove(2, 5);
    ASSERT_TRUE(seen.waitForStatus(StatusManualMovement));
    comm.pierSideMove(1);
}

// The frames of sendEveryRequest, byte for byte, as the controller received
// them; `mount` is the configuration the link connected with.
inline void expectEveryRequestsFrames(const std::vector<Bytes>& frames, const MountConfig& mount) {
    const uint32_t quarterRa = mount.raMicrostepResolution >> 2;
    const uint32_t quarterDec = mount.decMicrostepResolution >> 2;
    const std::vector<Bytes> expected = {
        {0xAA, 0x02, 0x0D, 0x01},
        concat({{0xAA, 0x0B, 0x7C, 0x01, 0x03}, word(0x01020304), word(0xFFFFFFFE)}),
        {0xAA, 0x03, 0x21, 0x00, 0xC0},
        {0xAA, 0x03, 0x24, 0x00, 0x01},
        {0xAA, 0x05, 0x32, 0x00, 0xC0, 0x03, 0x5A},
        {0xAA, 0x0A, 0x18, 0x01, 0x01, 0x0C, 0x19, 0x00, 0x02, 0x0C, 0x19, 0x00},
        {0xAA, 0x02, 0x7D, 0x01},
        {0xAA, 0x02, 0x7E, 0x01},
        {0xAA, 0x02, 0x7A, 0x01},
        {},  // manual move: speed from the curve, checked by shape below
        concat({{0xAA, 0x0B, 0x20, 0x01, 0xC0}, word(0u - quarterRa), word(quarterDec)}),
    };
    ASSERT_EQ(frames.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        if (expected[i].empty()) {
            ASSERT_EQ(frames[i].size(), 9u);
            EXPECT_EQ(Bytes(frames[i].begin(), frames[i].begin() + 5),
                      (Bytes{0xAA, 0x07, 0x23, 0x00, 0x80}));
            continue;
        }
        EXPECT_EQ(frames[i], expected[i]) << "frame " << i;
    }
}

}  // namespace zr8::test
