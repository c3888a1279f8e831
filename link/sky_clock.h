// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace zr8 {

// Where positioning takes the local sidereal time from: the model's clock in
// the program, a fixed value in tests. Called on the link's worker thread.
class iSkyClock {
public:
    // Local mean sidereal time in hours, not reduced into 0..24.
    virtual long double localSiderealTime() const = 0;

protected:
    ~iSkyClock() = default;
};

}  // namespace zr8
