// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/frame_codec.h"

#include <cstring>

namespace zr8::sim {

FrameDecoder::Result FrameDecoder::feed(uint8_t byte) {
    skippedSize_ = 0;
    switch (state_) {
    case State::Hunting:
        if (byte != kCommandStart) {
            stray_ = byte;
            skippedFrom_ = &stray_;
            skippedSize_ = 1;
            ++skipped_;
            return Result::Skipped;
        }
        buffer_[0] = byte;
        size_ = 1;
        state_ = State::Length;
        return Result::Pending;
    case State::Length:
        if (byte == 0 || byte > kMaxCommandLength) {
            // No command frame looks like this. The length byte may itself
            // be the start of the next frame; buffer_[0] is 0xAA either way.
            buffer_[1] = byte;
            skippedFrom_ = buffer_.data();
            skippedSize_ = byte == kCommandStart ? 1 : 2;
            skipped_ += skippedSize_;
            if (byte != kCommandStart) {
                state_ = State::Hunting;
                size_ = 0;
            }
            return Result::Skipped;
        }
        buffer_[1] = byte;
        size_ = 2;
        expected_ = byte;
        state_ = State::Body;
        return Result::Pending;
    case State::Body:
        buffer_[size_++] = byte;
        if (size_ == expected_ + 2) {
            state_ = State::Hunting;
            return Result::Frame;
        }
        return Result::Pending;
    }
    return Result::Pending;
}

void FrameDecoder::reset() {
    skippedSize_ = 0;
    if (state_ != State::Hunting) {
        skippedFrom_ = buffer_.data();
        skippedSize_ = size_;
        skipped_ += size_;
    }
    state_ = State::Hunting;
    size_ = 0;
}

void encodeReply(std::span<const uint8_t> payload, ReplyFrame& out) {
    const size_t n = payload.size() > 255 ? 255 : payload.size();
    out.bytes[0] = kReplyStart;
    out.bytes[1] = static_cast<uint8_t>(n);
    if (n) std::memcpy(out.bytes.data() + 2, payload.data(), n);
    out.size = n + 2;
}

uint32_t readU32(std::span<const uint8_t> bytes, size_t offset) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4 && offset + i < bytes.size(); ++i)
        v |= uint32_t{bytes[offset + i]} << (8 * i);
    return v;
}

void writeU32(uint8_t* out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

void writeU16(uint8_t* out, uint16_t value) {
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
}

}  // namespace zr8::sim
