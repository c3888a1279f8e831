// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Sky positions as an operator types and reads them: right ascension in
// hours, declination in degrees, each as a decimal number ("5.5",
// "-10.25") or in sexagesimal ("05:30:00", "-10:15:00", "+22:30", a
// fraction allowed on the last field). The sign stands for the whole
// value: "-00:30:00" is half a degree south.

#include <optional>
#include <string>

#include "mount/sky_axes.h"

namespace zr8::cli {

// The position `ra` and `dec` spell, or nullopt with `error` saying why:
// a shape that is neither form, minutes or seconds of 60 and more, or a
// value outside 0 to 24 h or -90 to +90 degrees.
std::optional<mount::SkyPosition> readSkyPosition(const std::string& ra, const std::string& dec,
                                                  std::string& error);

// "05:30:00" for 0 <= hours < 24, to the nearest second.
std::string hoursText(double hours);
// "+22:30:00", "-00:30:00", to the nearest second.
std::string degreesText(double degrees);

}  // namespace zr8::cli
