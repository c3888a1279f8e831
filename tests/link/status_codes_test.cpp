// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/status_codes.h"

#include <gtest/gtest.h>

#include <string>

namespace zr8 {
namespace {

TEST(StatusCodes, TextsByCode) {
    const std::pair<int32_t, std::string> cases[] = {
        {0, "Not connected"},
        {1, "Opening port, please wait..."},
        {2, "Connecting..."},
        {3, "Connection established."},
        {4, "Connection closed"},
        {5, "Testing without using COM port."},
        {6, "Error: Cannot open port."},
        {7, "Error: Cannot connect to device."},
        {8, "Error: Cannot connect: Unknown device"},
        {9, "Error: Not supported device"},
        {10, "Error: Communication error"},
        {11, "Error: Already connected"},
        {12, "Error: Not connected yet"},
        {13, "Ready"},
        {14, "Manual movement"},
        {15, "Positioning"},
        {16, "Encoder calibration parameters updated."},
        {17, "Parameters stored..."},
        {18, "Error: Connection to the device lost."},
        {19, "Error: The slew did not end in time; both axes were stopped."},
    };
    for (const auto& [code, text] : cases) {
        ASSERT_NE(statusText(code), nullptr) << code;
        EXPECT_EQ(statusText(code), text) << code;
    }
}

TEST(StatusCodes, CodesWithoutTextGiveNull) {
    for (int32_t code : {-1, 20, 21, 255, 65535, INT32_MAX, INT32_MIN}) {
        EXPECT_EQ(statusText(code), nullptr) << code;
    }
}

}  // namespace
}  // namespace zr8
