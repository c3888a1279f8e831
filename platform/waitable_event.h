// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A manual-reset event that threads wait on: once set it stays set until
// reset, and every wait on it ends at once. Any thread may call any
// operation.

#include "platform/native_handle.h"

namespace zr8 {

class WaitableEvent {
public:
    WaitableEvent();
    ~WaitableEvent();

    WaitableEvent(const WaitableEvent&) = delete;
    WaitableEvent& operator=(const WaitableEvent&) = delete;

    // False when the OS could not create the event; it then never fires.
    bool valid() const { return handle_ != kNoHandle; }

    void set();
    void reset();
    bool isSet() const;

    // Waits up to `milliseconds` (negative: without limit); true when set.
    bool wait(int milliseconds) const;

    // For the platform layer's own waits on several objects at once.
    NativeHandle nativeHandle() const { return handle_; }

private:
    NativeHandle handle_ = kNoHandle;
};

// Waits up to `milliseconds` (negative: without limit) for either event: 0
// when `first` is set (it wins when both are), 1 for `second`, -1 when
// neither was set in time.
int waitForEither(const WaitableEvent& first, const WaitableEvent& second, int milliseconds);

}  // namespace zr8
