// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What each field of the main dialog shows for a record: the status line and
// its tooltip, the second status field (115), the configuration and the
// encoder reading. The text functions serve any front end (the command-line
// tool prints the same texts); the show functions fill a dialog's controls.
//
// Threads: user-interface thread for the show functions; the text
// functions are pure.

#include <cstdint>
#include <string>

#include "link/records.h"
#include "ui/rules/control_ids.h"
#include "ui/rules/dialog_controls.h"
#include "ui/rules/typed_values.h"

namespace zr8::rules {

// The typed fields of the main dialog: each encoder offset is one 32-bit
// word, in either spelling.
inline constexpr TypedField kRaOffsetField{main_ids::IdRaOffset, "RA encoder offset", kWordMinimum,
                                           kWordMaximum};
inline constexpr TypedField kDecOffsetField{main_ids::IdDecOffset, "Dec encoder offset",
                                            kWordMinimum, kWordMaximum};

// The status line's text for a code (its low 16 bits), or nullptr when the
// code has none and the line stays as it is.
const char* statusLineText(int32_t statusCode);

// Why a port could not be opened and what to do about it, for the status
// line's tooltip; empty unless `connection` says the last open failed.
std::string openFailureText(const ConnectionInfo& connection);

// Field 115: says plainly when the controller is the built-in simulator,
// names device and rate of a real one, and is empty while no port is open.
inline constexpr const char* kSimulatedControllerText = "Simulated ZR8 - not a real controller";
std::string connectionText(const ConnectionInfo& connection);

// Encoder counts in one turn: exact up to 63 bits, "2^N" beyond, where no
// 64-bit number holds it.
std::string countsPerRevolutionText(uint8_t bitsPerRev);

// An encoder offset as the controller means it: an unsigned 32-bit word
// (a stored -1 shows as 4294967295).
std::string offsetText(int32_t offset);

// "+DDD:MM:SS" of an angle in arcseconds.
std::string angleText(int32_t arcseconds);

// Fields 303/304 and 403/404: bits per revolution and counts per revolution.
void showResolution(uint8_t raBitsPerRev, uint8_t decBitsPerRev, iDialogControls& controls);

// The configuration group boxes. Setting a check box here is not a click.
void showConfigurationFields(const MountConfig& mount, const EncoderConfig& encoder,
                             iDialogControls& controls);

// The reading's raw words, arcseconds and angles; a reading that is not
// valid leaves the fields as they are.
void showPositionFields(const EncoderPositions& positions, iDialogControls& controls);

}  // namespace zr8::rules
