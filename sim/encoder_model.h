// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The absolute encoders on the axis shafts and the controller's reading of
// them. The controller decodes the encoder's serial data with the format
// bytes, so a read returns plain counts: bitsPerRev bits for the angle within
// a turn, bitsForRevs bits above them for whole turns. The calibration
// (reverse bit, offset in counts) applies before the word is cut to width.

#include <cstdint>

#include "sim/controller_settings.h"

namespace zr8::sim {

// Counts since encoder zero for a shaft angle, floor(shaft * 2^bits / resolution).
// The exponent is taken modulo 64 as the link does; 0 for a zero resolution.
int64_t encoderCounts(double shaftMicrosteps, uint32_t microstepResolution, uint8_t bitsPerRev);

// The word a read returns: counts (negated for a reversed encoder) plus the
// offset, kept to bitsPerRev + bitsForRevs bits (at most 32).
uint32_t encoderWord(int64_t counts, const EncoderFormat& format, bool reverse, int32_t offset);

// The encoder's own serial data for the counts, as it leaves the encoder:
// leading bits (zero), turns, angle; Gray-coded and inverted as the flags say.
uint64_t encoderSerialData(int64_t counts, const EncoderFormat& format);

}  // namespace zr8::sim
