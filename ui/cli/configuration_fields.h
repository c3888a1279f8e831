// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The table behind the configuration document: every field the link reads
// on connect, under its JSON pointer, with how it is read, checked and
// written. Shared by the document's writing, reading and comparing only.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ui/cli/configuration_document.h"

namespace zr8::cli {

enum class FieldKind {
    Number,   // checked with the rules' typed-value reading
    Flag,     // true or false
    Derived,  // follows from other fields; checked against them
};

struct Field {
    std::string pointer;
    FieldKind kind;
    std::string name;  // as a refusal names a Number
    int64_t minimum = 0;
    int64_t maximum = 0;
    WritePart part = WritePart::None;
    std::function<Json(const Configuration&)> get;
    std::function<void(Configuration&, int64_t)> set;  // Number and Flag (0 or 1)
};

// "/ra/encoder/offset" as messages name it: "ra.encoder.offset".
std::string dotted(const std::string& pointer);

// In the document's order: identity, motor option, then each axis.
const std::vector<Field>& fields();

}  // namespace zr8::cli
