// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/reply_assembler.h"

#include <cstring>

namespace zr8 {

size_t ReplyAssembler::feed(const uint8_t* bytes, size_t count, bool& completed) {
    completed = false;
    size_t used = 0;
    while (used < count) {
        switch (state_) {
        case 0:
            // Hunt for the start byte in one sweep.
            if (const void* start = std::memchr(bytes + used, kReplyStart, count - used)) {
                used = static_cast<size_t>(static_cast<const uint8_t*>(start) - bytes) + 1;
                buffer_[0] = kReplyStart;
                state_ = 1;
            } else {
                used = count;
            }
            break;
        case 1: {
            const uint8_t length = bytes[used++];
            receivedCount_ = 0;
            buffer_[1] = length;
            expectedLength_ = length;
            writePos_ = 2;
            if (length == 0) {
                complete();
                completed = true;
                return used;
            }
            state_ = 2;
            break;
        }
        case 2: {
            // Take the rest of the payload, or what there is of it, at once.
            size_t take = static_cast<size_t>(expectedLength_ - receivedCount_);
            if (take > count - used) take = count - used;
            size_t store = take;
            const size_t room = kBufferSize - static_cast<size_t>(writePos_);
            if (store > room) store = room;  // counted but not stored
            std::memcpy(buffer_ + writePos_, bytes + used, store);
            writePos_ += static_cast<int32_t>(store);
            receivedCount_ += static_cast<int32_t>(take);
            used += take;
            if (receivedCount_ >= expectedLength_) {
                complete();
                completed = true;
                return used;
            }
            break;
        }
        default:
            state_ = 0;
            ++used;
            break;
        }
    }
    return used;
}

void ReplyAssembler::complete() {
    state_ = 0;
    // Replies are decoded at fixed positions whatever their length; what a
    // short reply does not carry reads as 0, not as an earlier frame's bytes.
    if (static_cast<size_t>(writePos_) < kDecodeWindow) {
        std::memset(buffer_ + writePos_, 0, kDecodeWindow - static_cast<size_t>(writePos_));
    }
}

}  // namespace zr8
