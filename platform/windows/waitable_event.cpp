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

}  // namespace zr8
