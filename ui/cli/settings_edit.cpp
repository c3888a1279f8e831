// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/cli/settings_edit.h"

#include "ui/cli/control_store.h"
#include "ui/rules/control_ids.h"
#include "ui/rules/encoder_format_form.h"
#include "ui/rules/main_dialog_fields.h"
#include "ui/rules/typed_values.h"

namespace zr8::cli {

namespace {

using namespace rules::main_ids;

constexpr rules::TypedField kSpeedField{IdSpeed, "Speed step", 0, kSpeedMax};

void apply(const ControlChanges& changes, rules::iDialogControls& controls) {
    for (const auto& [id, text] : changes.texts) controls.setText(id, text);
    for (const auto& [id, checked] : changes.checks) controls.setChecked(id, checked);
}

uint8_t boxBits(const rules::iDialogControls& controls, int raBox, int decBox) {
    return static_cast<uint8_t>((controls.isChecked(raBox) ? kReverseRa : 0) |
                                (controls.isChecked(decBox) ? kReverseDec : 0));
}

// The main dialog's configuration fields as the controller fills them.
ControlStore mainDialogWith(const MountConfig& mount, const EncoderConfig& encoder,
                            const ControlChanges& changes) {
    ControlStore controls;
    rules::showConfigurationFields(mount, encoder, controls);
    apply(changes, controls);
    return controls;
}

}  // namespace

std::optional<WireFormat> editedFormat(const EncoderConfig& current, const ControlChanges& changes,
                                       rules::Refusal& refusal) {
    ControlStore controls;
    rules::showEncoderFormat(current, controls);
    apply(changes, controls);
    return rules::readEncoderFormat(controls, refusal);
}

std::optional<CalibrationValues> editedCalibration(const EncoderConfig& current,
                                                   const ControlChanges& changes,
                                                   rules::Refusal& refusal) {
    const ControlStore controls = mainDialogWith(MountConfig{}, current, changes);
    const std::optional<int64_t> ra = rules::readTyped(
        rules::kRaOffsetField, controls.text(IdRaOffset), rules::kNothingSent, refusal);
    if (!ra) return std::nullopt;
    const std::optional<int64_t> dec = rules::readTyped(
        rules::kDecOffsetField, controls.text(IdDecOffset), rules::kNothingSent, refusal);
    if (!dec) return std::nullopt;
    return CalibrationValues{boxBits(controls, IdRaReverseEncoder, IdDecReverseEncoder),
                             rules::wordOf(*ra), rules::wordOf(*dec)};
}

MotorReverseValues editedMotorReverse(const MountConfig& current, const ControlChanges& changes) {
    const ControlStore controls = mainDialogWith(current, EncoderConfig{}, changes);
    return {boxBits(controls, IdRaReverseMotor, IdDecReverseMotor), current.motorOption};
}

std::optional<uint8_t> speedStep(const std::string& text, rules::Refusal& refusal) {
    const std::optional<int64_t> step =
        rules::readTyped(kSpeedField, text, rules::kNothingSent, refusal);
    if (!step) return std::nullopt;
    return static_cast<uint8_t>(*step);
}

}  // namespace zr8::cli
