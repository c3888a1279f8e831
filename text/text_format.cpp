// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/text_format.h"

namespace zr8 {

namespace {

// Index below which characters may be written; the NUL may stand on it.
constexpr uint32_t lastIndex(uint32_t capacity) { return capacity == 0 ? 0 : capacity - 1; }

constexpr char kHexDigits[] = "0123456789ABCDEF";

}  // namespace

uint32_t appendText(char* buffer, uint32_t position, uint32_t capacity, const char* text) {
    if (position >= capacity) return position;
    const uint32_t limit = lastIndex(capacity);
    while (position < limit && *text != '\0') buffer[position++] = *text++;
    buffer[position] = '\0';
    return position;
}

uint32_t appendHexReversed(char* buffer, uint32_t position, uint32_t capacity, uint32_t value) {
    if (position >= capacity) return position;
    const uint32_t limit = lastIndex(capacity);
    for (int digit = 0; digit < 8 && position < limit; ++digit) {
        buffer[position++] = kHexDigits[(value >> (4 * digit)) & 0xFu];
    }
    buffer[position] = '\0';
    return position;
}

uint32_t appendTwoDigits(char* buffer, uint32_t capacity, uint32_t position, uint32_t value) {
    const uint32_t limit = lastIndex(capacity);
    if (position >= limit) return position;
    if (value > 99) value = 99;
    buffer[position] = static_cast<char>('0' + value / 10);
    if (position + 1 >= limit) return position + 1;
    buffer[position + 1] = static_cast<char>('0' + value % 10);
    if (position + 2 < limit) buffer[position + 2] = '\0';
    return position + 2;
}

uint32_t appendDegrees(char* buffer, uint32_t capacity, uint32_t position, uint32_t value) {
    if (value > 999) value = 999;
    if (value >= 100) {
        if (position >= lastIndex(capacity)) return position;
        buffer[position++] = static_cast<char>('0' + value / 100);
        value %= 100;
    }
    return appendTwoDigits(buffer, capacity, position, value);
}

uint32_t formatAngleDms(char* buffer, uint32_t capacity, uint32_t position, int32_t arcseconds,
                        char firstSeparator, char secondSeparator) {
    const uint32_t limit = lastIndex(capacity);
    if (position >= limit) {
        if (position < capacity) buffer[position] = '\0';
        return position;
    }
    // Negate in unsigned arithmetic: the most negative value has no positive
    // counterpart in 32 bits.
    uint32_t angle = static_cast<uint32_t>(arcseconds);
    if (arcseconds < 0) {
        buffer[position] = '-';
        angle = 0u - angle;
    } else {
        buffer[position] = '+';
    }
    const uint32_t degrees = angle / 3600;
    const uint32_t remainder = angle % 3600;
    position = appendDegrees(buffer, capacity, position + 1, degrees);
    if (position < limit) buffer[position++] = firstSeparator;
    position = appendTwoDigits(buffer, capacity, position, remainder / 60);
    if (position < limit) buffer[position++] = secondSeparator;
    position = appendTwoDigits(buffer, capacity, position, remainder % 60);
    buffer[position] = '\0';
    return position;
}

}  // namespace zr8
