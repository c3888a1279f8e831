// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/windows/line_status.h"

namespace zr8 {

bool deviceGone(DWORD systemError) {
    switch (systemError) {
    // USB serial drivers answer with these once the adapter is unplugged.
    case ERROR_ACCESS_DENIED:
    case ERROR_BAD_COMMAND:
    case ERROR_GEN_FAILURE:
    case ERROR_NOT_READY:
    case ERROR_DEVICE_REMOVED:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEV_NOT_EXIST:
    // The other end hung up.
    case ERROR_BROKEN_PIPE:
        return true;
    // Not ERROR_INVALID_HANDLE: our handle is open, and Wine answers so for
    // any object that has no serial status.
    default:
        return false;
    }
}

InputQueue bytesWaiting(HANDLE port, DWORD& count) {
    count = 0;
    DWORD errors = 0;
    COMSTAT status{};
    if (::ClearCommError(port, &errors, &status)) {
        count = status.cbInQue;
        return InputQueue::Known;
    }
    return deviceGone(::GetLastError()) ? InputQueue::Gone : InputQueue::Unknown;
}

}  // namespace zr8
