// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The three writes zr8ctl makes to a controller's configuration (the encoder
// format, the calibration, the motor reverse bits with the motor option):
// what each sends, what the controller then holds, and how to tell whether
// it does, by connecting again and reading everything back as on connect.
// format, calibration and motor-reverse make one each, restore all three.

#include <string>
#include <vector>

#include "link/wire.h"
#include "ui/cli/configuration_document.h"
#include "ui/cli/controller_session.h"
#include "ui/cli/settings_edit.h"

namespace zr8::cli {

struct Writes {
    WireFormat format{};
    CalibrationValues calibration;
    MotorReverseValues motorReverse;
};

// What restore writes to make a controller hold `configuration`.
Writes writesOf(const Configuration& configuration);

// "the encoder format"
const char* partName(WritePart part);
// "the encoder format and the calibration"
std::string partNames(const std::vector<WritePart>& parts);

// `configuration` as a controller holds it once `part` of `writes` is in.
void apply(Configuration& configuration, const Writes& writes, WritePart part);

// Sends `part` of `writes` and waits until the controller has it.
Result write(ControllerSession& session, const Writes& writes, WritePart part);

// {"format": ..., "calibration": ..., "motorReverse": ...} for `parts`.
Json writtenJson(const Writes& writes, const std::vector<WritePart>& parts);
// A line for each of `parts`, indented.
std::string writtenText(const Writes& writes, const std::vector<WritePart>& parts);

// After connecting again: the fields of `parts` that the controller does
// not hold as `expected` has them.
std::vector<Difference> notHeld(const Configuration& expected, const Configuration& controller,
                                const std::vector<WritePart>& parts);

}  // namespace zr8::cli
