// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/rules/encoder_format_form.h"

#include <array>
#include <string>

#include "ui/rules/control_ids.h"
#include "ui/rules/typed_values.h"

namespace zr8::rules {

namespace {

using namespace format_ids;

// One axis of the dialog: its controls and where its bytes stand on the wire
// (flags, leading bits, bits per revolution, bits for revolutions).
struct AxisForm {
    int invert, gray;
    TypedField bitsPerRev, bitsForRevs, leadingBits;
    int wireFirst;
};

constexpr AxisForm kAxes[2] = {
    {IdRaInvert, IdRaGray, kRaBitsPerRevField, kRaBitsForRevsField, kRaLeadingBitsField, 0},
    {IdDecInvert, IdDecGray, kDecBitsPerRevField, kDecBitsForRevsField, kDecLeadingBitsField, 4},
};

}  // namespace

void showEncoderFormat(const EncoderConfig& format, iDialogControls& c) {
    const WireFormat wire = formatInWireOrder(format);
    for (const AxisForm& axis : kAxes) {
        const uint8_t* bytes = &wire[static_cast<size_t>(axis.wireFirst)];
        c.setChecked(axis.gray, (bytes[0] & kFlagGrayFormat) != 0);
        c.setChecked(axis.invert, (bytes[0] & kFlagInvertData) != 0);
        c.setText(axis.bitsPerRev.controlId, std::to_string(bytes[2]));
        c.setText(axis.bitsForRevs.controlId, std::to_string(bytes[3]));
        c.setText(axis.leadingBits.controlId, std::to_string(bytes[1]));
    }
}

std::optional<WireFormat> readEncoderFormat(const iDialogControls& c, Refusal& refusal) {
    WireFormat wire{};
    for (const AxisForm& axis : kAxes) {
        uint8_t* bytes = &wire[static_cast<size_t>(axis.wireFirst)];
        bytes[0] = static_cast<uint8_t>((c.isChecked(axis.gray) ? kFlagGrayFormat : 0) |
                                        (c.isChecked(axis.invert) ? kFlagInvertData : 0));
        // In the dialog's order, so the first field refused is the topmost.
        const struct {
            const TypedField& field;
            uint8_t& byte;
        } numbers[3] = {{axis.bitsPerRev, bytes[2]},
                        {axis.bitsForRevs, bytes[3]},
                        {axis.leadingBits, bytes[1]}};
        for (const auto& n : numbers) {
            const std::optional<int64_t> value =
                readTyped(n.field, c.text(n.field.controlId), kNothingChanged, refusal);
            if (!value) return std::nullopt;
            n.byte = static_cast<uint8_t>(*value);
        }
    }
    return wire;
}

}  // namespace zr8::rules
