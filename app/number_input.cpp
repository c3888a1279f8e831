// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/number_input.h"

namespace zr8 {

namespace {
bool isBlank(char c) { return c == ' ' || c == '\t'; }
}  // namespace

std::optional<int64_t> parseInteger(std::string_view text, int64_t minimum, int64_t maximum) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    // No magnitude above 2^63 fits an int64, so stop there instead of
    // overflowing.
    constexpr uint64_t kLimit = uint64_t{1} << 63;
    uint64_t magnitude = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        const auto digit = static_cast<uint64_t>(c - '0');
        if (magnitude > (kLimit - digit) / 10) return std::nullopt;
        magnitude = magnitude * 10 + digit;
    }
    int64_t value;
    if (negative) {
        value = magnitude == kLimit ? INT64_MIN : -static_cast<int64_t>(magnitude);
    } else {
        if (magnitude == kLimit) return std::nullopt;
        value = static_cast<int64_t>(magnitude);
    }
    if (value < minimum || value > maximum) return std::nullopt;
    return value;
}

}  // namespace zr8
