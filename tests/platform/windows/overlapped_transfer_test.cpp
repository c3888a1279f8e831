// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/windows/overlapped_transfer.h"

#include <gtest/gtest.h>

namespace zr8 {
namespace {

// A stand-in for a driver that never completes a cancelled read: the
// transfer stays pending whatever is done to it.
TEST(OverlappedTransfer, OneTheDriverKeepsAfterItsCancelIsLeftToIt) {
    OverlappedTransfer* transfer = OverlappedTransfer::make();
    ASSERT_NE(transfer, nullptr);
    OVERLAPPED* pending = transfer->start();
    pending->Internal = STATUS_PENDING;
    const HANDLE event = transfer->done();
    const size_t before = OverlappedTransfer::abandoned();
    DWORD moved = 0;
    DWORD failure = ERROR_SUCCESS;
    // The event stands in for the port: no transfer of it is found to cancel.
    EXPECT_FALSE(endTransfer(event, transfer, moved, failure, 50));
    EXPECT_EQ(transfer, nullptr);
    EXPECT_EQ(OverlappedTransfer::abandoned(), before + 1);
    // The driver may still complete it: its OVERLAPPED and event live on.
    pending->InternalHigh = 3;
    pending->Internal = 0;
    EXPECT_TRUE(::SetEvent(event));
}

}  // namespace
}  // namespace zr8
