// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Cuts the request pipe's byte stream back into messages, one byte at a time.
// Outside a message, bytes without bit 7 are dropped; inside one, every byte
// is data, so a message is resynchronised only once it has completed.

#include <cstddef>
#include <cstdint>

#include "link/request_message.h"

namespace zr8 {

class MessageCollector {
public:
    // True when `byte` completed a message; message() then holds it until
    // the next push.
    bool push(uint8_t byte);

    const uint8_t* message() const { return message_; }
    // Bytes of the completed message, header included. A header with n = 0
    // completes only with the byte after it, so this is at least 2.
    size_t length() const { return static_cast<size_t>(count_); }

private:
    int32_t state_ = 0;  // 0 waiting for a header, 1 collecting
    int32_t count_ = 0;
    int32_t expected_ = 0;
    uint8_t message_[kMessageCapacity] = {};
};

}  // namespace zr8
