// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One overlapped read or write of a COM port: its OVERLAPPED, its completion
// event and its bytes, together on the heap, made when the port opens and
// used for one transfer after another.
//
// A transfer still pending when its wait ends is cancelled and awaited, but
// only for so long: a driver that never completes a cancelled transfer would
// otherwise hold the caller, and with it Disconnect or the program's end,
// for ever. Such a transfer is left to the driver: its OVERLAPPED, event and
// bytes are never freed, since the driver may still write to them.
//
// Threads: a transfer is used by one thread at a time.

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace zr8 {

class OverlappedTransfer {
public:
    static constexpr size_t kCapacity = 512;
    // How long a cancelled transfer is awaited before it is left to the driver.
    static constexpr DWORD kCancelLimitMs = 1000;

    // Null when no event could be made.
    static OverlappedTransfer* make();
    // Frees a transfer that is not pending; null does nothing.
    static void free(OverlappedTransfer* transfer);

    // Ready for the next transfer: the OVERLAPPED zeroed, with the event reset.
    OVERLAPPED* start();
    OVERLAPPED* overlapped() { return &overlapped_; }
    HANDLE done() const { return overlapped_.hEvent; }
    uint8_t* bytes() { return bytes_; }

    // Transfers left to their drivers since the program started.
    static size_t abandoned();

    OverlappedTransfer(const OverlappedTransfer&) = delete;
    OverlappedTransfer& operator=(const OverlappedTransfer&) = delete;

private:
    OverlappedTransfer() = default;
    ~OverlappedTransfer() = default;

    OVERLAPPED overlapped_{};
    uint8_t bytes_[kCapacity] = {};
};

// The end of a transfer started on `port` whose wait is over. One still
// pending is cancelled and awaited up to `limitMs`. True once it has ended,
// with the bytes it moved (a late cancel may not have stopped them) and its
// failure (ERROR_SUCCESS for none). False when the driver kept it: then the
// transfer is left to the driver and `transfer` set to null.
bool endTransfer(HANDLE port, OverlappedTransfer*& transfer, DWORD& moved, DWORD& failure,
                 DWORD limitMs = OverlappedTransfer::kCancelLimitMs);

}  // namespace zr8
