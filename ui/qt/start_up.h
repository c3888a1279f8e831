// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Start-up and wiring: builds the program's long-lived objects, connects them
// through their interfaces, runs the main dialog until the operator closes it
// and takes everything down again, in an order that lets no thread call into
// an object that is already gone. Needs a QApplication; returns the exit
// code, which is always 0.

#include <future>
#include <vector>

#include "platform/device_scan.h"

namespace zr8::ui {

using DeviceListing = std::future<std::vector<DetectedDevice>>;

// Starts listing the serial devices on a thread of its own, so that the
// listing runs while the toolkit starts. Invalid if no thread could be made.
DeviceListing startDeviceListing();

// `firstListing`, when valid, fills the port list at start instead of a
// listing made there and then.
int runProgram(DeviceListing firstListing = {});

}  // namespace zr8::ui
