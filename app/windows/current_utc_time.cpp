// SPDX-License-Identifier: GPL-3.0-or-later
// The system clock in UTC from Windows; milliseconds are dropped.
#include <windows.h>

#include "app/sky_time.h"

namespace zr8 {

UtcTime currentUtcTime() {
    SYSTEMTIME now{};
    ::GetSystemTime(&now);
    UtcTime utc;
    utc.year = now.wYear;
    utc.month = now.wMonth;
    utc.day = now.wDay;
    utc.hour = now.wHour;
    utc.minute = now.wMinute;
    utc.second = now.wSecond;
    return utc;
}

}  // namespace zr8
