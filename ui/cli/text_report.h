// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What zr8ctl prints: the human texts, and the pieces of its JSON documents
// that more than one command shares. The dialog's own texts are used where
// the dialog shows the same thing (status texts, the port field, offsets,
// counts per revolution, +DDD:MM:SS angles).

#include <string>
#include <vector>

#include "link/records.h"
#include "link/wire.h"
#include "ui/cli/configuration_document.h"
#include "ui/cli/settings_edit.h"

namespace zr8::cli {

// {"time": ..., "ra": {"raw": ..., "arcsec": ..., "dms": ...}, "dec": {...}}
Json readingJson(const EncoderPositions& positions, const std::string& time);

// The pieces of "written": {"format": ...}, {"calibration": ...},
// {"motorReverse": ...}.
Json formatJson(const WireFormat& format);
Json calibrationJson(const CalibrationValues& calibration);
Json motorReverseJson(const MotorReverseValues& motorReverse);

// {"identical": bool, "differences": [{"field", "file", "controller", "writable"}]}
Json differencesJson(const std::vector<Difference>& differences);

// The configuration as a table, RA and Dec side by side.
std::string infoText(const ConnectionInfo& connection, const Configuration& configuration);

// Headings and both encoders, as the dialog's position group shows them.
std::string readingTable(const EncoderPositions& positions);
// One line for a watched reading: "RA 16777216 648000 +180:00:00   Dec ...".
std::string readingLine(const EncoderPositions& positions);

std::string formatText(const WireFormat& format);
std::string calibrationText(const CalibrationValues& calibration);
std::string motorReverseText(const MotorReverseValues& motorReverse);

// One line per difference, "field: file X, controller Y"; `expected` names
// where the first value comes from.
std::string differencesText(const std::vector<Difference>& differences,
                            const char* expected = "file");

}  // namespace zr8::cli
