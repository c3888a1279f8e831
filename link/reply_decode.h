// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The controller's replies read into records: the mirror of the frame
// builders. A reply is 55, L, then L payload bytes, the first of them the
// command answered. Every layout is read at fixed frame indices; the reply
// assembler makes the bytes past a short reply read as 0, so each function
// may read up to ReplyAssembler::kDecodeWindow bytes of `frame` whatever the
// reply's length. Pure functions: no state, any thread.

#include <cstddef>
#include <cstdint>

#include "link/records.h"

namespace zr8 {

// The identify reply names a ZR8 only with L = 5 and command 1. False for
// anything else, leaving `identityWord` alone.
bool decodeIdentify(const uint8_t* frame, uint32_t& identityWord);

// Command 0x03: one byte, present only when the payload has two.
void decodeQuery03(const uint8_t* frame, size_t length, MountConfig& mount);
// Command 0x02: one word.
void decodeQuery02(const uint8_t* frame, MountConfig& mount);
// Command 0x14: gear ratio, microsteps per turn and base speed per axis.
void decodeAxisConfiguration(const uint8_t* frame, MountConfig& mount);
// Command 0x15: the reverse-motor bits, the motor option and the two
// 27-byte motor blocks.
void decodeMotorConfiguration(const uint8_t* frame, MountConfig& mount);
// Command 0x17: the eight format bytes in wire order.
void decodeEncoderFormat(const uint8_t* frame, EncoderConfig& encoder);
// Command 0x7B: reverse-encoder bits and both offsets.
void decodeCalibration(const uint8_t* frame, EncoderConfig& encoder);

// The figures a completed configuration implies: maximum speeds (32-bit
// products) and counts per revolution.
void deriveAxisQuantities(MountConfig& mount, EncoderConfig& encoder);

// Command 0x7A: both encoder words, scaled to arcseconds with the bits per
// revolution of `format` as they are now.
EncoderPositions decodeEncoderReading(const uint8_t* frame, const EncoderConfig& format);

// Command 0x1E: true while either axis reports a motion status above 2.
bool anyAxisMoving(const uint8_t* frame);

// Command 0x1F: the axis counters in microsteps.
struct AxisPositions {
    uint32_t ra = 0;
    uint32_t dec = 0;
};
AxisPositions decodeAxisPositions(const uint8_t* frame);

}  // namespace zr8
