// SPDX-License-Identifier: GPL-3.0-or-later
// The system clock in UTC through the C++ library (Linux).
#include <chrono>

#include "app/sky_time.h"

namespace zr8 {

UtcTime currentUtcTime() {
    using namespace std::chrono;
    const auto now = floor<seconds>(system_clock::now());
    const auto day = floor<days>(now);
    const year_month_day date{day};
    const hh_mm_ss<seconds> time{now - day};
    UtcTime utc;
    utc.year = static_cast<int32_t>(date.year());
    utc.month = static_cast<int32_t>(static_cast<unsigned>(date.month()));
    utc.day = static_cast<int32_t>(static_cast<unsigned>(date.day()));
    utc.hour = static_cast<int32_t>(time.hours().count());
    utc.minute = static_cast<int32_t>(time.minutes().count());
    utc.second = static_cast<int32_t>(time.seconds().count());
    return utc;
}

}  // namespace zr8
