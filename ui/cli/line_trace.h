// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What zr8ctl sees of its serial line: whether anything at all arrived
// (nothing at all points at the wrong baud rate or cable), and with --trace
// every frame both ways with its time, one line each as zr8-sim --trace
// prints them:
//
//     0.512345 in   AA 01 01
//     0.530112 out  55 05 01 5A 52 38 01
//
// "in" goes to the controller, "out" is its reply (the simulator's words, so
// both traces read alike), "skip" bytes that made no reply, "lost" the
// device went away, "closed" zr8ctl closed the port. Times are seconds since
// the trace began.
//
// Threads: the link's worker and its serial reader call in (iLineTap); one
// mutex keeps the lines whole. Fixed buffers: nothing is allocated per frame.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <mutex>

#include "link/line_tap.h"

namespace zr8::cli {

class LineTrace final : public iLineTap {
public:
    // `trace`: where the lines go, or null for none; not owned.
    explicit LineTrace(std::FILE* trace = nullptr);

    uint64_t receivedBytes() const { return received_.load(); }

    void onSent(const uint8_t* bytes, size_t count) override;
    void onReceived(const uint8_t* bytes, size_t count) override;
    void onLost() override;
    void onClosed() override;

private:
    using Clock = std::chrono::steady_clock;
    // A reply is 55, its length, then that many bytes.
    static constexpr size_t kLongestReply = 2 + 255;

    void print(const char* direction, const uint8_t* bytes, size_t count);
    void flushPartial();  // a reply cut short, and bytes outside replies, as "skip"
    void cut(uint8_t byte);

    std::FILE* const trace_;
    const Clock::time_point start_ = Clock::now();
    std::atomic<uint64_t> received_{0};
    std::mutex mutex_;
    uint8_t reply_[kLongestReply] = {};
    size_t replyLength_ = 0;
    uint8_t stray_[kLongestReply] = {};
    size_t strayLength_ = 0;
    Clock::time_point lastByte_{};
};

}  // namespace zr8::cli
