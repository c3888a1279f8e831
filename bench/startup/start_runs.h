// SPDX-License-Identifier: GPL-3.0-or-later
// What both start-up benches measure of one start, and how they sum it up.
#pragma once

#include <algorithm>
#include <chrono>
#include <vector>

namespace zr8::bench {

using Clock = std::chrono::steady_clock;

struct StartRun {
    bool ok = false;
    double shownMs = 0;
    double exitMs = 0;
    long peakKiB = 0;
};

inline double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

inline double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

}  // namespace zr8::bench
