// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The link's outward records. Plain values: they cross threads only as whole
// copies, so they carry no pointers and no behaviour.

#include <cstdint>

#include "platform/port_error.h"

namespace zr8 {

struct MountConfig {
    uint8_t connectMarker = 0;  // 7 whenever a connect sequence starts
    uint32_t identityWord = 0;
    uint32_t reply2Word = 0;
    uint8_t reply3Byte = 0;
    uint8_t reply3Spare = 0;
    uint8_t raAxisByte = 0;
    uint8_t decAxisByte = 0;
    uint32_t raGearRatio = 0;
    uint32_t raMicrostepResolution = 0;  // microsteps in one full RA turn
    uint32_t raBaseSpeed = 0;            // unit of RA manual speeds
    uint32_t decGearRatio = 0;
    uint32_t decMicrostepResolution = 0;
    uint32_t decBaseSpeed = 0;
    uint32_t raSpeedFactor = 0;
    uint32_t decSpeedFactor = 0;
    uint8_t reverseMotor = 0;  // bit 0 RA, bit 1 Dec
    uint8_t motorOption = 0;   // echoed back with every reverse-motor write
    uint16_t raMotor3 = 0;
    uint16_t decMotor3 = 0;
    uint16_t raMotor5 = 0, raMotor7 = 0, raMotor9 = 0;
    uint16_t decMotor5 = 0, decMotor7 = 0, decMotor9 = 0;
    uint8_t raMotor11 = 0, raMotor12 = 0, raMotor13 = 0;
    uint8_t decMotor11 = 0, decMotor12 = 0, decMotor13 = 0;
    uint8_t raMotor16 = 0, raMotor17 = 0;
    uint8_t decMotor16 = 0, decMotor17 = 0;
    uint8_t raMotor14 = 0, raMotor15 = 0;
    uint8_t decMotor14 = 0, decMotor15 = 0;
    uint16_t raMotor18 = 0, raMotor20 = 0;
    uint16_t decMotor18 = 0, decMotor20 = 0;
    uint16_t raMotor2 = 0;
    uint16_t decMotor2 = 0;
    uint8_t raMotor22 = 0;
    uint8_t decMotor22 = 0;
    uint32_t raMotor23 = 0;
    uint32_t decMotor23 = 0;
    uint32_t raMaxSpeed = 0;  // raBaseSpeed * raSpeedFactor, wrapping
    uint32_t decMaxSpeed = 0;

    friend bool operator==(const MountConfig&, const MountConfig&) = default;
};

// Fields 1 to 8 are "the eight format bytes" in record order. Frames carry
// them grouped per axis instead (flags, leading, per rev, for revs).
struct EncoderConfig {
    uint8_t raFlags = 0;  // bit 0 invert, bit 1 Gray, bit 2 unnamed
    uint8_t decFlags = 0;
    uint8_t raLeadingBits = 0;
    uint8_t raBitsPerRev = 0;
    uint8_t raBitsForRevs = 0;
    uint8_t decLeadingBits = 0;
    uint8_t decBitsPerRev = 0;
    uint8_t decBitsForRevs = 0;
    uint64_t raCountsPerRev = 0;  // 2^(raBitsPerRev mod 64), from the last connect
    uint64_t decCountsPerRev = 0;
    uint8_t reverseEncoder = 0;  // bit 0 RA, bit 1 Dec
    int32_t raOffset = 0;        // encoder counts
    int32_t decOffset = 0;

    friend bool operator==(const EncoderConfig&, const EncoderConfig&) = default;
};

// The encoder data format a link starts with until the controller reports
// its own.
inline EncoderConfig initialEncoderFormat() {
    EncoderConfig format;
    format.raLeadingBits = format.decLeadingBits = 12;
    format.raBitsPerRev = format.decBitsPerRev = 25;
    return format;
}

// What the link knows of its serial line: the device it has open, or why the
// last one could not be opened. Texts are fixed buffers so that the record
// stays a plain value that crosses threads by copy without allocating.
enum class LineState : uint8_t {
    Closed,      // never opened, disconnected, rejected, timed out or lost
    Open,        // the port is open (the connect sequence may still be running)
    OpenFailed,  // the last connect could not open its port; see failure
};

struct ConnectionInfo {
    static constexpr int kTextCapacity = 160;

    LineState state = LineState::Closed;
    bool simulated = false;  // a stand-in made on demand, not a controller on a wire
    uint32_t baudRate = 0;
    char device[kTextCapacity] = {};       // "/dev/ttyUSB0", "COM3" or the entry's name
    char description[kTextCapacity] = {};  // what the system calls the device; may be empty
    PortErrorCode failure = PortErrorCode::None;
    char reason[kTextCapacity] = {};  // the system's own words
    char remedy[kTextCapacity] = {};  // what the operator can do about it

    friend bool operator==(const ConnectionInfo&, const ConnectionInfo&) = default;
};

// Copies the eight format bytes only; the derived counts and the calibration
// stay as they are.
inline void copyFormatBytes(EncoderConfig& to, const EncoderConfig& from) {
    to.raFlags = from.raFlags;
    to.decFlags = from.decFlags;
    to.raLeadingBits = from.raLeadingBits;
    to.raBitsPerRev = from.raBitsPerRev;
    to.raBitsForRevs = from.raBitsForRevs;
    to.decLeadingBits = from.decLeadingBits;
    to.decBitsPerRev = from.decBitsPerRev;
    to.decBitsForRevs = from.decBitsForRevs;
}

struct EncoderPositions {
    uint8_t valid = 0;
    uint64_t raRaw = 0;  // the 32-bit word as read, upper half 0
    uint64_t decRaw = 0;
    int32_t raArcsec = 0;  // 1296000 to a full turn
    int32_t decArcsec = 0;

    friend bool operator==(const EncoderPositions&, const EncoderPositions&) = default;
};

// One reading of the axis counters (command 0x1F), with the side of the pier
// the link held when the reply came: what a mount front end turns into a sky
// position.
struct AxisReading {
    uint8_t valid = 0;    // 1 once a reply has been decoded
    int32_t raSteps = 0;  // microsteps, as the controller counts
    int32_t decSteps = 0;
    int32_t pierState = 0;  // PierState: 7 east, 6 west, 4 and 5 a flip under way

    friend bool operator==(const AxisReading&, const AxisReading&) = default;
};

}  // namespace zr8
