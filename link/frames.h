// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Command frames to the controller: AA, N (bytes that follow), the command,
// its arguments; 32-bit words little-endian. No checksum, no terminator: the
// controller finds the end by N. One builder per frame shape; each writes the
// whole frame with one transport write and returns the writer's result,
// which callers may ignore (a late write is carried on as if sent).

#include <cstdint>

#include "link/link_transport.h"
#include "link/wire.h"

namespace zr8 {

inline constexpr uint8_t kFrameStart = 0xAA;
inline constexpr int kLongestFrame = 13;

// Every command the tool sends.
enum Command : uint8_t {
    CmdIdentify = 0x01,
    CmdSetupQuery02 = 0x02,
    CmdSetupQuery03 = 0x03,
    CmdStoreSettings = 0x0D,
    CmdSetupQuery14 = 0x14,  // axis configuration
    CmdSetupQuery15 = 0x15,  // motor configuration
    CmdReadEncoderFormat = 0x17,
    CmdWriteEncoderFormat = 0x18,
    CmdPollMotion = 0x1E,
    CmdReadAxisPositions = 0x1F,
    CmdSetAxisPositions = 0x20,
    CmdStopAxes = 0x21,
    CmdManualSpeed = 0x23,
    CmdTracking = 0x24,
    CmdPositionAxes = 0x25,
    CmdWriteMotorReverse = 0x32,
    CmdReadEncoders = 0x7A,
    CmdReadEncoderCalibration = 0x7B,
    CmdWriteEncoderCalibration = 0x7C,
    CmdReadEncoders1 = 0x7D,
    CmdReadEncoders2 = 0x7E,
};

bool sendCommand(iLinkTransport& port, uint8_t command);
bool sendCommandB(iLinkTransport& port, uint8_t command, uint8_t b0);
bool sendCommandBB(iLinkTransport& port, uint8_t command, uint8_t b0, uint8_t b1);
bool sendCommandBBBB(iLinkTransport& port, uint8_t command, uint8_t b0, uint8_t b1, uint8_t b2,
                     uint8_t b3);
bool sendCommandBBW(iLinkTransport& port, uint8_t command, uint8_t b0, uint8_t b1, uint32_t w0);
// One flag byte and eight data bytes.
bool sendCommandBx9(iLinkTransport& port, uint8_t command, uint8_t flag, const uint8_t (&data)[8]);
bool sendCommandBBWW(iLinkTransport& port, uint8_t command, uint8_t b0, uint8_t b1, uint32_t w0,
                     uint32_t w1);

}  // namespace zr8
