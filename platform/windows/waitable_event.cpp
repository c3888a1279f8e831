// SPDX-License-Identifier: GPL-3.0-or-later
// A manual-reset Win32 event.
#include "platform/waitable_event.h"

#include "platform/windows/win_handle.h"

namespace zr8 {

WaitableEvent::WaitableEvent()
    : handle_(fromHandle(::CreateEventW(nullptr, TRUE, FALSE, nullptr))) {}

WaitableEvent::~WaitableEvent() { closeNativeHandle(handle_); }

void WaitableEvent::set() {
    if (valid()) ::SetEvent(toHandle(handle_));
}

void WaitableEvent::reset() {
    if (valid()) ::ResetEvent(toHandle(handle_));
}

bool WaitableEvent::isSet() const { return wait(0); }

bool WaitableEvent::wait(int milliseconds) const {
    if (!valid()) return false;
    const DWORD timeout = milliseconds < 0 ? INFINITE : static_cast<DWORD>(milliseconds);
    return ::WaitForSingleObject(toHandle(handle_), timeout) == WAIT_OBJECT_0;
}

int waitForEither(const WaitableEvent& first, const WaitableEvent& second, int milliseconds) {
    if (!first.valid() || !second.valid()) return -1;
    const HANDLE waits[2] = {toHandle(first.nativeHandle()), toHandle(second.nativeHandle())};
    const DWORD timeout = milliseconds < 0 ? INFINITE : static_cast<DWORD>(milliseconds);
    // Windows refuses a wait set holding the same handle twice.
    const DWORD count = waits[0] == waits[1] ? 1 : 2;
    const DWORD woke = ::WaitForMultipleObjects(count, waits, FALSE, timeout);
    if (woke == WAIT_OBJECT_0) return 0;
    if (woke == WAIT_OBJECT_0 + 1) return 1;
    return -1;
}

}  // namespace zr8
