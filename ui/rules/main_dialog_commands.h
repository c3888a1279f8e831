// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What every control of the main dialog sends when clicked: the link request
// and the argument the control itself stands for. The arguments read at the
// click come from:
//   Connect             the port chosen in the list; 115200 baud if box 111
//                       is checked, else 9600 (through the model)
//   ManualMove          the speed trackbar's position
//   Tracking            also latches 810/811 to show the request
//   MotorReverse        boxes 302 (bit 0) and 402 (bit 1), and the published
//                       motorOption, unchanged
//   EncoderFormat       the format dialog's bytes after Ok (none on Cancel),
//                       stored in the model's published record first
//   EncoderCalibration  boxes 305 and 405, offsets 306 and 406 (refused,
//                       with nothing sent, unless both are 32-bit words)
// About opens its box and sends nothing.

#include <array>
#include <cstdint>
#include <optional>

#include "link/request_message.h"
#include "link/wire.h"
#include "ui/rules/control_ids.h"

namespace zr8::rules {

struct ControlCommand {
    int controlId;
    std::optional<LinkRequest> request;
    uint8_t fixed;  // direction, stop selector, tracking switch or read selector
};

namespace main_commands {
using namespace main_ids;
inline constexpr std::array<ControlCommand, 16> kControlCommands = {{
    {IdConnect, LinkRequest::Connect, 0},
    {IdDisconnect, LinkRequest::Disconnect, 0},
    {IdSaveSettings, LinkRequest::StoreSettings, 0},
    {IdUp, LinkRequest::ManualMove, DirectionNorth},
    {IdDown, LinkRequest::ManualMove, DirectionSouth},
    {IdRight, LinkRequest::ManualMove, DirectionWest},
    {IdLeft, LinkRequest::ManualMove, DirectionEast},
    {IdStop, LinkRequest::Stop, kStopBothAxes},
    {IdTrackOn, LinkRequest::Tracking, kTrackingOn},
    {IdTrackOff, LinkRequest::Tracking, kTrackingOff},
    {IdRaReverseMotor, LinkRequest::MotorReverse, 0},
    {IdDecReverseMotor, LinkRequest::MotorReverse, 0},
    {IdEncoderFormat, LinkRequest::EncoderFormat, 0},
    {IdReadEncoders, LinkRequest::ReadEncoders, 0},
    {IdSetCalibration, LinkRequest::EncoderCalibration, 0},
    {IdAbout, std::nullopt, 0},
}};
}  // namespace main_commands

using main_commands::kControlCommands;

// The row of `controlId`, or nullptr for a control that sends nothing.
constexpr const ControlCommand* commandFor(int controlId) {
    for (const ControlCommand& c : kControlCommands) {
        if (c.controlId == controlId) return &c;
    }
    return nullptr;
}

}  // namespace zr8::rules
