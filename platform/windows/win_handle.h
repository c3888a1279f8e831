// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// NativeHandle <-> HANDLE. Win32 calls fail with either NULL or
// INVALID_HANDLE_VALUE depending on the call; both become kNoHandle.

#include <windows.h>

#include "platform/native_handle.h"

namespace zr8 {

inline HANDLE toHandle(NativeHandle handle) { return reinterpret_cast<HANDLE>(handle); }

inline NativeHandle fromHandle(HANDLE handle) {
    return handle == nullptr || handle == INVALID_HANDLE_VALUE
               ? kNoHandle
               : reinterpret_cast<NativeHandle>(handle);
}

inline void closeNativeHandle(NativeHandle& handle) {
    if (handle != kNoHandle) ::CloseHandle(toHandle(handle));
    handle = kNoHandle;
}

}  // namespace zr8
