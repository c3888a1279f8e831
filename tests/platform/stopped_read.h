// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A read from a serial line (a port, or a stream standing in for one) that
// is waiting when its stop event is set: what it returns.

#include <thread>

#include "platform/byte_stream.h"

namespace zr8 {

// Starts readSome on a thread of its own and sets `stop`. Never returns if
// the read does not end on stop.
inline iByteStream::ReadOutcome readUntilStopped(iByteStream& port, WaitableEvent& stop) {
    iByteStream::ReadOutcome outcome = iByteStream::ReadOutcome::Data;
    std::thread reader([&] {
        uint8_t buffer[128];
        size_t received = 0;
        outcome = port.readSome(buffer, sizeof buffer, received, stop);
    });
    stop.set();
    reader.join();
    return outcome;
}

}  // namespace zr8
