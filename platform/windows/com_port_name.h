// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Names of serial ports as the operator and the system write them: "COM3",
// "com3:", "\\.\COM3". Only the last form opens every port: COM10 and above
// exist solely in the device namespace.

#include <string>
#include <vector>

#include "platform/device_scan.h"

namespace zr8 {

// The name to open: "\\.\" and the typed name without a trailing colon,
// unless it already is a path ("\\.\COM3", "\\?\..."). Empty for empty.
std::string comDevicePath(const std::string& typed);

// n for a name "COMn" (any case, with or without "\\.\"), 1..255; else 0.
int comPortNumber(const std::string& name);

// "COMn" for a name of COM port n written in any of the ways an operator
// might ("21", "com21", "COM21:", "\\.\COM21"); any other name unchanged.
std::string comPortName(const std::string& typed);

// COM ports by number (COM2 before COM10), then other names in order.
void sortByComNumber(std::vector<DetectedDevice>& devices);

}  // namespace zr8
