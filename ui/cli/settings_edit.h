// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The setters' values, taken as the dialogs take them: the controller's
// configuration fills the dialog's controls, the operator's options change
// some of them, and the dialog's own rules read them back, refusing a typed
// value that does not fit with the dialog's message. Before anything is
// sent the same reading runs over zeros, so a bad value is refused before
// the port is even opened.

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "link/records.h"
#include "link/wire.h"
#include "ui/rules/dialog_controls.h"

namespace zr8::cli {

// The operator's changes to one dialog's controls (rules' control ids):
// texts for edits, states for check boxes.
struct ControlChanges {
    std::map<int, std::string> texts;
    std::map<int, bool> checks;

    bool empty() const { return texts.empty() && checks.empty(); }
};

// The format dialog's Ok over the controller's format with `changes`: the
// flags become Gray and invert only, as the dialog makes them.
std::optional<WireFormat> editedFormat(const EncoderConfig& current, const ControlChanges& changes,
                                       rules::Refusal& refusal);

// "Set enc. calibration" over the controller's calibration with `changes`.
struct CalibrationValues {
    uint8_t reverseBits = 0;
    int32_t raOffset = 0;
    int32_t decOffset = 0;
};
std::optional<CalibrationValues> editedCalibration(const EncoderConfig& current,
                                                   const ControlChanges& changes,
                                                   rules::Refusal& refusal);

// The "Reverse motor" boxes over the controller's bits with `changes`; the
// motor option goes back unchanged.
struct MotorReverseValues {
    uint8_t reverseBits = 0;
    uint8_t motorOption = 0;
};
MotorReverseValues editedMotorReverse(const MountConfig& current, const ControlChanges& changes);

// A manual move's speed step, as the speed trackbar holds it (0 to 31).
std::optional<uint8_t> speedStep(const std::string& text, rules::Refusal& refusal);

}  // namespace zr8::cli
