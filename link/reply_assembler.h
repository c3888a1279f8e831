// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Assembles the controller's replies: 55, L, then L payload bytes. A 55
// inside a payload is payload; frames are resynchronised only by hunting for
// 55 between frames. The assembler keeps no time: a frame that stops short
// waits for more bytes until its owner resets it (the link does after a
// pause on the line).

#include <cstddef>
#include <cstdint>

namespace zr8 {

inline constexpr uint8_t kReplyStart = 0x55;

class ReplyAssembler {
public:
    static constexpr size_t kBufferSize = 8000;
    // frame() is readable up to here whatever the length: the bytes past a
    // short frame read as 0, never as what an earlier frame left there.
    static constexpr size_t kDecodeWindow = 64;

    // Consumes bytes until a frame completes or the bytes run out; returns
    // how many it consumed and sets `completed` when a frame is ready.
    size_t feed(const uint8_t* bytes, size_t count, bool& completed);

    const uint8_t* frame() const { return buffer_; }
    size_t length() const { return static_cast<size_t>(writePos_); }

    // Back to hunting for a start byte.
    void reset() { state_ = 0; }
    // A frame has begun and is not complete yet.
    bool inFrame() const { return state_ != 0; }

private:
    void complete();

    int32_t state_ = 0;  // 0 hunting, 1 start seen, 2 payload
    int32_t writePos_ = 0;
    int32_t expectedLength_ = 0;
    int32_t receivedCount_ = 0;
    uint8_t buffer_[kBufferSize] = {};
};

}  // namespace zr8
