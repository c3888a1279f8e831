// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/windows/line_status.h"

#include <gtest/gtest.h>

namespace zr8 {
namespace {

// A status query the driver does not answer is no sign of a lost device;
// the read that follows will tell.
TEST(LineStatus, AQueueTheDriverCannotReportIsUnknownNotGone) {
    wchar_t folder[MAX_PATH] = {};
    wchar_t name[MAX_PATH] = {};
    ASSERT_NE(::GetTempPathW(MAX_PATH, folder), 0u);
    ASSERT_NE(::GetTempFileNameW(folder, L"zr8", 0, name), 0u);
    const HANDLE file = ::CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD count = 7;
    EXPECT_EQ(bytesWaiting(file, count), InputQueue::Unknown);
    EXPECT_EQ(count, 0u);
    ::CloseHandle(file);
}

}  // namespace
}  // namespace zr8
