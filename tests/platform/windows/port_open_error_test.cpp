// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/windows/port_open_error.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace zr8 {
namespace {

// Codes that a real port gives and Wine does not: a second program opening
// a port fails with ERROR_ACCESS_DENIED on Windows, and not at all on Wine.
TEST(PortOpenError, SystemCodesMapToTheClosedSetWithTextAndRemedy) {
    const struct {
        uint32_t systemError;
        PortErrorCode code;
        const char* remedyMentions;
    } cases[] = {
        {ERROR_FILE_NOT_FOUND, PortErrorCode::NotFound, "Device Manager"},
        {ERROR_DEVICE_NOT_CONNECTED, PortErrorCode::NotFound, "driver"},
        {ERROR_ACCESS_DENIED, PortErrorCode::Busy, "another program"},
        {ERROR_SHARING_VIOLATION, PortErrorCode::Busy, "another program"},
        {ERROR_PRIVILEGE_NOT_HELD, PortErrorCode::PermissionDenied, "administrator"},
        {ERROR_INVALID_FUNCTION, PortErrorCode::NotASerialDevice, "COM3"},
        {ERROR_GEN_FAILURE, PortErrorCode::Other, ""},
    };
    for (const auto& c : cases) {
        PortError error;
        describeOpenFailure(error, "COM3", c.systemError);
        EXPECT_EQ(error.code, c.code) << c.systemError;
        EXPECT_EQ(error.device, "COM3");
        EXPECT_NE(error.remedy.find(c.remedyMentions), std::string::npos) << error.remedy;
        ASSERT_FALSE(error.systemMessage.empty()) << c.systemError;
        const char last = error.systemMessage.back();
        EXPECT_TRUE(last != '.' && last != '\n' && last != '\r') << error.systemMessage;
    }
}

}  // namespace
}  // namespace zr8
