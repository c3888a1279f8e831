// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The simulated controller's own framing, written apart from the link's so
// that each checks the other. Command frames in: 0xAA, N, then N bytes (the
// command and its arguments). Replies out: 0x55, L, then L payload bytes, the
// first of which is the command being answered.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace zr8::sim {

inline constexpr uint8_t kCommandStart = 0xAA;
inline constexpr uint8_t kReplyStart = 0x55;
// The longest command has 11 bytes after the length; a larger length byte
// cannot open a real frame, so the decoder hunts on instead of swallowing
// the frames that follow.
inline constexpr size_t kMaxCommandLength = 32;

// Assembles command frames one byte at a time. Fixed buffer, no allocation.
class FrameDecoder {
public:
    enum class Result { Pending, Frame, Skipped };

    // Skipped: the byte (or the frame it ended) was thrown away; Frame: frame()
    // holds a complete frame until the next call.
    Result feed(uint8_t byte);
    // Forgets a partial frame, e.g. after a pause in the middle of one.
    void reset();
    bool inFrame() const { return state_ != State::Hunting; }

    std::span<const uint8_t> frame() const { return {buffer_.data(), size_}; }
    // The bytes the last feed() or reset() threw away (valid until the next call).
    std::span<const uint8_t> lastSkipped() const { return {skippedFrom_, skippedSize_}; }
    uint64_t skippedBytes() const { return skipped_; }

private:
    enum class State { Hunting, Length, Body };
    State state_ = State::Hunting;
    std::array<uint8_t, kMaxCommandLength + 2> buffer_{};
    size_t size_ = 0;
    size_t expected_ = 0;
    uint64_t skipped_ = 0;
    uint8_t stray_ = 0;
    const uint8_t* skippedFrom_ = nullptr;
    size_t skippedSize_ = 0;
};

// One reply frame in a fixed buffer.
struct ReplyFrame {
    std::array<uint8_t, 257> bytes{};
    size_t size = 0;

    std::span<const uint8_t> view() const { return {bytes.data(), size}; }
};

// Builds 0x55, payload size, payload. The payload must not exceed 255 bytes.
void encodeReply(std::span<const uint8_t> payload, ReplyFrame& out);

// Little-endian helpers for argument and payload words.
uint32_t readU32(std::span<const uint8_t> bytes, size_t offset);
void writeU32(uint8_t* out, uint32_t value);
void writeU16(uint8_t* out, uint16_t value);

}  // namespace zr8::sim
