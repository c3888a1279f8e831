// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/rules/typed_values.h"

#include "app/number_input.h"

namespace zr8::rules {

std::string rangeMessage(const TypedField& field) {
    return std::string(field.name) + " must be a whole number from " +
           std::to_string(field.minimum) + " to " + std::to_string(field.maximum) + ".";
}

std::optional<int64_t> readTyped(const TypedField& field, std::string_view text,
                                 const char* consequence, Refusal& refusal) {
    std::optional<int64_t> value = parseInteger(text, field.minimum, field.maximum);
    if (!value) refusal = {field.controlId, rangeMessage(field) + "\n" + consequence};
    return value;
}

int32_t wordOf(int64_t value) { return static_cast<int32_t>(static_cast<uint32_t>(value)); }

}  // namespace zr8::rules
