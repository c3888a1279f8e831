// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What crosses the serial line, for a front end that wants to see it: a
// trace of every frame, or whether anything answered at all.
//
// Threads: onSent and onClosed come on the link's worker (or on the owner's
// thread during shutdown), onReceived and onLost on the serial reader
// thread, so an implementation guards what it keeps. No lock of the link is
// held during a call; a call must return promptly and never call the link.

#include <cstddef>
#include <cstdint>

namespace zr8 {

class iLineTap {
public:
    // A whole frame, just before it is handed to the line.
    virtual void onSent(const uint8_t* bytes, size_t count) = 0;
    // Bytes as the line delivered them, in any slicing.
    virtual void onReceived(const uint8_t* bytes, size_t count) = 0;
    // The device went away under the open port.
    virtual void onLost() = 0;
    // The link closed the port.
    virtual void onClosed() = 0;

protected:
    ~iLineTap() = default;
};

}  // namespace zr8
