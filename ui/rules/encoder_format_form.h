#pragma once
// The encoder data format dialog's rules: what it shows for a record, and
// what its Ok makes of the controls. The dialog itself writes nothing: Ok
// hands back the eight format bytes, and the main dialog stores and sends
// them.
//
// Ok: bits 0 ("Invert data") and 1 ("Gray format") of each flags byte come
// from the boxes, the bits no box shows stay as they were. A number outside
// what its field can take is refused with a message naming the field, and
// the dialog stays open.
//
// Threads: user-interface thread.

#include <optional>

#include "link/records.h"
#include "link/wire.h"
#include "ui/rules/dialog_controls.h"

namespace zr8::rules {

// Fills the four boxes and six edits from the record's format bytes.
void showEncoderFormat(const EncoderConfig& format, iDialogControls& controls);

// The bytes the controls hold on Ok over `initial`, in wire order; nothing,
// with `refusal` filled, when a number does not fit its field.
std::optional<WireFormat> readEncoderFormat(const EncoderConfig& initial,
                                            const iDialogControls& controls, Refusal& refusal);

}  // namespace zr8::rules
