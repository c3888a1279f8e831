// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Everything the simulated ZR8 keeps in its settings memory: what the
// configuration queries report and what the write commands change. Store
// settings (0x0D) copies the live values into the state file, if one is given.

#include <array>
#include <cstdint>
#include <string>

namespace zr8::sim {

inline constexpr size_t kMotorBlockSize = 27;

struct AxisSettings {
    uint8_t axisByte = 0;
    uint32_t gearRatio = 0;
    uint32_t microstepResolution = 0;  // microsteps in one full turn of the axis
    uint32_t baseSpeed = 0;            // speed unit: this value is the sidereal rate
    uint16_t speedFactor = 0;          // maximum speed = baseSpeed * speedFactor
    // Reported as the 27-byte motor block; bytes 0..1 always carry speedFactor.
    std::array<uint8_t, kMotorBlockSize> motorBlock{};

    friend bool operator==(const AxisSettings&, const AxisSettings&) = default;
};

// One axis's encoder data format, in the order the format frames carry it.
struct EncoderFormat {
    uint8_t flags = 0;  // bit 0 invert, bit 1 Gray, bit 2 unnamed
    uint8_t leadingBits = 0;
    uint8_t bitsPerRev = 0;
    uint8_t bitsForRevs = 0;

    friend bool operator==(const EncoderFormat&, const EncoderFormat&) = default;
};

struct ControllerSettings {
    uint32_t identityWord = 0;  // identify reply, frame index 3..6
    uint8_t reply3Byte = 0;     // command-0x03 reply, index 3
    uint32_t reply2Word = 0;    // command-0x02 reply, index 3..6
    AxisSettings ra;
    AxisSettings dec;
    uint8_t reverseMotor = 0;  // bit 0 RA, bit 1 Dec
    uint8_t motorOption = 0;
    EncoderFormat raFormat;
    EncoderFormat decFormat;
    uint8_t reverseEncoder = 0;  // bit 0 RA, bit 1 Dec
    int32_t raOffset = 0;        // encoder counts
    int32_t decOffset = 0;

    friend bool operator==(const ControllerSettings&, const ControllerSettings&) = default;
};

// A plausible factory setup: 270:1 worm, 200-step motors at 32 microsteps
// (1728000 microsteps a turn), 25-bit single-turn encoders behind 12 leading
// bits, slews at 1000 times the sidereal rate.
ControllerSettings defaultSettings();

struct SimConfig {
    // Initial configuration; a readable state file takes precedence over it.
    ControllerSettings settings = defaultSettings();
    // Where store settings (0x0D) writes and start-up reads; empty: nothing
    // survives the simulator.
    std::string stateFile;
    // Mount time runs this many times faster than wall time (tests use it
    // to let slews end quickly). Must be above 0.
    double timeScale = 1.0;
};

}  // namespace zr8::sim
