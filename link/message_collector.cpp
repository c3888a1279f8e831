// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/message_collector.h"

namespace zr8 {

bool MessageCollector::push(uint8_t byte) {
    if (state_ == 0) {
        if ((byte & 0x80) == 0) return false;
        message_[0] = byte;
        count_ = 1;
        expected_ = static_cast<int32_t>(messageBodyLength(byte)) + 1;
        state_ = 1;
        return false;
    }
    // A completed message returns to state 0, so the count cannot pass the
    // expected total here; the guard keeps the store inside the buffer.
    if (count_ > expected_ || count_ >= static_cast<int32_t>(kMessageCapacity)) return false;
    message_[count_++] = byte;
    // Tested only after a store: a header with n = 0 takes one more byte.
    if (count_ >= expected_) {
        state_ = 0;
        return true;
    }
    return false;
}

}  // namespace zr8
