// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/windows/overlapped_transfer.h"

#include <atomic>
#include <new>

namespace zr8 {

namespace {

std::atomic<size_t> abandonedTransfers{0};

}  // namespace

OverlappedTransfer* OverlappedTransfer::make() {
    const HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr) return nullptr;
    auto* transfer = new (std::nothrow) OverlappedTransfer;
    if (transfer == nullptr) {
        ::CloseHandle(event);
        return nullptr;
    }
    transfer->overlapped_.hEvent = event;
    return transfer;
}

void OverlappedTransfer::free(OverlappedTransfer* transfer) {
    if (transfer == nullptr) return;
    ::CloseHandle(transfer->overlapped_.hEvent);
    delete transfer;
}

OVERLAPPED* OverlappedTransfer::start() {
    const HANDLE event = overlapped_.hEvent;
    overlapped_ = OVERLAPPED{};
    overlapped_.hEvent = event;
    ::ResetEvent(event);
    return &overlapped_;
}

size_t OverlappedTransfer::abandoned() { return abandonedTransfers.load(); }

bool endTransfer(HANDLE port, OverlappedTransfer*& transfer, DWORD& moved, DWORD& failure,
                 DWORD limitMs) {
    moved = 0;
    failure = ERROR_SUCCESS;
    OVERLAPPED* overlapped = transfer->overlapped();
    if (!HasOverlappedIoCompleted(overlapped)) {
        ::CancelIoEx(port, overlapped);
        ::WaitForSingleObject(transfer->done(), limitMs);
        if (!HasOverlappedIoCompleted(overlapped)) {
            // The driver still has it: its memory and event are the driver's now.
            ++abandonedTransfers;
            transfer = nullptr;
            failure = ERROR_OPERATION_ABORTED;
            return false;
        }
    }
    // Ended: its event is set or about to be. Awaited, so that it cannot
    // wake the wait of the next transfer.
    ::WaitForSingleObject(transfer->done(), limitMs);
    if (!::GetOverlappedResult(port, overlapped, &moved, FALSE)) failure = ::GetLastError();
    return true;
}

}  // namespace zr8
