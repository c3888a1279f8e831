// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Bounded text building in a caller's fixed buffer: no allocation, no errors
// other than a result position. A buffer is (capacity, position); characters
// go only below capacity - 1, and the terminating NUL may stand at
// capacity - 1. Each append returns where its NUL stands (or would stand), so
// appends chain by passing the result on.
//
// Unlike the bare algorithm, none of these writes at or past `capacity` when
// handed a position that is already out of range: such a call writes nothing
// and returns the position unchanged.

#include <cstdint>

namespace zr8 {

// Copies `text` until its NUL or until capacity - 1 is reached, then a NUL.
uint32_t appendText(char* buffer, uint32_t position, uint32_t capacity, const char* text);

// All eight hex digits of `value`, least significant first ("C2A10000" for
// 0x1A2C), cut short at capacity - 1, then a NUL.
uint32_t appendHexReversed(char* buffer, uint32_t position, uint32_t capacity, uint32_t value);

// Two decimal digits of `value` capped at 99 ("07"); a NUL only where it fits
// below capacity - 1.
uint32_t appendTwoDigits(char* buffer, uint32_t capacity, uint32_t position, uint32_t value);

// Two digits for 0..99, three for 100..999, "999" for anything larger.
uint32_t appendDegrees(char* buffer, uint32_t capacity, uint32_t position, uint32_t value);

// "+DDD:MM:SS" style text of an angle in arcseconds ("+12:34:56" for 45296,
// "-01:02:03" for -3723), with the two separators given.
uint32_t formatAngleDms(char* buffer, uint32_t capacity, uint32_t position, int32_t arcseconds,
                        char firstSeparator, char secondSeparator);

}  // namespace zr8
