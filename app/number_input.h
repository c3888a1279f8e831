// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reading the numbers an operator types. A field that does not hold a whole
// decimal number within the range its value can take is refused rather than
// turned into some other number that would then reach the controller.

#include <cstdint>
#include <optional>
#include <string_view>

namespace zr8 {

// A decimal integer with an optional sign, surrounded by optional blanks,
// from `minimum` to `maximum`; nothing otherwise (empty, other characters,
// out of range).
std::optional<int64_t> parseInteger(std::string_view text, int64_t minimum, int64_t maximum);

}  // namespace zr8
