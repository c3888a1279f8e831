// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The encoder data format dialog's rules: what it shows for a record, and
// what its Ok makes of the controls. The dialog itself writes nothing: Ok
// hands back the eight format bytes, and the main dialog stores and sends
// them.
//
// Ok: each flags byte becomes 2 for "Gray format" plus 1 for "Invert data",
// every other bit cleared. Each number must fit the byte it is stored in
// (0 to 255), so every value a controller can report passes an unchanged Ok;
// anything else is refused with a message naming the field, and the dialog
// stays open.
//
// Threads: user-interface thread.

#include <optional>

#include "link/records.h"
#include "link/wire.h"
#include "ui/rules/control_ids.h"
#include "ui/rules/dialog_controls.h"
#include "ui/rules/typed_values.h"

namespace zr8::rules {

// The dialog's typed fields, each stored in one byte. Other front ends that
// take these numbers check them against the same fields.
inline constexpr TypedField kRaBitsPerRevField{format_ids::IdRaBitsPerRev,
                                               "RA bits per one revolution", 0, 255};
inline constexpr TypedField kRaBitsForRevsField{format_ids::IdRaBitsForRevs,
                                                "RA bits for revolutions", 0, 255};
inline constexpr TypedField kRaLeadingBitsField{format_ids::IdRaLeadingBits, "RA leading bits", 0,
                                                255};
inline constexpr TypedField kDecBitsPerRevField{format_ids::IdDecBitsPerRev,
                                                "Dec bits per one revolution", 0, 255};
inline constexpr TypedField kDecBitsForRevsField{format_ids::IdDecBitsForRevs,
                                                 "Dec bits for revolutions", 0, 255};
inline constexpr TypedField kDecLeadingBitsField{format_ids::IdDecLeadingBits, "Dec leading bits",
                                                 0, 255};

// Fills the four boxes and six edits from the record's format bytes.
void showEncoderFormat(const EncoderConfig& format, iDialogControls& controls);

// The bytes the controls hold on Ok, in wire order; nothing, with
// `refusal` filled, when a number does not fit its byte.
std::optional<WireFormat> readEncoderFormat(const iDialogControls& controls, Refusal& refusal);

}  // namespace zr8::rules
