// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The words every front end and every room of the link share when they talk
// about the controller: byte order, the axis and direction codes, the flip
// choices and the encoder format in the order frames carry it. Each is spelt
// once, here.

#include <array>
#include <cstdint>

#include "link/records.h"

namespace zr8 {

// Every multi-byte integer on the line and in the request pipe is
// little-endian.
constexpr uint16_t readU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
constexpr uint32_t readU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
constexpr int32_t readI32(const uint8_t* p) { return static_cast<int32_t>(readU32(p)); }
// Return the position after the value.
constexpr uint8_t* putU16(uint8_t* p, uint16_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
    return p + 2;
}
constexpr uint8_t* putU32(uint8_t* p, uint32_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
    p[2] = static_cast<uint8_t>(value >> 16);
    p[3] = static_cast<uint8_t>(value >> 24);
    return p + 4;
}

// Axis-select byte of the controller's frames.
inline constexpr uint8_t kAxisNone = 0x00;
inline constexpr uint8_t kAxisDec = 0x40;
inline constexpr uint8_t kAxisRa = 0x80;
inline constexpr uint8_t kAxisBoth = 0xC0;

// Manual direction codes; a stop selector uses the same values for one axis
// and kStopBothAxes for both.
enum Direction : uint8_t {
    DirectionNorth = 0,  // Dec, positive
    DirectionSouth = 1,  // Dec, negative
    DirectionWest = 2,   // RA, positive
    DirectionEast = 3,   // RA, negative
};
inline constexpr uint8_t kStopBothAxes = 4;

// The operator's answer to a meridian flip question.
enum FlipChoice : uint16_t {
    FlipChoiceCancel = 0,
    FlipChoiceWithoutFlip = 1,
    FlipChoiceWithFlip = 2,
};

// Tracking switch argument.
inline constexpr uint8_t kTrackingOff = 0;
inline constexpr uint8_t kTrackingOn = 1;

// Bits of EncoderConfig's flag bytes that the dialogs show.
inline constexpr uint8_t kFlagInvertData = 0x01;
inline constexpr uint8_t kFlagGrayFormat = 0x02;
// Bits of the reverse-motor and reverse-encoder bytes.
inline constexpr uint8_t kReverseRa = 0x01;
inline constexpr uint8_t kReverseDec = 0x02;

// Encoder counts in one turn for a number of bits per revolution; the
// exponent is taken modulo 64 as the controller's arithmetic does.
constexpr uint64_t countsPerRevolution(uint8_t bitsPerRev) {
    return uint64_t{1} << (bitsPerRev % 64);
}

// The eight format bytes grouped per axis, as the format request, the format
// frame and the format reply carry them: flags, leading bits, bits per
// revolution, bits for revolutions; RA first.
using WireFormat = std::array<uint8_t, 8>;

constexpr WireFormat formatInWireOrder(const EncoderConfig& e) {
    return {e.raFlags,  e.raLeadingBits,  e.raBitsPerRev,  e.raBitsForRevs,
            e.decFlags, e.decLeadingBits, e.decBitsPerRev, e.decBitsForRevs};
}

// Stores eight bytes in wire order into the record's format fields.
constexpr void storeWireFormat(EncoderConfig& e, const uint8_t* p) {
    e.raFlags = p[0];
    e.raLeadingBits = p[1];
    e.raBitsPerRev = p[2];
    e.raBitsForRevs = p[3];
    e.decFlags = p[4];
    e.decLeadingBits = p[5];
    e.decBitsPerRev = p[6];
    e.decBitsForRevs = p[7];
}

}  // namespace zr8
