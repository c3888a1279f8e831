// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/encoder_model.h"

#include <cmath>

namespace zr8::sim {

namespace {

uint64_t lowBits(unsigned width) { return width >= 64 ? ~uint64_t{0} : (uint64_t{1} << width) - 1; }

}  // namespace

int64_t encoderCounts(double shaftMicrosteps, uint32_t microstepResolution, uint8_t bitsPerRev) {
    if (microstepResolution == 0) return 0;
    // long double keeps the product exact for every angle a 32-bit counter reaches.
    const long double counts =
        std::ldexp(static_cast<long double>(shaftMicrosteps), bitsPerRev % 64) /
        microstepResolution;
    const long double f = std::floor(counts);
    if (f >= 9.2e18L) return INT64_MAX;
    if (f <= -9.2e18L) return INT64_MIN;
    return static_cast<int64_t>(f);
}

uint32_t encoderWord(int64_t counts, const EncoderFormat& format, bool reverse, int32_t offset) {
    uint64_t v = static_cast<uint64_t>(counts);
    if (reverse) v = ~v + 1;
    v += static_cast<uint64_t>(static_cast<int64_t>(offset));
    const unsigned width = unsigned{format.bitsPerRev} + format.bitsForRevs;
    return static_cast<uint32_t>(v & lowBits(width < 32 ? width : 32));
}

uint64_t encoderSerialData(int64_t counts, const EncoderFormat& format) {
    const unsigned dataWidth = unsigned{format.bitsPerRev} + format.bitsForRevs;
    const unsigned totalWidth = dataWidth + format.leadingBits;
    uint64_t v = static_cast<uint64_t>(counts) & lowBits(dataWidth);
    if (format.flags & 0x02) v ^= v >> 1;
    if (format.flags & 0x01) v = ~v & lowBits(totalWidth);
    return v;
}

}  // namespace zr8::sim
