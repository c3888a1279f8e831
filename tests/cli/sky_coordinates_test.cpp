// SPDX-License-Identifier: GPL-3.0-or-later
// Sky positions as typed and as shown: both forms, the sign of the whole
// value, and what is not a coordinate.
#include "ui/cli/sky_coordinates.h"

#include <gtest/gtest.h>

#include <string>

namespace zr8::cli {
namespace {

TEST(SkyCoordinates, ReadsDecimalAndSexagesimal) {
    struct Case {
        const char* ra;
        const char* dec;
        double hours, degrees;
    };
    const Case cases[] = {
        {"5.5", "-10.25", 5.5, -10.25}, {"05:30:00", "-10:15:00", 5.5, -10.25},
        {"5:30", "+22:30", 5.5, 22.5},  {"23:59:59.5", "-00:30:00", 23 + 3599.5 / 3600, -0.5},
        {"24", "90", 24, 90},           {".5", "-0:0:36", 0.5, -0.01},
    };
    for (const Case& c : cases) {
        std::string error;
        const auto sky = readSkyPosition(c.ra, c.dec, error);
        ASSERT_TRUE(sky) << c.ra << " " << c.dec << ": " << error;
        EXPECT_NEAR(sky->raHours, c.hours, 1e-12) << c.ra;
        EXPECT_NEAR(sky->decDegrees, c.degrees, 1e-12) << c.dec;
    }
}

TEST(SkyCoordinates, RefusesWhatIsNoCoordinate) {
    struct Case {
        const char* ra;
        const char* dec;
        const char* why;
    };
    const Case cases[] = {
        {"", "10", "RA : not a number of hours"},
        {"5h", "10", "RA 5h: not a number"},
        {"1e1", "10", "RA 1e1: not a number"},
        {"nan", "10", "RA nan: not a number"},
        {"05:30:00:00", "10", "RA 05:30:00:00: not a number"},
        {"05:30.5:00", "10", "RA 05:30.5:00: not a number"},
        {"5", "- 10", "Dec - 10: not a number of degrees"},
        {"05:60:00", "10", "minutes and seconds run from 0 to 59"},
        {"5", "10:00:60", "minutes and seconds run from 0 to 59"},
        {"-0:00:01", "10", "RA -0:00:01 is outside 0 to 24 h"},
        {"5", "+90:00:01", "Dec +90:00:01 is outside -90 to +90 degrees"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(readSkyPosition(c.ra, c.dec, error)) << c.ra << " " << c.dec;
        EXPECT_NE(error.find(c.why), std::string::npos) << error;
    }
}

TEST(SkyCoordinates, ShownToTheNearestSecond) {
    EXPECT_EQ(hoursText(5.5), "05:30:00");
    EXPECT_EQ(hoursText(23.99999), "00:00:00");
    EXPECT_EQ(degreesText(-0.5), "-00:30:00");
    EXPECT_EQ(degreesText(-0.0001), "+00:00:00");
    EXPECT_EQ(degreesText(89.99999), "+90:00:00");
}

}  // namespace
}  // namespace zr8::cli
