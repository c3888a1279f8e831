// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The numbers an operator types, checked before anything reaches the
// controller: a field that does not hold a whole decimal number within what
// its value can take is refused with a message naming the field, never
// turned into some other number.
//
// Threads: any; these are pure functions.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ui/rules/dialog_controls.h"

namespace zr8::rules {

struct TypedField {
    int controlId;
    const char* name;  // as the messages name it: "RA encoder offset"
    int64_t minimum;
    int64_t maximum;
};

// An offset is one 32-bit word; the controller reports it unsigned, an
// operator may think of it signed, so both spellings are taken.
inline constexpr int64_t kWordMinimum = INT32_MIN;
inline constexpr int64_t kWordMaximum = UINT32_MAX;

// What the second line of a refusal says happened.
inline constexpr const char* kNothingSent = "Nothing has been sent.";
inline constexpr const char* kNothingChanged = "Nothing has been changed.";

// "RA encoder offset must be a whole number from -2147483648 to 4294967295."
std::string rangeMessage(const TypedField& field);

// The value of `text` for `field`; nothing, with `refusal` filled (the range
// message and `consequence` on a second line), when it is not one.
std::optional<int64_t> readTyped(const TypedField& field, std::string_view text,
                                 const char* consequence, Refusal& refusal);

// The 32-bit word either spelling stands for: -1 and 4294967295 are both
// FF FF FF FF. `value` lies within kWordMinimum..kWordMaximum.
int32_t wordOf(int64_t value);

}  // namespace zr8::rules
