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

// The ranges of the fields the dialogs accept.
struct NumberRange {
    int64_t minimum;
    int64_t maximum;
};
inline constexpr NumberRange kEncoderOffsetRange{INT32_MIN, INT32_MAX};
// The encoder word is 32 bits wide: a turn cannot take more, and zero bits
// would make one count a whole turn.
inline constexpr NumberRange kBitsPerRevRange{1, 32};
inline constexpr NumberRange kBitsForRevsRange{0, 32};
inline constexpr NumberRange kLeadingBitsRange{0, 255};

}  // namespace zr8
